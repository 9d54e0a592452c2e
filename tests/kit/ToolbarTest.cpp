// The toolbar over the real comctl32 control: buttons, states and styles as
// the control holds them, hosted controls over their placeholders, the
// chevron, drop-downs and clicks sent as mouse messages.
#include "kit/ImageList.h"
#include "kit/Toolbar.h"
#include "tests/kit/KitTestWindows.h"
#include "tests/kit/MenuDriver.h"
#include "tests/support/RecordingPlatform.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kit;

namespace {

Bitmap32 solid(int width, int height, std::uint32_t argb) {
    Bitmap32 b;
    b.width = width;
    b.height = height;
    b.pixels.assign(static_cast<std::size_t>(width) * height, argb);
    return b;
}

class ToolbarTest : public testing::Test {
protected:
    void SetUp() override {
        images = new TImageList(&form);
        images->Add(solid(48, 16, 0xFF00FF00));  // three images
        host = new TControl(&form);
        host->SetParentWindow(site.get());
        host->SetBounds(0, 0, 600, 60);
        dock = new TTBDock(&form);
        dock->SetParent(host);
        toolbar = new TTBToolbar(&form);
        toolbar->SetParent(dock);
        toolbar->SetFullSize(true);
        toolbar->SetImages(images);
    }

    template <typename T>
    T* add(const std::string& caption, TTBCustomItem* parent = nullptr) {
        auto* item = new T(&form);
        item->SetCaption(caption);
        (parent ? parent : toolbar->Items())->Add(item);
        return item;
    }

    HWND window() { return toolbar->Handle(); }

    TBBUTTON button(const TTBCustomItem* item) {
        TBBUTTON b{};
        const int index = toolbar->ButtonIndexOf(item);
        EXPECT_GE(index, 0);
        SendMessageA(window(), TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&b));
        return b;
    }

    std::string text(const TTBCustomItem* item) {
        char buffer[256] = {};
        SendMessageA(window(), TB_GETBUTTONTEXTA, static_cast<WPARAM>(button(item).idCommand),
                     reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }

    BYTE state(const TTBCustomItem* item) { return button(item).fsState; }

    int buttonCount() { return static_cast<int>(SendMessageA(window(), TB_BUTTONCOUNT, 0, 0)); }

    void click(int x, int y) {
        SendMessageA(window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageA(window(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        kittest::pumpMessages();
    }

    void clickItem(const TTBCustomItem* item) {
        const RECT r = toolbar->ItemRect(item);
        click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    // Where a control's window really is, in the toolbar's client coordinates.
    RECT windowRectInToolbar(TControl* control) {
        RECT r{};
        GetWindowRect(control->Handle(), &r);
        MapWindowPoints(HWND_DESKTOP, window(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    kittest::ForeignWindow site{700, 200};
    TComponent form{nullptr};
    TImageList* images = nullptr;
    TControl* host = nullptr;
    TTBDock* dock = nullptr;
    TTBToolbar* toolbar = nullptr;
};

} // namespace

TEST_F(ToolbarTest, ButtonsShowTheItemsWithTheirStylesStatesTextsAndImages) {
    auto* home = add<TTBItem>("&Home");
    home->SetImageIndex(0);
    home->SetDisplayMode(nbdmImageAndText);
    auto* sep = add<TTBSeparatorItem>("");
    auto* news = add<TTBSubmenuItem>("News");
    news->SetOptions(news->Options() + tboDropdownArrow);
    add<TTBItem>("World", news);
    auto* search = add<TTBSubmenuItem>("Search");
    search->SetOptions({tboDropdownArrow});
    search->SetDropdownCombo(true);
    auto* off = add<TTBItem>("Off");
    off->SetEnabled(false);
    auto* on = add<TTBItem>("On");
    on->SetChecked(true);
    auto* hidden = add<TTBItem>("Hidden");
    hidden->SetVisible(false);
    auto* textOnly = add<TTBItem>("Text");
    textOnly->SetImageIndex(1);
    textOnly->SetDisplayMode(nbdmTextOnly);
    auto* imageOnly = add<TTBItem>("Image");
    imageOnly->SetImageIndex(2);
    auto* noSuchImage = add<TTBItem>("NoSuchImage");
    noSuchImage->SetImageIndex(7);
    noSuchImage->SetDisplayMode(nbdmImageAndText);

    host->Handle();
    const LONG_PTR style = GetWindowLongPtrA(window(), GWL_STYLE);
    EXPECT_TRUE(style & TBSTYLE_LIST);
    EXPECT_TRUE(style & TBSTYLE_FLAT);
    const LRESULT exStyle = SendMessageA(window(), TB_GETEXTENDEDSTYLE, 0, 0);
    EXPECT_TRUE(exStyle & TBSTYLE_EX_DRAWDDARROWS);
    EXPECT_TRUE(exStyle & TBSTYLE_EX_MIXEDBUTTONS);
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageA(window(), TB_GETIMAGELIST, 0, 0)), images->Handle());

    EXPECT_EQ(buttonCount(), 10);
    EXPECT_EQ(text(home), "&Home");
    const TBBUTTON h = button(home);
    EXPECT_EQ(h.iBitmap, 0);
    EXPECT_TRUE(h.fsStyle & BTNS_SHOWTEXT);
    EXPECT_TRUE(h.fsState & TBSTATE_ENABLED);
    EXPECT_FALSE(h.fsState & (TBSTATE_CHECKED | TBSTATE_HIDDEN));
    // Image and caption side by side: wider than the image, no taller than one line.
    const RECT homeRect = toolbar->ItemRect(home);
    EXPECT_GT(homeRect.right - homeRect.left, 16 + 20);
    EXPECT_LT(homeRect.bottom - homeRect.top, 30);

    EXPECT_TRUE(button(sep).fsStyle & BTNS_SEP);
    const BYTE newsStyle = button(news).fsStyle;
    EXPECT_TRUE(newsStyle & BTNS_WHOLEDROPDOWN);
    EXPECT_FALSE(newsStyle & BTNS_DROPDOWN);
    const BYTE searchStyle = button(search).fsStyle;
    EXPECT_TRUE(searchStyle & BTNS_DROPDOWN);
    EXPECT_FALSE(searchStyle & BTNS_WHOLEDROPDOWN);
    // A split button shows its arrow part beside the main part.
    EXPECT_GT(toolbar->ItemRect(search).right - toolbar->ItemRect(search).left,
              toolbar->ItemRect(off).right - toolbar->ItemRect(off).left);

    EXPECT_FALSE(state(off) & TBSTATE_ENABLED);
    EXPECT_TRUE(state(on) & TBSTATE_CHECKED);
    EXPECT_TRUE(state(hidden) & TBSTATE_HIDDEN);
    EXPECT_EQ(toolbar->ItemRect(hidden).right, 0);

    EXPECT_EQ(button(textOnly).iBitmap, I_IMAGENONE);
    EXPECT_TRUE(button(textOnly).fsStyle & BTNS_SHOWTEXT);
    EXPECT_EQ(button(imageOnly).iBitmap, 2);
    EXPECT_FALSE(button(imageOnly).fsStyle & BTNS_SHOWTEXT);
    EXPECT_EQ(button(noSuchImage).iBitmap, I_IMAGENONE);
    // Items without an image in the default mode show their caption instead.
    EXPECT_TRUE(button(off).fsStyle & BTNS_SHOWTEXT);
}

TEST_F(ToolbarTest, ChangesToItemsReachTheButtonsAndBatchesWaitForTheirEnd) {
    auto* a = add<TTBItem>("Alpha");
    auto* b = add<TTBItem>("Beta");
    host->Handle();
    ASSERT_EQ(buttonCount(), 2);

    a->SetCaption("Alpha &2");
    EXPECT_EQ(text(a), "Alpha &2");
    b->SetChecked(true);
    EXPECT_TRUE(state(b) & TBSTATE_CHECKED);
    b->SetEnabled(false);
    EXPECT_FALSE(state(b) & TBSTATE_ENABLED);
    a->SetImageIndex(1);
    EXPECT_EQ(button(a).iBitmap, 1);
    const int bLeft = toolbar->ItemRect(b).left;
    a->SetVisible(false);
    EXPECT_TRUE(state(a) & TBSTATE_HIDDEN);
    EXPECT_LT(toolbar->ItemRect(b).left, bLeft);
    a->SetVisible(true);

    auto* c = add<TTBItem>("Gamma");
    EXPECT_EQ(buttonCount(), 3);
    toolbar->Items()->Insert(0, c);
    EXPECT_EQ(toolbar->ButtonIndexOf(c), 0);
    delete a;
    EXPECT_EQ(buttonCount(), 2);
    EXPECT_EQ(toolbar->ButtonIndexOf(b), 1);

    toolbar->BeginUpdate();
    auto* d = add<TTBItem>("Delta");
    b->SetCaption("Beta 2");
    EXPECT_EQ(buttonCount(), 2);
    EXPECT_EQ(text(b), "Beta");
    toolbar->EndUpdate();
    EXPECT_EQ(buttonCount(), 3);
    EXPECT_EQ(text(b), "Beta 2");
    EXPECT_EQ(text(d), "Delta");

    // An item moved under another item leaves the toolbar.
    auto* menu = add<TTBSubmenuItem>("Menu");
    menu->Add(d);
    EXPECT_EQ(toolbar->ButtonIndexOf(d), -1);
    EXPECT_EQ(buttonCount(), 3);

    // Freeing the image list takes the images off the buttons.
    c->SetImageIndex(0);
    EXPECT_EQ(button(c).iBitmap, 0);
    delete images;
    images = nullptr;
    EXPECT_EQ(toolbar->Images(), nullptr);
    EXPECT_EQ(SendMessageA(window(), TB_GETIMAGELIST, 0, 0), 0);
    EXPECT_EQ(button(c).iBitmap, I_IMAGENONE);
}

TEST_F(ToolbarTest, MouseClicksRunTheItemsWithTheirCheckMarksAndReportErrors) {
    kgtest::RecordingPlatform recorder;
    auto* plain = add<TTBItem>("Plain");
    auto* toggle = add<TTBItem>("Toggle");
    toggle->SetGroupIndex(1);
    toggle->SetAutoCheck(true);
    auto* failing = add<TTBItem>("Failing");
    std::vector<std::string> log;
    plain->OnClick = [&](TComponent* sender) { log.push_back(static_cast<TTBCustomItem*>(sender)->Caption()); };
    toggle->OnClick = [&](TComponent*) { log.push_back(toggle->Checked() ? "toggle on" : "toggle off"); };
    failing->OnClick = [&](TComponent*) { throw std::runtime_error("The page cannot be opened."); };
    host->Handle();

    clickItem(plain);
    clickItem(toggle);
    EXPECT_TRUE(state(toggle) & TBSTATE_CHECKED);
    clickItem(toggle);
    EXPECT_FALSE(state(toggle) & TBSTATE_CHECKED);
    EXPECT_EQ(log, (std::vector<std::string>{"Plain", "toggle on", "toggle off"}));

    clickItem(failing);
    ASSERT_EQ(recorder.messageBoxes.size(), 1u);
    EXPECT_EQ(recorder.messageBoxes[0].text, "The page cannot be opened.");

    // Disabled buttons do nothing.
    plain->SetEnabled(false);
    clickItem(plain);
    EXPECT_EQ(log.size(), 3u);
}

TEST_F(ToolbarTest, DropDownsOpenMenusOfTheChildrenAndSplitButtonsClickTheirMainPart) {
    std::vector<std::string> log;
    auto note = [&](const char* what) { return [&log, what](TComponent*) { log.push_back(what); }; };
    auto* news = add<TTBSubmenuItem>("News");
    news->SetOptions({tboDropdownArrow});
    news->OnClick = note("news");
    add<TTBItem>("World", news)->OnClick = note("world");
    add<TTBItem>("Sport", news)->OnClick = note("sport");
    auto* search = add<TTBSubmenuItem>("Search");
    search->SetOptions({tboDropdownArrow});
    search->SetDropdownCombo(true);
    search->OnClick = note("search");
    auto* engine = add<TTBItem>("Engine", search);
    engine->SetGroupIndex(1);
    engine->SetAutoCheck(true);
    engine->OnClick = note("engine");
    host->Handle();

    {
        kgtest::MenuDriver driver({VK_DOWN, VK_DOWN, VK_RETURN});
        clickItem(news);  // the whole button opens the menu
        EXPECT_TRUE(driver.sawMenu);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"sport"}));

    log.clear();
    const RECT r = toolbar->ItemRect(search);
    {
        kgtest::MenuDriver driver({VK_DOWN, VK_RETURN});
        click(r.right - 4, (r.top + r.bottom) / 2);  // the arrow
        EXPECT_TRUE(driver.sawMenu);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"engine"}));
    EXPECT_TRUE(engine->Checked());

    log.clear();
    click(r.left + 6, (r.top + r.bottom) / 2);  // the main part: no menu
    EXPECT_EQ(log, (std::vector<std::string>{"search"}));

    // Escape chooses nothing.
    log.clear();
    {
        kgtest::MenuDriver driver({VK_ESCAPE});
        clickItem(news);
        EXPECT_TRUE(driver.sawMenu);
    }
    EXPECT_TRUE(log.empty());

    // Without the arrow option a submenu item is a plain-looking button that opens its menu when clicked.
    news->SetOptions({});
    EXPECT_FALSE(button(news).fsStyle & (BTNS_WHOLEDROPDOWN | BTNS_DROPDOWN));
    {
        kgtest::MenuDriver driver({VK_DOWN, VK_RETURN});
        clickItem(news);
        EXPECT_TRUE(driver.sawMenu);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"world"}));
}

TEST_F(ToolbarTest, ItemsAndToolbarMayBeFreedInEitherOrder) {
    auto* a = add<TTBItem>("Alpha");
    auto* control = new TTBToolWindow(&form);
    control->SetBounds(0, 0, 40, 20);
    auto* hosted = add<TTBControlItem>("");
    hosted->SetControl(control);
    host->Handle();
    EXPECT_EQ(buttonCount(), 2);
    delete toolbar;
    toolbar = nullptr;
    EXPECT_EQ(a->Parent(), nullptr);
    a->SetCaption("still usable");
    EXPECT_EQ(control->Parent(), nullptr);
    EXPECT_FALSE(control->HandleAllocated());
    delete a;
    delete hosted;
}

TEST_F(ToolbarTest, HostedControlsLieOverTheirPlaceholdersAndFollowTheirVisibilityAndWidth) {
    auto* first = add<TTBItem>("First");
    auto* box = new TTBToolWindow(&form);
    box->SetParent(toolbar);
    box->SetClientSize(107, 22);
    auto* boxItem = add<TTBControlItem>("");
    boxItem->SetControl(box);
    auto* control = new TControl(&form);  // not yet inside the toolbar: hosting takes it in
    control->SetBounds(0, 0, 80, 18);
    auto* controlItem = add<TTBControlItem>("");
    controlItem->SetControl(control);
    auto* last = add<TTBItem>("Last");
    host->Handle();

    EXPECT_EQ(box->ClientWidth(), 107);
    EXPECT_EQ(control->Parent(), toolbar);
    const TBBUTTON placeholder = button(boxItem);
    EXPECT_TRUE(placeholder.fsStyle & BTNS_SEP);
    EXPECT_EQ(placeholder.iBitmap, 107);
    for (TTBControlItem* item : {boxItem, controlItem}) {
        TControl* c = item->Control();
        const RECT slot = toolbar->ItemRect(item);
        const RECT actual = windowRectInToolbar(c);
        EXPECT_EQ(actual.left, slot.left);
        EXPECT_EQ(actual.right - actual.left, slot.right - slot.left);
        EXPECT_GE(actual.top, slot.top);
        EXPECT_LE(actual.bottom, std::max<LONG>(slot.bottom, actual.top + c->Height()));
        EXPECT_TRUE(IsWindowVisible(c->Handle()));
    }
    EXPECT_GE(toolbar->ItemRect(first).right, 1);
    EXPECT_EQ(toolbar->RowHeight(), std::max(22, static_cast<int>(HIWORD(SendMessageA(window(), TB_GETBUTTONSIZE, 0, 0)))));

    // A wider control gets a wider place; the buttons after it move.
    const int lastLeft = toolbar->ItemRect(last).left;
    control->SetWidth(120);
    EXPECT_EQ(button(controlItem).iBitmap, 120);
    EXPECT_EQ(toolbar->ItemRect(last).left, lastLeft + 40);
    EXPECT_EQ(windowRectInToolbar(control).left, toolbar->ItemRect(controlItem).left);

    // A hidden control gives up its place.
    control->SetVisible(false);
    EXPECT_TRUE(state(controlItem) & TBSTATE_HIDDEN);
    EXPECT_LT(toolbar->ItemRect(last).left, lastLeft);
    control->SetVisible(true);
    EXPECT_FALSE(state(controlItem) & TBSTATE_HIDDEN);
    EXPECT_TRUE(IsWindowVisible(control->Handle()));

    // A hidden item hides its control's window without touching the control's own Visible.
    boxItem->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(box->Handle()));
    EXPECT_TRUE(box->Visible());
    EXPECT_EQ(windowRectInToolbar(control).left, toolbar->ItemRect(controlItem).left);
    boxItem->SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(box->Handle()));

    // A freed control leaves an empty, hidden place; a freed item hides nothing else.
    delete control;
    EXPECT_EQ(controlItem->Control(), nullptr);
    EXPECT_TRUE(state(controlItem) & TBSTATE_HIDDEN);
    delete boxItem;
    EXPECT_EQ(buttonCount(), 3);
    EXPECT_FALSE(IsWindowVisible(box->Handle()));  // no longer hosted: out of sight
}

TEST_F(ToolbarTest, ItemsThatDoNotFitGoBehindTheChevron) {
    std::vector<TTBCustomItem*> items;
    for (int i = 1; i <= 8; ++i) items.push_back(add<TTBItem>("Item " + std::to_string(i)));
    auto* more = add<TTBSubmenuItem>("More");
    add<TTBItem>("Inside", more);
    auto* hidden = add<TTBItem>("Hidden");
    hidden->SetVisible(false);
    bool lastClicked = false;
    items.back()->OnClick = [&](TComponent*) { lastClicked = true; };
    host->Handle();
    ASSERT_GT(toolbar->ItemRect(more).right, 0);
    EXPECT_FALSE(toolbar->ChevronVisible());
    EXPECT_TRUE(toolbar->ChevronItems().empty());
    EXPECT_EQ(toolbar->Width(), 600);

    const int fitting = toolbar->ItemRect(items[3]).right;
    host->SetWidth(fitting + 20);
    EXPECT_EQ(toolbar->Width(), fitting + 20);
    ASSERT_TRUE(toolbar->ChevronVisible());
    const std::vector<TTBCustomItem*> behind = toolbar->ChevronItems();
    ASSERT_EQ(behind.size(), 5u);  // items 5 to 8 and "More"; the invisible one is not offered
    EXPECT_EQ(behind.front(), items[4]);
    EXPECT_EQ(behind.back(), more);
    for (TTBCustomItem* item : behind) EXPECT_TRUE(state(item) & TBSTATE_HIDDEN);
    EXPECT_FALSE(state(items[3]) & TBSTATE_HIDDEN);
    RECT chevron{};
    GetWindowRect(toolbar->ChevronHandle(), &chevron);
    MapWindowPoints(HWND_DESKTOP, window(), reinterpret_cast<POINT*>(&chevron), 2);
    EXPECT_EQ(chevron.right, toolbar->ClientWidth());
    EXPECT_LE(toolbar->ItemRect(items[3]).right, chevron.left);

    TTBMenuMap map;
    unique_hmenu menu = toolbar->BuildChevronMenu(map);
    ASSERT_EQ(GetMenuItemCount(menu.get()), 5);
    char buffer[64] = {};
    GetMenuStringA(menu.get(), 0, buffer, sizeof buffer, MF_BYPOSITION);
    EXPECT_STREQ(buffer, "Item 5");
    EXPECT_NE(GetSubMenu(menu.get(), 4), nullptr);  // "More" keeps its submenu

    // The chevron's own button offers them.
    {
        kgtest::MenuDriver driver({VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
        SendMessageA(toolbar->ChevronHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        SendMessageA(toolbar->ChevronHandle(), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
        EXPECT_TRUE(driver.sawMenu);
    }
    EXPECT_TRUE(lastClicked);

    host->SetWidth(600);
    EXPECT_FALSE(toolbar->ChevronVisible());
    EXPECT_TRUE(toolbar->ChevronItems().empty());
    EXPECT_FALSE(state(more) & TBSTATE_HIDDEN);
}

TEST_F(ToolbarTest, ItemAtFindsTheItemUnderAPointAndMouseMovesReportToolbarCoordinates) {
    auto* a = add<TTBItem>("Alpha");
    auto* sep = add<TTBSeparatorItem>("");
    auto* b = add<TTBItem>("Beta");
    auto* hidden = add<TTBItem>("Hidden");
    hidden->SetVisible(false);
    std::vector<POINT> moves;
    toolbar->OnMouseMove = [&](TComponent* sender, unsigned, int x, int y) {
        EXPECT_EQ(sender, toolbar);
        moves.push_back({x, y});
    };
    host->Handle();

    const RECT ra = toolbar->ItemRect(a), rs = toolbar->ItemRect(sep), rb = toolbar->ItemRect(b);
    EXPECT_EQ(toolbar->ItemAt((ra.left + ra.right) / 2, (ra.top + ra.bottom) / 2), a);
    EXPECT_EQ(toolbar->ItemAt(rb.left + 1, rb.top + 1), b);
    EXPECT_EQ(toolbar->ItemAt((rs.left + rs.right) / 2, (rs.top + rs.bottom) / 2), sep);
    EXPECT_EQ(toolbar->ItemAt(rb.right + 50, 5), nullptr);  // empty space after the buttons
    EXPECT_EQ(toolbar->ItemAt(-5, 5), nullptr);

    SendMessageA(window(), WM_MOUSEMOVE, 0, MAKELPARAM(rb.left + 3, 7));
    SendMessageA(window(), WM_MOUSEMOVE, 0, MAKELPARAM(500, 9));
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].x, rb.left + 3);
    EXPECT_EQ(moves[0].y, 7);
    EXPECT_EQ(toolbar->ItemAt(moves[0].x, moves[0].y), b);
    EXPECT_EQ(toolbar->ItemAt(moves[1].x, moves[1].y), nullptr);
}

TEST_F(ToolbarTest, TheDockSpansItsParentsTopAndTakesTheToolbarsHeight) {
    add<TTBItem>("Alpha")->SetImageIndex(0);
    dock->SetColor(clSystemColor | COLOR_BTNSHADOW);
    host->Handle();
    EXPECT_EQ(dock->Left(), 0);
    EXPECT_EQ(dock->Top(), 0);
    EXPECT_EQ(dock->Width(), 600);
    EXPECT_EQ(dock->Height(), toolbar->RowHeight());
    EXPECT_EQ(toolbar->Width(), 600);
    EXPECT_EQ(toolbar->Height(), toolbar->RowHeight());
    host->SetWidth(450);
    EXPECT_EQ(dock->Width(), 450);
    EXPECT_EQ(toolbar->Width(), 450);

    // A control taller than the buttons makes the row (and the dock) taller.
    auto* tall = new TTBToolWindow(&form);
    tall->SetBounds(0, 0, 50, 30);
    add<TTBControlItem>("")->SetControl(tall);
    EXPECT_EQ(toolbar->RowHeight(), 30);
    EXPECT_EQ(dock->Height(), 30);
    EXPECT_EQ(toolbar->Height(), 30);
}

namespace {

// Counts what the toolbar control is asked to do (a subclass of its window).
struct ControlMessages {
    int added = 0, inserted = 0, deleted = 0, stateChanges = 0;

    explicit ControlMessages(HWND window) : window_(window) { SetWindowSubclass(window_, &count, kId, reinterpret_cast<DWORD_PTR>(this)); }
    ~ControlMessages() { RemoveWindowSubclass(window_, &count, kId); }
    ControlMessages(const ControlMessages&) = delete;
    ControlMessages& operator=(const ControlMessages&) = delete;
    void reset() { added = inserted = deleted = stateChanges = 0; }

private:
    static constexpr UINT_PTR kId = 0x7E57;
    static LRESULT CALLBACK count(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<ControlMessages*>(data);
        switch (msg) {
        case TB_ADDBUTTONSA:
        case TB_ADDBUTTONSW:
            self->added += static_cast<int>(wParam);
            break;
        case TB_INSERTBUTTONA:
        case TB_INSERTBUTTONW:
            ++self->inserted;
            break;
        case TB_DELETEBUTTON:
            ++self->deleted;
            break;
        case TB_SETSTATE:
        case TB_HIDEBUTTON:
        case TB_SETBUTTONINFOA:
        case TB_SETBUTTONINFOW:
            ++self->stateChanges;
            break;
        default:
            break;
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    HWND window_;
};

} // namespace

// Each message that adds, removes or hides a button makes the control lay out
// every button again: a change must cost messages for the buttons it
// concerns only, and a batch one pass at its end.
TEST_F(ToolbarTest, ChangesCostMessagesOnlyForTheButtonsTheyConcern) {
    constexpr int kItems = 400;
    host->Handle();
    ControlMessages messages(window());
    std::vector<TTBCustomItem*> items;
    toolbar->BeginUpdate();
    for (int i = 0; i < kItems; ++i) items.push_back(add<TTBItem>("Item " + std::to_string(i)));
    EXPECT_EQ(messages.added + messages.inserted, 0);
    toolbar->EndUpdate();

    // One message adds them all; only the few that fit are shown one by one.
    EXPECT_EQ(messages.added, kItems);
    EXPECT_EQ(messages.inserted + messages.deleted, 0);
    EXPECT_LT(messages.stateChanges, 40);
    ASSERT_EQ(buttonCount(), kItems);
    const std::vector<TTBCustomItem*> behind = toolbar->ChevronItems();
    ASSERT_TRUE(toolbar->ChevronVisible());
    ASSERT_GT(behind.size(), 300u);
    EXPECT_EQ(behind.back(), items.back());
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(toolbar->ButtonIndexOf(items[i]), static_cast<int>(i));
        const bool isBehind = i >= kItems - behind.size();
        EXPECT_EQ((state(items[i]) & TBSTATE_HIDDEN) != 0, isBehind);
    }
    EXPECT_EQ(text(items[250]), "Item 250");

    struct Step {
        const char* what;
        std::function<void()> change;
        int inserted, deleted;
    };
    TTBCustomItem* extra = nullptr;
    const std::vector<Step> steps = {
        {"append one", [&] { extra = add<TTBItem>("Extra"); }, 1, 0},
        {"caption of one", [&] { items[200]->SetCaption("Renamed"); }, 1, 1},
        {"check one", [&] { items[300]->SetChecked(true); }, 0, 0},
        {"insert one at the front", [&] { toolbar->Items()->Insert(0, new TTBItem(&form)); }, 1, 0},
        {"free one", [&] { delete items[100]; }, 0, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        messages.reset();
        step.change();
        EXPECT_EQ(messages.added + messages.inserted, step.inserted);
        EXPECT_EQ(messages.deleted, step.deleted);
        EXPECT_LT(messages.stateChanges, 6);
    }
    EXPECT_EQ(buttonCount(), kItems + 1);
    EXPECT_EQ(toolbar->ButtonIndexOf(extra), kItems);
    EXPECT_EQ(toolbar->ButtonIndexOf(items[99]), 100);
    EXPECT_EQ(toolbar->ButtonIndexOf(items[101]), 101);
    EXPECT_EQ(text(items[200]), "Renamed");
    EXPECT_TRUE(state(items[300]) & TBSTATE_CHECKED);
    EXPECT_TRUE(state(items[300]) & TBSTATE_HIDDEN);

    // Widening shows more of them; only those change.
    const std::size_t hiddenBefore = toolbar->ChevronItems().size();
    messages.reset();
    host->SetWidth(900);
    EXPECT_LT(toolbar->ChevronItems().size(), hiddenBefore);
    EXPECT_EQ(messages.added + messages.inserted + messages.deleted, 0);
    EXPECT_LT(messages.stateChanges, 30);
    const TTBCustomItem* firstBehind = toolbar->ChevronItems().front();
    const int firstBehindIndex = toolbar->ButtonIndexOf(firstBehind);
    RECT lastShown{};
    SendMessageA(window(), TB_GETITEMRECT, static_cast<WPARAM>(firstBehindIndex - 1), reinterpret_cast<LPARAM>(&lastShown));
    EXPECT_LE(lastShown.right, toolbar->ClientWidth());
}
