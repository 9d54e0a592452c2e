// The list that merges the search history: sorted without regard to letter
// case, and a text already present in any letter case is not added again.
#include "toolbar/HistoryList.h"

#include <gtest/gtest.h>

namespace {

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

} // namespace
