// The list that merges the search history (sorted without regard to letter
// case, a text already present in any letter case is not added again), and
// the history file on disk, replaced whole or not at all.
#include "toolbar/HistoryFile.h"
#include "toolbar/HistoryList.h"

#include "core/Error.h"
#include "kit/Handles.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using Lines = std::vector<std::string>;

TEST(SortedTextList, KeepsOneEntryPerTextInCaseInsensitiveOrder) {
    kg::SortedTextList list;
    EXPECT_TRUE(list.Add("kestrel"));
    EXPECT_TRUE(list.Add("Alder"));
    EXPECT_TRUE(list.Add("birch"));
    EXPECT_FALSE(list.Add("KESTREL"));
    EXPECT_FALSE(list.Add("alder"));
    EXPECT_TRUE(list.Add("kestrels"));
    EXPECT_TRUE(list.Add(""));
    EXPECT_EQ(list.Strings(), (std::vector<std::string>{"", "Alder", "birch", "kestrel", "kestrels"}));
    EXPECT_EQ(list.IndexOf("BIRCH"), 2);
    EXPECT_EQ(list.IndexOf("birches"), -1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.IndexOf("Alder"), -1);
}

TEST(SortedTextList, AddAllMergesInOrderOrNotAndDropsDuplicates) {
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
        kg::SortedTextList list;
        for (const std::string& s : c.start) list.Add(s);
        list.AddAll(c.added);
        EXPECT_EQ(list.Strings(), c.result) << c.what;
    }
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

} // namespace
