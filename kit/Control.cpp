#include "kit/Control.h"

#include "core/Error.h"
#include "kit/SystemError.h"

#include <windowsx.h>
#include <algorithm>
#include <exception>
#include <memory>
#include <set>
#include <unordered_map>

namespace kit {

namespace {

// The window property that ties a window to its control.
constexpr char kControlProp[] = "Kestrelgrove.Control";

// Own classes registered by this module, by name.
std::set<std::string>& registeredClasses() {
    static std::set<std::string> names;
    return names;
}
int registrations = 0;

// Child window identifiers, unique in the process, so WM_MEASUREITEM (which
// names its sender only by identifier) can find the control.
UINT_PTR nextChildId = 1000;

LPCSTR systemCursor(TCursor cursor) {
    switch (cursor) {
    case TCursor::crArrow: return IDC_ARROW;
    case TCursor::crHandPoint: return IDC_HAND;
    case TCursor::crIBeam: return IDC_IBEAM;
    case TCursor::crCross: return IDC_CROSS;
    case TCursor::crHourGlass: return IDC_WAIT;
    case TCursor::crDefault: break;
    }
    return nullptr;
}

} // namespace

HINSTANCE KitInstance() noexcept {
    static HINSTANCE instance = [] {
        HMODULE module = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&KitInstance), &module);
        return static_cast<HINSTANCE>(module);
    }();
    return instance;
}

int RegisteredWindowClassCount() noexcept { return registrations; }

void UnregisterWindowClasses() noexcept {
    auto& names = registeredClasses();
    for (auto it = names.begin(); it != names.end();) {
        if (UnregisterClassA(it->c_str(), KitInstance()))
            it = names.erase(it);
        else
            ++it;
    }
}

namespace {

// Depth of kit window procedures on this thread's stack, and what waits for it to reach 0.
thread_local int dispatchDepth = 0;
thread_local std::vector<std::unique_ptr<TComponent>>* pendingReleases = nullptr;

void freePending() noexcept {
    while (pendingReleases && !pendingReleases->empty()) {
        std::vector<std::unique_ptr<TComponent>> batch;
        batch.swap(*pendingReleases);
        // Destructors send messages of their own: they run at depth 0 again and
        // may queue more, which the loop picks up.
        batch.clear();
    }
    delete pendingReleases;
    pendingReleases = nullptr;
}

struct DispatchScope {
    DispatchScope() noexcept { ++dispatchDepth; }
    ~DispatchScope() {
        if (--dispatchDepth == 0 && pendingReleases) freePending();
    }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;
};

} // namespace

void ReleaseWhenIdle(std::unique_ptr<TComponent> component) {
    if (!component) return;
    if (dispatchDepth == 0) {
        component.reset();
        return;
    }
    if (auto* control = dynamic_cast<TControl*>(component.get()); control && control->HandleAllocated())
        ShowWindow(control->Handle(), SW_HIDE);
    if (!pendingReleases) pendingReleases = new std::vector<std::unique_ptr<TComponent>>();
    pendingReleases->push_back(std::move(component));
}

std::size_t PendingReleases() noexcept {
    return pendingReleases ? pendingReleases->size() : 0;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
    DestroyHandle();
    // Our window is gone with theirs; children that outlive us (owned
    // elsewhere, or freed later by the owner) must not reach back to us.
    for (TControl* child : controls_) child->parent_ = nullptr;
    controls_.clear();
    if (parent_) {
        TControl* parent = parent_;
        parent_ = nullptr;
        parent->removeControl(this);
    }
}

void TControl::removeControl(TControl* child) noexcept {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), child), controls_.end());
    if (child->Align != TAlign::alNone && hwnd_) Realign();
}

void TControl::SetParent(TControl* parent) {
    if (parent == parent_) return;
    for (TControl* p = parent; p; p = p->parent_)
        if (p == this) throw Error("A control cannot be its own parent");
    if (parent_) {
        TControl* old = parent_;
        parent_ = nullptr;
        old->removeControl(this);
    }
    parent_ = parent;
    if (parent_) {
        parentWindow_ = nullptr;
        parent_->controls_.push_back(this);
        if (parent_->hwnd_) {
            if (hwnd_)
                ::SetParent(hwnd_, parent_->hwnd_);
            else
                Handle();
            if (Align != TAlign::alNone) parent_->Realign();
        } else if (hwnd_) {
            DestroyHandle();
        }
    } else if (hwnd_) {
        DestroyHandle();
    }
}

void TControl::SetParentWindow(HWND foreign) {
    if (parent_) {
        TControl* old = parent_;
        parent_ = nullptr;
        old->removeControl(this);
    }
    parentWindow_ = foreign;
    if (hwnd_) {
        if (foreign && (GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_CHILD))
            ::SetParent(hwnd_, foreign);
        else
            DestroyHandle();  // the window's kind (child or top-level) changes
    }
}

namespace {

// The controls of this thread's windows. Every message looks its control up,
// and a window property costs a server round trip under Wine; the property
// stays for windows of other threads.
thread_local std::unordered_map<HWND, TControl*>* threadControls = nullptr;

std::unordered_map<HWND, TControl*>& controlsOfThisThread() {
    if (!threadControls) threadControls = new std::unordered_map<HWND, TControl*>();
    return *threadControls;
}

void forgetControl(HWND hwnd) noexcept {
    if (!threadControls) return;
    threadControls->erase(hwnd);
    if (threadControls->empty()) {
        delete threadControls;
        threadControls = nullptr;
    }
}

} // namespace

TControl* TControl::FromHandle(HWND hwnd) noexcept {
    if (!hwnd) return nullptr;
    if (threadControls) {
        const auto found = threadControls->find(hwnd);
        if (found != threadControls->end()) return found->second;
    }
    return static_cast<TControl*>(GetPropA(hwnd, kControlProp));
}

HWND TControl::Handle() {
    if (!hwnd_) createHandle();
    return hwnd_;
}

void TControl::CreateParams(TCreateParams& params) {
    params.className = "Kestrelgrove.Control";
}

void TControl::createHandle() {
    HWND parentHwnd = parentWindow_;
    if (parent_) {
        parentHwnd = parent_->Handle();
        // Creating the parent creates its children, this one included.
        if (hwnd_) return;
    }

    TCreateParams params;
    CreateParams(params);
    if (params.className.empty()) throw Error("A control has no window class");
    DWORD style = params.style;
    if (parentHwnd)
        style = (style | WS_CHILD) & ~static_cast<DWORD>(WS_POPUP);
    else
        style &= ~static_cast<DWORD>(WS_CHILD);
    style &= ~static_cast<DWORD>(WS_VISIBLE | WS_DISABLED);
    if (!enabled_) style |= WS_DISABLED;

    if (params.ownClass && !registeredClasses().count(params.className)) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = params.classStyle;
        wc.lpfnWndProc = &TControl::windowProc;
        wc.hInstance = KitInstance();
        wc.hCursor = params.cursor ? params.cursor : LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = params.background;
        wc.lpszClassName = params.className.c_str();
        if (!RegisterClassExA(&wc)) {
            const DWORD code = GetLastError();
            // Left behind by an earlier load of this module that could not unregister it.
            if (code != ERROR_CLASS_ALREADY_EXISTS) RaiseOSError(code);
        } else {
            ++registrations;
        }
        registeredClasses().insert(params.className);
    }

    const HMENU id = (style & WS_CHILD) ? reinterpret_cast<HMENU>(nextChildId++) : nullptr;
    HWND hwnd = CreateWindowExA(params.exStyle, params.className.c_str(), caption_.c_str(), style, left_, top_, width_,
                                height_, parentHwnd, id, KitInstance(), params.ownClass ? this : nullptr);
    if (!hwnd) {
        const DWORD code = GetLastError();
        hwnd_ = nullptr;
        RaiseOSError(code, "Cannot create a window: ");
    }
    if (!params.ownClass) {
        attach(hwnd);
        previousProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TControl::windowProc)));
    }
    UpdateBoundsFromWindow();
    HandleCreated();
    for (TControl* child : std::vector<TControl*>(controls_)) child->Handle();
    Realign();
    if (visible_) ShowWindow(hwnd_, (style & WS_CHILD) ? SW_SHOWNA : SW_SHOW);
}

void TControl::attach(HWND hwnd) noexcept {
    hwnd_ = hwnd;
    SetPropA(hwnd, kControlProp, this);
    try {
        controlsOfThisThread()[hwnd] = this;
    } catch (...) {
        // Without memory for the entry the property still finds the control.
    }
}

void TControl::detach() noexcept {
    if (!hwnd_) return;
    RemovePropA(hwnd_, kControlProp);
    forgetControl(hwnd_);
    // The procedure stays in place: someone may have chained in front of it,
    // and the window is gone after this message anyway.
    hwnd_ = nullptr;
    previousProc_ = nullptr;
}

void TControl::DestroyHandle() {
    if (!hwnd_) return;
    HWND hwnd = hwnd_;
    DestroyWindow(hwnd);
    // A window of another thread, or one whose destruction failed: let go of it anyway.
    if (hwnd_ == hwnd) {
        if (IsWindow(hwnd)) RemovePropA(hwnd, kControlProp);
        forgetControl(hwnd);
        hwnd_ = nullptr;
        previousProc_ = nullptr;
    }
}

LRESULT CALLBACK TControl::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TControl* control = FromHandle(hwnd);
    if (!control && msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        control = static_cast<TControl*>(create->lpCreateParams);
        if (control) control->attach(hwnd);
    }
    if (!control) return DefWindowProcA(hwnd, msg, wParam, lParam);

    DispatchScope scope;
    LRESULT result = 0;
    try {
        result = control->WndProc(msg, wParam, lParam);
    } catch (...) {
        // Never let an exception unwind through the system's frames.
        ShowException(std::current_exception());
    }
    if (msg == WM_NCDESTROY && control->hwnd_ == hwnd) control->detach();
    return result;
}

LRESULT TControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (previousProc_) return CallWindowProcA(previousProc_, hwnd_, msg, wParam, lParam);
    return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

bool TControl::reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    TControl* child = nullptr;
    switch (msg) {
    case WM_COMMAND:
        if (lParam) {
            child = FromHandle(reinterpret_cast<HWND>(lParam));
            if (child && child != this) return child->ReflectCommand(HIWORD(wParam));
        }
        return false;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header) child = FromHandle(header->hwndFrom);
        if (child && child != this) return child->ReflectNotify(header, result);
        return false;
    }
    case WM_DRAWITEM: {
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (draw && draw->CtlType != ODT_MENU) child = FromHandle(draw->hwndItem);
        break;
    }
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure && measure->CtlType != ODT_MENU) child = FromHandle(GetDlgItem(hwnd_, static_cast<int>(measure->CtlID)));
        break;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
        child = FromHandle(reinterpret_cast<HWND>(lParam));
        break;
    default:
        return false;
    }
    return child && child != this && child->ReflectMessage(msg, wParam, lParam, result);
}

void TControl::PaintParentBackground(HDC dc) {
    HWND parent = hwnd_ ? GetParent(hwnd_) : nullptr;
    if (!parent) return;
    POINT origin{0, 0};
    MapWindowPoints(hwnd_, parent, &origin, 1);
    POINT old{};
    OffsetViewportOrgEx(dc, -origin.x, -origin.y, &old);
    SendMessageA(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

bool TControl::ShowPopupMenu(int screenX, int screenY) {
    if (!PopupMenu) return false;
    PopupMenu->Popup(screenX, screenY);
    return true;
}

bool TControl::ShowPopupMenuFor(HWND source, LPARAM lParam) {
    if (!PopupMenu) return false;
    int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    if (lParam == -1) {
        RECT r{};
        GetWindowRect(source, &r);
        x = (r.left + r.right) / 2;
        y = (r.top + r.bottom) / 2;
    }
    try {
        ShowPopupMenu(x, y);
    } catch (...) {
        ShowException(std::current_exception());
    }
    return true;
}

LRESULT TControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG: {
        LRESULT result = 0;
        if (reflect(msg, wParam, lParam, result)) return result;
        break;
    }
    case WM_CONTEXTMENU:
        if (ShowPopupMenuFor(hwnd_, lParam)) return 0;
        break;
    case WM_SETCURSOR:
        if (Cursor != TCursor::crDefault && reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(LoadCursorA(nullptr, systemCursor(Cursor)));
            return TRUE;
        }
        break;
    case WM_WINDOWPOSCHANGED: {
        // Take the new bounds before the system sends WM_SIZE, so layout sees them.
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!(pos->flags & SWP_NOMOVE)) {
            left_ = pos->x;
            top_ = pos->y;
        }
        if (!(pos->flags & SWP_NOSIZE)) {
            width_ = pos->cx;
            height_ = pos->cy;
        }
        break;
    }
    case WM_SIZE: {
        const LRESULT result = DefaultHandler(msg, wParam, lParam);
        Realign();
        Resized();
        return result;
    }
    case WM_SHOWWINDOW:
        // Shown or hidden from outside (a band site calls ShowWindow itself).
        if (lParam == 0) visible_ = wParam != FALSE;
        break;
    case WM_DESTROY:
        HandleDestroying();
        break;
    default:
        break;
    }
    return DefaultHandler(msg, wParam, lParam);
}

void TControl::UpdateBoundsFromWindow() {
    if (!hwnd_) return;
    RECT r{};
    GetWindowRect(hwnd_, &r);
    HWND parent = (GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd_) : nullptr;
    if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (hwnd_) {
        SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        left_ = left;
        top_ = top;
        width_ = width;
        height_ = height;
    }
    if (Align != TAlign::alNone && parent_ && !parent_->aligning_) parent_->Realign();
}

int TControl::ClientWidth() {
    if (!hwnd_) return width_;
    RECT r{};
    GetClientRect(hwnd_, &r);
    return r.right - r.left;
}

int TControl::ClientHeight() {
    if (!hwnd_) return height_;
    RECT r{};
    GetClientRect(hwnd_, &r);
    return r.bottom - r.top;
}

void TControl::SetClientSize(int width, int height) {
    RECT frame{0, 0, 0, 0};
    if (hwnd_) {
        RECT window{}, client{};
        GetWindowRect(hwnd_, &window);
        GetClientRect(hwnd_, &client);
        frame.right = (window.right - window.left) - client.right;
        frame.bottom = (window.bottom - window.top) - client.bottom;
    } else {
        TCreateParams params;
        CreateParams(params);
        DWORD style = params.style;
        if (parent_ || parentWindow_) style |= WS_CHILD;
        AdjustWindowRectEx(&frame, style, FALSE, params.exStyle);
        frame.right -= frame.left;
        frame.bottom -= frame.top;
    }
    SetBounds(left_, top_, width + frame.right, height + frame.bottom);
}

void TControl::SetAlign(TAlign align) {
    if (align == Align) return;
    Align = align;
    if (parent_) parent_->Realign();
}

void TControl::Realign() {
    if (aligning_) return;
    aligning_ = true;
    try {
        RECT area{0, 0, ClientWidth(), ClientHeight()};
        auto place = [](TControl* c, int l, int t, int w, int h) {
            c->SetBounds(l, t, std::max(w, 0), std::max(h, 0));
        };
        // Top and bottom first, then left and right in the band between, then the client.
        for (TAlign pass : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
            for (TControl* c : controls_) {
                if (c->Align != pass || !c->visible_) continue;
                const int w = area.right - area.left, h = area.bottom - area.top;
                switch (pass) {
                case TAlign::alTop:
                    place(c, area.left, area.top, w, c->height_);
                    area.top += c->height_;
                    break;
                case TAlign::alBottom:
                    place(c, area.left, area.bottom - c->height_, w, c->height_);
                    area.bottom -= c->height_;
                    break;
                case TAlign::alLeft:
                    place(c, area.left, area.top, c->width_, h);
                    area.left += c->width_;
                    break;
                case TAlign::alRight:
                    place(c, area.right - c->width_, area.top, c->width_, h);
                    area.right -= c->width_;
                    break;
                case TAlign::alClient:
                    place(c, area.left, area.top, w, h);
                    break;
                case TAlign::alNone:
                    break;
                }
                if (area.bottom < area.top) area.bottom = area.top;
                if (area.right < area.left) area.right = area.left;
            }
        }
    } catch (...) {
        aligning_ = false;
        throw;
    }
    aligning_ = false;
}

void TControl::SetVisible(bool visible) {
    visible_ = visible;
    if (hwnd_) {
        const bool child = (GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_CHILD) != 0;
        ShowWindow(hwnd_, visible ? (child ? SW_SHOWNA : SW_SHOW) : SW_HIDE);
    } else if (visible && (!parent_ || parent_->hwnd_)) {
        Handle();  // shown as soon as it exists
    }
    if (Align != TAlign::alNone && parent_) parent_->Realign();
}

void TControl::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (hwnd_) EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

void TControl::SetCaption(const std::string& text) {
    caption_ = text;
    if (hwnd_) SetWindowTextA(hwnd_, caption_.c_str());
}

void TControl::SetFocus() {
    ::SetFocus(Handle());
}

bool TControl::Focused() {
    return hwnd_ && GetFocus() == hwnd_;
}

void TControl::Invalidate() {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void TControl::Update() {
    if (hwnd_) UpdateWindow(hwnd_);
}

void TControl::BringToFront() {
    if (hwnd_) SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

} // namespace kit
