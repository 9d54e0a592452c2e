// Forms: construction and destruction sequences with the error report,
// resize veto, active control, modal showing, context menu.
#include "kit/ComboBox.h"
#include "kit/Form.h"
#include "kit/PopupMenu.h"
#include "tests/kit/KitTestWindows.h"
#include "tests/support/RecordingPlatform.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using kit::TComponent;
using kit::TControl;
using kit::TForm;

namespace {

class Edit : public TControl {
public:
    using TControl::TControl;

protected:
    void CreateParams(TCreateParams& p) override {
        TControl::CreateParams(p);
        p.className = "EDIT";
        p.ownClass = false;
        p.style |= WS_TABSTOP | ES_AUTOHSCROLL;
    }
};

// A designed form: its widgets, its handlers, the records of what ran.
class DesignedForm : public TForm {
public:
    struct Script {
        bool visible = true;
        bool failCreate = false;
        bool failShow = false;
        bool failDestroy = false;
    };

    DesignedForm(HWND site, std::vector<std::string>& log, Script script)
        : TForm(nullptr), log_(log), script_(script) {
        SetParentWindow(site);
        SetBorderStyle(kit::TFormBorderStyle::bsNone);
        SetBounds(0, 0, 400, 26);
        edit = new Edit(this);
        edit->SetParent(this);
        edit->SetBounds(100, 2, 120, 21);
        ActiveControl = edit;
        OnCreate = [this](TComponent*) {
            log_.push_back("create: window " + std::string(HandleAllocated() ? "exists" : "not yet"));
            if (script_.failCreate) throw std::runtime_error("Cannot read the configuration");
            log_.push_back("create: after the failing step");
        };
        OnShow = [this](TComponent*) {
            log_.push_back(std::string("show: window ") + (IsWindow(Handle()) ? "exists" : "missing") +
                           (IsWindowVisible(Handle()) ? ", on screen" : ", not yet on screen"));
            if (script_.failShow) throw std::runtime_error("Cannot store the date");
        };
        OnDestroy = [this](TComponent*) {
            log_.push_back("destroy: edit " + std::string(edit->HandleAllocated() ? "alive" : "gone"));
            if (script_.failDestroy) throw std::runtime_error("Access denied");
            log_.push_back("destroy: after the failing step");
        };
        SetVisible(script.visible);
        FinishCreation();
    }
    ~DesignedForm() override { BeginDestruction(); }

    Edit* edit;

private:
    std::vector<std::string>& log_;
    Script script_;
};

} // namespace

TEST(Form, ChildOfForeignWindowRunsCreateThenShowThenDestroy) {
    kgtest::RecordingPlatform platform;
    kittest::ForeignWindow site;
    std::vector<std::string> log;
    auto form = std::make_unique<DesignedForm>(site.get(), log, DesignedForm::Script{});
    ASSERT_TRUE(form->HandleAllocated());
    HWND hwnd = form->Handle();
    EXPECT_EQ(GetParent(hwnd), site.get());
    EXPECT_TRUE(GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(GetParent(form->edit->Handle()), hwnd);
    HWND editHwnd = form->edit->Handle();

    form.reset();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindow(editHwnd));
    EXPECT_EQ(log, (std::vector<std::string>{"create: window not yet", "create: after the failing step",
                                             "show: window exists, not yet on screen", "destroy: edit alive",
                                             "destroy: after the failing step"}));
    EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST(Form, ErrorsInTheSequencesAreReportedAndTheRestOfTheHandlerSkipped) {
    kgtest::RecordingPlatform platform;
    kittest::ForeignWindow site;
    std::vector<std::string> log;
    DesignedForm::Script script;
    script.failCreate = script.failShow = script.failDestroy = true;
    auto form = std::make_unique<DesignedForm>(site.get(), log, script);

    ASSERT_EQ(platform.messageBoxes.size(), 2u);
    EXPECT_EQ(platform.messageBoxes[0].text, "Cannot read the configuration");
    EXPECT_EQ(platform.messageBoxes[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(platform.messageBoxes[1].text, "Cannot store the date");
    // Still created and shown.
    HWND hwnd = form->Handle();
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(IsWindowVisible(hwnd));

    form.reset();
    ASSERT_EQ(platform.messageBoxes.size(), 3u);
    EXPECT_EQ(platform.messageBoxes[2].text, "Access denied");
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(log, (std::vector<std::string>{"create: window not yet", "show: window exists, not yet on screen",
                                             "destroy: edit alive"}));
}

TEST(Form, DesignedHiddenFormHasNoWindowUntilShown) {
    kittest::ForeignWindow site;
    std::vector<std::string> log;
    DesignedForm::Script script;
    script.visible = false;
    DesignedForm form(site.get(), log, script);
    EXPECT_FALSE(form.HandleAllocated());
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(log.size(), 2u);  // OnCreate only

    form.Show();
    EXPECT_TRUE(IsWindowVisible(form.Handle()));
    ASSERT_EQ(log.size(), 3u);
    form.Hide();
    form.Show();  // every showing runs OnShow
    EXPECT_EQ(log.size(), 4u);
    form.Show();  // already visible: nothing
    EXPECT_EQ(log.size(), 4u);
}

TEST(Form, CanResizeAdjustsOrVetoesRealSizeChanges) {
    kgtest::RecordingPlatform platform;
    kittest::ForeignWindow site;
    TForm form(nullptr);
    form.SetParentWindow(site.get());
    form.SetBorderStyle(kit::TFormBorderStyle::bsNone);
    form.SetBounds(0, 0, 300, 25);
    form.FinishCreation();
    form.Show();
    std::vector<std::pair<int, int>> asked;
    form.OnCanResize = [&](TComponent* sender, int& w, int& h, bool& resize) {
        EXPECT_EQ(sender, &form);
        EXPECT_TRUE(resize);
        asked.emplace_back(w, h);
        if (w == 500) resize = false;  // refused whatever height was asked
        if (w == 700) w = 680;         // adjusted
    };
    RECT r{};
    auto size = [&] {
        GetWindowRect(form.Handle(), &r);
        return std::make_pair(static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top));
    };

    SetWindowPos(form.Handle(), nullptr, 0, 0, 700, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(size(), std::make_pair(680, 30));
    EXPECT_EQ(form.Width(), 680);
    SetWindowPos(form.Handle(), nullptr, 0, 0, 500, 90, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(size(), std::make_pair(680, 30));
    form.SetBounds(0, 0, 500, 40);  // the kit's own resizing is subject to the same rule
    EXPECT_EQ(size(), std::make_pair(680, 30));
    EXPECT_EQ(form.Height(), 30);
    SetWindowPos(form.Handle(), nullptr, 5, 0, 680, 30, SWP_NOZORDER | SWP_NOACTIVATE);  // a move only
    EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{700, 30}, {500, 90}, {500, 40}}));

    form.OnCanResize = [](TComponent*, int&, int&, bool&) { throw std::runtime_error("no browser"); };
    SetWindowPos(form.Handle(), nullptr, 0, 0, 300, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_EQ(platform.messageBoxes.size(), 1u);
    EXPECT_EQ(platform.messageBoxes[0].text, "no browser");
}

TEST(Form, FocusGivenToTheFormGoesToTheActiveControl) {
    kittest::ForeignWindow site;
    SetForegroundWindow(site.get());
    std::vector<std::string> log;
    DesignedForm form(site.get(), log, {});
    SetFocus(site.get());
    ASSERT_EQ(GetFocus(), site.get());
    SetFocus(form.Handle());
    EXPECT_EQ(GetFocus(), form.edit->Handle());
    EXPECT_TRUE(form.edit->Focused());

    form.edit->SetEnabled(false);  // a disabled active control leaves the focus on the form
    SetFocus(site.get());
    SetFocus(form.Handle());
    EXPECT_EQ(GetFocus(), form.Handle());

    kit::TComboBox box(nullptr);  // a combo box passes the focus on to its edit field
    box.SetParent(&form);
    form.ActiveControl = &box;
    SetFocus(site.get());
    EXPECT_FALSE(box.Focused());
    SetFocus(form.Handle());
    EXPECT_EQ(GetFocus(), box.EditHandle());
    EXPECT_TRUE(box.Focused());

    Edit stranger(nullptr);  // not inside the form: ignored
    stranger.SetParentWindow(site.get());
    form.ActiveControl = &stranger;
    SetFocus(site.get());
    SetFocus(form.Handle());
    EXPECT_EQ(GetFocus(), form.Handle());
}

TEST(Form, ShowModalRunsUntilModalResultIsSetAndDisablesItsOwner) {
    kittest::ForeignWindow owner;
    SetActiveWindow(owner.get());
    TForm form(nullptr);
    form.SetBorderStyle(kit::TFormBorderStyle::bsDialog);
    form.SetBounds(0, 0, 200, 120);
    form.Position = kit::TPosition::poScreenCenter;
    bool ownerDisabled = false;
    int step = 0;
    struct Probe : TControl {
        using TControl::TControl;
        std::function<void()> onUser;
        LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override {
            if (msg == WM_USER && onUser) onUser();
            return TControl::WndProc(msg, w, l);
        }
    } probe(nullptr);
    probe.SetParent(&form);
    probe.onUser = [&] {
        ownerDisabled = !IsWindowEnabled(owner.get());
        form.ModalResult = kit::mrOk;
    };
    // Posted, so it arrives inside the modal loop.
    form.OnShow = [&](TComponent*) {
        PostMessageA(probe.Handle(), WM_USER, 0, 0);
        ++step;
    };

    EXPECT_EQ(form.ShowModal(), kit::mrOk);
    EXPECT_EQ(step, 1);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner.get()));
    EXPECT_FALSE(IsWindowVisible(form.Handle()));
    EXPECT_FALSE(form.Modal());
    // Centred on the work area at its first showing.
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(form.Left() + form.Width() / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR(form.Top() + form.Height() / 2, (work.top + work.bottom) / 2, 1);

    // Closing the window ends a modal showing with mrCancel.
    form.OnShow = [&](TComponent*) { PostMessageA(form.Handle(), WM_CLOSE, 0, 0); };
    EXPECT_EQ(form.ShowModal(), kit::mrCancel);
    // Closing a form that is not modal hides it.
    form.Show();
    SendMessageA(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(IsWindowVisible(form.Handle()));
}

TEST(Form, RightClickShowsThePopupMenuOfTheControlOrOfTheForm) {
    kittest::ForeignWindow site;
    TForm form(nullptr);
    form.SetParentWindow(site.get());
    form.SetBorderStyle(kit::TFormBorderStyle::bsNone);
    form.SetBounds(0, 0, 300, 30);
    form.FinishCreation();
    struct Panel : TControl {
        using TControl::TControl;
    };
    auto* withMenu = new Panel(&form);
    withMenu->SetParent(&form);
    auto* without = new Panel(&form);
    without->SetParent(&form);
    kit::TTBPopupMenu formMenu(nullptr), panelMenu(nullptr);
    std::vector<std::string> popped;
    formMenu.OnPopup = [&](TComponent*) { popped.push_back("form"); };
    panelMenu.OnPopup = [&](TComponent*) { popped.push_back("panel"); };
    form.PopupMenu = &formMenu;
    withMenu->PopupMenu = &panelMenu;
    form.Show();

    SendMessageA(withMenu->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(withMenu->Handle()), MAKELPARAM(20, 20));
    SendMessageA(without->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(without->Handle()), MAKELPARAM(20, 20));
    SendMessageA(form.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form.Handle()), -1);  // keyboard
    EXPECT_EQ(popped, (std::vector<std::string>{"panel", "form", "form"}));

    form.PopupMenu = nullptr;
    SendMessageA(without->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(without->Handle()), MAKELPARAM(20, 20));
    EXPECT_EQ(popped.size(), 3u);
}

TEST(Form, TopLevelFormsShareOneWindowClassAndCarryTheirCaption) {
    TForm first(nullptr), second(nullptr);
    first.SetCaption("First");
    first.SetBorderStyle(kit::TFormBorderStyle::bsSingle);
    first.SetBounds(10, 10, 200, 100);
    first.FinishCreation();
    first.Show();
    const int registered = kit::RegisteredWindowClassCount();
    second.SetBounds(20, 20, 200, 100);
    second.FinishCreation();
    second.Show();
    EXPECT_EQ(kit::RegisteredWindowClassCount(), registered);
    EXPECT_EQ(GetClassLongPtrA(first.Handle(), GCW_ATOM), GetClassLongPtrA(second.Handle(), GCW_ATOM));
    EXPECT_EQ(GetParent(first.Handle()), nullptr);
    EXPECT_FALSE(GetWindowLongPtrA(first.Handle(), GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(GetWindowLongPtrA(first.Handle(), GWL_STYLE) & WS_CAPTION);
    char text[32] = {};
    GetWindowTextA(first.Handle(), text, sizeof text);
    EXPECT_STREQ(text, "First");
    first.SetCaption("Renamed");
    GetWindowTextA(first.Handle(), text, sizeof text);
    EXPECT_STREQ(text, "Renamed");

    RECT client{};
    first.SetClientSize(150, 80);
    GetClientRect(first.Handle(), &client);
    EXPECT_EQ(client.right, 150);
    EXPECT_EQ(client.bottom, 80);
}
