#include "toolbar/About.h"

#include "core/AnsiText.h"

#include "config/Settings.h"
#include "core/Error.h"
#include "core/FileRead.h"
#include "kit/Files.h"
#include "kit/Image.h"
#include "kit/Label.h"
#include "kit/Platform.h"
#include "toolbar/Artwork.h"
#include "toolbar/ShellHelpers.h"
#include "core/Url.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace kg {

const char AboutMakerLine[] = "Toolbar technology copyright (c) Kestrelgrove";
const char AboutDesignNotice[] =
    "Kestrelgrove toolbar technology. Copyright (c) Kestrelgrove. All rights not expressly granted are "
    "reserved. This toolbar is provided as it is, without warranty of any kind. Reproduction or distribution "
    "of this software, in whole or in part, without permission is prohibited.";

namespace {

constexpr kit::TColor clBtnShadow = kit::clSystemColor | COLOR_BTNSHADOW;
constexpr kit::TColor clBtnHighlight = kit::clSystemColor | COLOR_BTNHIGHLIGHT;

template <typename T>
T* make(kit::TComponent* owner, const char* name) {
    auto* component = new T(owner);
    component->SetName(name);
    return component;
}

kit::TFont arialBold() {
    kit::TFont font;
    font.Name = "Arial";
    font.Height = -13;
    font.Bold = true;
    return font;
}

// The lines of an 8-bit text file, separated by CR LF, CR or LF.
std::vector<std::string> readLines(const std::string& path) {
    std::string text = kit::ReadFileText(path);
    // A notice saved as UTF-8 with its mark is shown in the ANSI code page, as the configuration is.
    if (kit::StartsWithUtf8Mark(text)) text = kit::Utf8ToAnsi(std::string_view(text).substr(kit::Utf8Mark.size()));
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

} // namespace

// ---- TBevel

void TBevel::Paint(HDC dc) const {
    RECT r = Bounds;
    DrawEdge(dc, &r, EDGE_ETCHED, Shape == TBevelShape::bsFrame ? BF_RECT : BF_TOP);
}

// ---- TMemo

TMemo::TMemo(kit::TComponent* owner) : kit::TControl(owner) { SetBounds(0, 0, 185, 89); }

TMemo::~TMemo() { DestroyHandle(); }

void TMemo::CreateParams(TCreateParams& params) {
    kit::TControl::CreateParams(params);
    params.className = "EDIT";
    params.ownClass = false;
    params.style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
    if (TabStop) params.style |= WS_TABSTOP;
}

void TMemo::HandleCreated() {
    if (!font_) font_ = kit::TFont{}.Create();
    SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SetWindowTextA(Handle(), Text().c_str());
}

void TMemo::SetLines(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    if (HandleAllocated()) SetWindowTextA(Handle(), Text().c_str());
}

std::string TMemo::Text() const {
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i) text += "\r\n";
        text += lines_[i];
    }
    return text;
}

bool TMemo::ReflectMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
    if (msg != WM_CTLCOLORSTATIC && msg != WM_CTLCOLOREDIT) return false;
    if (!brush_) brush_.reset(CreateSolidBrush(kit::ColorToRGB(Color)));
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkColor(dc, kit::ColorToRGB(Color));
    SetTextColor(dc, kit::ColorToRGB(kit::clWindowText));
    result = reinterpret_cast<LRESULT>(brush_.get());
    return true;
}

// ---- TBitBtn

TBitBtn::TBitBtn(kit::TComponent* owner) : kit::TControl(owner) { SetBounds(0, 0, 75, 25); }

TBitBtn::~TBitBtn() { DestroyHandle(); }

void TBitBtn::CreateParams(TCreateParams& params) {
    kit::TControl::CreateParams(params);
    params.className = "BUTTON";
    params.ownClass = false;
    params.style |= BS_OWNERDRAW | WS_TABSTOP;
}

void TBitBtn::HandleCreated() {
    if (!font_) font_ = kit::TFont{}.Create();
    SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

void TBitBtn::Click() {
    if (ModalResult != kit::mrNone)
        for (kit::TControl* p = Parent(); p; p = p->Parent())
            if (auto* form = dynamic_cast<kit::TForm*>(p)) {
                form->ModalResult = ModalResult;
                break;
            }
    kit::DoEvent(OnClick, static_cast<kit::TComponent*>(this));
}

bool TBitBtn::ReflectCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    Click();
    return true;
}

bool TBitBtn::ReflectMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
    if (msg != WM_DRAWITEM) return false;
    draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    result = TRUE;
    return true;
}

void TBitBtn::draw(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    if (Default) {
        // The default button's dark outline.
        kit::unique_hgdiobj frame(CreateSolidBrush(GetSysColor(COLOR_WINDOWFRAME)));
        FrameRect(dc, &r, static_cast<HBRUSH>(frame.get()));
        InflateRect(&r, -1, -1);
    }
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    const int shift = pressed ? 1 : 0;

    // The glyph: a dark red cross in a 10 by 10 square, before the caption.
    SIZE text{};
    {
        kit::select_object useFont(dc, font_ ? font_.get() : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32A(dc, Caption().c_str(), static_cast<int>(Caption().size()), &text);
        const int glyph = 10, gap = 4;
        const int total = glyph + gap + text.cx;
        const int left = (r.left + r.right - total) / 2 + shift;
        const int middle = (r.top + r.bottom) / 2 + shift;
        kit::unique_hgdiobj pen(CreatePen(PS_SOLID, 2, Enabled() ? RGB(160, 0, 0) : GetSysColor(COLOR_GRAYTEXT)));
        {
            kit::select_object usePen(dc, pen.get());
            MoveToEx(dc, left, middle - glyph / 2, nullptr);
            LineTo(dc, left + glyph, middle + glyph / 2);
            MoveToEx(dc, left + glyph, middle - glyph / 2, nullptr);
            LineTo(dc, left, middle + glyph / 2);
        }
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        RECT t{left + glyph + gap, r.top + shift, r.right, r.bottom + shift};
        DrawTextA(dc, Caption().c_str(), -1, &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
    if (item.itemState & ODS_FOCUS) {
        RECT f = r;
        InflateRect(&f, -4, -4);
        DrawFocusRect(dc, &f);
    }
}

// ---- TFormAbout

TFormAbout::TFormAbout(kit::TComponent* owner) : kit::TForm(owner) {
    createDesignedWidgets();
    OnCreate = [this](kit::TComponent* sender) { FormCreate(sender); };
    FinishCreation();
}

TFormAbout::~TFormAbout() {
    BeginDestruction();
    // The window procedure reaches this form's members: end it while they exist.
    DestroyHandle();
}

void TFormAbout::createDesignedWidgets() {
    SetBorderStyle(kit::TFormBorderStyle::bsNone);
    SetColor(kit::clBtnFace);
    SetBounds(0, 0, AboutClientWidth + 2 * AboutBorderWidth, AboutClientHeight + 2 * AboutBorderWidth);
    Position = kit::TPosition::poScreenCenter;
    SetCaption(AboutDesignCaption);

    Bevel2 = make<TBevel>(this, "Bevel2");
    Bevel2->Bounds = {0, 0, AboutClientWidth, 193};
    Bevel2->Shape = TBevelShape::bsFrame;

    Image1 = make<kit::TImage>(this, "Image1");
    Image1->SetParent(this);
    Image1->SetAutoSize(true);
    Image1->SetTransparent(true);
    Image1->SetBounds(8, 8, 196, 175);
    Image1->SetPicture(MakeAboutPicture());

    AboutImage = make<kit::TImage>(this, "AboutImage");
    AboutImage->SetParent(this);
    AboutImage->SetBounds(211, 48, 105, 22);
    AboutImage->SetCenter(true);
    AboutImage->SetStretch(true);
    AboutImage->Cursor = kit::TCursor::crHandPoint;
    AboutImage->SetPicture(MakeDesignBanner());
    AboutImage->OnClick = [this](kit::TComponent* sender) { LURLClick(sender); };

    LVersion = make<kit::TLabel>(this, "LVersion");
    LVersion->SetParent(this);
    LVersion->SetBounds(211, 80, 0, 0);
    LVersion->SetFont(arialBold());
    LVersion->SetTransparent(true);
    LVersion->SetCaption("Kestrelgrove 1.0");

    LCopyright = make<kit::TLabel>(this, "LCopyright");
    LCopyright->SetParent(this);
    LCopyright->SetBounds(211, 96, 0, 0);
    LCopyright->SetTransparent(true);

    LKestrelgrove = make<kit::TLabel>(this, "LKestrelgrove");
    LKestrelgrove->SetParent(this);
    LKestrelgrove->SetBounds(211, 112, 0, 0);
    LKestrelgrove->SetTransparent(true);
    LKestrelgrove->SetCaption(AboutMakerLine);

    LURL = make<kit::TLabel>(this, "LURL");
    LURL->SetParent(this);
    LURL->SetBounds(211, 152, 0, 0);
    kit::TFont link = arialBold();
    link.Underline = true;
    link.Color = kit::clNavy;
    LURL->SetFont(link);
    LURL->SetTransparent(true);
    LURL->Cursor = kit::TCursor::crHandPoint;
    LURL->OnClick = [this](kit::TComponent* sender) { LURLClick(sender); };

    Memo1 = make<TMemo>(this, "Memo1");
    Memo1->SetParent(this);
    Memo1->SetBounds(0, 193, AboutClientWidth, 95);
    Memo1->Color = kit::clBtnFace;
    Memo1->TabStop = false;
    Memo1->SetLines({AboutDesignNotice});

    Bevel1 = make<TBevel>(this, "Bevel1");
    Bevel1->Bounds = {0, AboutClientHeight - 30, AboutClientWidth, AboutClientHeight};
    Bevel1->Shape = TBevelShape::bsTopLine;

    BtnClose = make<TBitBtn>(this, "BtnClose");
    BtnClose->SetParent(this);
    BtnClose->SetBounds(397, 291, 75, 25);
    BtnClose->SetCaption("Close");
    BtnClose->Cursor = kit::TCursor::crHandPoint;
    BtnClose->Default = true;
    BtnClose->Cancel = true;
    BtnClose->ModalResult = kit::mrCancel;
    BtnClose->OnClick = [this](kit::TComponent* sender) { BtnCloseClick(sender); };
    ActiveControl = BtnClose;
}

void TFormAbout::FormCreate(kit::TComponent*) {
    const TToolbarSettings& settings = ToolbarSettings();
    SetCaption("About " + settings.ToolbarName);
    LVersion->SetCaption(settings.ToolbarName);
    LCopyright->SetCaption("Copyright (c) " + settings.CompanyName);
    LURL->SetCaption(settings.HomePageURL);
    const std::string notice = settings.LegalNoticeFileName();
    if (kit::IsFile(notice)) Memo1->SetLines(readLines(notice));
    const std::string picture = settings.BannerFileName();
    if (kit::IsFile(picture)) AboutImage->LoadFromFile(picture);
}

void TFormAbout::LURLClick(kit::TComponent*) {
    // Only a web or mail address: a program path or a share named here would run.
    if (const auto address = ShellSafeAddress(ToolbarSettings().HomePageURL)) ShellOpen(*address);
    Close();
}

void TFormAbout::BtnCloseClick(kit::TComponent*) { Close(); }

void TFormAbout::ShowAbout(bool timed) {
    BtnClose->SetVisible(!timed);
    if (!timed) {
        ShowModal();
        return;
    }
    const DWORD deadline = kit::platform().tickCount() + TimedShowingMs;
    Show();
    if (HandleAllocated()) UpdateWindow(Handle());
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The program is ending: its own loop must see the message too.
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD now = kit::platform().tickCount();
        if (static_cast<LONG>(now - deadline) >= 0) return;
        // Sleeps until a message comes, a little at a time, so the deadline is seen soon.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(deadline - now, 20), QS_ALLINPUT);
    }
}

bool TFormAbout::pressDialogButton(bool enter) {
    if (!BtnClose || !BtnClose->Visible() || !BtnClose->Enabled()) return false;
    if (enter ? !BtnClose->Default : !BtnClose->Cancel) return false;
    BtnClose->Click();
    return true;
}

LRESULT TFormAbout::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCALCSIZE: {
        // The border lies outside the client area, in the form's colour.
        RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
        InflateRect(r, -AboutBorderWidth, -AboutBorderWidth);
        return 0;
    }
    case WM_NCPAINT: {
        HDC dc = GetWindowDC(Handle());
        if (dc) {
            RECT window{}, client{};
            GetWindowRect(Handle(), &window);
            OffsetRect(&window, -window.left, -window.top);
            client = window;
            InflateRect(&client, -AboutBorderWidth, -AboutBorderWidth);
            ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
            kit::unique_hgdiobj brush(CreateSolidBrush(kit::ColorToRGB(Color())));
            FillRect(dc, &window, static_cast<HBRUSH>(brush.get()));
            ReleaseDC(Handle(), dc);
        }
        return 0;
    }
    case WM_ERASEBKGND: {
        const LRESULT done = kit::TForm::WndProc(msg, wParam, lParam);
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (Bevel2) Bevel2->Paint(dc);
        if (Bevel1) Bevel1->Paint(dc);
        return done;
    }
    case DM_GETDEFID:
        if (BtnClose && BtnClose->Visible() && BtnClose->HandleAllocated())
            return MAKELRESULT(GetDlgCtrlID(BtnClose->Handle()), DC_HASDEFID);
        return 0;
    case WM_COMMAND:
        // Enter and Esc from the dialog manager of the modal loop.
        if (lParam == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) &&
            pressDialogButton(LOWORD(wParam) == IDOK))
            return 0;
        break;
    default:
        break;
    }
    return kit::TForm::WndProc(msg, wParam, lParam);
}

void ShowAboutWindow(bool timed) {
    TFormAbout form(nullptr);
    form.ShowAbout(timed);
    form.Hide();
}

kit::Bitmap32 MakeAboutPicture() {
    constexpr int w = 196, h = 175;
    constexpr std::uint32_t background = 0xFFFF00FFu;  // drawn transparent
    kit::Bitmap32 picture;
    picture.width = w;
    picture.height = h;
    picture.pixels.assign(static_cast<std::size_t>(w) * h, background);
    auto put = [&](int x, int y, std::uint32_t argb) {
        if (x >= 0 && y >= 0 && x < w && y < h) picture.pixels[static_cast<std::size_t>(y) * w + x] = argb;
    };
    // A sky disc shading from pale to deep blue.
    const double cx = 98, cy = 80, radius = 74;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double d = std::hypot(x - cx, y - cy);
            if (d > radius) continue;
            const auto t = static_cast<std::uint32_t>(200 * (y / static_cast<double>(h)));
            put(x, y, 0xFF000000u | ((230 - t / 2) << 16) | ((240 - t / 3) << 8) | 255u);
        }
    // A grove of three trees on a hill.
    for (int x = 20; x < 176; ++x) {
        const int top = 140 - static_cast<int>(12 * std::sin((x - 20) / 156.0 * 3.14159));
        for (int y = top; y < 160; ++y) put(x, y, 0xFF3C7A2Eu);
    }
    const int trees[][2] = {{60, 128}, {98, 122}, {136, 128}};
    for (const auto& tree : trees)
        for (int dy = 0; dy < 46; ++dy)
            for (int dx = -dy / 3; dx <= dy / 3; ++dx) put(tree[0] + dx, tree[1] - 46 + dy, 0xFF1F5E24u);
    // A kestrel: two swept wings and a body.
    for (int i = 0; i < 34; ++i) {
        for (int k = 0; k < 3; ++k) {
            put(98 - i, 52 - i / 3 + k, 0xFF7A4A22u);
            put(98 + i, 52 - i / 3 + k, 0xFF7A4A22u);
        }
    }
    for (int dy = 0; dy < 16; ++dy)
        for (int dx = -2; dx <= 2; ++dx) put(98 + dx, 48 + dy, 0xFF8B5A2Bu);
    return picture;
}

} // namespace kg
