// Whole-or-nothing replacement: concurrent writers and a reader, names taken
// where the temporary file would go, a full disk, kept attributes.
#include "core/FileReplacer.h"

#include "core/BigIni.h"
#include "core/Error.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include "kit/Handles.h"
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

class FileReplacerTest : public ::testing::Test {
protected:
    void SetUp() override {
        target_ = (dir_ / "doc.ini").string();
    }
    static std::string slurp(const std::string& file) {
        std::ostringstream all;
        all << std::ifstream(file, std::ios::binary).rdbuf();
        return all.str();
    }
    static void put(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::size_t filesInFolder() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    const kgtest::TempFolder folder_{"kg_replace"};
    const fs::path dir_ = folder_.path();
    std::string target_;
};

// A document big enough that a torn or mixed write would show.
std::string documentOf(char mark, int lines = 3000) {
    std::string text = "[S]\r\n";
    for (int i = 0; i < lines; ++i) text += "k" + std::to_string(i) + "=" + std::string(20, mark) + "\r\n";
    return text + "\r\n";
}

// Loads `target` and flushes the document of `mark` over it, `rounds` times; answers the failed rounds.
int flushLoop(const std::string& target, char mark, int rounds) {
    int failed = 0;
    for (int i = 0; i < rounds; ++i) try {
            config::TBigIniFile ini(target);
            ini.Clear();
            ini.LoadFromText(documentOf(mark));
            ini.Modified = true;
            ini.Flush();
        } catch (const kit::InOutError&) {
            ++failed;
        }
    return failed;
}

// The whole file; false when it is busy (Windows: being replaced).
bool readWhole(const std::string& path, std::string& bytes) {
#ifdef _WIN32
    kit::unique_file file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    return true;
#else
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return in.is_open();
#endif
}

// Two writers (natively processes, under Wine threads) flush the same document
// again and again while a reader reads it: it only ever sees one writer's whole
// document, and nothing is left beside it. Windows refuses to rename over an
// open file, so there a writer may fail a round after retrying, the file whole.
TEST_F(FileReplacerTest, ConcurrentWritersNeverShowAMixedOrTruncatedFile) {
    const std::string a = documentOf('a'), b = documentOf('b');
    ASSERT_EQ(flushLoop(target_, 'a', 1), 0);
    constexpr int Rounds = 150;
    std::atomic<int> writing{2}, failed{0};
#ifdef _WIN32
    std::thread writers[2];
    for (int i = 0; i < 2; ++i)
        writers[i] = std::thread([&, i] { failed += flushLoop(target_, i ? 'b' : 'a', Rounds); --writing; });
    auto poll = [] { Sleep(2); }; // Windows cannot replace a file while it is open: leave the writers room
#else
    pid_t writers[2];
    for (int i = 0; i < 2; ++i)
        if ((writers[i] = fork()) == 0) _exit(flushLoop(target_, i ? 'b' : 'a', Rounds) ? 1 : 0);
    auto poll = [&] {
        for (pid_t& pid : writers) {
            int status = 0;
            if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
                failed += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                pid = 0;
                --writing;
            }
        }
    };
#endif
    int reads = 0, bad = 0;
    while (writing > 0) {
        std::string seen;
        if (readWhole(target_, seen)) {
            ++reads;
            bad += seen != a && seen != b;
        }
        poll();
    }
#ifdef _WIN32
    for (std::thread& t : writers) t.join();
    EXPECT_LT(failed, 2 * Rounds);
#else
    EXPECT_EQ(failed, 0);
#endif
    EXPECT_EQ(bad, 0) << "of " << reads << " reads";
    EXPECT_EQ(filesInFolder(), 1u);
}

// Whatever stands at a name the temporary file could take is skipped, never
// written through; a folder where every name is taken refuses the write.
TEST_F(FileReplacerTest, NamesAlreadyTakenAreNeverWrittenThrough) {
    put(target_, "old");
    const std::string victim = (dir_ / "victim.txt").string();
    put(victim, "victim");
    const std::pair<const char*, std::function<void(const std::string&)>> plants[] = {
        {"file", [](const std::string& name) { put(name, "planted"); }},
        {"folder", [](const std::string& name) { fs::create_directory(name); }},
#ifndef _WIN32
        {"link to a file", [&](const std::string& name) { fs::create_symlink(victim, name); }},
        {"dangling link", [&](const std::string& name) { fs::create_symlink(dir_ / "nowhere", name); }},
#endif
    };
    int n = 0;
    for (const auto& [what, plant] : plants) {
        SCOPED_TRACE(what);
        std::vector<std::string> names;
        for (int i = 0; i < 3; ++i) plant(names.emplace_back((dir_ / ("t" + std::to_string(n++))).string()));
        names.push_back((dir_ / ("t" + std::to_string(n++))).string());
        std::size_t next = 0;
        kit::FileReplacer file(target_, [&] { return names.at(next++); });
        EXPECT_EQ(file.temporaryPath(), names.back());
        file.write(what);
        file.commit();
        EXPECT_EQ(slurp(target_), what);
        EXPECT_EQ(slurp(victim), "victim");
        EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
        EXPECT_FALSE(fs::exists(names.back()));
    }
    const std::size_t before = filesInFolder();
    EXPECT_THROW(kit::FileReplacer(target_, [&] { return victim; }), kit::InOutError);
    EXPECT_EQ(filesInFolder(), before);
    EXPECT_EQ(slurp(victim), "victim");
}

#ifdef _WIN32
TEST_F(FileReplacerTest, HiddenAndSystemAttributesAreKept) {
    put(target_, "old");
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesA(target_.c_str(), kept));
    kit::ReplaceFileContents(target_, "new");
    EXPECT_EQ(slurp(target_), "new");
    EXPECT_EQ(GetFileAttributesA(target_.c_str()) & (kept | FILE_ATTRIBUTE_READONLY), kept);
    SetFileAttributesA(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
}
#else
TEST_F(FileReplacerTest, ModeIsKeptAndANewFileGetsTheUsualOne) {
    auto modeOf = [](const std::string& path) {
        struct stat st{};
        return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    };
    for (const mode_t mode : {0600u, 0640u, 0755u, 0604u, 04755u}) {
        put(target_, "old");
        if (geteuid() == 0) ASSERT_EQ(chown(target_.c_str(), 1234, 5678), 0);
        ASSERT_EQ(chmod(target_.c_str(), mode), 0);
        kit::ReplaceFileContents(target_, "new");
        EXPECT_EQ(modeOf(target_), mode) << std::oct << mode;
        struct stat st{};
        stat(target_.c_str(), &st);
        if (geteuid() == 0) EXPECT_TRUE(st.st_uid == 1234 && st.st_gid == 5678) << st.st_uid << ":" << st.st_gid;
    }
    const mode_t mask = umask(022);
    kit::ReplaceFileContents((dir_ / "fresh").string(), "x");
    umask(mask);
    EXPECT_EQ(modeOf((dir_ / "fresh").string()), 0644u);
}

// A disk that fills up while writing (here a file-size limit) leaves the old file whole.
TEST_F(FileReplacerTest, FullDiskLeavesTheOldFileWhole) {
    put(target_, "old");
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            kit::ReplaceFileContents(target_, std::string(100000, 'x'));
        } catch (const kit::InOutError& e) {
            _exit(std::string(e.what()).find("write failed") != std::string::npos ? 3 : 4);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "0: written past the limit; 4: another error";
    EXPECT_EQ(slurp(target_), "old");
    EXPECT_EQ(filesInFolder(), 1u);
}
#endif

} // namespace
