// Labels (size, colours, see-through background, clicks) and the clipboard.
#include "kit/Clipboard.h"
#include "kit/Form.h"
#include "kit/Label.h"
#include "tests/kit/KitTestWindows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using kit::TLabel;
using kittest::Canvas;

namespace {

struct OnForm {
    kittest::ForeignWindow site;
    kit::TForm form{nullptr};
    TLabel label{nullptr};
    OnForm() {
        form.SetParentWindow(site.get());
        form.SetBorderStyle(kit::TFormBorderStyle::bsNone);
        form.SetBounds(0, 0, 400, 100);
        form.SetColor(0x563412);  // 0x00BBGGRR: RGB 12 34 56
        form.FinishCreation();
        form.Show();
        label.SetParent(&form);
        label.SetBounds(10, 10, 0, 0);
    }
    ~OnForm() { label.SetParent(nullptr); }
};

} // namespace

TEST(Label, SizesItselfToItsTextInItsFont) {
    TLabel label(nullptr);
    label.SetCaption("Kestrelgrove 1.0");
    const int plainWidth = label.Width();
    EXPECT_GT(plainWidth, 0);
    EXPECT_GT(label.Height(), 0);
    kit::TFont font = label.Font();
    font.Name = "Arial";
    font.Height = -30;
    font.Bold = true;
    label.SetFont(font);
    EXPECT_GT(label.Width(), plainWidth);
    EXPECT_GE(label.Height(), 30);
    label.SetCaption("K");
    EXPECT_LT(label.Width(), plainWidth);

    label.SetAutoSize(false);
    label.SetBounds(0, 0, 300, 40);
    label.SetCaption("a much longer caption than before");
    EXPECT_EQ(label.Width(), 300);

    TLabel amp(nullptr), literal(nullptr);
    amp.SetCaption("A&&B");
    literal.SetShowAccelChar(false);
    literal.SetCaption("A&&B");
    EXPECT_LT(amp.Width(), literal.Width());  // "A&B" against "A&&B"
}

TEST(Label, DrawsItsFontColourOnItsOwnOrTheParentsBackground) {
    OnForm f;
    f.label.SetCaption("WWWW");
    kit::TFont font = f.label.Font();
    font.Color = kit::clNavy;
    font.Height = -20;
    f.label.SetFont(font);
    f.label.SetColor(kit::clWhite);
    HWND h = f.label.Handle();
    const int area = f.label.Width() * f.label.Height();

    Canvas own(f.label.Width(), f.label.Height());
    SendMessageA(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(own.dc.get()), 0);
    SendMessageA(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(own.dc.get()), PRF_CLIENT);
    EXPECT_GT(own.count(0x000080), 0);  // navy text
    EXPECT_EQ(own.count(0x123456), 0);

    f.label.SetTransparent(true);
    Canvas through(f.label.Width(), f.label.Height());
    SendMessageA(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(through.dc.get()), 0);
    SendMessageA(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(through.dc.get()), PRF_CLIENT);
    EXPECT_GT(through.count(0x123456), area / 2);  // the form's colour behind the text
    EXPECT_GT(through.count(0x000080), 0);
}

TEST(Label, ClickRunsItsHandler) {
    OnForm f;
    f.label.SetCaption("http://example.test/");
    int clicks = 0;
    f.label.OnClick = [&](kit::TComponent*) { ++clicks; };
    HWND h = f.label.Handle();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(clicks, 1);
}

TEST(Clipboard, TextRoundTripAndFormats) {
    kit::TClipboard& clipboard = kit::Clipboard();
    clipboard.SetAsText("news & weather");
    EXPECT_TRUE(clipboard.HasFormat(CF_TEXT));
    EXPECT_EQ(clipboard.AsText(), "news & weather");
    clipboard.SetAsText("");
    EXPECT_TRUE(clipboard.HasFormat(CF_TEXT));
    EXPECT_EQ(clipboard.AsText(), "");
    clipboard.Clear();
    EXPECT_FALSE(clipboard.HasFormat(CF_TEXT));
    EXPECT_EQ(clipboard.AsText(), "");
    std::string big(100000, 'x');
    clipboard.SetAsText(big);
    EXPECT_EQ(clipboard.AsText(), big);
}
