#include "kit/Label.h"

#include <windowsx.h>

namespace kit {

TLabel::TLabel(TComponent* owner) : TControl(owner) {
    font_.Color = clWindowText;
    adjustSize();
}

TLabel::~TLabel() { DestroyHandle(); }

void TLabel::CreateParams(TCreateParams& params) {
    TControl::CreateParams(params);
    params.className = "Kestrelgrove.Label";
    params.classStyle = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
}

HFONT TLabel::font() const {
    if (!hfont_) hfont_ = font_.Create();
    return static_cast<HFONT>(hfont_.get());
}

UINT TLabel::drawFlags() const noexcept {
    return DT_LEFT | DT_TOP | DT_SINGLELINE | (showAccelChar_ ? 0u : static_cast<UINT>(DT_NOPREFIX));
}

SIZE TLabel::TextExtent() const {
    HDC dc = GetDC(nullptr);
    RECT r{0, 0, 0, 0};
    {
        select_object use(dc, font());
        // An empty caption still has the height of a line.
        const std::string& text = Caption();
        DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &r, drawFlags() | DT_CALCRECT);
        if (text.empty()) r.right = r.left;
    }
    ReleaseDC(nullptr, dc);
    return {r.right - r.left, r.bottom - r.top};
}

void TLabel::adjustSize() {
    if (!autoSize_) return;
    const SIZE size = TextExtent();
    SetBounds(Left(), Top(), size.cx, size.cy);
}

void TLabel::SetCaption(const std::string& text) {
    TControl::SetCaption(text);
    adjustSize();
    Invalidate();
}

void TLabel::SetFont(const TFont& font) {
    font_ = font;
    hfont_.reset();
    adjustSize();
    Invalidate();
}

void TLabel::SetColor(TColor color) {
    color_ = color;
    Invalidate();
}

void TLabel::SetTransparent(bool transparent) {
    transparent_ = transparent;
    Invalidate();
}

void TLabel::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    adjustSize();
}

void TLabel::SetShowAccelChar(bool show) {
    showAccelChar_ = show;
    adjustSize();
    Invalidate();
}

LRESULT TLabel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (transparent_) {
            PaintParentBackground(dc);
        } else {
            unique_hgdiobj brush(CreateSolidBrush(ColorToRGB(color_)));
            RECT r{0, 0, ClientWidth(), ClientHeight()};
            FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
        }
        return 1;
    }
    case WM_PAINT:
    case WM_PRINTCLIENT: {
        PAINTSTRUCT ps{};
        HDC dc = msg == WM_PAINT ? BeginPaint(Handle(), &ps) : reinterpret_cast<HDC>(wParam);
        {
            select_object use(dc, font());
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, ColorToRGB(Enabled() ? font_.Color : (clSystemColor | COLOR_GRAYTEXT)));
            RECT r{0, 0, ClientWidth(), ClientHeight()};
            DrawTextA(dc, Caption().c_str(), -1, &r, drawFlags());
        }
        if (msg == WM_PAINT) EndPaint(Handle(), &ps);
        return 0;
    }
    default:
        break;
    }
    if (click_.Handle(*this, msg, lParam, OnClick)) return 0;
    return TControl::WndProc(msg, wParam, lParam);
}

} // namespace kit
