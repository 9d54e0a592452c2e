// The list that merges the search history (sorted without regard to letter
// case, a text already present in any letter case is not added again), and
// the history file on disk, replaced whole or not at all.
#include "toolbar/HistoryFile.h"
#include "toolbar/SearchHistory.h"
#include "core/HistoryOrder.h"

#include "core/Error.h"
#include "core/HistoryFormat.h"
#include "kit/Handles.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

kg::HistoryOrder platformOrder() { return kg::HistoryOrder(kg::HistorySortKey); }

TEST(PlatformHistoryOrder, KeepsOneEntryPerTextInCaseInsensitiveOrder) {
    kg::HistoryOrder list = platformOrder();
    for (const char* text : {"kestrel", "Alder", "birch", "KESTREL", "alder", "kestrels", ""})
        if (!list.Find(text).second) list.Insert(text);
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"", "Alder", "birch", "kestrel", "kestrels"}));
    EXPECT_EQ(list.Find("BIRCH"), std::make_pair(std::size_t{2}, true));
    EXPECT_FALSE(list.Find("birches").second);
    list.Clear();
    EXPECT_EQ(list.Size(), 0u);
    EXPECT_FALSE(list.Find("Alder").second);
}

TEST(PlatformHistoryOrder, AddAllMergesInOrderOrNotAndDropsDuplicates) {
    const struct {
        const char* what;
        Lines start, added, result;
    } cases[] = {
        {"into an empty list", {}, {"b", "a", "B"}, {"a", "b"}},
        {"ascending, interleaved", {"b", "d"}, {"a", "c", "e"}, {"a", "b", "c", "d", "e"}},
        {"ascending, equal in another case", {"Kite", "owl"}, {"kite", "OWL", "wren"}, {"Kite", "owl", "wren"}},
        {"ascending, equal neighbours", {"m"}, {"a", "A", "z", "Z"}, {"a", "m", "z"}},
        {"not in order", {"m"}, {"z", "a", "M", "b"}, {"a", "b", "m", "z"}},
        {"nothing added", {"a"}, {}, {"a"}},
    };
    for (const auto& c : cases) {
        // What the list holds wins over what joins it, as a file read wins over the box.
        kg::HistoryOrder list = platformOrder();
        list.Assign(c.added);
        list.MergeFile(c.start);
        EXPECT_EQ(list.Entries(), c.result) << c.what;
    }
}

// Texts of every kind the order meets: letter case, digits, punctuation,
// blanks and bytes above 127, short and long, some equal but for case.
Lines mixedTexts(std::size_t count) {
    static const char* const parts[] = {"kite", "KITE", "Kite", "a", "A", "z", "0", "9", "10", "-", "'", "_", " ",
                                        "&", "+", "#", "(", "\xE9", "\xC9", "\xFC", "\xDF", "\xE6", "\xF1", "\xD8",
                                        "\xA3", "\x80", "\xFF", "co-op", "coop", "co op", "\xE9t\xE9", "ete"};
    std::mt19937 random(20261209);
    Lines out;
    for (std::size_t i = 0; i < count; ++i) {
        std::string text;
        const int n = static_cast<int>(random() % 4);
        for (int k = 0; k <= n; ++k) text += parts[random() % std::size(parts)];
        out.push_back(std::move(text));
    }
    out.push_back("");
    return out;
}

int sign(int v) { return (v > 0) - (v < 0); }

TEST(PlatformHistoryOrder, SortKeysGiveExactlyTheOrderAndEqualityOfTheComparison) {
    const Lines texts = mixedTexts(3000);
    std::vector<std::string> keys;
    for (const std::string& t : texts) keys.push_back(kg::HistorySortKey(t));
    // Neighbours after a sort by each, and random pairs: the same verdict every time.
    Lines byCompare = texts, byKey = texts;
    std::stable_sort(byCompare.begin(), byCompare.end(),
                     [](const std::string& a, const std::string& b) { return kg::CompareHistoryText(a, b) < 0; });
    std::stable_sort(byKey.begin(), byKey.end(), [](const std::string& a, const std::string& b) {
        return kg::HistorySortKey(a) < kg::HistorySortKey(b);
    });
    EXPECT_EQ(byKey, byCompare);
    std::mt19937 random(7);
    std::size_t equalPairs = 0, mismatches = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::size_t a = random() % texts.size(), b = random() % texts.size();
        const int byText = sign(kg::CompareHistoryText(texts[a], texts[b]));
        const int byBytes = sign(keys[a].compare(keys[b]));
        if (byText == 0) ++equalPairs;
        if (byText != byBytes) {
            ++mismatches;
            ADD_FAILURE() << "'" << texts[a] << "' against '" << texts[b] << "': " << byText << " and " << byBytes;
            if (mismatches > 5) break;
        }
    }
    EXPECT_GT(equalPairs, 0u);  // equality was put to the test too
    for (std::size_t i = 1; i < byCompare.size(); ++i)
        EXPECT_EQ(sign(kg::CompareHistoryText(byCompare[i - 1], byCompare[i])),
                  sign(kg::HistorySortKey(byCompare[i - 1]).compare(kg::HistorySortKey(byCompare[i]))))
            << byCompare[i - 1] << " / " << byCompare[i];
}

class HistoryFile : public testing::Test {
protected:
    // A read-only file would stay behind with its folder.
    void TearDown() override { SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL); }
    std::string bytes() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t filesInFolder() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
    }
    const kgtest::TempFolder folder_{"kg-history"};
    const std::filesystem::path dir_ = folder_.path();
    const std::string path_ = (dir_ / "Searches.txt").string();
};

TEST_F(HistoryFile, WritesWholeFilesAndReadsThemBack) {
    EXPECT_FALSE(kg::HistoryFileExists(path_));
    EXPECT_FALSE(kg::HistoryFileExists(dir_.string()));  // a folder is no history file
    kg::WriteHistoryFile(path_, {"alder", "two words"});
    EXPECT_EQ(bytes(), "alder\r\ntwo words\r\n");
    EXPECT_TRUE(kg::HistoryFileExists(path_));
    EXPECT_EQ(kg::ReadHistoryFile(path_), (Lines{"alder", "two words"}));
    kg::WriteHistoryFile(path_, {});
    EXPECT_EQ(bytes(), "");
    EXPECT_EQ(kg::ReadHistoryFile(path_), Lines{});
    EXPECT_EQ(filesInFolder(), 1u);  // no temporary file left beside it
    try {
        kg::ReadHistoryFile((dir_ / "missing.txt").string());
        ADD_FAILURE() << "a missing file was read";
    } catch (const kit::InOutError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + (dir_ / "missing.txt").string());
    }
}

TEST_F(HistoryFile, AFailedWriteLeavesTheOldFileWhole) {
    kg::WriteHistoryFile(path_, {"old"});
    const std::string missingFolder = (dir_ / "gone" / "Searches.txt").string();
    struct Failure {
        const char* what;
        std::string path;
    };
    ASSERT_TRUE(SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    for (const Failure& f : {Failure{"read-only file", path_}, Failure{"missing folder", missingFolder}}) {
        try {
            kg::WriteHistoryFile(f.path, {"new", "entries"});
            ADD_FAILURE() << f.what << ": written";
        } catch (const kit::InOutError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + f.path) << f.what;
        }
        EXPECT_EQ(bytes(), "old\r\n") << f.what;
        EXPECT_EQ(filesInFolder(), 1u) << f.what;
    }
}

TEST_F(HistoryFile, TheLockIsHeldByOneAtATimeAndLeavesNothingBehind) {
    {
        const kg::HistoryLock first(path_);
        EXPECT_TRUE(first.Held());
        try {
            const kg::HistoryLock second(path_, 50);
            ADD_FAILURE() << "a second holder got the lock";
        } catch (const kit::InOutError& e) {
            EXPECT_NE(std::string(e.what()).find(path_ + ".lock"), std::string::npos) << e.what();
        }
    }
    const kg::HistoryLock again(path_, 50);
    EXPECT_TRUE(again.Held());
    // A folder that does not exist gives no lock and no error: the write says what failed.
    const kg::HistoryLock none((dir_ / "gone" / "Searches.txt").string(), 50);
    EXPECT_FALSE(none.Held());
}

TEST_F(HistoryFile, ReadsShareTheFileWithAnEditorThatHasItOpen) {
    kg::WriteHistoryFile(path_, {"one", "two"});
    kit::unique_file editor(CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
    ASSERT_TRUE(editor);
    EXPECT_EQ(kg::ReadHistoryFile(path_), (Lines{"one", "two"}));
}

// Files the reader cannot take whole are kept, byte for byte, before the first rewrite.
TEST_F(HistoryFile, AFileNotTakenWholeIsKeptBeforeItIsRewritten) {
    const std::string kept = (dir_ / "Searches (kept copy).txt").string();
    const std::string kept2 = (dir_ / "Searches (kept copy 2).txt").string();
    const struct {
        const char* what;
        std::string bytes;
        Lines shown;  // after the start-up read
        bool keptCopy;
    } cases[] = {
        {"plain", "alder\r\nbirch\r\n", {"alder", "birch"}, false},
        {"text after a NUL", "alder\r\nbi\0rch\r\nkite\r\n"s, {"alder", "bi"}, true},
        {"NULs only at the end", "alder\r\n\0\0"s, {"alder"}, false},
        {"UTF-16, little-endian", "\xFF\xFE" "a\0l\0d\0e\0r\0\r\0\n\0\xE9\0t\0\xE9\0\r\0\n\0"s,
         {"alder", "\xE9t\xE9"}, true},
        {"UTF-16, big-endian", "\xFE\xFF" "\0k\0i\0t\0e\0\r\0\n"s, {"kite"}, true},
        {"UTF-8 mark, every character held", "\xEF\xBB\xBF" "caf\xC3\xA9\r\n", {"caf\xE9"}, false},
        {"UTF-8 mark, a character lost", "\xEF\xBB\xBF" "\xE4\xB8\xAD\r\nkite\r\n", {"?", "kite"}, true},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(kept);
        std::filesystem::remove(kept2);
        { std::ofstream(path_, std::ios::binary) << c.bytes; }
        const std::string legacy;
        kg::SearchHistory history(path_, legacy);
        history.Load();
        EXPECT_EQ(history.Strings(), c.shown) << c.what;
        EXPECT_TRUE(history.Record("zz new")) << c.what;
        ASSERT_EQ(std::filesystem::exists(kept), c.keptCopy) << c.what;
        if (c.keptCopy) {
            std::ifstream in(kept, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.bytes) << c.what;
        }
        Lines expected = c.shown;
        expected.push_back("zz new");
        EXPECT_EQ(kg::FormatHistoryText(expected), bytes()) << c.what;
        // The same damage again: a second copy, the first one untouched.
        if (c.keptCopy) {
            { std::ofstream(path_, std::ios::binary) << c.bytes << "x"; }
            history.Record("zz newer");
            EXPECT_TRUE(std::filesystem::exists(kept2)) << c.what;
        }
        EXPECT_FALSE(std::filesystem::exists(path_ + ".lock")) << c.what;

        // Remove and clear rewrite the file too: the copy comes first there as well.
        for (const bool clear : {false, true}) {
            std::filesystem::remove(kept);
            std::filesystem::remove(kept2);
            { std::ofstream(path_, std::ios::binary) << c.bytes; }
            kg::SearchHistory other(path_, legacy);
            other.Load();
            Lines left = other.Strings();
            if (clear) {
                other.Clear();
                left.clear();
            } else {
                other.Remove(0);
                left.erase(left.begin());
            }
            EXPECT_EQ(std::filesystem::exists(kept), c.keptCopy) << c.what << (clear ? ", clear" : ", remove");
            EXPECT_EQ(bytes(), kg::FormatHistoryText(left)) << c.what;
        }
    }
}

// The child of the two-process run: `count` searches "<prefix> <n>" recorded
// in the history file `path`; the exit code is the number that failed.
int recordSearches(const std::vector<std::string>& args) {
    if (args.size() != 3) return 1000000;
    const std::string path = args[0], legacy;
    const int count = std::atoi(args[2].c_str());
    kg::SearchHistory history(path, legacy);
    int failed = 0;
    for (int n = 0; n < count; ++n) {
        try {
            history.Record(args[1] + " " + std::to_string(n));
        } catch (const std::exception& e) {
            if (failed++ == 0) std::fprintf(stderr, "%s\n", e.what());
        }
    }
    return failed;
}
const kgtest::ChildRegistration recordSearchesChild("record-searches", recordSearches);

TEST_F(HistoryFile, TwoProcessesSearchingAtOnceLoseNothing) {
    constexpr int kEach = 1000;
    kg::WriteHistoryFile(path_, {"already there"});
    HANDLE first = kgtest::StartChild("record-searches", {path_, "first", std::to_string(kEach)});
    HANDLE second = kgtest::StartChild("record-searches", {path_, "second", std::to_string(kEach)});
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(kgtest::WaitForChild(first), 0);  // no search failed, so no error box
    EXPECT_EQ(kgtest::WaitForChild(second), 0);
    Lines expected{"already there"};
    for (int n = 0; n < kEach; ++n) {
        expected.push_back("first " + std::to_string(n));
        expected.push_back("second " + std::to_string(n));
    }
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return kg::CompareHistoryText(a, b) < 0; });
    const Lines got = kg::ReadHistoryFile(path_);
    std::size_t lost = 0;
    for (const std::string& search : expected)
        if (std::find(got.begin(), got.end(), search) == got.end()) ++lost;
    EXPECT_EQ(lost, 0u) << "searches lost";
    EXPECT_TRUE(bytes() == kg::FormatHistoryText(expected)) << got.size() << " lines, not " << expected.size();
    EXPECT_EQ(filesInFolder(), 1u);  // no lock file, no temporary file, no copy
}

} // namespace
