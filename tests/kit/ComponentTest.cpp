#include "core/Component.h"
#include "core/Error.h"

#include <gtest/gtest.h>

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
