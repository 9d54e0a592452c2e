// kgcheck's view of the installed toolbar: the real toolbar key names an
// install folder; the configuration and icon file checked are those in use
// (a per-user copy, of a browser outside or inside Protected Mode, when one
// exists), the banner and the legal notice the install folder's. Each copy
// carries a fault of its own, so the findings show which file was read.
#include "config/Registry.h"
#include "config/Settings.h"
#include "core/Error.h"
#include "kit/Platform.h"
#include "tests/support/TempFolder.h"
#include "tools/kgcheck/Installed.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr char kName[] = "Kgcheck Installed Test";
constexpr char kFile[] = "KgT";

std::string lowIntegrityRoot() {
    wchar_t* wide = nullptr;
    std::string root;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppDataLow, 0, nullptr, &wide)) && wide)
        root = fs::path(wide).string();
    CoTaskMemFree(wide);
    return root;
}

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string config(const std::string& mainMenu) {
    return std::string("[Options]\r\nToolbar Name=") + kName + "\r\nMain Menu=" + mainMenu + "\r\n";
}

enum class Copy { None, User, Low };

class KgCheckInstalledTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(lowRoot_.empty()) << "no FOLDERID_LocalAppDataLow here";
        clear();
        kg::SetRegistryData(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, "InstallPath", install_.string(), kg::RegistryType::String);
        kg::SetRegistryData(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, "Toolbar Name", kName, kg::RegistryType::String);
        kg::SetRegistryData(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, "Toolbar File", kFile, kg::RegistryType::String);
        // The install folder's own: a configuration with a fault of its own, a
        // broken icon file, a sound banner and the legal notice.
        writeFile(install_ / (std::string(kFile) + ".ini"), config("miInstall"));
        writeFile(install_ / "Icons.bin", "not an icon file");
        fs::copy_file(fs::path(KG_SOURCE_DIR) / "examples" / "Kestrelgrove.bmp", install_ / (std::string(kFile) + ".bmp"),
                      fs::copy_options::overwrite_existing);
        writeFile(install_ / "Copyrights.txt", "(c) test\r\n");
    }
    void TearDown() override {
        clear();
        kg::LoadToolbarSettings();
    }
    void clear() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
        std::error_code ignored;
        fs::remove_all(userFolder_, ignored);
        fs::remove_all(lowFolder_, ignored);
    }
    const fs::path& folderOf(Copy copy) const { return copy == Copy::User ? userFolder_ : lowFolder_; }
    // A per-user copy: a configuration with another fault, or a sound icon file.
    void placeConfig(Copy copy) {
        if (copy != Copy::None) writeFile(folderOf(copy) / (std::string(kFile) + ".ini"), config("miUser"));
    }
    void placeIcons(Copy copy) {
        if (copy == Copy::None) return;
        fs::create_directories(folderOf(copy));
        fs::copy_file(fs::path(KG_BUILD_DIR) / "examples" / "Icons.bin", folderOf(copy) / "Icons.bin");
    }
    const fs::path& usedFolder(Copy copy) const { return copy == Copy::None ? install_.path() : folderOf(copy); }

    kgtest::TempFolder install_{"kg-installed"};
    const std::string lowRoot_ = lowIntegrityRoot();
    const fs::path userFolder_ = fs::path(kit::realPlatform().userStateRoots().folder) / kName;
    const fs::path lowFolder_ = fs::path(lowRoot_) / kName;
};

TEST_F(KgCheckInstalledTest, ChecksTheConfigurationAndIconFileInUse) {
    struct Case {
        const char* what;
        Copy config, icons;  // the per-user copies placed
        bool protectedMode;
        Copy configUsed, iconsUsed;  // the copies kgcheck must name (None: the install folder's)
    };
    const Case cases[] = {
        {"no per-user copy", Copy::None, Copy::None, false, Copy::None, Copy::None},
        {"a per-user configuration, the install folder's icons", Copy::User, Copy::None, false, Copy::User, Copy::None},
        {"a per-user configuration and icon file", Copy::User, Copy::User, false, Copy::User, Copy::User},
        {"a per-user icon file only", Copy::None, Copy::User, false, Copy::None, Copy::User},
        {"Protected Mode: the low-integrity copy", Copy::Low, Copy::Low, true, Copy::Low, Copy::Low},
        {"Protected Mode does not see the medium-integrity copy", Copy::User, Copy::User, true, Copy::None, Copy::None},
        {"outside Protected Mode the low-integrity copy is not used", Copy::Low, Copy::Low, false, Copy::None, Copy::None},
    };
    const auto whose = [](Copy copy) { return copy == Copy::None ? "(the install folder's)" : "(the per-user copy)"; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::error_code ignored;
        fs::remove_all(userFolder_, ignored);
        fs::remove_all(lowFolder_, ignored);
        placeConfig(c.config);
        placeIcons(c.icons);

        const std::string ini = (usedFolder(c.configUsed) / "KgT.ini").string();
        const std::string icons = (usedFolder(c.iconsUsed) / "Icons.bin").string();
        const std::vector<std::string> notes = {
            ini + ": note: checked as the configuration in use " + whose(c.configUsed),
            icons + ": note: checked as the icon file in use " + whose(c.iconsUsed)};
        // The start of each printed finding, in order: each copy's own fault.
        std::vector<std::string> findings = {ini + ":3: error: \"Main Menu\" names \"" +
                                             (c.configUsed == Copy::None ? "miInstall" : "miUser") + "\""};
        if (c.iconsUsed == Copy::None) findings.push_back(icons + ": error: the icon file does not load");

        const kgcheck::InstalledCheck check = kgcheck::CheckInstalledToolbar(c.protectedMode);
        EXPECT_EQ(check.notes, notes);
        std::string printed;
        for (const kgcheck::Finding& f : check.findings) printed += f.Format() + "\n";
        ASSERT_EQ(check.findings.size(), findings.size()) << printed;
        for (std::size_t i = 0; i < findings.size(); ++i)
            EXPECT_EQ(check.findings[i].Format().rfind(findings[i], 0), 0u) << printed;
        // The banner and the legal notice stay the install folder's: sound there, no finding.
        EXPECT_EQ(check.files.banner.has_value(), true);
        EXPECT_TRUE(check.files.hasLegalNotice);
    }
}

TEST_F(KgCheckInstalledTest, ReportsAToolbarThatIsNotInstalled) {
    struct Case {
        const char* what;
        const char* value;  // emptied, or the install folder moved away for "InstallPath" below
        std::string setTo;
        const char* message;
    };
    const Case cases[] = {
        {"no \"InstallPath\"", "InstallPath", "", "no \"InstallPath\": the toolbar is not installed"},
        {"no \"Toolbar File\"", "Toolbar File", "", "no \"Toolbar File\": the toolbar is not installed"},
        {"the install folder gone", "InstallPath", install_.string() + "\\gone",
         "the install folder (\"InstallPath\") is missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        if (c.setTo.empty())
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, c.value);
        else
            kg::SetRegistryData(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, c.value, c.setTo, kg::RegistryType::String);
        try {
            kgcheck::CheckInstalledToolbar(false);
            ADD_FAILURE() << "no error";
        } catch (const kit::Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

} // namespace
