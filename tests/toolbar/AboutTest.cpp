// The About window: its design filled from the settings and the install
// folder, the timed showing on the seam's clock, the ways a modal showing
// ends, and the band's "About Toolbar..." command.
#include "tests/toolbar/ToolbarFixture.h"

#include "host/Band.h"
#include "kit/Image.h"
#include "kit/Label.h"
#include "toolbar/About.h"
#include "toolbar/Artwork.h"

#include <functional>

using kgtest::ToolbarWindowTest;

namespace {

constexpr char kOptions[] =
    "Company Name=Example Publisher\r\n"
    "Home Page URL=http://127.0.0.1:1/home\r\n";
constexpr char kAboutCaption[] = "About Test Toolbar";

HWND findAboutWindow() { return FindWindowA(nullptr, kAboutCaption); }

kg::TFormAbout* aboutForm(HWND hwnd) { return dynamic_cast<kg::TFormAbout*>(kit::TControl::FromHandle(hwnd)); }

// Acts on the About window once the modal loop shows it, from a timer of the
// loop's own thread; closes it the hard way should the action not end it.
struct ModalDriver {
    std::function<void(kg::TFormAbout&)> action;
    bool acted = false;
    bool forced = false;
    bool sawModal = false;
    int ticksAfter = 0;

    static inline ModalDriver* current = nullptr;

    static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
        ModalDriver* d = current;
        if (!d) return;
        kg::TFormAbout* form = aboutForm(findAboutWindow());
        if (!form || !IsWindowVisible(form->Handle())) return;
        if (!d->acted) {
            d->acted = true;
            d->sawModal = form->Modal();
            d->action(*form);
        } else if (++d->ticksAfter > 50) {
            d->forced = true;
            form->ModalResult = kit::mrAbort;
        }
    }

    // Runs `show` (which shows the window modal) with this driver at work.
    void run(const std::function<void()>& show) {
        current = this;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, &ModalDriver::onTimer);
        show();
        KillTimer(nullptr, timer);
        current = nullptr;
    }
};

void postKey(kg::TFormAbout& form, WPARAM key) {
    HWND focus = GetFocus();
    HWND target = focus && (focus == form.Handle() || IsChild(form.Handle(), focus)) ? focus : form.Handle();
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

void click(kit::TControl& control) {
    SendMessageA(control.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(control.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

class AboutWindow : public ToolbarWindowTest {
protected:
    void SetUp() override {
        ToolbarWindowTest::SetUp();
        writeConfig("", kOptions);
        kg::LoadToolbarSettings();
    }
};

TEST_F(AboutWindow, IsMadeOfItsDesignFilledFromTheSettings) {
    kg::TFormAbout form;
    std::vector<std::string> names;
    for (kit::TComponent* c : form.OwnedComponents()) names.push_back(c->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"Bevel2", "Image1", "AboutImage", "LVersion", "LCopyright",
                                               "LKestrelgrove", "LURL", "Memo1", "Bevel1", "BtnClose"}));
    EXPECT_EQ(form.Caption(), kAboutCaption);
    EXPECT_EQ(form.LVersion->Caption(), kgtest::kToolbarName);
    EXPECT_EQ(form.LCopyright->Caption(), "Copyright (c) Example Publisher");
    EXPECT_EQ(form.LKestrelgrove->Caption(), kg::AboutMakerLine);
    EXPECT_EQ(form.LURL->Caption(), "http://127.0.0.1:1/home");
    EXPECT_EQ(form.Memo1->Lines(), std::vector<std::string>{kg::AboutDesignNotice});
    EXPECT_EQ(form.AboutImage->Picture(), kg::MakeDesignBanner()) << "no banner file: the design picture stays";
    EXPECT_TRUE(form.LURL->Font().Underline);
    EXPECT_EQ(form.LURL->Font().Color, kit::clNavy);
    EXPECT_TRUE(form.BtnClose->Default && form.BtnClose->Cancel);
    EXPECT_EQ(form.ActiveControl, form.BtnClose);

    const struct {
        kit::TControl* control;
        int left, top, width, height;
    } placed[] = {{form.Image1, 8, 8, 196, 175},      {form.AboutImage, 211, 48, 105, 22},
                  {form.Memo1, 0, 193, 475, 95},      {form.BtnClose, 397, 291, 75, 25}};
    for (const auto& p : placed) {
        SCOPED_TRACE(p.control->Name());
        EXPECT_EQ(p.control->Left(), p.left);
        EXPECT_EQ(p.control->Top(), p.top);
        EXPECT_EQ(p.control->Width(), p.width);
        EXPECT_EQ(p.control->Height(), p.height);
    }
    const std::pair<kit::TLabel*, int> labels[] = {
        {form.LVersion, 80}, {form.LCopyright, 96}, {form.LKestrelgrove, 112}, {form.LURL, 152}};
    for (const auto& [label, top] : labels) {
        EXPECT_EQ(label->Left(), 211) << label->Name();
        EXPECT_EQ(label->Top(), top) << label->Name();
    }
    // The client area inside the border; no caption bar.
    RECT client{};
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, kg::AboutClientWidth);
    EXPECT_EQ(client.bottom, kg::AboutClientHeight);
    EXPECT_FALSE(GetWindowLongPtrA(form.Handle(), GWL_STYLE) & WS_CAPTION);
    char text[1024] = {};
    GetWindowTextA(form.Memo1->Handle(), text, sizeof text);
    EXPECT_STREQ(text, kg::AboutDesignNotice);
}

TEST_F(AboutWindow, CopyrightsFileReplacesTheNotice) {
    const struct {
        const char* what;
        std::string file;
        std::vector<std::string> lines;
    } cases[] = {
        {"three lines ending CR LF, CR and LF", "First line\r\nSecond line\rThird line\n",
         {"First line", "Second line", "Third line"}},
        {"no line end after the last", "One\r\nTwo\r\nThree", {"One", "Two", "Three"}},
        {"an empty line kept", "One\n\nThree\r\n", {"One", "", "Three"}},
        {"an empty file", "", {}},
        {"UTF-8 with its mark, in the ANSI code page", "\xEF\xBB\xBF(c) Caf\xC3\xA9\r\n\xE4\xB8\xAD",
         {"(c) Caf\xE9", "?"}},
        {"no mark: byte for byte", "(c) Caf\xC3\xA9", {"(c) Caf\xC3\xA9"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile("Copyrights.txt", c.file);
        kg::TFormAbout form;
        EXPECT_EQ(form.Memo1->Lines(), c.lines);
        std::string shown(4096, '\0');
        shown.resize(static_cast<std::size_t>(
            GetWindowTextA(form.Memo1->Handle(), shown.data(), static_cast<int>(shown.size()))));
        EXPECT_EQ(shown, form.Memo1->Text());
        EXPECT_EQ(shown.find("Kestrelgrove toolbar technology"), std::string::npos) << "design text left: " << shown;
    }
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

TEST_F(AboutWindow, ShowsTheBannerPicture) {
    installExampleBanner();
    kg::TFormAbout form;
    const kit::Bitmap32 banner = kit::LoadBmpFile(installFile(std::string(kgtest::kToolbarFile) + ".bmp").string());
    EXPECT_EQ(form.AboutImage->Picture(), banner);
    EXPECT_NE(form.AboutImage->Picture(), kg::MakeDesignBanner());
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

TEST_F(AboutWindow, TimedShowingEndsAfter4000MsOfTheSeamClockWithoutCloseButton) {
    struct Reading {
        DWORD tick;
        bool shown;
        bool closeButton;
    };
    std::vector<Reading> readings;
    platform_.tickStep = 500;
    platform_.onTickCount = [&](DWORD tick) {
        kg::TFormAbout* form = aboutForm(findAboutWindow());
        const bool shown = form && IsWindowVisible(form->Handle());
        readings.push_back({tick, shown, shown && form->BtnClose->Visible()});
    };
    kg::ShowAboutWindow(true);
    platform_.onTickCount = nullptr;

    ASSERT_FALSE(readings.empty());
    EXPECT_EQ(readings.front().tick, 1000u);
    EXPECT_FALSE(readings.front().shown) << "the deadline is taken before showing";
    EXPECT_EQ(readings.back().tick, 5000u) << "the wait ends when the clock reaches the deadline";
    ASSERT_EQ(readings.size(), 9u);
    for (std::size_t i = 1; i < readings.size(); ++i) {
        SCOPED_TRACE(readings[i].tick);
        EXPECT_TRUE(readings[i].shown);
        EXPECT_FALSE(readings[i].closeButton);
    }
    EXPECT_EQ(findAboutWindow(), nullptr) << "the window is gone afterwards";
}

TEST_F(AboutWindow, TimedShowingHidesOnTheHomePageAndStillWaits) {
    std::vector<bool> shown;
    platform_.tickStep = 500;
    platform_.onTickCount = [&](DWORD tick) {
        kg::TFormAbout* form = aboutForm(findAboutWindow());
        if (tick == 2000 && form) click(*form->LURL);
        shown.push_back(form && IsWindowVisible(form->Handle()));
    };
    kg::ShowAboutWindow(true);
    platform_.onTickCount = nullptr;
    EXPECT_EQ(platform_.shellOpens, std::vector<std::string>{"http://127.0.0.1:1/home"});
    EXPECT_EQ(shown, (std::vector<bool>{false, true, false, false, false, false, false, false, false}));
}

TEST_F(AboutWindow, ModalShowingEndsByCloseEnterEscOrTheHomePage) {
    const struct {
        const char* what;
        std::function<void(kg::TFormAbout&)> action;
        bool opensHomePage;
    } cases[] = {
        {"Esc", [](kg::TFormAbout& f) { postKey(f, VK_ESCAPE); }, false},
        {"Enter", [](kg::TFormAbout& f) { postKey(f, VK_RETURN); }, false},
        {"the Close button", [](kg::TFormAbout& f) { click(*f.BtnClose); }, false},
        {"the URL label", [](kg::TFormAbout& f) { click(*f.LURL); }, true},
        {"the picture", [](kg::TFormAbout& f) { click(*f.AboutImage); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform_.shellOpens.clear();
        ModalDriver driver;
        bool closeButtonShown = false;
        driver.action = [&](kg::TFormAbout& f) {
            closeButtonShown = f.BtnClose->Visible() && IsWindowVisible(f.BtnClose->Handle());
            c.action(f);
        };
        driver.run([] { kg::ShowAboutWindow(false); });
        EXPECT_TRUE(driver.acted);
        EXPECT_TRUE(driver.sawModal);
        EXPECT_TRUE(closeButtonShown);
        EXPECT_FALSE(driver.forced) << "the window stayed open";
        EXPECT_EQ(platform_.shellOpens,
                  c.opensHomePage ? std::vector<std::string>{"http://127.0.0.1:1/home"} : std::vector<std::string>{});
        EXPECT_EQ(findAboutWindow(), nullptr);
    }
    EXPECT_TRUE(platform_.messageBoxes.empty());
}

// The home page reaches the shell only as a web or mail address; the window still closes.
TEST_F(AboutWindow, TheHomePageOpensOnlyAsAWebOrMailAddress) {
    const struct {
        const char* homePage;
        std::vector<std::string> opened;
    } cases[] = {
        {"C:\\Windows\\system32\\calc.exe", {}},
        {"\\\\attacker\\share\\run.exe", {}},
        {"file:///C:/Windows/system32/calc.exe", {}},
        {"javascript:alert(document.cookie)", {}},
        {"http://www.example.com/", {"http://www.example.com/"}},
        {"www.example.com", {"http://www.example.com"}},
        {"mailto:support@example.com", {"mailto:support@example.com"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.homePage);
        kg::ToolbarSettings().HomePageURL = c.homePage;
        platform_.shellOpens.clear();
        ModalDriver driver;
        driver.action = [](kg::TFormAbout& f) { click(*f.LURL); };
        driver.run([] { kg::ShowAboutWindow(false); });
        EXPECT_TRUE(driver.acted);
        EXPECT_FALSE(driver.forced) << "the window stayed open";
        EXPECT_EQ(platform_.shellOpens, c.opened);
    }
}

TEST_F(AboutWindow, BandCommandAboutToolbarOpensItModal) {
    kit::com_ptr<kg::TQuorvane> band;
    band.Attach(new kg::TQuorvane());
    kit::unique_hmenu menu(CreatePopupMenu());
    ASSERT_EQ(band->QueryContextMenu(menu.get(), 0, 100, 200, CMF_NORMAL), MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4));
    char text[64] = {};
    GetMenuStringA(menu.get(), 101, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "About Toolbar...");

    ModalDriver driver;
    driver.action = [](kg::TFormAbout& f) { postKey(f, VK_ESCAPE); };
    HRESULT answer = E_UNEXPECTED;
    driver.run([&] {
        CMINVOKECOMMANDINFO invoke{sizeof invoke};
        invoke.lpVerb = MAKEINTRESOURCEA(1);
        answer = band->InvokeCommand(&invoke);
    });
    EXPECT_EQ(answer, S_OK);
    EXPECT_TRUE(driver.acted) << "no About window was shown";
    EXPECT_TRUE(driver.sawModal);
    EXPECT_FALSE(driver.forced);
    EXPECT_EQ(findAboutWindow(), nullptr);
}

} // namespace
