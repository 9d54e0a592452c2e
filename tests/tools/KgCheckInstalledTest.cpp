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

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
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
    // {install}, {user} and {low} in `text` as this machine's folders.
    std::string expand(const std::string& text) const {
        return replaced(replaced(replaced(text, "{install}", install_.string()), "{user}", userFolder_.string()),
                        "{low}", lowFolder_.string());
    }

    kgtest::TempFolder install_{"kg-installed"};
    const std::string lowRoot_ = lowIntegrityRoot();
    const fs::path userFolder_ = fs::path(kit::realPlatform().userStateRoots().folder) / kName;
    const fs::path lowFolder_ = fs::path(lowRoot_) / kName;
};

TEST_F(KgCheckInstalledTest, ChecksTheConfigurationAndIconFileInUse) {
    const std::string installIni = "{install}\\KgT.ini:3: error: \"Main Menu\" names \"miInstall\"";
    const std::string userIni = "{user}\\KgT.ini:3: error: \"Main Menu\" names \"miUser\"";
    const std::string lowIni = "{low}\\KgT.ini:3: error: \"Main Menu\" names \"miUser\"";
    const std::string brokenIcons = "{install}\\Icons.bin: error: the icon file does not load";
    struct Case {
        const char* what;
        Copy config, icons;
        bool protectedMode;
        std::vector<std::string> notes;
        std::vector<std::string> findings;  // the start of each printed line, in order
    };
    const Case cases[] = {
        {"no per-user copy", Copy::None, Copy::None, false,
         {"{install}\\KgT.ini: note: checked as the configuration in use (the install folder's)",
          "{install}\\Icons.bin: note: checked as the icon file in use (the install folder's)"},
         {installIni, brokenIcons}},
        {"a per-user configuration, the install folder's icons", Copy::User, Copy::None, false,
         {"{user}\\KgT.ini: note: checked as the configuration in use (the per-user copy)",
          "{install}\\Icons.bin: note: checked as the icon file in use (the install folder's)"},
         {userIni, brokenIcons}},
        {"a per-user configuration and icon file", Copy::User, Copy::User, false,
         {"{user}\\KgT.ini: note: checked as the configuration in use (the per-user copy)",
          "{user}\\Icons.bin: note: checked as the icon file in use (the per-user copy)"},
         {userIni}},
        {"a per-user icon file only", Copy::None, Copy::User, false,
         {"{install}\\KgT.ini: note: checked as the configuration in use (the install folder's)",
          "{user}\\Icons.bin: note: checked as the icon file in use (the per-user copy)"},
         {installIni}},
        {"Protected Mode: the low-integrity copy", Copy::Low, Copy::Low, true,
         {"{low}\\KgT.ini: note: checked as the configuration in use (the per-user copy)",
          "{low}\\Icons.bin: note: checked as the icon file in use (the per-user copy)"},
         {lowIni}},
        {"Protected Mode does not see the medium-integrity copy", Copy::User, Copy::User, true,
         {"{install}\\KgT.ini: note: checked as the configuration in use (the install folder's)",
          "{install}\\Icons.bin: note: checked as the icon file in use (the install folder's)"},
         {installIni, brokenIcons}},
        {"outside Protected Mode the low-integrity copy is not used", Copy::Low, Copy::Low, false,
         {"{install}\\KgT.ini: note: checked as the configuration in use (the install folder's)",
          "{install}\\Icons.bin: note: checked as the icon file in use (the install folder's)"},
         {installIni, brokenIcons}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::error_code ignored;
        fs::remove_all(userFolder_, ignored);
        fs::remove_all(lowFolder_, ignored);
        placeConfig(c.config);
        placeIcons(c.icons);

        const kgcheck::InstalledCheck check = kgcheck::CheckInstalledToolbar(c.protectedMode);
        std::vector<std::string> notes;
        for (const std::string& n : c.notes) notes.push_back(expand(n));
        EXPECT_EQ(check.notes, notes);
        std::string printed;
        for (const kgcheck::Finding& f : check.findings) printed += f.Format() + "\n";
        ASSERT_EQ(check.findings.size(), c.findings.size()) << printed;
        for (std::size_t i = 0; i < c.findings.size(); ++i)
            EXPECT_EQ(check.findings[i].Format().rfind(expand(c.findings[i]), 0), 0u) << printed;
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
