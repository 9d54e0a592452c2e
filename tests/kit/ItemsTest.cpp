#include "kit/Control.h"
#include "core/Error.h"
#include "kit/ImageList.h"
#include "kit/Items.h"
#include "tests/support/RecordingPlatform.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kit;

namespace {

struct ChangeLog : TTBItemObserver {
    struct Entry {
        TTBCustomItem* item;
        TTBItemChange change;
    };
    std::vector<Entry> entries;
    void ItemChanged(TTBCustomItem& item, TTBItemChange change) override { entries.push_back({&item, change}); }
};

std::vector<std::string> names(const TTBCustomItem& parent) {
    std::vector<std::string> result;
    for (TTBCustomItem* child : parent.Children()) result.push_back(child->Name());
    return result;
}

template <typename T>
T* make(TComponent& owner, const std::string& name, TTBCustomItem* parent = nullptr) {
    auto* item = new T(&owner);
    item->SetName(name);
    if (parent) parent->Add(item);
    return item;
}

} // namespace

TEST(Items, TreeAddsInsertsRemovesAndReparents) {
    TComponent form(nullptr);
    TTBRootItem root(nullptr);
    auto* a = make<TTBItem>(form, "a", &root);
    auto* b = make<TTBItem>(form, "b", &root);
    auto* menu = make<TTBSubmenuItem>(form, "menu", &root);
    auto* c = make<TTBItem>(form, "c");
    root.Insert(1, c);
    EXPECT_EQ(names(root), (std::vector<std::string>{"a", "c", "b", "menu"}));
    EXPECT_EQ(root.IndexOf(b), 2);
    EXPECT_EQ(root.Items(3), menu);

    // Adding an item that has a parent moves it; adding a child again moves it to the end.
    menu->Add(a);
    EXPECT_EQ(a->Parent(), menu);
    EXPECT_EQ(names(root), (std::vector<std::string>{"c", "b", "menu"}));
    root.Add(c);
    EXPECT_EQ(names(root), (std::vector<std::string>{"b", "menu", "c"}));

    root.Remove(b);
    EXPECT_EQ(b->Parent(), nullptr);
    EXPECT_EQ(root.IndexOf(b), -1);
    root.Remove(a);  // not a child of root: nothing happens
    EXPECT_EQ(a->Parent(), menu);

    EXPECT_THROW(root.Items(3), kit::Error);
    EXPECT_THROW(root.Insert(5, b), kit::Error);
    try {
        root.Items(-1);
        FAIL();
    } catch (const kit::Error& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
    }
    // No rings: an item under itself or under its own descendant is refused and nothing moves.
    EXPECT_THROW(menu->Add(menu), kit::Error);
    EXPECT_THROW(a->Add(menu), kit::Error);
    EXPECT_EQ(menu->Parent(), &root);
    EXPECT_THROW(root.Add(nullptr), kit::Error);
}

TEST(Items, AutoCheckTogglesBeforeTheHandlerAndClearsTheGroupUnderTheSameParentOnly) {
    TComponent form(nullptr);
    TTBRootItem root(nullptr);
    auto* engines = make<TTBSubmenuItem>(form, "engines", &root);
    auto* other = make<TTBSubmenuItem>(form, "other", &root);
    std::vector<TTBItem*> group;
    for (const char* name : {"e1", "e2", "e3"}) {
        auto* e = make<TTBItem>(form, name, engines);
        e->SetGroupIndex(1);
        e->SetAutoCheck(true);
        group.push_back(e);
    }
    auto* plain = make<TTBItem>(form, "plain", engines);  // group 0: never cleared by others
    plain->SetChecked(true);
    auto* cousin = make<TTBItem>(form, "cousin", other);  // same group number, other parent
    cousin->SetGroupIndex(1);
    cousin->SetChecked(true);

    std::vector<std::string> seen;
    for (TTBItem* e : group)
        e->OnClick = [&seen](TComponent* sender) {
            auto* item = static_cast<TTBCustomItem*>(sender);
            seen.push_back(item->Name() + (item->Checked() ? "+" : "-"));
        };

    group[0]->Click();
    group[1]->Click();
    EXPECT_FALSE(group[0]->Checked());
    EXPECT_TRUE(group[1]->Checked());
    EXPECT_TRUE(plain->Checked());
    EXPECT_TRUE(cousin->Checked());
    // Clicking the checked one clears its mark and still runs its handler.
    group[1]->Click();
    EXPECT_FALSE(group[1]->Checked());
    EXPECT_EQ(seen, (std::vector<std::string>{"e1+", "e2+", "e2-"}));

    // Setting Checked directly clears the group too, without AutoCheck and without a click.
    group[2]->SetAutoCheck(false);
    group[0]->SetChecked(true);
    group[2]->SetChecked(true);
    EXPECT_FALSE(group[0]->Checked());
    EXPECT_TRUE(group[2]->Checked());
    EXPECT_EQ(seen.size(), 3u);

    // Without AutoCheck a click leaves the mark alone.
    group[2]->Click();
    EXPECT_TRUE(group[2]->Checked());
}

TEST(Items, DisabledItemIgnoresClicksAndAnErrorInOnClickGoesToTheErrorReport) {
    kgtest::RecordingPlatform recorder;
    TComponent form(nullptr);
    auto* item = make<TTBItem>(form, "miFail");
    int runs = 0;
    item->OnClick = [&](TComponent*) {
        ++runs;
        throw kit::Error("Navigation failed.");
    };
    item->SetAutoCheck(true);
    item->SetEnabled(false);
    item->Click();
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(item->Checked());
    EXPECT_TRUE(recorder.messageBoxes.empty());

    item->SetEnabled(true);
    item->Click();  // does not throw: the report takes the error
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(item->Checked());
    ASSERT_EQ(recorder.messageBoxes.size(), 1u);
    EXPECT_EQ(recorder.messageBoxes[0].text, "Navigation failed.");
    EXPECT_EQ(recorder.messageBoxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));

    item->OnClick = [](TComponent*) { throw std::runtime_error("plain runtime error"); };
    item->Click();
    ASSERT_EQ(recorder.messageBoxes.size(), 2u);
    EXPECT_EQ(recorder.messageBoxes[1].text, "plain runtime error");
}

TEST(Items, ObserversHearChangesOfTheItemAndItsDescendantsOnlyWhenSomethingChanged) {
    TComponent form(nullptr);
    TTBRootItem root(nullptr);
    ChangeLog log;
    root.AddObserver(&log);
    auto* menu = make<TTBSubmenuItem>(form, "menu", &root);
    auto* child = make<TTBItem>(form, "child", menu);
    ASSERT_EQ(log.entries.size(), 2u);  // two structure changes: root's and menu's
    EXPECT_EQ(log.entries[0].item, &root);
    EXPECT_EQ(log.entries[1].item, menu);
    EXPECT_EQ(log.entries[1].change, TTBItemChange::Structure);
    log.entries.clear();

    child->SetCaption("&News");
    child->SetCaption("&News");
    child->SetChecked(true);
    child->SetVisible(false);
    child->SetEnabled(true);  // unchanged
    menu->SetDropdownCombo(true);
    menu->SetOptions(menu->Options() + tboDropdownArrow);
    ASSERT_EQ(log.entries.size(), 5u);
    EXPECT_EQ(log.entries[0].item, child);
    EXPECT_EQ(log.entries[0].change, TTBItemChange::Properties);
    EXPECT_EQ(log.entries[1].change, TTBItemChange::State);
    EXPECT_EQ(log.entries[2].change, TTBItemChange::Visibility);
    EXPECT_EQ(log.entries[3].item, menu);
    EXPECT_TRUE(menu->Options().Contains(tboDropdownArrow));
    EXPECT_FALSE(menu->Options().Contains(tboDefault));

    // An item taken out of the tree no longer reaches the root's observers.
    menu->Remove(child);
    log.entries.clear();
    child->SetCaption("x");
    EXPECT_TRUE(log.entries.empty());
    root.RemoveObserver(&log);
}

TEST(Items, FreeingAnItemTakesItOutOfItsParentAndLetsGoOfChildrenLinksImagesAndControls) {
    TComponent form(nullptr);
    TTBRootItem root(nullptr);
    auto* menu = make<TTBSubmenuItem>(form, "menu", &root);
    auto* child = make<TTBItem>(form, "child", menu);
    auto* linker = make<TTBSubmenuItem>(form, "linker", &root);
    linker->SetLinkSubitems(menu);
    EXPECT_EQ(&linker->ShownChildren(), &menu->Children());

    ChangeLog watcher;
    menu->AddObserver(&watcher);
    const auto serial = menu->Serial();
    delete menu;
    EXPECT_EQ(TTBCustomItem::FindLive(menu, serial), nullptr);
    ASSERT_FALSE(watcher.entries.empty());
    EXPECT_EQ(watcher.entries[0].change, TTBItemChange::Destroying);
    EXPECT_EQ(root.Count(), 1);
    EXPECT_EQ(child->Parent(), nullptr);  // children are not freed: their owner frees them
    EXPECT_EQ(linker->LinkSubitems(), nullptr);
    EXPECT_TRUE(linker->ShownChildren().empty());
    EXPECT_EQ(TTBCustomItem::FindLive(child, child->Serial()), child);

    auto* images = new TImageList(&form);
    auto* control = new TControl(&form);
    auto* host = make<TTBControlItem>(form, "host", &root);
    host->SetControl(control);
    child->SetImages(images);
    delete images;
    delete control;
    EXPECT_EQ(child->Images(), nullptr);
    EXPECT_EQ(host->Control(), nullptr);
}

TEST(Items, LinksAreFollowedAndARingOfLinksDoesNotHang) {
    TComponent form(nullptr);
    auto* a = make<TTBSubmenuItem>(form, "a");
    auto* b = make<TTBSubmenuItem>(form, "b");
    auto* c = make<TTBSubmenuItem>(form, "c");
    make<TTBItem>(form, "c1", c);
    a->SetLinkSubitems(b);
    b->SetLinkSubitems(c);
    EXPECT_EQ(&a->ShownChildren(), &c->Children());
    c->SetLinkSubitems(a);  // a ring
    const auto& shown = a->ShownChildren();
    EXPECT_TRUE(&shown == &a->Children() || &shown == &b->Children() || &shown == &c->Children());
    a->SetLinkSubitems(a);
    EXPECT_EQ(&a->ShownChildren(), &a->Children());
}

TEST(Component, FreeListenersAreToldOnceAndCanBeRemoved) {
    int told = 0, removedTold = 0;
    {
        TComponent owner(nullptr);
        auto* c = new TComponent(&owner);
        int key1 = 0, key2 = 0;
        c->AddFreeListener(&key1, [&] { ++told; });
        c->AddFreeListener(&key1, [&] { told += 10; });  // same key replaces
        c->AddFreeListener(&key2, [&] { ++removedTold; });
        c->RemoveFreeListener(&key2);
    }
    EXPECT_EQ(told, 10);
    EXPECT_EQ(removedTold, 0);
}

// The owner finds its components by name through an index: it must follow
// renames, failed renames and frees, without regard to letter case.
TEST(Component, NameLookupFollowsRenamesAndFrees) {
    TComponent form(nullptr);
    auto* home = new TTBItem(&form);
    home->SetName("miHome");
    auto* news = new TTBItem(&form);
    news->SetName("miNews");
    auto* other = new TTBItem(&form);
    EXPECT_THROW(other->SetName("MINEWS"), Error);
    EXPECT_EQ(other->Name(), "");

    home->SetName("miStart");
    news->SetName("MINEWS");  // its own name in other letters
    delete other;
    other = new TTBItem(&form);
    other->SetName("miHome");  // free again after the rename
    struct Lookup {
        const char* name;
        TComponent* found;
    };
    for (const Lookup& l : {Lookup{"mistart", home}, Lookup{"miNews", news}, Lookup{"MIHOME", other},
                            Lookup{"", nullptr}, Lookup{"miNothing", nullptr}}) {
        SCOPED_TRACE(l.name);
        EXPECT_EQ(form.FindComponent(l.name), l.found);
    }
    EXPECT_EQ(news->Name(), "MINEWS");

    // A freed component's name can be taken again; clearing a name frees it too.
    delete news;
    EXPECT_EQ(form.FindComponent("miNews"), nullptr);
    auto* again = new TTBItem(&form);
    again->SetName("miNews");
    other->SetName("");
    EXPECT_EQ(form.FindComponent("miHome"), nullptr);
    home->SetName("miHome");
    EXPECT_EQ(form.FindComponent("MiHome"), home);
    EXPECT_EQ(form.FindComponent("miNews"), again);
}

// Changed climbs only to observed ancestors, through an answer kept per item: after every kind
// of move, observer change and free, a leaf's change must still reach exactly the observers above it.
TEST(Items, ChangesReachTheObserversAboveAfterMovesObserverChangesAndFrees) {
    struct Step {
        const char* what;
        std::function<void(TTBCustomItem* top, TTBCustomItem* mid, TTBCustomItem* low, TTBCustomItem* other,
                           ChangeLog& onTop, ChangeLog& onMid, ChangeLog& onOther)>
            act;
        bool top, mid, other;  // who hears a change of the leaf afterwards
    };
    using I = TTBCustomItem*;
    using L = ChangeLog&;
    const Step steps[] = {
        {"as built", [](I, I, I, I, L, L, L) {}, true, false, false},
        {"mid observed", [](I, I mid, I, I, L, L m, L) { mid->AddObserver(&m); }, true, true, false},
        {"low moved under other", [](I, I, I low, I other, L, L, L) { other->Add(low); }, false, false, false},
        {"other observed", [](I, I, I, I other, L, L, L o) { other->AddObserver(&o); }, false, false, true},
        {"low back under mid", [](I, I mid, I low, I, L, L, L) { mid->Add(low); }, true, true, false},
        {"mid under other", [](I, I mid, I, I other, L, L, L) { other->Add(mid); }, false, true, true},
        {"mid's observer gone", [](I, I mid, I, I, L, L m, L) { mid->RemoveObserver(&m); }, false, false, true},
        {"other under top", [](I top, I, I, I other, L, L, L) { top->Add(other); }, true, false, true},
        {"other freed", [](I, I, I, I other, L, L, L) { delete other; }, false, false, false},
        {"mid back under top", [](I top, I mid, I, I, L, L, L) { top->Add(mid); }, true, false, false},
    };
    TComponent form(nullptr);
    auto* top = make<TTBSubmenuItem>(form, "top");
    auto* mid = make<TTBSubmenuItem>(form, "mid", top);
    auto* low = make<TTBSubmenuItem>(form, "low", mid);
    auto* leaf = make<TTBItem>(form, "leaf", low);
    TTBCustomItem* other = make<TTBSubmenuItem>(form, "other");
    make<TTBItem>(form, "otherChild", other);
    ChangeLog onTop, onMid, onOther;
    top->AddObserver(&onTop);
    int caption = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(top, mid, low, other, onTop, onMid, onOther);
        if (std::string(step.what) == "other freed") other = nullptr;
        onTop.entries.clear();
        onMid.entries.clear();
        onOther.entries.clear();
        leaf->SetCaption(std::to_string(++caption));
        auto heard = [&](const ChangeLog& log) {
            return log.entries.size() == 1 && log.entries[0].item == leaf &&
                   log.entries[0].change == TTBItemChange::Properties;
        };
        EXPECT_EQ(heard(onTop), step.top);
        EXPECT_EQ(heard(onMid), step.mid);
        EXPECT_EQ(heard(onOther), step.other);
        EXPECT_EQ(onTop.entries.size() + onMid.entries.size() + onOther.entries.size(),
                  std::size_t{step.top} + step.mid + step.other);
    }
    top->RemoveObserver(&onTop);
}

// A chain far deeper than any menu: adding to its end and freeing it stay linear, and rings are still refused.
TEST(Items, DeepChainsAreBuiltAndFreedAndRingsRefused) {
    TComponent form(nullptr);
    TTBRootItem root(nullptr);
    ChangeLog log;
    root.AddObserver(&log);
    TTBCustomItem* end = &root;
    std::vector<TTBCustomItem*> chain;
    for (int i = 0; i < 200000; ++i) {
        auto* item = new TTBSubmenuItem(&form);
        end->Add(item);
        chain.push_back(item);
        end = item;
    }
    EXPECT_EQ(log.entries.size(), 200000u);  // each Add told the root's observer once
    EXPECT_THROW(end->Add(chain.front()), kit::Error);
    EXPECT_THROW(chain[100000]->Add(chain[99999]), kit::Error);
    EXPECT_EQ(chain[100000]->Parent(), chain[99999]);
    log.entries.clear();
    delete chain.front();  // frees from the top: the rest falls off the tree
    EXPECT_EQ(chain[1]->Parent(), nullptr);
    EXPECT_EQ(log.entries.size(), 1u);
    root.RemoveObserver(&log);
}

TEST(Items, EachRarelySetPropertyStartsAtItsDefaultAndTellsOnlyRealChanges) {
    struct Case {
        const char* what;
        std::function<bool(const TTBCustomItem&)> isDefault;
        std::function<void(TTBCustomItem&)> set, reset;
    };
    TComponent form(nullptr);
    auto* images = new TImageList(&form);
    auto* target = new TTBSubmenuItem(&form);
    const Case cases[] = {
        {"caption", [](const TTBCustomItem& i) { return i.Caption().empty(); },
         [](TTBCustomItem& i) { i.SetCaption("&News"); }, [](TTBCustomItem& i) { i.SetCaption(""); }},
        {"hint", [](const TTBCustomItem& i) { return i.Hint().empty(); },
         [](TTBCustomItem& i) { i.SetHint("http://h.example/"); }, [](TTBCustomItem& i) { i.SetHint(""); }},
        {"shortcut", [](const TTBCustomItem& i) { return i.ShortCut().empty(); },
         [](TTBCustomItem& i) { i.SetShortCut("Ctrl+X"); }, [](TTBCustomItem& i) { i.SetShortCut(""); }},
        {"group", [](const TTBCustomItem& i) { return i.GroupIndex() == 0; },
         [](TTBCustomItem& i) { i.SetGroupIndex(3); }, [](TTBCustomItem& i) { i.SetGroupIndex(0); }},
        {"images", [](const TTBCustomItem& i) { return i.Images() == nullptr; },
         [images](TTBCustomItem& i) { i.SetImages(images); }, [](TTBCustomItem& i) { i.SetImages(nullptr); }},
        {"link", [](const TTBCustomItem& i) { return i.LinkSubitems() == nullptr; },
         [target](TTBCustomItem& i) { i.SetLinkSubitems(target); },
         [](TTBCustomItem& i) { i.SetLinkSubitems(nullptr); }},
        {"display mode", [](const TTBCustomItem& i) { return i.DisplayMode() == nbdmDefault; },
         [](TTBCustomItem& i) { i.SetDisplayMode(nbdmTextOnlyInMenus); },
         [](TTBCustomItem& i) { i.SetDisplayMode(nbdmDefault); }},
    };
    for (const Case& c : cases) {
        TTBItem item(nullptr);
        ChangeLog log;
        EXPECT_TRUE(c.isDefault(item)) << c.what;
        c.reset(item);  // setting the default on a fresh item is no change
        item.AddObserver(&log);
        EXPECT_TRUE(log.entries.empty()) << c.what;
        c.reset(item);
        EXPECT_TRUE(log.entries.empty()) << c.what;
        c.set(item);
        c.set(item);
        EXPECT_FALSE(c.isDefault(item)) << c.what;
        c.reset(item);
        EXPECT_TRUE(c.isDefault(item)) << c.what;
        ASSERT_EQ(log.entries.size(), 2u) << c.what;
        EXPECT_EQ(log.entries[0].change, TTBItemChange::Properties) << c.what;
        EXPECT_TRUE(item.Children().empty()) << c.what;
        EXPECT_EQ(item.Count(), 0) << c.what;
        item.RemoveObserver(&log);
    }
    EXPECT_TRUE(target->Children().empty());
}
