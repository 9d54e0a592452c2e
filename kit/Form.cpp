#include "kit/Form.h"

#include "core/Error.h"

namespace kit {

TForm::TForm(TComponent* owner) : TControl(owner) {
    visible_ = false;
}

TForm::~TForm() {
    BeginDestruction();
    // While this is still a TForm, so its own message handling sees the end.
    DestroyHandle();
}

void TForm::FinishCreation() {
    if (!creating_) return;
    creating_ = false;
    DoEvent(OnCreate, static_cast<TComponent*>(this));
    if (designVisible_) SetVisible(true);
}

void TForm::BeginDestruction() {
    if (destroying_) return;
    destroying_ = true;
    if (modal_ && ModalResult == mrNone) ModalResult = mrCancel;
    DoEvent(OnDestroy, static_cast<TComponent*>(this));
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
    if (style == borderStyle_) return;
    borderStyle_ = style;
    if (HandleAllocated()) {
        const bool shown = visible_;
        DestroyHandle();
        if (shown) {
            visible_ = true;
            Handle();
        }
    }
}

void TForm::SetColor(TColor color) {
    color_ = color;
    brush_.reset();
    Invalidate();
}

void TForm::CreateParams(TCreateParams& params) {
    TControl::CreateParams(params);
    params.className = "Kestrelgrove.Form";
    params.style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    params.exStyle = 0;
    const bool child = Parent() || ParentWindow();
    switch (borderStyle_) {
    case TFormBorderStyle::bsNone:
        if (!child) params.style |= WS_POPUP;
        break;
    case TFormBorderStyle::bsSingle:
        params.style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        break;
    case TFormBorderStyle::bsSizeable:
        params.style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
        break;
    case TFormBorderStyle::bsDialog:
        params.style |= WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
        params.exStyle |= WS_EX_DLGMODALFRAME;
        break;
    }
    if (!child && borderStyle_ != TFormBorderStyle::bsNone) params.style |= WS_OVERLAPPED;
    if (child) params.exStyle |= WS_EX_CONTROLPARENT;
}

void TForm::SetVisible(bool visible) {
    if (creating_) {
        designVisible_ = visible;
        return;
    }
    if (!visible) {
        const bool was = visible_ && HandleAllocated();
        TControl::SetVisible(false);
        if (was) DoEvent(OnHide, static_cast<TComponent*>(this));
        return;
    }
    if (visible_ && HandleAllocated()) return;
    // Created hidden, so OnShow runs before anything is on screen.
    visible_ = false;
    Handle();
    if (Position == TPosition::poScreenCenter && !centred_ && !Parent() && !ParentWindow()) centreOnScreen();
    visible_ = true;
    DoEvent(OnShow, static_cast<TComponent*>(this));
    if (!HandleAllocated() || !visible_) return;  // OnShow freed the window or hid the form again
    TControl::SetVisible(true);
}

void TForm::centreOnScreen() {
    centred_ = true;
    RECT work{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const int left = work.left + ((work.right - work.left) - Width()) / 2;
    const int top = work.top + ((work.bottom - work.top) - Height()) / 2;
    SetBounds(left, top, Width(), Height());
}

TModalResult TForm::ShowModal() {
    if (modal_) throw Error("The window is already shown modally");
    if (creating_) FinishCreation();
    ModalResult = mrNone;
    HWND owner = GetActiveWindow();
    modal_ = true;
    struct Restore {
        TForm* form;
        HWND owner;
        bool enable;
        ~Restore() {
            form->modal_ = false;
            if (enable && IsWindow(owner)) EnableWindow(owner, TRUE);
            if (owner && IsWindow(owner)) SetActiveWindow(owner);
        }
    } restore{this, owner, false};
    try {
        Show();
        HWND self = Handle();
        if (owner && owner != self && IsWindowEnabled(owner)) {
            EnableWindow(owner, FALSE);
            restore.enable = true;
        }
        SetActiveWindow(self);
        MSG msg;
        while (ModalResult == mrNone) {
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // the program's loop must see it too
                if (ModalResult == mrNone) ModalResult = mrCancel;
                break;
            }
            if (got == -1) {
                if (ModalResult == mrNone) ModalResult = mrCancel;
                break;
            }
            if (!IsDialogMessageA(self, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (!IsWindow(self)) {
                if (ModalResult == mrNone) ModalResult = mrCancel;
                break;
            }
        }
        if (HandleAllocated()) Hide();
    } catch (...) {
        if (HandleAllocated()) Hide();
        throw;
    }
    return ModalResult;
}

void TForm::Close() {
    if (modal_)
        ModalResult = mrCancel;
    else
        Hide();
}

bool TForm::containsControl(const TControl* control) const noexcept {
    if (!control || control == this) return false;
    for (TControl* c : Controls())
        if (c == control) return true;
    for (TControl* c : Controls()) {
        // Depth-first through nested containers.
        std::vector<TControl*> stack(c->Controls().begin(), c->Controls().end());
        while (!stack.empty()) {
            TControl* n = stack.back();
            stack.pop_back();
            if (n == control) return true;
            stack.insert(stack.end(), n->Controls().begin(), n->Controls().end());
        }
    }
    return false;
}

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_WINDOWPOSCHANGING: {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        if (!(pos->flags & SWP_NOSIZE) && OnCanResize && (pos->cx != Width() || pos->cy != Height())) {
            int newWidth = pos->cx, newHeight = pos->cy;
            bool resize = true;
            DoEvent(OnCanResize, static_cast<TComponent*>(this), newWidth, newHeight, resize);
            if (resize) {
                pos->cx = newWidth;
                pos->cy = newHeight;
            } else {
                pos->flags |= SWP_NOSIZE;
            }
        }
        break;
    }
    case WM_SETFOCUS:
        if (containsControl(ActiveControl) && ActiveControl->Visible() && ActiveControl->Enabled()) {
            ::SetFocus(ActiveControl->Handle());
            return 0;
        }
        break;
    case WM_ERASEBKGND: {
        if (!brush_) brush_.reset(CreateSolidBrush(ColorToRGB(color_)));
        RECT r{};
        GetClientRect(Handle(), &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(brush_.get()));
        return 1;
    }
    case WM_CLOSE:
        Close();
        return 0;
    case WM_COMMAND:
        // Esc in a modal form (the dialog manager of the modal loop sends it).
        if (LOWORD(wParam) == IDCANCEL && lParam == 0 && modal_) {
            ModalResult = mrCancel;
            return 0;
        }
        break;
    default:
        break;
    }
    return TControl::WndProc(msg, wParam, lParam);
}

} // namespace kit
