#include "core/PointerSet.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <set>
#include <vector>

namespace {

struct Cell {
    int key;
};

// Few homes for many members: a third of the keys live in the array's last slot, the rest in
// its first ones, so runs wrap round the end and erasing pulls members back across it.
struct CrowdedHash {
    std::size_t operator()(int key) const noexcept {
        return key % 3 == 0 ? ~std::size_t{0} : static_cast<std::size_t>(key % 3 - 1);
    }
    std::size_t operator()(const Cell* c) const noexcept { return (*this)(c->key); }
};
struct SameKey {
    bool operator()(int a, const Cell* b) const noexcept { return a == b->key; }
    bool operator()(const Cell* a, const Cell* b) const noexcept { return a->key == b->key; }
};

using Set = kit::PointerSet<Cell, CrowdedHash, SameKey>;

} // namespace

TEST(PointerSet, AgreesWithAnOrderedSetThroughInsertsAndErases) {
    std::vector<Cell> cells(200);
    for (int i = 0; i < 200; ++i) cells[static_cast<std::size_t>(i)].key = i;
    // Few keys keep the array small, where runs wrap round its end; many keys make it grow.
    for (const unsigned range : {6u, 9u, 12u, 24u, 200u}) {
    SCOPED_TRACE(range);
    Set set;
    std::set<int> model;
    std::mt19937 random(18);
    for (int step = 0; step < 20000; ++step) {
        const int key = static_cast<int>(random() % range);
        Cell* cell = &cells[static_cast<std::size_t>(key)];
        if (random() % 3 != 0) {
            EXPECT_EQ(set.insert(cell), model.insert(key).second) << "step " << step;
        } else {
            EXPECT_EQ(set.erase(cell), model.erase(key) == 1) << "step " << step;
        }
        ASSERT_EQ(set.size(), model.size()) << "step " << step;
        if (step % 97 == 0) {
            for (int k = 0; k < 200; ++k)
                ASSERT_EQ(set.find(k) != nullptr, model.count(k) == 1) << "step " << step << ", key " << k;
        }
    }
    for (int k = 0; k < 200; ++k) EXPECT_EQ(set.find(k) != nullptr, model.count(k) == 1) << "key " << k;
    }
}

TEST(PointerSet, EqualKeysKeepTheFirstMemberAndEraseOnlyThatOne) {
    Cell first{7}, second{7}, other{12};
    Set set;
    EXPECT_TRUE(set.insert(&first));
    EXPECT_FALSE(set.insert(&second));
    EXPECT_TRUE(set.insert(&other));
    EXPECT_EQ(set.find(7), &first);
    EXPECT_FALSE(set.erase(7, &second));  // an equal key, but not the member
    EXPECT_EQ(set.find(7), &first);
    EXPECT_TRUE(set.erase(&first));
    EXPECT_EQ(set.find(7), nullptr);
    EXPECT_EQ(set.find(12), &other);
    EXPECT_TRUE(set.erase(&other));
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(set.find(12), nullptr);
    EXPECT_TRUE(set.insert(&second));  // usable again once emptied
    EXPECT_EQ(set.find(7), &second);
}
