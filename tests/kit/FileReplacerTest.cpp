// Whole-or-nothing file replacement: concurrent writers and a reader, names
// planted where the temporary file would go, a full disk, kept attributes.
#include "kit/FileReplacer.h"

#include "config/BigIni.h"
#include "kit/Error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
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
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("kg_replace_" + std::string(info->name()) + "_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
        target_ = (dir_ / "doc.ini").string();
    }
    void TearDown() override {
        std::error_code ec;
#ifdef _WIN32
        for (const auto& entry : fs::directory_iterator(dir_, ec))
            SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
        fs::remove_all(dir_, ec);
    }

    static std::string slurp(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    static void put(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::vector<std::string> folder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
    std::string target_;
};

// A document of `lines` keys all holding `mark`; big enough that a torn write would show.
std::string documentOf(char mark, int lines = 3000) {
    std::string text = "[S]\r\n";
    for (int i = 0; i < lines; ++i) text += "k" + std::to_string(i) + "=" + std::string(20, mark) + "\r\n";
    return text + "\r\n";
}

#ifdef _WIN32
// Reads the whole file; false when it is busy (being replaced) or missing.
bool readUnlessBusy(const std::string& path, std::string& bytes) {
    kit::unique_file file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    return true;
}
#endif

// Flushes the document of `mark` over `target` `rounds` times through the INI
// write-back (each round loads the file first) and answers how many rounds failed.
int flushLoop(const std::string& target, char mark, int rounds) {
    int failed = 0;
    for (int i = 0; i < rounds; ++i) {
        try {
            config::TBigIniFile ini(target);
            ini.Clear();
            ini.LoadFromText(documentOf(mark));
            ini.Modified = true;
            ini.Flush();
        } catch (const kit::InOutError&) {
            ++failed;
        }
    }
    return failed;
}

TEST_F(FileReplacerTest, WritesCommitsAndLeavesNothingBeside) {
    put(target_, "old");
    {
        kit::FileReplacer file(target_);
        EXPECT_EQ(fs::path(file.temporaryPath()).parent_path(), dir_);
        file.write("new ");
        file.write(std::string(100000, 'x'));
        EXPECT_EQ(slurp(target_), "old"); // nothing shows before the commit
        file.commit();
    }
    EXPECT_EQ(slurp(target_), "new " + std::string(100000, 'x'));
    { kit::FileReplacer abandoned(target_); abandoned.write("lost"); }
    EXPECT_EQ(slurp(target_), "new " + std::string(100000, 'x'));
    EXPECT_EQ(folder(), std::vector<std::string>{"doc.ini"});
}

// Two writers flush the same document again and again while a reader reads it:
// the reader sees only whole documents of one writer, and nothing is left beside it.
TEST_F(FileReplacerTest, ConcurrentWritersNeverShowAMixedOrTruncatedFile) {
    const std::string a = documentOf('a'), b = documentOf('b');
    ASSERT_EQ(flushLoop(target_, 'a', 1), 0);
    ASSERT_EQ(slurp(target_), a);
    constexpr int Rounds = 150;
    int reads = 0, bad = 0;
#ifdef _WIN32
    // Threads here: the names and the renames are what two processes would share.
    // Windows refuses to rename over a file that someone has open (a reader, or
    // the other writer loading it), and opening a file while it is being
    // replaced can fail: the writer retries the rename briefly, then fails with
    // the target whole. Some rounds must get through. A reader may find the
    // file busy for that moment too; what it does read must be whole.
    std::atomic<int> writing{2};
    std::atomic<int> failures{0};
    auto writer = [&](char mark) {
        failures += flushLoop(target_, mark, Rounds);
        --writing;
    };
    std::thread first(writer, 'a'), second(writer, 'b');
    while (writing > 0) {
        std::string seen;
        if (!readUnlessBusy(target_, seen)) continue;
        ++reads;
        if (seen != a && seen != b) ++bad;
        Sleep(2);
    }
    first.join();
    second.join();
    EXPECT_LT(failures, 2 * Rounds);
#else
    pid_t writers[2];
    for (int i = 0; i < 2; ++i) {
        writers[i] = fork();
        ASSERT_GE(writers[i], 0);
        if (writers[i] == 0) {
            try {
                _exit(flushLoop(target_, i == 0 ? 'a' : 'b', Rounds) == 0 ? 0 : 1);
            } catch (...) {
                _exit(2);
            }
        }
    }
    int running = 2;
    while (running > 0) {
        const std::string seen = slurp(target_);
        ++reads;
        if (seen != a && seen != b) ++bad;
        for (pid_t& pid : writers) {
            int status = 0;
            if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
                pid = 0;
                --running;
            }
        }
    }
#endif
    EXPECT_EQ(bad, 0) << "of " << reads << " reads";
    EXPECT_GT(reads, 10);
    EXPECT_EQ(folder(), std::vector<std::string>{"doc.ini"});
}

// Whatever stands at a name the temporary file could take is skipped and left
// as it was; the file goes to the next free name.
TEST_F(FileReplacerTest, NamesAlreadyTakenAreNeverWrittenThrough) {
    put(target_, "old");
    const std::string victim = (dir_ / "victim.txt").string();
    put(victim, "victim");
    struct Planted {
        const char* what;
        std::function<void(const std::string&)> plant;
    };
    std::vector<Planted> cases = {
        {"file", [](const std::string& name) { put(name, "planted"); }},
        {"folder", [](const std::string& name) { fs::create_directory(name); }},
#ifndef _WIN32
        {"link to a file", [&](const std::string& name) { fs::create_symlink(victim, name); }},
        {"dangling link", [&](const std::string& name) { fs::create_symlink(dir_ / "nowhere.txt", name); }},
#endif
    };
    int n = 0;
    for (const Planted& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> names;
        for (int i = 0; i < 3; ++i) {
            names.push_back((dir_ / ("planted" + std::to_string(n++) + ".tmp")).string());
            c.plant(names.back());
        }
        const std::string free = (dir_ / ("free" + std::to_string(n++) + ".tmp")).string();
        std::size_t next = 0;
        kit::FileReplacer file(target_, [&] { return next < names.size() ? names[next++] : free; });
        EXPECT_EQ(file.temporaryPath(), free);
        file.write(c.what);
        file.commit();
        EXPECT_EQ(slurp(target_), c.what);
        EXPECT_EQ(slurp(victim), "victim");
        EXPECT_FALSE(fs::exists(dir_ / "nowhere.txt"));
        for (const std::string& name : names)
            EXPECT_TRUE(fs::exists(fs::symlink_status(name))) << name;
        EXPECT_FALSE(fs::exists(free));
    }
    // Names that are all taken: the target stays, nothing new is left.
    const std::string taken = (dir_ / "victim.txt").string();
    const auto before = folder();
    try {
        kit::FileReplacer file(target_, [&] { return taken; });
        ADD_FAILURE() << "created over a taken name";
    } catch (const kit::InOutError& e) {
        EXPECT_NE(std::string(e.what()).find(target_), std::string::npos) << e.what();
    }
    EXPECT_EQ(folder(), before);
    EXPECT_EQ(slurp(victim), "victim");
}

// Failures name the file and what went wrong, and leave the old file whole.
TEST_F(FileReplacerTest, ReadOnlyTargetsAndMissingFoldersAreRefused) {
    put(target_, "old");
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA(target_.c_str(), FILE_ATTRIBUTE_READONLY));
#else
    fs::permissions(target_, fs::perms::owner_read | fs::perms::group_read);
#endif
    struct Case {
        std::string path;
        const char* what;
    };
    for (const Case& c : {Case{target_, "read-only"}, Case{(dir_ / "gone" / "doc.ini").string(), "temporary file"}}) {
        try {
            kit::ReplaceFileContents(c.path, "new");
            ADD_FAILURE() << c.path << " written";
        } catch (const kit::InOutError& e) {
            const std::string text = e.what();
            EXPECT_EQ(text.rfind("Cannot write file \"" + c.path + "\": ", 0), 0u) << text;
            EXPECT_NE(text.find(c.what), std::string::npos) << text;
        }
    }
    EXPECT_EQ(slurp(target_), "old");
    EXPECT_EQ(folder(), std::vector<std::string>{"doc.ini"});
}

#ifdef _WIN32
TEST_F(FileReplacerTest, HiddenAndSystemAttributesAreKept) {
    put(target_, "old");
    ASSERT_TRUE(SetFileAttributesA(target_.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    kit::ReplaceFileContents(target_, "new");
    EXPECT_EQ(slurp(target_), "new");
    const DWORD attributes = GetFileAttributesA(target_.c_str());
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}
#else
TEST_F(FileReplacerTest, ModeIsKeptAndNewFilesGetTheUsualMode) {
    for (const mode_t mode : {0600u, 0640u, 0755u, 0604u}) {
        put(target_, "old");
        ASSERT_EQ(chmod(target_.c_str(), mode), 0);
        config::TBigIniFile ini(target_);
        ini.WriteString("S", "k", "v");
        ini.Flush();
        struct stat st{};
        ASSERT_EQ(stat(target_.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
        EXPECT_EQ(slurp(target_), "[S]\r\nk=v\r\n\r\n");
    }
    const mode_t mask = umask(022);
    const std::string fresh = (dir_ / "fresh.ini").string();
    kit::ReplaceFileContents(fresh, "x");
    umask(mask);
    struct stat st{};
    ASSERT_EQ(stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// A disk that fills up (here: a file-size limit) while writing leaves the old file whole.
TEST_F(FileReplacerTest, FullDiskLeavesTheOldFileWhole) {
    const std::string original = documentOf('o', 10);
    put(target_, original);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            config::TBigIniFile ini(target_);
            ini.WriteString("S", "big", std::string(100000, 'x'));
            ini.Flush();
        } catch (const kit::InOutError& e) {
            _exit(std::string(e.what()).find("write failed") != std::string::npos ? 3 : 4);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "0: written past the limit; 4: another error";
    EXPECT_EQ(slurp(target_), original);
    EXPECT_EQ(folder(), std::vector<std::string>{"doc.ini"});
}
#endif

} // namespace
