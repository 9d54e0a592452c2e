// The toolbar as a standard user runs it: the toolbar key refuses writes (its
// access list says so, as Wine enforces) and the install folder is a
// read-only mount. "Date", "Search Type", "Search" and the history must go to
// the per-user key and folder with no error box, and come back from there;
// what earlier versions stored under HKEY_LOCAL_MACHINE and in the install
// folder still counts.
#include "tests/toolbar/ToolbarFixture.h"

#include "config/UserState.h"
#include "tests/support/AboutWindowProbe.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/ReadOnlyRegistryKey.h"
#include "kit/ComboBox.h"
#include "kit/Items.h"

namespace {

namespace fs = std::filesystem;

constexpr char kItems[] =
    "[Toolbar Items]\r\nmiSearch=\r\nmiWeb=\r\nmiNews=\r\n"
    "[miSearch]\r\nCaption=Search\r\nCount=2\r\nParent=Toolbar\r\n"
    "[miWeb]\r\nCaption=Web\r\nURL=http://find.example/?q=[SEARCH]\r\nTag=1\r\nGroupIndex=1\r\nParent=miSearch\r\n"
    "[miNews]\r\nCaption=News\r\nURL=http://news.example/?q=[SEARCH]\r\nTag=2\r\nGroupIndex=1\r\nParent=miSearch\r\n";
constexpr char kLowKeyParent[] = "Software\\Kestrelgrove Tests";
constexpr char kLowKey[] = "Software\\Kestrelgrove Tests\\Low";

// The Unix path of a Windows path, from Wine's own translation.
std::string unixPathOf(const std::string& windowsPath) {
    using Translate = char*(CDECL*)(LPCWSTR);
    const auto translate =
        reinterpret_cast<Translate>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (!translate) return {};
    char* path = translate(std::wstring(windowsPath.begin(), windowsPath.end()).c_str());
    if (!path) return {};
    std::string out = path;
    HeapFree(GetProcessHeap(), 0, path);
    return out;
}

// A folder made read-only by a read-only bind mount over itself (root ignores
// permission bits); the mount's shell scripts go into a scratch folder.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const fs::path& folder)
        : unix_(unixPathOf(folder.string())) {
        if (unix_.empty()) return;
        mounted_ = kgtest::runUnixScript("mount --bind '" + unix_ + "' '" + unix_ + "' && mount -o remount,ro,bind '" +
                                             unix_ + "' '" + unix_ + "'",
                                         scratch_) == 0;
    }
    ~ReadOnlyFolder() {
        if (mounted_) kgtest::runUnixScript("umount '" + unix_ + "' || umount -l '" + unix_ + "'", scratch_);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string unix_;
    const kgtest::TempFolder scratchFolder_{"kg-userstate", kgtest::onDriveZ(KG_BUILD_DIR)};
    const std::string scratch_ = std::string(KG_BUILD_DIR) + "/" + scratchFolder_.path().filename().string();
    bool mounted_ = false;
};

std::string fileBytes(const fs::path& path) {
    if (!fs::exists(path)) return "(none)";
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class UserState : public kgtest::ToolbarWindowTest {
protected:
    void SetUp() override {
        ToolbarWindowTest::SetUp();
        writeConfig(kItems, "Toolbar Name=User State\r\n");
        platform_.tickStep = 100;  // the timed splash ends after 40 readings of the seam's clock
        RegDeleteTreeA(HKEY_CURRENT_USER, kLowKeyParent);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kLowKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, lowKey_.put(),
                                  nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        platform_.userStateRootsAnswer.reset();
        lowKey_.reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, kLowKeyParent);
        ToolbarWindowTest::TearDown();
    }
    std::string dateText(int daysFromToday) const {
        return kg::ShortDateText(kg::AddDays(platform_.todayDate, daysFromToday));
    }

    const kgtest::TempFolder lowFolderOwner_{"kg-low"};
    const fs::path lowFolder_ = lowFolderOwner_.path();
    kit::unique_hkey lowKey_;
};

TEST_F(UserState, StandardUserSessionWithReadOnlyKeyAndInstallFolder) {
    const struct {
        const char* what;
        bool protectedMode;
        bool earlierData;  // HKLM search state and an install-folder history, nothing per-user
    } cases[] = {
        {"a new day, the user's own hive and folder", false, false},
        {"a new day in Protected Mode, the low-integrity roots", true, false},
        {"what an earlier version stored", false, true},
    };
    const std::string legacyHistory = std::string(kgtest::kToolbarName) + ".txt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clearUserState();
        RegDeleteTreeA(lowKey_.get(), kg::ToolbarKeyPath);
        fs::remove_all(lowFolder_ / kgtest::kToolbarName);
        fs::remove(installFile(legacyHistory));
        for (const char* name : {"Search Type", "Search"}) deleteKeyValue(name);
        const HKEY userRoot = c.protectedMode ? lowKey_.get() : HKEY_CURRENT_USER;
        const fs::path userFolder = (c.protectedMode ? lowFolder_ : fs::path(kit::realPlatform().userStateRoots().folder)) /
                                    kgtest::kToolbarName;
        if (c.protectedMode)
            platform_.userStateRootsAnswer = kit::UserStateRoots{true, lowKey_.get(), lowFolder_.string()};
        else
            platform_.userStateRootsAnswer.reset();
        const std::string machineDate = c.earlierData ? dateText(0) : dateText(-1);
        setKeyValue("Date", machineDate);
        if (c.earlierData) {
            setKeyValue("Search Type", "2");
            setKeyValue("Search", "kites");
            writeFile(legacyHistory, "birch\r\nalder\r\n");
        }
        const auto user = [&](const char* name) { return kgtest::storedValueUnder(userRoot, name); };
        const auto machine = [&](const char* name) { return kgtest::storedValueUnder(HKEY_LOCAL_MACHINE, name); };

        kgtest::ReadOnlyRegistryKey readOnlyKey(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
        ASSERT_TRUE(readOnlyKey.refusesWrites()) << "the toolbar key could not be made read-only";
        ReadOnlyFolder readOnlyFolder(installFile(""));
        ASSERT_TRUE(readOnlyFolder.mounted()) << "the install folder could not be made read-only";
        ASSERT_FALSE(kg::CanWriteFolder(installPath()));

        // The first window of the day.
        {
            kgtest::AboutWindowProbe probe;
            kg::TformToolbar& w = createWindow();
            attachBrowser();
            EXPECT_EQ(probe.shown, c.earlierData ? std::vector<bool>{} : std::vector<bool>{true});
            EXPECT_EQ(boxTexts(), std::vector<std::string>{});
            EXPECT_EQ(user("Date").text, c.earlierData ? "" : dateText(0));
            if (c.earlierData) {
                EXPECT_EQ(w.SearchButton->Tag, 2);
                EXPECT_EQ(w.SearchBox->Text(), "kites");
                EXPECT_EQ(w.SearchBox->ItemList(), (std::vector<std::string>{"alder", "birch"}));
            }
            const std::size_t navigated = browser().navigations().size();
            w.SearchBox->SetText("red kites");
            char key = '\r';
            w.SearchBoxKeyPress(w.SearchBox, key);
            EXPECT_EQ(boxTexts(), std::vector<std::string>{});
            ASSERT_EQ(browser().navigations().size(), navigated + 1);
            EXPECT_EQ(fileBytes(userFolder / legacyHistory),
                      c.earlierData ? "alder\r\nbirch\r\nred kites\r\n" : "red kites\r\n");
            destroyWindow();
            EXPECT_EQ(boxTexts(), std::vector<std::string>{});
            EXPECT_EQ(user("Search Type").text, c.earlierData ? "2" : "1");
            EXPECT_EQ(user("Search").text, "red kites");
        }
        // A second window that day: no splash, no box, the search state restored.
        {
            kgtest::AboutWindowProbe probe;
            kg::TformToolbar& w = createWindow();
            EXPECT_EQ(probe.shown, std::vector<bool>{});
            EXPECT_EQ(w.SearchBox->Text(), "red kites");
            EXPECT_EQ(w.SearchButton->Tag, c.earlierData ? 2 : 1);
            EXPECT_NE(w.SearchBox->IndexOf("red kites"), -1);
            destroyWindow();
            EXPECT_EQ(boxTexts(), std::vector<std::string>{});
        }
        // The installer's places are as the installer (or the earlier version) left them.
        EXPECT_EQ(machine("Date").text, machineDate);
        EXPECT_EQ(machine("Search").exists, c.earlierData);
        EXPECT_EQ(fileBytes(installFile(legacyHistory)), c.earlierData ? "birch\r\nalder\r\n" : "(none)");
        if (c.protectedMode) {
            EXPECT_FALSE(kgtest::storedValueUnder(HKEY_CURRENT_USER, "Date").exists);
            EXPECT_FALSE(fs::exists(kgtest::userStateFolder()));
        }
        readOnlyKey.restore();
    }
}

// The configuration in use is the per-user copy once an update put one there:
// the settings at module start and the builder read it, the banner stays.
TEST_F(UserState, BuiltFromThePerUserCopyOfTheConfiguration) {
    const struct {
        const char* what;
        bool userCopy;
        const char* company;
        int searchWidth;
    } cases[] = {
        {"the install folder's configuration", false, "Installed Co", 145},
        {"the per-user copy", true, "Per-User Co", 222},
    };
    writeConfig(kItems, "Toolbar Name=User State\r\nCompany Name=Installed Co\r\n");
    installExampleBanner();
    const fs::path userFolder = kgtest::userStateFolder();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clearUserState();
        if (c.userCopy) {
            fs::create_directories(userFolder);
            std::ofstream(userFolder / (std::string(kgtest::kToolbarFile) + ".ini"), std::ios::binary)
                << "[Options]\r\nToolbar Name=User State\r\nCompany Name=Per-User Co\r\nSearch Width=222\r\n";
        }
        kg::TformToolbar& w = createWindow();
        EXPECT_EQ(kg::ToolbarSettings().CompanyName, c.company);
        EXPECT_EQ(w.SearchBox->Width(), c.searchWidth);
        EXPECT_EQ(w.FindComponent("miNews") != nullptr, !c.userCopy);
        EXPECT_EQ(fs::path(kg::FindConfigurationInUse().folder),
                  c.userCopy ? userFolder : fs::path(installPath()));
        EXPECT_EQ(kg::ToolbarSettings().BannerFileName(), installFile(std::string(kgtest::kToolbarFile) + ".bmp").string());
        destroyWindow();
    }
}

} // namespace
