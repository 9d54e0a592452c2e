#include "tests/support/Pictures.h"
#include "kit/Control.h"
#include "kit/ImageList.h"
#include "kit/PopupMenu.h"
#include "tests/kit/MenuDriver.h"
#include "tests/support/RecordingPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kit;

namespace {

struct Entry {
    std::string text;
    UINT type = 0, state = 0, id = 0;
    HMENU submenu = nullptr;
    HBITMAP bitmap = nullptr;
};

Entry entryAt(HMENU menu, int pos) {
    char buffer[256] = {};
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_BITMAP;
    mii.dwTypeData = buffer;
    mii.cch = sizeof buffer;
    EXPECT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &mii));
    return {buffer, mii.fType, mii.fState, mii.wID, mii.hSubMenu, mii.hbmpItem};
}

std::vector<std::string> texts(HMENU menu) {
    std::vector<std::string> result;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        const Entry e = entryAt(menu, i);
        result.push_back((e.type & MFT_SEPARATOR) ? "-" : e.text);
    }
    return result;
}

template <typename T>
T* make(TComponent& owner, const std::string& caption, TTBCustomItem* parent) {
    auto* item = new T(&owner);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
}

} // namespace

TEST(PopupMenu, BuildMenuShowsCaptionsShortcutsMarksAndLeavesOutWhatIsHidden) {
    TComponent form(nullptr);
    TTBPopupMenu popup(&form);
    TTBCustomItem* root = popup.Items();
    make<TTBSeparatorItem>(form, "", root);  // leading separator: dropped
    auto* cut = make<TTBItem>(form, "Cu&t", root);
    cut->SetShortCut("Ctrl+X");
    auto* copy = make<TTBItem>(form, "&Copy", root);
    copy->SetEnabled(false);
    make<TTBSeparatorItem>(form, "", root);
    make<TTBItem>(form, "Hidden", root)->SetVisible(false);
    make<TTBSeparatorItem>(form, "", root);  // doubled once "Hidden" is left out: one remains
    auto* checked = make<TTBItem>(form, "Checked", root);
    checked->SetChecked(true);
    auto* radio = make<TTBItem>(form, "Radio", root);
    radio->SetGroupIndex(1);
    radio->SetChecked(true);
    auto* bold = make<TTBItem>(form, "Bold", root);
    bold->SetOptions({tboDefault});
    auto* hosted = make<TTBControlItem>(form, "Hosted", root);  // controls cannot sit in menus
    hosted->SetControl(new TControl(&form));
    make<TTBSeparatorItem>(form, "", root);  // trailing separator: dropped

    TTBMenuMap map;
    unique_hmenu menu = popup.BuildMenu(map);
    ASSERT_TRUE(menu);
    EXPECT_EQ(texts(menu.get()),
              (std::vector<std::string>{"Cu&t\tCtrl+X", "&Copy", "-", "Checked", "Radio", "Bold"}));
    EXPECT_EQ(entryAt(menu.get(), 1).state & MFS_GRAYED, static_cast<UINT>(MFS_GRAYED));
    EXPECT_EQ(entryAt(menu.get(), 0).state & (MFS_GRAYED | MFS_CHECKED), 0u);
    const Entry c = entryAt(menu.get(), 3), r = entryAt(menu.get(), 4);
    EXPECT_TRUE(c.state & MFS_CHECKED);
    EXPECT_FALSE(c.type & MFT_RADIOCHECK);
    EXPECT_TRUE(r.state & MFS_CHECKED);
    EXPECT_TRUE(r.type & MFT_RADIOCHECK);
    EXPECT_TRUE(entryAt(menu.get(), 5).state & MFS_DEFAULT);

    // Commands lead back to their items, and only while the items live.
    EXPECT_EQ(map.ItemOf(entryAt(menu.get(), 0).id), cut);
    EXPECT_EQ(map.ItemOf(entryAt(menu.get(), 4).id), radio);
    EXPECT_EQ(map.CommandOf(checked), entryAt(menu.get(), 3).id);
    EXPECT_EQ(map.ItemOf(0), nullptr);
    EXPECT_EQ(map.ItemOf(9999), nullptr);
    const UINT cutId = map.CommandOf(cut);
    delete cut;
    EXPECT_EQ(map.ItemOf(cutId), nullptr);

    // An empty menu builds to nothing at all.
    TTBPopupMenu empty(&form);
    TTBMenuMap emptyMap;
    EXPECT_EQ(GetMenuItemCount(empty.BuildMenu(emptyMap).get()), 0);
}

// A long list shows its first kMaxMenuEntries entries, then one disabled entry that counts the rest;
// hidden items and separators are no entries. Captions are shown cut, the items keep them whole.
TEST(PopupMenu, LongListsShowTheirFirstEntriesAndCountTheRest) {
    const int max = kMaxMenuEntries;
    const struct {
        const char* what;
        int shown, hidden, separators;  // items after the cap: hidden ones, separators between
        std::string last;               // text of the last entry
    } cases[] = {
        {"one less than the cap", max - 1, 0, 0, "Item " + std::to_string(max - 1)},
        {"exactly the cap", max, 0, 0, "Item " + std::to_string(max)},
        {"one more", max + 1, 0, 0, "(1 more entry not shown)"},
        {"hidden items are not counted", max + 3, 5, 0, "(3 more entries not shown)"},
        {"nor separators after the cap", max + 2, 0, 4, "(2 more entries not shown)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TComponent form(nullptr);
        TTBPopupMenu popup(&form);
        TTBCustomItem* root = popup.Items();
        for (int i = 1; i <= c.shown; ++i) {
            make<TTBItem>(form, "Item " + std::to_string(i), root);
            if (i > max && i - max <= c.hidden) make<TTBItem>(form, "Hidden", root)->SetVisible(false);
            if (i > max && i - max <= c.separators) make<TTBSeparatorItem>(form, "", root);
        }
        TTBMenuMap map;
        unique_hmenu menu = BuildMenu(*root, map);
        const int entries = std::min(c.shown, max) + (c.shown > max ? 1 : 0);
        ASSERT_EQ(GetMenuItemCount(menu.get()), entries);
        const Entry last = entryAt(menu.get(), entries - 1);
        EXPECT_EQ(last.text, c.last);
        EXPECT_EQ((last.state & MFS_GRAYED) != 0, c.shown > max);
        EXPECT_EQ(map.Count(), static_cast<std::size_t>(std::min(c.shown, max)));
    }

    TComponent form(nullptr);
    TTBPopupMenu popup(&form);
    const std::string huge(100000, 'w');
    TTBItem* item = make<TTBItem>(form, huge, popup.Items());
    TTBMenuMap map;
    unique_hmenu menu = BuildMenu(*popup.Items(), map);
    char shown[1024] = {};
    GetMenuStringA(menu.get(), 0, shown, sizeof shown, MF_BYPOSITION);
    EXPECT_EQ(std::string(shown), std::string(kMaxShownCaption, 'w') + "...");
    EXPECT_EQ(item->Caption(), huge);
}

TEST(PopupMenu, SubmenusFollowSubmenuItemsAndLinksAtEveryLevel) {
    TComponent form(nullptr);
    TTBPopupMenu popup(&form);
    TTBCustomItem* root = popup.Items();
    auto* news = make<TTBSubmenuItem>(form, "News", root);
    make<TTBItem>(form, "World", news);
    make<TTBItem>(form, "Sport", news);
    auto* plain = make<TTBItem>(form, "Plain", root);  // a plain item's children are not shown
    make<TTBItem>(form, "Ignored", plain);
    auto* emptyMenu = make<TTBSubmenuItem>(form, "Empty", root);  // no children: a plain entry
    make<TTBItem>(form, "Gone", emptyMenu)->SetVisible(false);
    auto* search = make<TTBSubmenuItem>(form, "Search", root);  // split: its own entry first
    search->SetDropdownCombo(true);
    make<TTBItem>(form, "Engine 1", search);
    // An item elsewhere whose children a nested entry shows.
    TTBSubmenuItem favourites(&form);
    make<TTBItem>(form, "Fav 1", &favourites);
    auto* linked = make<TTBSubmenuItem>(form, "Linked", news);
    linked->SetLinkSubitems(&favourites);
    // A ring: an entry that links back to the menu that holds it.
    auto* ring = make<TTBSubmenuItem>(form, "Ring", news);
    ring->SetLinkSubitems(news);

    TTBMenuMap map;
    unique_hmenu menu = popup.BuildMenu(map);
    EXPECT_EQ(texts(menu.get()), (std::vector<std::string>{"News", "Plain", "Empty", "Search"}));
    const Entry newsEntry = entryAt(menu.get(), 0);
    ASSERT_NE(newsEntry.submenu, nullptr);
    EXPECT_EQ(texts(newsEntry.submenu), (std::vector<std::string>{"World", "Sport", "Linked", "Ring"}));
    EXPECT_EQ(entryAt(menu.get(), 1).submenu, nullptr);
    EXPECT_EQ(entryAt(menu.get(), 2).submenu, nullptr);
    EXPECT_EQ(map.ItemOf(entryAt(menu.get(), 2).id), emptyMenu);

    const Entry linkedEntry = entryAt(newsEntry.submenu, 2);
    ASSERT_NE(linkedEntry.submenu, nullptr);
    EXPECT_EQ(texts(linkedEntry.submenu), (std::vector<std::string>{"Fav 1"}));
    // The ring ends where it would start over: no submenu below it.
    EXPECT_EQ(entryAt(newsEntry.submenu, 3).submenu, nullptr);

    const Entry searchEntry = entryAt(menu.get(), 3);
    ASSERT_NE(searchEntry.submenu, nullptr);
    EXPECT_EQ(texts(searchEntry.submenu), (std::vector<std::string>{"Search", "-", "Engine 1"}));
    EXPECT_EQ(map.ItemOf(entryAt(searchEntry.submenu, 0).id), search);

    // The popup's own LinkSubitems replaces its entries.
    popup.SetLinkSubitems(news);
    TTBMenuMap linkedMap;
    unique_hmenu linkedMenu = popup.BuildMenu(linkedMap);
    EXPECT_EQ(texts(linkedMenu.get()), (std::vector<std::string>{"World", "Sport", "Linked", "Ring"}));
    popup.SetLinkSubitems(nullptr);
    TTBMenuMap ownMap;
    EXPECT_EQ(GetMenuItemCount(popup.BuildMenu(ownMap).get()), 4);
}

TEST(PopupMenu, ImagesComeFromTheSubmenusImageListAndOnlyForExistingImages) {
    TComponent form(nullptr);
    auto* menuImages = new TImageList(&form);
    menuImages->Add(kgtest::SolidBitmap(32, 16, 0xFFFF0000));  // two images
    auto* otherImages = new TImageList(&form);
    otherImages->Add(kgtest::SolidBitmap(16, 16, 0xFF0000FF));

    TTBPopupMenu popup(&form);
    popup.SetImages(menuImages);
    TTBCustomItem* root = popup.Items();
    auto* withImage = make<TTBItem>(form, "With", root);
    withImage->SetImageIndex(1);
    auto* beyond = make<TTBItem>(form, "Beyond", root);
    beyond->SetImageIndex(2);
    auto* textOnly = make<TTBItem>(form, "TextOnly", root);
    textOnly->SetImageIndex(0);
    textOnly->SetDisplayMode(nbdmTextOnlyInMenus);
    auto* sub = make<TTBSubmenuItem>(form, "Sub", root);
    sub->SetImageIndex(0);
    sub->SetImages(otherImages);  // for the entries of its submenu
    auto* inner = make<TTBItem>(form, "Inner", sub);
    inner->SetImageIndex(0);

    TTBMenuMap map;
    unique_hmenu menu = popup.BuildMenu(map);
    const Entry with = entryAt(menu.get(), 0);
    EXPECT_EQ(with.bitmap, HBMMENU_CALLBACK);
    EXPECT_EQ(map.ImageIndexOf(with.id), 1);
    EXPECT_EQ(map.ImagesOf(with.id), menuImages);
    EXPECT_EQ(entryAt(menu.get(), 1).bitmap, nullptr);
    EXPECT_EQ(map.ImageIndexOf(entryAt(menu.get(), 1).id), -1);
    EXPECT_EQ(entryAt(menu.get(), 2).bitmap, nullptr);
    const Entry subEntry = entryAt(menu.get(), 3);
    EXPECT_EQ(map.ImagesOf(subEntry.id), menuImages);
    EXPECT_EQ(map.ImagesOf(entryAt(subEntry.submenu, 0).id), otherImages);
}

TEST(PopupMenu, PopupRunsOnPopupShowsTheImagesAndClicksTheChosenItem) {
    kgtest::RecordingPlatform recorder;
    TComponent form(nullptr);
    auto* images = new TImageList(&form);
    images->Add(kgtest::SolidBitmap(16, 16, 0xFFFF0000));  // pure red
    TTBPopupMenu popup(&form);
    popup.SetImages(images);
    auto* first = make<TTBItem>(form, "First", popup.Items());
    first->SetImageIndex(0);
    auto* second = make<TTBItem>(form, "Second", popup.Items());
    second->SetAutoCheck(true);
    std::vector<std::string> events;
    popup.OnPopup = [&](TComponent* sender) {
        EXPECT_EQ(sender, &popup);
        events.push_back("popup");
    };
    first->OnClick = [&](TComponent*) { events.push_back("first"); };
    second->OnClick = [&](TComponent*) { events.push_back(second->Checked() ? "second checked" : "second"); };

    int redPixels = -1;
    {
        kgtest::MenuDriver driver({VK_DOWN, VK_DOWN, VK_RETURN},
                                  [&](HWND menu) { redPixels = kgtest::CountPixels(menu, RGB(255, 0, 0)); });
        popup.Popup(100, 100);
        EXPECT_TRUE(driver.sawMenu);
    }
    EXPECT_EQ(events, (std::vector<std::string>{"popup", "second checked"}));
    EXPECT_GE(redPixels, 16 * 16 - 32) << "the image of the first entry is drawn in the menu";

    // Escape chooses nothing.
    events.clear();
    {
        kgtest::MenuDriver driver({VK_ESCAPE});
        popup.Popup(100, 100);
        EXPECT_TRUE(driver.sawMenu);
    }
    EXPECT_EQ(events, (std::vector<std::string>{"popup"}));
    EXPECT_TRUE(recorder.messageBoxes.empty());
}

TEST(PopupMenu, ControlShowsItsPopupMenuOnContextMenu) {
    TComponent form(nullptr);
    TTBPopupMenu popup(&form);
    bool clicked = false;
    make<TTBItem>(form, "Only", popup.Items())->OnClick = [&](TComponent*) { clicked = true; };
    TControl control(nullptr);
    control.SetBounds(50, 50, 40, 20);
    control.PopupMenu = &popup;
    HWND window = control.Handle();
    kgtest::MenuDriver driver({VK_DOWN, VK_RETURN});
    SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(60, 60));
    EXPECT_TRUE(driver.sawMenu);
    EXPECT_TRUE(clicked);
}
