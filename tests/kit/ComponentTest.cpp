#include "core/Component.h"
#include "core/Error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kit::TComponent;

TEST(Component, NamesAreIdentifiersUniqueWithoutRegardToCase) {
    TComponent form(nullptr);
    auto* a = new TComponent(&form);
    a->SetName("miHome");
    auto* b = new TComponent(&form);
    try {
        b->SetName("MIHOME");
        FAIL() << "duplicate accepted";
    } catch (const kit::Error& e) {
        EXPECT_STREQ(e.what(), "A component named MIHOME already exists");
    }
    try {
        b->SetName("2nd item");
        FAIL() << "invalid name accepted";
    } catch (const kit::Error& e) {
        EXPECT_STREQ(e.what(), "''2nd item'' is not a valid component name");
    }
    EXPECT_EQ(form.FindComponent("MiHome"), a);
    EXPECT_EQ(form.FindComponent(""), nullptr);
    b->SetName("_x1");
    EXPECT_EQ(form.ComponentCount(), 2u);
    EXPECT_EQ(form.Components(1), b);
}

TEST(Component, OwnerFreesWhatItOwnsAndForgetsWhatIsFreedFirst) {
    static int destroyed = 0;
    struct Probe : TComponent {
        using TComponent::TComponent;
        ~Probe() override { ++destroyed; }
    };
    destroyed = 0;
    {
        TComponent form(nullptr);
        auto* p = new Probe(&form);
        new Probe(p);  // owned by p, freed with it
        new Probe(&form);
        delete p;
        EXPECT_EQ(destroyed, 2);
        EXPECT_EQ(form.ComponentCount(), 1u);
    }
    EXPECT_EQ(destroyed, 3);
}

TEST(Component, RenamesAndFreeingKeepTheNameLookupsRight) {
    TComponent form(nullptr);
    std::vector<TComponent*> parts;
    for (int i = 0; i < 3000; ++i) {
        parts.push_back(new TComponent(&form));
        parts.back()->SetName("Part" + std::to_string(i));
    }
    // Every third renamed, every fifth freed, one name given back and taken by another.
    for (int i = 0; i < 3000; i += 3) parts[static_cast<std::size_t>(i)]->SetName("Moved" + std::to_string(i));
    for (int i = 0; i < 3000; i += 5) {
        delete parts[static_cast<std::size_t>(i)];
        parts[static_cast<std::size_t>(i)] = nullptr;
    }
    parts[1]->SetName("");
    parts[2]->SetName("PART1");
    parts[4]->SetName("pArT4");  // its own name in another case
    for (int i = 0; i < 3000; ++i) {
        TComponent* part = parts[static_cast<std::size_t>(i)];
        // Part1 gave its name to Part2; freed parts are found by neither name.
        TComponent* const plainOwner = i == 1 ? parts[2] : i == 2 || i % 3 == 0 ? nullptr : part;
        EXPECT_EQ(form.FindComponent("part" + std::to_string(i)), plainOwner) << i;
        EXPECT_EQ(form.FindComponent("moved" + std::to_string(i)), i % 3 == 0 ? part : nullptr) << i;
    }
    EXPECT_EQ(parts[4]->Name(), "pArT4");
    EXPECT_EQ(form.ComponentCount(), 3000u - 600u);
}
