// The windowed control base: creation on demand, bounds, alignment,
// reflection of child notifications, procedure chains and destruction.
#include "kit/Control.h"
#include "core/Error.h"
#include "tests/kit/KitTestWindows.h"
#include "tests/support/RecordingPlatform.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

using kit::TAlign;
using kit::TControl;

namespace {

// A panel of the kit's own class.
class Panel : public TControl {
public:
    using TControl::TControl;
    std::vector<UINT> seen;
    bool throwOnPaint = false;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(msg);
        if (msg == WM_USER + 7 && throwOnPaint) throw std::runtime_error("handler failed");
        return TControl::WndProc(msg, wParam, lParam);
    }
};

// A system push button, subclassed; records what its parent reflects to it.
class Button : public TControl {
public:
    using TControl::TControl;
    std::vector<WORD> commands;
    std::vector<UINT> notifies;
    std::vector<UINT> reflected;

protected:
    void CreateParams(TCreateParams& p) override {
        TControl::CreateParams(p);
        p.className = "BUTTON";
        p.ownClass = false;
        p.style |= BS_PUSHBUTTON | WS_TABSTOP;
    }
    bool ReflectCommand(WORD code) override {
        commands.push_back(code);
        return true;
    }
    bool ReflectNotify(NMHDR* header, LRESULT& result) override {
        notifies.push_back(header->code);
        result = 42;
        return true;
    }
    bool ReflectMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override {
        reflected.push_back(msg);
        result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        return msg == WM_CTLCOLORBTN;
    }
};

RECT clientRectIn(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

} // namespace

TEST(Control, HandleCreatesParentsFirstInsideForeignWindowWithStoredBounds) {
    kittest::ForeignWindow host;
    Panel outer(nullptr);
    outer.SetParentWindow(host.get());
    outer.SetBounds(10, 20, 300, 200);
    auto* inner = new Panel(&outer);
    inner->SetParent(&outer);
    inner->SetBounds(5, 6, 70, 30);
    EXPECT_FALSE(outer.HandleAllocated());

    HWND innerHwnd = inner->Handle();  // asks the child first
    ASSERT_TRUE(outer.HandleAllocated());
    EXPECT_EQ(GetParent(innerHwnd), outer.Handle());
    EXPECT_EQ(GetParent(outer.Handle()), host.get());
    EXPECT_TRUE(GetWindowLongPtrA(outer.Handle(), GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(TControl::FromHandle(innerHwnd), inner);
    EXPECT_EQ(TControl::FromHandle(host.get()), nullptr);

    RECT r = clientRectIn(outer.Handle());
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
    r = clientRectIn(innerHwnd);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.right - r.left, 70);

    // With a window, bounds follow the window, also when it is moved from outside.
    MoveWindow(innerHwnd, 40, 41, 50, 25, TRUE);
    EXPECT_EQ(inner->Left(), 40);
    EXPECT_EQ(inner->Top(), 41);
    EXPECT_EQ(inner->Width(), 50);
    EXPECT_EQ(inner->Height(), 25);
}

TEST(Control, ChildAddedToLiveParentGetsItsWindowAtOnceAndHiddenStateHolds) {
    kittest::ForeignWindow host;
    Panel parent(nullptr);
    parent.SetParentWindow(host.get());
    parent.SetBounds(0, 0, 200, 100);
    parent.Handle();

    Panel hidden(nullptr);
    hidden.SetVisible(false);
    hidden.SetEnabled(false);
    hidden.SetCaption("text");
    hidden.SetParent(&parent);
    ASSERT_TRUE(hidden.HandleAllocated());
    EXPECT_FALSE(IsWindowVisible(hidden.Handle()));
    EXPECT_FALSE(IsWindowEnabled(hidden.Handle()));
    char text[16] = {};
    GetWindowTextA(hidden.Handle(), text, sizeof text);
    EXPECT_STREQ(text, "text");

    hidden.SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(hidden.Handle()));
    hidden.SetParent(nullptr);  // detached: no window without a parent
    EXPECT_FALSE(hidden.HandleAllocated());
    EXPECT_TRUE(parent.Controls().empty());
}

TEST(Control, AlignedChildrenFollowTheParentsSize) {
    kittest::ForeignWindow host;
    Panel parent(nullptr);
    parent.SetParentWindow(host.get());
    parent.SetBounds(0, 0, 400, 300);
    Panel top(nullptr), bottom(nullptr), left(nullptr), client(nullptr), loose(nullptr);
    top.SetBounds(0, 0, 10, 30);
    bottom.SetBounds(0, 0, 10, 20);
    left.SetBounds(0, 0, 50, 10);
    loose.SetBounds(7, 8, 9, 10);
    top.Align = TAlign::alTop;
    bottom.Align = TAlign::alBottom;
    left.Align = TAlign::alLeft;
    client.Align = TAlign::alClient;
    for (Panel* p : {&top, &bottom, &left, &client, &loose}) p->SetParent(&parent);
    parent.Handle();

    auto check = [](TControl& c, int l, int t, int w, int h) {
        EXPECT_EQ(c.Left(), l);
        EXPECT_EQ(c.Top(), t);
        EXPECT_EQ(c.Width(), w);
        EXPECT_EQ(c.Height(), h);
        RECT r = clientRectIn(c.Handle());
        EXPECT_EQ(r.right - r.left, w);
        EXPECT_EQ(r.bottom - r.top, h);
    };
    check(top, 0, 0, 400, 30);
    check(bottom, 0, 280, 400, 20);
    check(left, 0, 30, 50, 250);
    check(client, 50, 30, 350, 250);
    check(loose, 7, 8, 9, 10);

    parent.SetBounds(0, 0, 600, 200);  // WM_SIZE lays the children out again
    check(top, 0, 0, 600, 30);
    check(bottom, 0, 180, 600, 20);
    check(left, 0, 30, 50, 150);
    check(client, 50, 30, 550, 150);

    top.SetVisible(false);  // a hidden aligned child gives its room away
    check(left, 0, 0, 50, 180);
    check(client, 50, 0, 550, 180);
}

TEST(Control, ParentReflectsChildNotificationsToTheChildControl) {
    kittest::ForeignWindow host;
    Panel parent(nullptr);
    parent.SetParentWindow(host.get());
    parent.SetBounds(0, 0, 200, 100);
    Button button(nullptr);
    button.SetParent(&parent);
    button.SetBounds(0, 0, 80, 24);
    HWND b = button.Handle();

    SendMessageA(b, BM_CLICK, 0, 0);  // the system button tells its parent
    ASSERT_EQ(button.commands.size(), 1u);
    EXPECT_EQ(button.commands[0], BN_CLICKED);

    NMHDR header{b, static_cast<UINT_PTR>(GetDlgCtrlID(b)), NM_CLICK};
    EXPECT_EQ(SendMessageA(parent.Handle(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header)), 42);
    EXPECT_EQ(button.notifies, std::vector<UINT>{static_cast<UINT>(NM_CLICK)});

    button.reflected.clear();  // the button's own painting asks for colours too
    HDC dc = GetDC(b);
    EXPECT_EQ(SendMessageA(parent.Handle(), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(b)),
              reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(b, dc);
    MEASUREITEMSTRUCT measure{ODT_BUTTON, static_cast<UINT>(GetDlgCtrlID(b)), 0, 0, 0, 0};
    SendMessageA(parent.Handle(), WM_MEASUREITEM, measure.CtlID, reinterpret_cast<LPARAM>(&measure));
    ASSERT_EQ(button.reflected.size(), 2u);
    EXPECT_EQ(button.reflected[0], static_cast<UINT>(WM_CTLCOLORBTN));
    EXPECT_EQ(button.reflected[1], static_cast<UINT>(WM_MEASUREITEM));
}

namespace {
WNDPROC chainedPrevious = nullptr;
int chainedCalls = 0;
LRESULT CALLBACK chainedProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ++chainedCalls;
    return CallWindowProcA(chainedPrevious, hwnd, msg, wParam, lParam);
}
} // namespace

TEST(Control, ProcedureInstalledInFrontKeepsTheControlWorking) {
    kittest::ForeignWindow host;
    auto parent = std::make_unique<Panel>(nullptr);
    parent->SetParentWindow(host.get());
    parent->SetBounds(0, 0, 300, 200);
    Panel client(nullptr);
    client.Align = TAlign::alClient;
    client.SetParent(parent.get());
    HWND hwnd = parent->Handle();
    chainedPrevious = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&chainedProc)));
    chainedCalls = 0;

    parent->SetBounds(0, 0, 250, 120);
    EXPECT_GT(chainedCalls, 0);
    EXPECT_EQ(client.Width(), 250);
    EXPECT_EQ(client.Height(), 120);
    parent.reset();  // destruction runs through the chain without harm
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(client.Parent(), nullptr);
    EXPECT_FALSE(client.HandleAllocated());
}

TEST(Control, DestructionDestroysWindowsAndLeavesTheParent) {
    kittest::ForeignWindow host;
    auto* parent = new Panel(nullptr);
    parent->SetParentWindow(host.get());
    parent->SetBounds(0, 0, 100, 100);
    auto* owned = new Panel(parent);
    owned->SetParent(parent);
    auto* second = new Panel(parent);
    second->SetParent(parent);
    Panel outsider(nullptr);  // contained, but owned by nobody
    outsider.SetParent(parent);
    parent->Handle();
    HWND ownedHwnd = owned->Handle(), secondHwnd = second->Handle(), parentHwnd = parent->Handle();

    delete owned;
    EXPECT_FALSE(IsWindow(ownedHwnd));
    ASSERT_EQ(parent->Controls().size(), 2u);
    EXPECT_EQ(parent->Controls()[0], second);
    EXPECT_EQ(parent->ComponentCount(), 1u);

    delete parent;  // frees `second` as its owner; `outsider` only loses its window
    EXPECT_FALSE(IsWindow(parentHwnd));
    EXPECT_FALSE(IsWindow(secondHwnd));
    EXPECT_EQ(outsider.Parent(), nullptr);
    EXPECT_FALSE(outsider.HandleAllocated());
}

TEST(Control, ErrorInsideWindowProcedureIsReportedNotPropagated) {
    kgtest::RecordingPlatform platform;
    kittest::ForeignWindow host;
    Panel panel(nullptr);
    panel.SetParentWindow(host.get());
    panel.throwOnPaint = true;
    SendMessageA(panel.Handle(), WM_USER + 7, 0, 0);
    ASSERT_EQ(platform.messageBoxes.size(), 1u);
    EXPECT_EQ(platform.messageBoxes[0].text, "handler failed");
    EXPECT_EQ(platform.messageBoxes[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(platform.messageBoxes[0].caption, "kg_kit_tests");  // the program's name as title
}

TEST(Control, OwnWindowClassIsRegisteredOncePerProcess) {
    kittest::ForeignWindow host;
    Panel first(nullptr);
    first.SetParentWindow(host.get());
    first.Handle();
    const int count = kit::RegisteredWindowClassCount();
    Panel second(nullptr);
    second.SetParentWindow(host.get());
    second.Handle();
    EXPECT_EQ(kit::RegisteredWindowClassCount(), count);
    EXPECT_EQ(GetClassLongPtrA(first.Handle(), GCW_ATOM), GetClassLongPtrA(second.Handle(), GCW_ATOM));
    EXPECT_NE(first.Handle(), second.Handle());
}

TEST(Control, ContainmentCycleIsRefused) {
    Panel a(nullptr), b(nullptr);
    b.SetParent(&a);
    EXPECT_THROW(a.SetParent(&b), kit::Error);
    EXPECT_THROW(a.SetParent(&a), kit::Error);
    EXPECT_EQ(a.Parent(), nullptr);
}
