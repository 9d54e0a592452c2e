// The configuration update against a real HTTP server on 127.0.0.1: the six
// files and their moves, the setting "Updates URL", the error box, and the
// faults (error pages, cut and stalled transfers, a read-only install folder,
// a disk that fills up) after which the configuration in use must still be
// there, whole and usable.
#include "toolbar/Update.h"
#include "core/Error.h"
#include "config/UserState.h"
#include "tests/support/UpdateFixture.h"
#include "kit/Download.h"
#include "toolbar/ShellHelpers.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using kgtest::readAll;
using kgtest::writeAll;
using kgtest::Text;

constexpr char kInUse[] = "[Options]\r\nToolbar Name=In Use\r\n";
constexpr char kServed[] = "[Options]\r\nToolbar Name=Served\r\n";
constexpr char kOldBackup[] = "[Options]\r\nToolbar Name=Old Backup\r\n";
constexpr char kUnusable[] = "[Options]\r\nCompany Name=Nobody\r\n";
constexpr char kCorruptIcons[] = "not an icon file";
constexpr char kErrorBox[] = "Error Loading Configuration File! TestBar.ini! Please contact Test Company";

const std::string kIconsA = kgtest::iconFile(0xFF2040C0u);
const std::string kIconsB = kgtest::iconFile(0xFFC04020u);

// The six files of the install folder, by role; nullopt: absent.
struct Files {
    Text current, download, backup, icons, newIcons, iconBackup;
};

bool usable(const Text& config) {
    return config && config->find("Toolbar Name=") != std::string::npos &&
           config->find("Toolbar Name=\r") == std::string::npos;
}

class Update : public kgtest::UpdateFixture {
protected:
    Update() : UpdateFixture("TestBar") {}

    static void SetUpTestSuite() {
        UpdateFixture::SetUpTestSuite();
        server_->serve("good/toolbar.ini", kServed);
        server_->serve("good/icons.bin", kIconsB);
        server_->serve("unusable/toolbar.ini", kUnusable);
        server_->serve("badicons/toolbar.ini", kServed);
        server_->serve("badicons/icons.bin", kCorruptIcons);
    }
    static void TearDownTestSuite() {
        std::printf("[ counts   ] fault cases run: %d, configurations lost: %d\n", faultCases_, lost_);
        UpdateFixture::TearDownTestSuite();
    }

    void put(const Files& files) const {
        const Text* texts[] = {&files.current, &files.download, &files.backup,
                               &files.icons,   &files.newIcons, &files.iconBackup};
        for (int role = 0; role < kgtest::kRoles; ++role) UpdateFixture::put(role, *texts[role]);
    }
    Files files() const { return {read(0), read(1), read(2), read(3), read(4), read(5)}; }
    // A fault case: a usable configuration in use before it is in use after
    // it, whole: the one before, or the usable download that replaced it.
    void countFault(const Text& before, const Text& replacement = std::nullopt) {
        ++faultCases_;
        const Text after = read(0);
        const bool kept = after == before || (usable(replacement) && after == replacement);
        if (usable(before) && !kept) ++lost_;
        EXPECT_TRUE(kept) << "the configuration in use is now: " << after.value_or("(none)");
    }

    static inline int faultCases_ = 0, lost_ = 0;
};

TEST_F(Update, MovesTheFilesAsTheServerAnswers) {
    const std::string page = kgtest::HttpTestServer::kErrorPage;
    const struct {
        const char* what;
        std::string url;  // "Updates URL" as set
        Files before;
        bool result;
        Files after;
        std::vector<std::string> requests;
        bool box;
        bool fault;
    } cases[] = {
        {"a usable download swapped in, the one in use kept as backup", server_->url("/good/"),
         {kInUse, "stale", kOldBackup, kIconsA, {}, "old icons"},
         true, {kServed, {}, kInUse, kIconsB, {}, kIconsA},
         {"/good/toolbar.ini", "/good/icons.bin"}, false, false},
        {"first installation: no configuration, no backup made", server_->url("/good/"),
         {}, true, {kServed, {}, {}, kIconsB, {}, {}}, {"/good/toolbar.ini", "/good/icons.bin"}, false, false},
        {"without the final slash: the files inside the folder", server_->url("/good"),
         {kInUse, {}, {}, {}, {}, {}}, true, {kServed, {}, kInUse, kIconsB, {}, {}},
         {"/good/toolbar.ini", "/good/icons.bin"}, false, false},
        {"an error page is kept on disk, nothing else changes", server_->url("/none/"),
         {kInUse, {}, kOldBackup, kIconsA, {}, {}}, true, {kInUse, page, kOldBackup, kIconsA, page, {}},
         {"/none/toolbar.ini", "/none/icons.bin"}, false, true},
        {"download and configuration in use both unusable: the error box", server_->url("/unusable/"),
         {kUnusable, {}, {}, {}, {}, {}}, false, {kUnusable, kUnusable, {}, {}, page, {}},
         {"/unusable/toolbar.ini", "/unusable/icons.bin"}, true, true},
        {"a corrupt icon download leaves the icon file", server_->url("/badicons/"),
         {kInUse, {}, {}, kIconsA, {}, {}}, true, {kServed, {}, kInUse, kIconsA, kCorruptIcons, {}},
         {"/badicons/toolbar.ini", "/badicons/icons.bin"}, false, true},
        {"a trailing blank: implausible, nothing fetched", server_->url("/good "),
         {kInUse, {}, {}, kIconsA, {}, {}}, true, {kInUse, {}, {}, kIconsA, {}, {}}, {}, false, true},
        {"empty: no traffic and no message, even without a configuration", "",
         {}, false, {}, {}, false, false},
        {"blanks only count as empty", "  ", {kUnusable, {}, {}, {}, {}, {}}, false,
         {kUnusable, {}, {}, {}, {}, {}}, {}, false, false},
        // The icon file left by an earlier update is tried again when no new one comes.
        {"the server closes in the middle of the body", server_->url("/cut/good/"),
         {kInUse, {}, {}, kIconsA, kIconsB, {}}, true, {kInUse, {}, {}, kIconsB, {}, kIconsA},
         {"/cut/good/toolbar.ini", "/cut/good/icons.bin"}, false, true},
        {"a server that takes the connection and never answers", server_->url("/stall/good/"),
         {kInUse, {}, {}, kIconsA, {}, {}}, true, {kInUse, {}, {}, kIconsA, {}, {}},
         {"/stall/good/toolbar.ini", "/stall/good/icons.bin"}, false, true},
        {"an unreachable server", "http://127.0.0.1:" + std::to_string(server_->unusedPort()) + "/good/",
         {kInUse, {}, {}, kIconsA, {}, {}}, true, {kInUse, {}, {}, kIconsA, {}, {}}, {}, false, true},
        {"a body above the size limit", server_->url("/flood/good/"),
         {kInUse, {}, {}, kIconsA, {}, {}}, true, {kInUse, {}, {}, kIconsA, {}, {}},
         {"/flood/good/toolbar.ini", "/flood/good/icons.bin"}, false, true},
        {"a server that trickles: all but 20 bytes, then one a second", server_->url("/trickle/good/"),
         {kInUse, {}, {}, kIconsA, {}, {}}, true, {kInUse, {}, {}, kIconsA, {}, {}},
         {"/trickle/good/toolbar.ini", "/trickle/good/icons.bin"}, false, true},
        {"a server that trickles its headers, whole only after the bound", server_->url("/latehead/good/"),
         {kInUse, {}, {}, kIconsA, {}, {}}, true, {kInUse, {}, {}, kIconsA, {}, {}},
         {"/latehead/good/toolbar.ini", "/latehead/good/icons.bin"}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        put(c.before);
        kg::ToolbarSettings().UpdatesURL = c.url;
        platform_.messageBoxes.clear();
        const std::size_t logged = server_->requests().size();

        // A trickling server would deliver whole files in the end: only the
        // transfer's bound makes it a refusal. The time it takes is kg_bench_hostile's.
        EXPECT_EQ(kg::UpdateConfiguration(), c.result);
        EXPECT_TRUE(kgtest::awaitAbandonedDownloads());

        const Files after = files();
        EXPECT_EQ(after.current, c.after.current);
        EXPECT_EQ(after.download, c.after.download);
        EXPECT_EQ(after.backup, c.after.backup);
        EXPECT_TRUE(after.icons == c.after.icons);
        EXPECT_TRUE(after.newIcons == c.after.newIcons);
        EXPECT_TRUE(after.iconBackup == c.after.iconBackup);
        EXPECT_TRUE(strays().empty()) << strays().front();
        EXPECT_EQ(gainedRequests(logged), c.requests);
        // The "/" is added to the setting itself, blanks and all.
        const bool blank = c.url.find_first_not_of(' ') == std::string::npos;
        EXPECT_EQ(kg::ToolbarSettings().UpdatesURL, blank || c.url.back() == '/' ? c.url : c.url + "/");
        ASSERT_EQ(platform_.messageBoxes.size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_EQ(platform_.messageBoxes[0].text, kErrorBox);
            EXPECT_EQ(platform_.messageBoxes[0].caption, "Error");
            EXPECT_EQ(platform_.messageBoxes[0].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
        }
        if (c.fault) countFault(c.before.current, c.after.current);
    }
}

// Nothing between the server and the folder may keep an older file: each update fetches it afresh.
TEST_F(Update, ChangedFilesOnTheServerAreFetchedAfresh) {
    const std::string first = std::string(kServed) + "Version=1\r\n";
    const std::string second = std::string(kServed) + "Version=2\r\n";
    put({kInUse, {}, {}, {}, {}, {}});
    kg::ToolbarSettings().UpdatesURL = server_->url("/fresh/");
    server_->serve("fresh/toolbar.ini", first);
    EXPECT_TRUE(kg::UpdateConfiguration());
    server_->serve("fresh/toolbar.ini", second);
    EXPECT_TRUE(kg::UpdateConfiguration());
    EXPECT_EQ(read(0), second);
    EXPECT_EQ(read(2), first) << "the older backup is replaced";
}

// As root, permission bits stop no one: the folder is made a read-only mount
// (or, for another user, loses its write permission).
TEST_F(Update, ReadOnlyInstallFolderKeepsTheConfigurationAndRaises) {
    put({kInUse, {}, kOldBackup, kIconsA, {}, {}});
    const std::string folder = unixRoot_ + "/install";
    ASSERT_EQ(unix("mount --bind '" + folder + "' '" + folder + "' && mount -o remount,ro,bind '" + folder + "' '" +
                   folder + "' || chmod a-w '" + folder + "'"),
              0);
    const bool writable = [&] {
        std::FILE* probe = std::fopen((fs::path(kg::ToolbarSettings().InstallPath) / "probe").string().c_str(), "w");
        if (probe) std::fclose(probe);
        return probe != nullptr;
    }();
    kg::ToolbarSettings().UpdatesURL = server_->url("/good/");
    // The user's own folder is read-only too: the fault the update reports.
    platform_.userStateRootsAnswer = kit::UserStateRoots{false, HKEY_CURRENT_USER, kg::ToolbarSettings().InstallPath};
    kg::ToolbarSettings().ToolbarName = "Test Toolbar";
    if (writable) {
        unix("umount '" + folder + "' 2>/dev/null; chmod u+w '" + folder + "'");
        GTEST_SKIP() << "the install folder could not be made read-only";
    }
    EXPECT_THROW(kg::UpdateConfiguration(), kit::InOutError);
    const Files after = files();
    unix("umount '" + folder + "' 2>/dev/null || umount -l '" + folder + "' 2>/dev/null; chmod u+w '" + folder + "'");
    EXPECT_EQ(after.backup, kOldBackup);
    EXPECT_TRUE(after.icons == kIconsA);
    EXPECT_FALSE(after.download);
    EXPECT_TRUE(platform_.messageBoxes.empty()) << "the error goes to the caller, not into a box";
    countFault(kInUse);
}

// The install folder on a 64 KiB tmpfs: the disk fills up while the download
// is written, or afterwards while the backup is copied.
TEST_F(Update, DiskThatFillsUpKeepsTheConfiguration) {
    const std::string folder = unixRoot_ + "/install";
    if (unix("mount -t tmpfs -o size=64k tmpfs '" + folder + "'") != 0) GTEST_SKIP() << "no tmpfs can be mounted";
    const std::string padding(20 * 1024, ';');
    const std::string inUse = std::string(kInUse) + padding + "\r\n";
    server_->serve("fits/toolbar.ini", std::string(kServed) + padding + "\r\n");
    server_->serve("toobig/toolbar.ini", std::string(kServed) + std::string(64 * 1024, ';') + "\r\n");
    const struct {
        const char* what;
        const char* path;
        bool raises;
    } cases[] = {
        {"while the download is written", "/toobig/", true},
        {"while the configuration in use is copied to the backup", "/fits/", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        put({inUse, {}, {}, {}, {}, {}});
        std::error_code ignored;
        fs::remove(fs::path(kg::ToolbarSettings().InstallPath) / "filler", ignored);
        // Room for the download of 20 KiB and a little more, not for the backup besides.
        ULARGE_INTEGER free{};
        ASSERT_TRUE(GetDiskFreeSpaceExA(kg::ToolbarSettings().InstallPath.c_str(), &free, nullptr, nullptr));
        ASSERT_GT(free.QuadPart, 32u * 1024);
        writeAll(fs::path(kg::ToolbarSettings().InstallPath) / "filler", std::string(free.QuadPart - 32 * 1024, 'x'));
        kg::ToolbarSettings().UpdatesURL = server_->url(c.path);
        if (c.raises)
            EXPECT_THROW(kg::UpdateConfiguration(), kit::InOutError);
        else
            EXPECT_TRUE(kg::UpdateConfiguration());
        EXPECT_TRUE(platform_.messageBoxes.empty());
        countFault(inUse);
        fs::remove(fs::path(kg::ToolbarSettings().InstallPath) / "filler", ignored);
    }
    put({});
    EXPECT_EQ(unix("umount '" + folder + "' || umount -l '" + folder + "'"), 0);
}

// A standard user's install folder is read-only: the update works in the
// per-user folder, which from then on holds the configuration in use, and
// the install folder stays as the installer left it.
TEST_F(Update, ReadOnlyInstallFolderUpdatesInThePerUserFolder) {
    put({kInUse, {}, {}, kIconsA, {}, {}});
    const std::string folder = unixRoot_ + "/install";
    ASSERT_EQ(unix("mount --bind '" + folder + "' '" + folder + "' && mount -o remount,ro,bind '" + folder + "' '" +
                   folder + "'"),
              0);
    struct Unmount {
        std::string folder, scratch;
        ~Unmount() { kgtest::runUnixScript("umount '" + folder + "' 2>/dev/null || umount -l '" + folder + "'", scratch); }
    } unmount{folder, unixRoot_};
    ASSERT_FALSE(kg::CanWriteFolder(kg::ToolbarSettings().InstallPath));
    platform_.userStateRootsAnswer = kit::UserStateRoots{false, HKEY_CURRENT_USER, kgtest::onDriveZ(unixRoot_ + "/user")};
    kg::ToolbarSettings().ToolbarName = "Test Toolbar";
    const fs::path user = kgtest::onDriveZ(unixRoot_ + "/user/Test Toolbar");
    const std::string second = "[Options]\r\nToolbar Name=Second\r\n";
    server_->serve("second/toolbar.ini", second);
    server_->serve("second/icons.bin", kIconsA);
    const Text none;
    const struct {
        const char* what;
        const char* path;
        Text current, backup, icons, iconBackup;
        const char* configInUse;  // the folder of the configuration in use afterwards
    } steps[] = {
        {"the first update puts the per-user configuration in place", "/good/", kServed, none, kIconsB, none, "user"},
        {"a second update makes the per-user backup", "/second/", second, kServed, kIconsA, kIconsB, "user"},
        {"a corrupt download keeps the configuration in use", "/badicons-unusable/", second, kServed, kIconsA,
         kIconsB, "user"},
    };
    server_->serve("badicons-unusable/toolbar.ini", kUnusable);
    server_->serve("badicons-unusable/icons.bin", kCorruptIcons);
    const auto at = [&](const char* name) {
        return fs::exists(user / name) ? Text(readAll(user / name)) : std::nullopt;
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        kg::ToolbarSettings().UpdatesURL = server_->url(step.path);
        EXPECT_TRUE(kg::UpdateConfiguration());
        EXPECT_EQ(at("TestBar.ini"), step.current);
        EXPECT_EQ(at("TestBar Default.ini"), step.backup);
        EXPECT_TRUE(at("Icons.bin") == step.icons);
        EXPECT_TRUE(at("Icons Default.bin") == step.iconBackup);
        const kg::ConfigurationInUse inUse = kg::FindConfigurationInUse();
        EXPECT_EQ(fs::path(inUse.folder), user);
        EXPECT_EQ(fs::path(inUse.configFile), user / "TestBar.ini");
        EXPECT_EQ(fs::path(inUse.iconFile), user / "Icons.bin");
        // The install folder is as the installer left it.
        const Files install = files();
        EXPECT_EQ(install.current, Text(kInUse));
        EXPECT_TRUE(install.icons == kIconsA);
        EXPECT_FALSE(install.download || install.backup || install.newIcons || install.iconBackup);
        EXPECT_TRUE(platform_.messageBoxes.empty());
    }
}

} // namespace
