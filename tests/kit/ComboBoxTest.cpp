// The editable combo box, against the real system control.
#include "kit/ComboBox.h"
#include "core/Error.h"
#include "kit/Form.h"
#include "kit/PopupMenu.h"
#include "tests/kit/KitTestWindows.h"
#include "tests/support/RecordingPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kit::TComboBox;
using kit::TComponent;

namespace {

// What the system control itself holds, read with its own messages.
std::vector<std::string> systemList(HWND combo) {
    std::vector<std::string> list;
    const auto n = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (WPARAM i = 0; i < static_cast<WPARAM>(n); ++i) {
        char text[256] = {};
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        list.emplace_back(text);
    }
    return list;
}

std::string systemText(HWND combo) {
    char text[256] = {};
    GetWindowTextA(combo, text, sizeof text);
    return text;
}

// A box on a form, so its notifications come back to it.
struct Hosted {
    kittest::ForeignWindow site;
    kit::TForm form{nullptr};
    TComboBox box{nullptr};
    Hosted() {
        form.SetParentWindow(site.get());
        form.SetBorderStyle(kit::TFormBorderStyle::bsNone);
        form.SetBounds(0, 0, 400, 30);
        form.FinishCreation();
        form.Show();
        box.SetParent(&form);
        box.SetBounds(10, 4, 145, 21);
    }
    ~Hosted() { box.SetParent(nullptr); }
};

} // namespace

TEST(ComboBox, SortedListIgnoresLetterCaseBeforeAndAfterTheWindowExists) {
    Hosted h;
    h.box.SetParent(nullptr);  // no window yet
    h.box.SetSorted(true);
    for (const char* s : {"banana", "Cherry", "apple", "Apple pie"}) h.box.Add(s);
    const std::vector<std::string> expected{"apple", "Apple pie", "banana", "Cherry"};
    EXPECT_EQ(h.box.ItemList(), expected);
    EXPECT_EQ(h.box.IndexOf("BANANA"), 2);
    EXPECT_EQ(h.box.IndexOf("banan"), -1);

    h.box.SetParent(&h.form);
    HWND combo = h.box.Handle();
    EXPECT_TRUE(GetWindowLongPtrA(combo, GWL_STYLE) & CBS_SORT);
    EXPECT_EQ(systemList(combo), expected);
    EXPECT_EQ(h.box.Add("BLUEBERRY"), 3);
    EXPECT_EQ(h.box.Add("aardvark"), 0);
    EXPECT_EQ(systemList(combo),
              (std::vector<std::string>{"aardvark", "apple", "Apple pie", "banana", "BLUEBERRY", "Cherry"}));
    EXPECT_EQ(h.box.IndexOf("cherry"), 5);

    TComboBox unsorted(nullptr);
    unsorted.SetParentWindow(h.site.get());
    unsorted.Add("b");
    unsorted.Add("A");
    EXPECT_FALSE(GetWindowLongPtrA(unsorted.Handle(), GWL_STYLE) & CBS_SORT);
    EXPECT_EQ(systemList(unsorted.Handle()), (std::vector<std::string>{"b", "A"}));
    unsorted.SetSorted(true);  // recreates the window with its content
    EXPECT_TRUE(GetWindowLongPtrA(unsorted.Handle(), GWL_STYLE) & CBS_SORT);
    EXPECT_EQ(systemList(unsorted.Handle()), (std::vector<std::string>{"A", "b"}));
}

TEST(ComboBox, ReplacingOrClearingTheListKeepsTheText) {
    Hosted h;
    h.box.SetSorted(true);
    h.box.Assign({"one", "two"});
    h.box.SetText("news");
    HWND combo = h.box.Handle();
    EXPECT_EQ(systemList(combo), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(systemText(combo), "news");
    h.box.Assign({"zeta", "Alpha", "news"});
    EXPECT_EQ(systemList(combo), (std::vector<std::string>{"Alpha", "news", "zeta"}));
    EXPECT_EQ(systemText(combo), "news");
    EXPECT_EQ(h.box.ItemIndex(), -1);

    h.box.SetItemIndex(2);  // choosing an entry shows it
    EXPECT_EQ(h.box.Text(), "zeta");
    h.box.SetText("typed");
    h.box.SetItemIndex(h.box.IndexOf("typed"));  // -1: nothing chosen, text kept
    EXPECT_EQ(h.box.ItemIndex(), -1);
    EXPECT_EQ(systemText(combo), "typed");

    h.box.Delete(0);
    EXPECT_EQ(systemText(combo), "typed");
    h.box.Clear();
    EXPECT_EQ(h.box.Count(), 0);
    EXPECT_EQ(systemText(combo), "typed");
    try {
        h.box.Delete(0);
        FAIL() << "no error";
    } catch (const kit::Error& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (0)");
    }
    EXPECT_THROW(h.box.Items(3), kit::Error);
    EXPECT_THROW(h.box.SetItemIndex(1), kit::Error);
}

TEST(ComboBox, KeyPressCanSwallowOrReplaceTypedCharacters) {
    kgtest::RecordingPlatform platform;
    Hosted h;
    std::vector<int> keys;
    h.box.OnKeyPress = [&](TComponent* sender, char& key) {
        EXPECT_EQ(sender, &h.box);
        keys.push_back(key);
        if (key == '\r') key = 0;
        if (key == 'b') key = 'c';
        if (key == '!') throw kit::Error("handler failed");
    };
    h.box.Handle();
    HWND edit = h.box.EditHandle();
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(edit, h.box.Handle());
    for (char c : {'a', 'b', '\r', '!'}) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    EXPECT_EQ(keys, (std::vector<int>{'a', 'b', '\r', '!'}));
    EXPECT_EQ(h.box.Text(), "ac!");  // Enter never reached the field; a failing handler leaves the key alone
    ASSERT_EQ(platform.messageBoxes.size(), 1u);
    EXPECT_EQ(platform.messageBoxes[0].text, "handler failed");
}

TEST(ComboBox, SelectionInsideTheTextField) {
    Hosted h;
    h.box.SetText("hello world");
    h.box.Handle();
    h.box.SelectAll();
    EXPECT_EQ(h.box.SelText(), "hello world");
    h.box.SetSelStart(6);
    h.box.SetSelLength(3);
    EXPECT_EQ(h.box.SelStart(), 6);
    EXPECT_EQ(h.box.SelLength(), 3);
    EXPECT_EQ(h.box.SelText(), "wor");
    h.box.SetSelLength(0);
    EXPECT_EQ(h.box.SelText(), "");
}

TEST(ComboBox, RightClickInTheTextShowsTheBoxMenu) {
    Hosted h;
    kit::TTBPopupMenu menu(nullptr);
    int popped = 0;
    menu.OnPopup = [&](TComponent*) { ++popped; };
    h.box.PopupMenu = &menu;
    h.box.Handle();
    SendMessageA(h.box.EditHandle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h.box.EditHandle()), MAKELPARAM(30, 30));
    SendMessageA(h.box.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h.box.Handle()), MAKELPARAM(30, 30));
    EXPECT_EQ(popped, 2);
}

TEST(ComboBox, OpenListShowsDropDownCountRows) {
    Hosted h;
    for (int i = 0; i < 20; ++i) h.box.Add("entry " + std::to_string(i));
    h.box.DropDownCount = 4;
    HWND combo = h.box.Handle();
    const int closedHeight = h.box.Height();
    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    RECT list{};
    GetWindowRect(info.hwndList, &list);
    const int itemHeight = static_cast<int>(SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0));
    EXPECT_GE(list.bottom - list.top, 4 * itemHeight);
    EXPECT_LT(list.bottom - list.top, 5 * itemHeight);
    SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(h.box.Height(), closedHeight);  // the box's own height is its closed part
}

TEST(ComboBox, ContentSurvivesTheWindowBeingDestroyedAndMadeAgain) {
    kittest::ForeignWindow site;
    auto* holder = new kittest::ForeignWindow;
    TComboBox box(nullptr);
    box.SetParentWindow(holder->get());
    box.Assign({"x", "y"});
    box.Handle();
    box.SetItemIndex(1);
    delete holder;  // the site takes the window with it
    EXPECT_FALSE(box.HandleAllocated());
    box.SetParentWindow(site.get());
    EXPECT_EQ(box.ItemList(), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(box.Text(), "y");
    box.Handle();
    EXPECT_EQ(systemList(box.Handle()), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(box.ItemIndex(), 1);
    EXPECT_EQ(systemText(box.Handle()), "y");
}

namespace {

// A box showing a list it does not keep: the source is read only when asked,
// the window's list is filled once, on first need, and follows the owner's
// change notices after that.
TEST(ComboBox, ShownListIsFilledOnFirstNeedAndFollowsTheOwnersNotices) {
    std::vector<std::string> owned{"alder", "Birch", "kite"};
    int asked = 0;
    const auto source = [&]() -> const std::vector<std::string>& {
        ++asked;
        return owned;
    };
    // Each change to `owned`, its notice, and what the box shows afterwards.
    const struct {
        const char* what;
        void (*change)(std::vector<std::string>&, TComboBox&);
        std::vector<std::string> shown;
    } steps[] = {
        {"insert", [](std::vector<std::string>& o, TComboBox& b) { o.insert(o.begin() + 1, "ash"); b.ListInserted(1); },
         {"alder", "ash", "Birch", "kite"}},
        {"delete", [](std::vector<std::string>& o, TComboBox& b) { o.erase(o.begin()); b.ListDeleted(0); },
         {"ash", "Birch", "kite"}},
        {"reset", [](std::vector<std::string>& o, TComboBox& b) { o = {"zeta", "Zeta"}; b.ListReset(); }, {"zeta", "Zeta"}},
    };
    for (const bool withWindow : {false, true}) {
        owned = {"alder", "Birch", "kite"};
        Hosted h;
        h.box.SetSorted(true);  // a shown list keeps its owner's order, not the control's
        h.box.SetText("typed");
        if (withWindow) h.box.Handle();
        asked = 0;
        h.box.SetListSource(source);
        EXPECT_EQ(asked, 0) << withWindow;  // nothing read until needed
        EXPECT_EQ(h.box.Count(), 3) << withWindow;
        EXPECT_EQ(h.box.Items(1), "Birch") << withWindow;
        EXPECT_EQ(h.box.IndexOf("KITE"), 2) << withWindow;
        EXPECT_EQ(h.box.ItemIndex(), -1) << withWindow;
        HWND combo = h.box.Handle();
        EXPECT_FALSE(h.box.ListFilled()) << withWindow;
        EXPECT_EQ(systemList(combo), std::vector<std::string>{}) << withWindow;
        EXPECT_FALSE(GetWindowLongPtrA(combo, GWL_STYLE) & CBS_SORT) << withWindow;
        SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
        SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
        EXPECT_TRUE(h.box.ListFilled()) << withWindow;
        EXPECT_EQ(systemList(combo), owned) << withWindow;
        for (const auto& step : steps) {
            step.change(owned, h.box);
            EXPECT_EQ(h.box.ItemList(), step.shown) << step.what << withWindow;
            h.box.SetItemIndex(0);  // fills a list that a reset left empty
            EXPECT_EQ(systemList(combo), step.shown) << step.what << withWindow;
            EXPECT_EQ(h.box.ItemIndex(), 0) << step.what;
            h.box.SetText("typed");
        }
        EXPECT_EQ(systemText(combo), "typed") << withWindow;
        // Add makes the shown entries the box's own list, and adds to it.
        h.box.Add("own");
        owned.clear();
        EXPECT_EQ(h.box.ItemList(), (std::vector<std::string>{"zeta", "Zeta", "own"})) << withWindow;
    }
}

TEST(ComboBox, ShownListWithoutAWindowAnswersFromTheSource) {
    std::vector<std::string> owned{"a", "b", "c"};
    TComboBox box(nullptr);
    box.SetListSource([&]() -> const std::vector<std::string>& { return owned; });
    box.SetItemIndex(2);
    EXPECT_EQ(box.Text(), "c");
    owned.erase(owned.begin());
    box.ListDeleted(0);  // the owner removed "a": the selection moves with its entry
    EXPECT_EQ(box.ItemIndex(), 1);
    box.ListReset();
    EXPECT_EQ(box.ItemIndex(), -1);
    EXPECT_EQ(box.ItemList(), owned);
    box.SetListSource({});
    EXPECT_EQ(box.Count(), 0);
}

} // namespace
