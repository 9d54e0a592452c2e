#include "BrowserFrame.h"

#include "core/Error.h"

#include <cstdio>
#include <exception>
#include <string>

namespace bandhost {

namespace {

constexpr UINT kRunPosted = WM_APP + 1;

HINSTANCE thisModule() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

void registerClass(const wchar_t* name, WNDPROC proc, int background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = thisModule();
    if (GetClassInfoExW(wc.hInstance, name, &wc)) return;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
    wc.lpszClassName = name;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw kit::OSError(GetLastError(), "Cannot register the window class of the stand-in browser");
}

std::wstring hresultText(HRESULT hr) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

std::wstring describe(const NavigateCall& call) {
    std::wstring s = call.url.empty() ? L"(empty URL)" : call.url;
    if (FAILED(call.answer)) s += L"   [answered " + hresultText(call.answer) + L"]";
    return s;
}

std::wstring describe(const ShowBrowserBarCall& call) {
    std::wstring s = L"ShowBrowserBar(" + call.clsidText + L", " + (call.showValue ? L"true" : L"false") + L", " +
                     std::to_wstring(call.sizeValue) + L")";
    if (FAILED(call.answer)) s += L"   [answered " + hresultText(call.answer) + L"]";
    return s;
}

// Direct children only: the band's own controls are the band's business.
void stretchChildren(HWND site, int left) noexcept {
    RECT area;
    GetClientRect(site, &area);
    const int width = area.right - area.left - left;
    for (HWND child = GetWindow(site, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, site, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(child, nullptr, left, r.top, width > 0 ? width : 0, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// Two raised ridges, as a browser draws the handle of a band.
void paintGripper(HDC dc, int width, int height) noexcept {
    for (int x = 2; x + 3 <= width - 1; x += 3) {
        RECT ridge{x, 2, x + 3, height - 2};
        DrawEdge(dc, &ridge, BDR_RAISEDINNER, BF_RECT);
    }
}

// One line of text in rect from its top; returns the height used.
int line(HDC dc, RECT rect, const std::wstring& text, COLORREF colour) noexcept {
    SetTextColor(dc, colour);
    RECT r = rect;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | DT_CALCRECT);
    const int h = r.bottom - r.top;
    r = rect;
    r.bottom = r.top + h;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    return h;
}

} // namespace

BrowserFrame::BrowserFrame(int width, int height) : browser_(StandInBrowser::create()) {
    registerClass(kWindowClass, &frameProc, COLOR_WINDOW);
    registerClass(kSiteWindowClass, &siteProc, COLOR_BTNFACE);

    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    LOGFONTW lf{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) lf = ncm.lfMessageFont;
    lf.lfHeight = -20;
    lf.lfWeight = FW_BOLD;
    bigFont_.reset(CreateFontIndirectW(&lf));

    HWND frame = CreateWindowExW(0, kWindowClass, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                 CW_USEDEFAULT, width, height, nullptr, nullptr, thisModule(), this);
    if (!frame) {
        const DWORD code = GetLastError();
        throw kit::OSError(code, "Cannot create the stand-in browser window (error " + std::to_string(code) + ")");
    }
    // hwnd_ was set by WM_NCCREATE.
    site_ = CreateWindowExW(0, kSiteWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                            0, 0, 0, 0, frame, nullptr, thisModule(), nullptr);
    if (!site_) {
        const DWORD code = GetLastError();
        throw kit::OSError(code, "Cannot create the band site window (error " + std::to_string(code) + ")");
    }
    SetWindowLongPtrW(site_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    browser_->setFrameWindow(frame);
    layout();
}

BrowserFrame::~BrowserFrame() {
    hwnd_.reset();  // WM_NCDESTROY detaches the browser while this object is still whole
    browser_->setFrameWindow(nullptr);
    browser_->setOnShowBrowserBar(nullptr);  // it may hold references into the host of this frame
}

void BrowserFrame::show() {
    browser_->put_Visible(VARIANT_TRUE);
    if (hwnd_) UpdateWindow(hwnd_.get());
}

void BrowserFrame::setSize(int width, int height) {
    if (hwnd_) SetWindowPos(hwnd_.get(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT BrowserFrame::contentRect() const noexcept {
    RECT r{};
    if (hwnd_) GetClientRect(hwnd_.get(), &r);
    r.top = bandAreaHeight();
    r.bottom = r.bottom - kStatusBarHeight;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

void BrowserFrame::fitBand() const noexcept {
    if (site_) stretchChildren(site_, gripperWidth_);
}

void BrowserFrame::setBandStrip(int height, int gripperWidth) {
    bandHeight_ = height > 0 ? height : kBandHeight;
    gripperWidth_ = gripperWidth > 0 ? gripperWidth : 0;
    layout();
    fitBand();
    if (hwnd_) InvalidateRect(hwnd_.get(), nullptr, TRUE);
    if (site_) InvalidateRect(site_, nullptr, TRUE);
}

void BrowserFrame::dockBand(HWND band) const noexcept {
    if (!site_ || !band) return;
    RECT area;
    GetClientRect(site_, &area);
    const int width = area.right - gripperWidth_;
    SetWindowPos(band, nullptr, gripperWidth_, 0, width > 0 ? width : 0, area.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void BrowserFrame::post(std::function<void()> fn) {
    if (!hwnd_) throw kit::Error("The stand-in browser window is gone");
    posted_.push_back(std::move(fn));
    if (!PostMessageW(hwnd_.get(), kRunPosted, 0, 0)) {
        posted_.pop_back();
        throw kit::OSError(GetLastError(), "Cannot post to the stand-in browser window");
    }
}

void BrowserFrame::runPosted() noexcept {
    // One function per message: a function may post again or destroy windows.
    if (posted_.empty()) return;
    std::function<void()> fn = std::move(posted_.front());
    posted_.pop_front();
    try {
        if (fn) fn();
    } catch (const std::exception& e) {
        ++postedFailures_;
        OutputDebugStringA(e.what());
    } catch (...) {
        ++postedFailures_;
    }
}

void BrowserFrame::layout() noexcept {
    if (!hwnd_ || !site_) return;
    RECT client;
    GetClientRect(hwnd_.get(), &client);
    const int width = client.right - client.left - 2 * kBandMargin;
    MoveWindow(site_, kBandMargin, kBandMargin, width > 0 ? width : 0, bandHeight_, TRUE);
}

void BrowserFrame::paint(HDC dc) noexcept {
    try {
        RECT client;
        GetClientRect(hwnd_.get(), &client);
        SetBkMode(dc, TRANSPARENT);
        kit::select_object normalFont(dc, GetStockObject(DEFAULT_GUI_FONT));

        // Band area: a frame-coloured strip around the site window.
        RECT band{client.left, client.top, client.right, bandAreaHeight()};
        FillRect(dc, &band, GetSysColorBrush(COLOR_BTNFACE));

        RECT content = contentRect();
        FillRect(dc, &content, GetSysColorBrush(COLOR_WINDOW));
        InflateRect(&content, -12, -8);
        const COLORREF grey = RGB(96, 96, 96), ink = RGB(0, 0, 0);
        const auto& navigations = browser_->navigations();
        content.top += line(dc, content, L"Last navigation:", grey) + 4;
        {
            kit::select_object big(dc, bigFont_ ? bigFont_.get() : GetStockObject(DEFAULT_GUI_FONT));
            content.top += line(dc, content, navigations.empty() ? L"(none yet)" : describe(navigations.back()),
                                RGB(0, 0, 160)) + 10;
        }
        const auto& bars = browser_->browserBarCalls();
        if (!bars.empty()) content.top += line(dc, content, L"Last " + describe(bars.back()), ink) + 10;
        if (navigations.size() > 1) {
            content.top += line(dc, content, L"Earlier navigations:", grey) + 2;
            for (size_t i = navigations.size() - 1; i-- > 0 && content.top < content.bottom;)
                content.top += line(dc, content, describe(navigations[i]), ink);
        }

        RECT status{client.left, client.bottom - kStatusBarHeight, client.right, client.bottom};
        FillRect(dc, &status, GetSysColorBrush(COLOR_BTNFACE));
        RECT edge{status.left, status.top, status.right, status.top + 1};
        FillRect(dc, &edge, GetSysColorBrush(COLOR_BTNSHADOW));
        status.left += 6;
        status.top += 4;
        line(dc, status, browser_->statusText(), ink);
    } catch (...) {
        // A frame that cannot describe what happened still paints the rest.
    }
}

LRESULT BrowserFrame::handle(UINT msg, WPARAM wp, LPARAM lp) noexcept {
    HWND hwnd = hwnd_.get();
    switch (msg) {
    case WM_SIZE:
        layout();
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel outside the site window
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CLOSE:
        if (onClose_) {
            try {
                onClose_();
            } catch (...) {
                ++postedFailures_;
            }
            return 0;
        }
        break;
    case kRunPosted:
        runPosted();
        return 0;
    case WM_NCDESTROY:
        browser_->setFrameWindow(nullptr);
        site_ = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_.release();
        return DefWindowProcW(hwnd, msg, wp, lp);
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK BrowserFrame::frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<BrowserFrame*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_.reset(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<BrowserFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT BrowserFrame::handleSite(HWND site, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    switch (msg) {
    case WM_SIZE:
        stretchChildren(site, gripperWidth_);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(site, &ps);
        RECT r;
        GetClientRect(site, &r);
        paintGripper(dc, gripperWidth_, r.bottom);
        EndPaint(site, &ps);
        return 0;
    }
    case WM_CONTEXTMENU: {
        // Asked on the site window itself: the gripper, the only part the band does not cover.
        if (reinterpret_cast<HWND>(wp) != site || !onGripperMenu_) break;
        POINT at{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        if (lp == -1) {
            at = {gripperWidth_ / 2, bandHeight_ / 2};
            ClientToScreen(site, &at);
        }
        try {
            const auto callback = onGripperMenu_;  // the menu's command may replace it
            callback(at);
        } catch (...) {
            ++postedFailures_;
        }
        return 0;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrW(site, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcW(site, msg, wp, lp);
}

LRESULT CALLBACK BrowserFrame::siteProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    auto* self = reinterpret_cast<BrowserFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) return self->handleSite(hwnd, msg, wp, lp);
    if (msg == WM_SIZE) {
        stretchChildren(hwnd, 0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace bandhost
