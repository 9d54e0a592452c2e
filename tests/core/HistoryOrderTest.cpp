// The history's order and merges over sort keys, with a stand-in key (ASCII
// letters folded to lower case) so the rules show without a locale: which
// spelling wins, which duplicates go, what a merge without a file keeps, and
// how few keys a merge of a file already held computes.
#include "core/HistoryOrder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::string foldedKey(const std::string& text) {
    std::string key = text;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

kg::HistoryOrder order() { return kg::HistoryOrder(foldedKey); }

TEST(HistoryOrder, ReadAtStartSortsAndKeepsTheFirstOfEqualLines) {
    const struct {
        const char* what;
        Lines lines, entries;
    } cases[] = {
        {"empty", {}, {}},
        {"in order", {"alder", "birch"}, {"alder", "birch"}},
        {"shuffled", {"kite", "alder", "Birch"}, {"alder", "Birch", "kite"}},
        {"first spelling stays", {"Kite", "alder", "kite", "KITE"}, {"alder", "Kite"}},
        {"empty line sorts first", {"b", "", "a", ""}, {"", "a", "b"}},
        {"bytes above 127 after ASCII", {"\xE9t\xE9", "zebra", "apple"}, {"apple", "zebra", "\xE9t\xE9"}},
    };
    for (const auto& c : cases) {
        kg::HistoryOrder o = order();
        o.Assign(c.lines);
        EXPECT_EQ(o.KeysComputed(), 0u) << c.what;  // nothing until the order is needed
        EXPECT_EQ(o.Entries(), c.entries) << c.what;
        EXPECT_EQ(o.Size(), c.entries.size()) << c.what;
    }
}

TEST(HistoryOrder, LinesTakenAsTheyAreKeepDuplicatesInTheOrderRead) {
    kg::HistoryOrder o = order();
    o.AssignAll({"zeta", "Zeta", "", "alpha", "ZETA", "alpha"});
    EXPECT_EQ(o.Entries(), (Lines{"", "alpha", "alpha", "zeta", "Zeta", "ZETA"}));
    EXPECT_EQ(o.Find("ZETA"), std::make_pair(std::size_t{3}, true));
}

TEST(HistoryOrder, MergeOfTheFileLetsTheFileSpellingWin) {
    const struct {
        const char* what;
        Lines shown;  // taken as they are, as after loading a file
        Lines file;
        Lines merged;
        bool changed;
    } cases[] = {
        {"same", {"a", "b"}, {"a", "b"}, {"a", "b"}, false},
        {"file spelling wins", {"Kite", "owl"}, {"kite", "OWL", "wren"}, {"kite", "OWL", "wren"}, true},
        {"box entries join", {"b", "d"}, {"a", "c", "e"}, {"a", "b", "c", "d", "e"}, true},
        {"file duplicates dropped, first stays", {}, {"m", "M", "a", "m"}, {"a", "m"}, true},
        {"box duplicates dropped", {"x", "X", "x"}, {"a"}, {"a", "x"}, true},
        {"file out of order", {"m"}, {"z", "a", "M", "b"}, {"a", "b", "M", "z"}, true},
        {"empty file keeps the box", {"q"}, {}, {"q"}, false},
    };
    for (const auto& c : cases) {
        kg::HistoryOrder o = order();
        o.AssignAll(c.shown);
        EXPECT_EQ(o.MergeFile(c.file), c.changed) << c.what;
        EXPECT_EQ(o.Entries(), c.merged) << c.what;
    }
}

TEST(HistoryOrder, MergeWithoutAFileKeepsWhatTheLastMergeHeld) {
    // Each step, then what a merge without a file gives.
    const struct {
        const char* what;
        void (*step)(kg::HistoryOrder&);
        Lines merged;
    } cases[] = {
        {"nothing changed", [](kg::HistoryOrder&) {}, {"a", "b", "c"}},
        {"removed entry comes back", [](kg::HistoryOrder& o) { o.Erase(1); }, {"a", "b", "c"}},
        {"cleared entries come back", [](kg::HistoryOrder& o) { o.Clear(); }, {"a", "b", "c"}},
        {"loaded lines join", [](kg::HistoryOrder& o) { o.AssignAll({"D", "d", "a"}); }, {"a", "b", "c", "D"}},
        {"recorded then removed stays gone",
         [](kg::HistoryOrder& o) {
             o.Insert("bb");
             o.Erase(o.Find("bb").first);
         },
         {"a", "b", "c"}},
        {"recorded stays", [](kg::HistoryOrder& o) { o.Insert("bb"); }, {"a", "b", "bb", "c"}},
    };
    for (const auto& c : cases) {
        kg::HistoryOrder o = order();
        o.Assign({"c", "a", "b"});
        c.step(o);
        o.MergeHeld();
        EXPECT_EQ(o.Entries(), c.merged) << c.what;
    }
}

TEST(HistoryOrder, FindAndInsertPlaceTextsWithoutRegardToCase) {
    kg::HistoryOrder o = order();
    o.Assign({"alder", "kite"});
    const struct {
        const char* text;
        std::size_t at;
        bool found;
    } finds[] = {{"ALDER", 0, true}, {"", 0, false}, {"birch", 1, false}, {"Kite", 1, true}, {"z", 2, false}};
    for (const auto& f : finds) EXPECT_EQ(o.Find(f.text), std::make_pair(f.at, f.found)) << f.text;
    EXPECT_EQ(o.Insert("Birch"), 1u);
    EXPECT_EQ(o.Entries(), (Lines{"alder", "Birch", "kite"}));
}

TEST(HistoryOrder, MergeOfAHeldFileComputesKeysOnlyForNewLines) {
    Lines lines;
    for (int i = 0; i < 3000; ++i) lines.push_back("search " + std::to_string(100000 + i));
    kg::HistoryOrder o = order();
    o.Assign(lines);
    o.Entries();
    const std::size_t atStart = o.KeysComputed();
    EXPECT_EQ(atStart, lines.size());
    EXPECT_FALSE(o.MergeFile(lines));  // the file this window wrote: no key at all
    EXPECT_EQ(o.KeysComputed(), atStart);
    Lines file = lines;
    file.insert(file.begin() + 1500, "search 101499x");  // another window's search
    file.erase(file.begin() + 10);                        // and one it removed
    EXPECT_TRUE(o.MergeFile(file));
    EXPECT_EQ(o.KeysComputed() - atStart, 1u);  // the new line alone
    EXPECT_EQ(o.Size(), lines.size() + 1);  // the removed one is still shown, so it joins again
    EXPECT_EQ(o.Entries()[1500], "search 101499x");
}

} // namespace
