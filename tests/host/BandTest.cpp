// The band object of the real DLL, driven through its COM interfaces as a
// browser drives it, from a site that logs what the band asks of it.
#include "tests/host/HostFixture.h"
#include "tests/host/TestSite.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/MessagePump.h"
#include "tools/bandhost/lib/BrowserFrame.h"

#include <objidl.h>

#include <functional>

namespace kgtest {
namespace {

constexpr char kOptions[] =
    "Home Page URL=http://home.example/\r\n"
    "Contact E-Mail=mailto:help@home.example\r\n";
constexpr char kItems[] =
    "[Toolbar Items]\r\nmiHome=\r\n"
    "[miHome]\r\nCaption=Home\r\nURL=http://home.example/\r\nParent=Toolbar\r\n";

using kgtest::pumpMessages;

struct ChildSearch {
    const char* cls;
    HWND found;
};

BOOL CALLBACK matchChild(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    if (lstrcmpiA(name, s->cls) != 0) return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND findChild(HWND parent, const char* className) {
    ChildSearch search{className, nullptr};
    EnumChildWindows(parent, matchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string windowText(HWND hwnd) {
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

class Band : public testing::Test {
protected:
    void SetUp() override { install(std::string("Toolbar Full Size=1\r\n") + kOptions); }

    // Installs the toolbar, then loads the DLL (which reads it at its first call).
    void install(const std::string& options) {
        // The DLL reads its settings when it loads: the one loaded before goes first.
        band_.Reset();
        dll_.reset();
        toolbar_.reset();
        toolbar_ = std::make_unique<InstalledToolbar>(options, kItems);
        dll_ = std::make_unique<ServerDll>();
        ASSERT_TRUE(dll_->loaded());
        frame_ = std::make_unique<bandhost::BrowserFrame>(1000, 300);
        frame_->show();
        browser_ = bandhost::StandInBrowser::create();
        kit::com_ptr<IClassFactory> factory = dll_->factory();
        ASSERT_TRUE(factory);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, reinterpret_cast<void**>(band_.GetAddressOf())),
                  S_OK);
    }

    void TearDown() override {
        band_.Reset();
        site_.Reset();
        pumpMessages();
        if (dll_) EXPECT_EQ(dll_->canUnloadNow(), S_OK) << "something of the band is still alive";
        frame_.reset();
        browser_.Reset();
        dll_.reset();
        toolbar_.reset();
    }

    template <typename I>
    kit::com_ptr<I> as(REFIID iid) {
        kit::com_ptr<I> out;
        band_->QueryInterface(iid, reinterpret_cast<void**>(out.GetAddressOf()));
        return out;
    }

    HRESULT setSite(int lacks = TestSite::None) {
        site_ = TestSite::create(frame_->siteWindow(), browser_.Get(), lacks);
        return as<IObjectWithSite>(IID_IObjectWithSite)->SetSite(static_cast<IInputObjectSite*>(site_.Get()));
    }
    HWND bandWindow() {
        HWND hwnd = nullptr;
        EXPECT_EQ(band_->GetWindow(&hwnd), S_OK);
        return hwnd;
    }

    std::unique_ptr<InstalledToolbar> toolbar_;
    std::unique_ptr<ServerDll> dll_;
    std::unique_ptr<bandhost::BrowserFrame> frame_;
    kit::com_ptr<bandhost::StandInBrowser> browser_;
    kit::com_ptr<IDeskBand> band_;
    kit::com_ptr<TestSite> site_;
};

TEST_F(Band, AnswersItsInterfacesOnly) {
    const struct {
        const IID* iid;
        HRESULT answer;
        HRESULT supportsErrorInfo;
    } cases[] = {
        {&IID_IUnknown, S_OK, S_OK},           {&IID_ISupportErrorInfo, S_OK, S_OK},
        {&IID_IInputObject, S_OK, S_OK},       {&IID_IContextMenu, S_OK, S_OK},
        {&IID_IObjectWithSite, S_OK, S_OK},    {&IID_IPersistStreamInit, S_OK, S_OK},
        {&IID_IPersist, S_OK, S_OK},           {&IID_IDeskBand, S_OK, S_OK},
        {&IID_IDockingWindow, E_NOINTERFACE, S_FALSE}, {&IID_IOleWindow, E_NOINTERFACE, S_FALSE},
        {&IID_IDispatch, E_NOINTERFACE, S_FALSE},      {&IID_IPersistStream, E_NOINTERFACE, S_FALSE},
    };
    kit::com_ptr<ISupportErrorInfo> errorInfo = as<ISupportErrorInfo>(IID_ISupportErrorInfo);
    ASSERT_TRUE(errorInfo);
    for (const auto& c : cases) {
        void* out = &out;
        EXPECT_EQ(band_->QueryInterface(*c.iid, &out), c.answer);
        if (c.answer == S_OK)
            static_cast<IUnknown*>(out)->Release();
        else
            EXPECT_EQ(out, nullptr);
        EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(*c.iid), c.supportsErrorInfo);
    }
    EXPECT_EQ(band_->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    // One identity whichever interface is asked.
    kit::com_ptr<IUnknown> a = as<IUnknown>(IID_IUnknown);
    kit::com_ptr<IContextMenu> menu = as<IContextMenu>(IID_IContextMenu);
    kit::com_ptr<IUnknown> b;
    menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(b.GetAddressOf()));
    EXPECT_EQ(a.Get(), b.Get());
}

TEST_F(Band, BandInfoFillsWhatTheMaskAsks) {
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    for (bool fullSize : {true, false}) {
        SCOPED_TRACE(fullSize);
        if (!fullSize) {
            band_.Reset();
            dll_.reset();
            install(std::string("Toolbar Full Size=0\r\n") + kOptions);
        }
        ASSERT_EQ(setSite(), S_OK);
        DESKBANDINFO all{};
        all.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS |
                     DBIM_BKCOLOR;
        wcscpy(all.wszTitle, L"untouched");
        all.crBkgnd = RGB(1, 2, 3);
        ASSERT_EQ(band_->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &all), S_OK);
        EXPECT_EQ(all.dwMask, static_cast<DWORD>(DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL |
                                                 DBIM_MODEFLAGS));
        EXPECT_EQ(all.ptMinSize.x, fullSize ? screen - 20 : 275);
        EXPECT_EQ(all.ptMinSize.y, 25);
        EXPECT_EQ(all.ptMaxSize.x, -1);
        EXPECT_EQ(all.ptMaxSize.y, 25);
        EXPECT_EQ(all.ptIntegral.x, 1);
        EXPECT_EQ(all.ptIntegral.y, 1);
        EXPECT_EQ(all.ptActual.x, -1);
        EXPECT_EQ(all.ptActual.y, 25);
        EXPECT_EQ(all.dwModeFlags, static_cast<DWORD>(DBIMF_DEBOSSED));
        EXPECT_STREQ(all.wszTitle, L"untouched");
        EXPECT_EQ(all.crBkgnd, RGB(1, 2, 3));

        // One bit alone: only its field is written.
        DESKBANDINFO one{};
        one.dwMask = DBIM_INTEGRAL;
        one.ptMinSize = {-5, -5};
        ASSERT_EQ(band_->GetBandInfo(9, 0, &one), S_OK);
        EXPECT_EQ(one.dwMask, static_cast<DWORD>(DBIM_INTEGRAL));
        EXPECT_EQ(one.ptMinSize.x, -5);
        EXPECT_EQ(band_->GetBandInfo(9, 0, nullptr), E_INVALIDARG);

        // The band identifier last given goes back to the browser with "Update Bandinfo".
        kit::com_ptr<IContextMenu> menu = as<IContextMenu>(IID_IContextMenu);
        kit::unique_hmenu popup(CreatePopupMenu());
        ASSERT_EQ(menu->QueryContextMenu(popup.get(), 0, 100, 200, CMF_NORMAL), 4);
        CMINVOKECOMMANDINFO invoke{sizeof invoke};
        invoke.lpVerb = MAKEINTRESOURCEA(0);
        ASSERT_EQ(menu->InvokeCommand(&invoke), S_OK);
        EXPECT_EQ(site_->log.back(), "Exec(BANDINFOCHANGED,9)");
    }
}

TEST_F(Band, SiteWithoutAnInterfaceIsRefusedAndNothingKept) {
    for (int lacks : {TestSite::NoInputObjectSite, TestSite::NoOleWindow, TestSite::NoCommandTarget,
                      TestSite::NoServiceProvider}) {
        SCOPED_TRACE(lacks);
        EXPECT_EQ(setSite(lacks), E_NOINTERFACE);
        EXPECT_TRUE(site_->log.empty());
        EXPECT_EQ(band_->ShowDW(TRUE), S_OK);
        EXPECT_TRUE(site_->focusChanges.empty()) << "no focus interface was kept";
    }
    // A whole site: the window first, then the browser.
    ASSERT_EQ(setSite(), S_OK);
    EXPECT_EQ(site_->log, (std::vector<std::string>{"GetWindow", "QueryService(WebBrowserApp)"}));
    // An empty site changes nothing: the browser is still there for the commands.
    EXPECT_EQ(as<IObjectWithSite>(IID_IObjectWithSite)->SetSite(nullptr), S_OK);
    kit::com_ptr<IContextMenu> menu = as<IContextMenu>(IID_IContextMenu);
    kit::unique_hmenu popup(CreatePopupMenu());
    menu->QueryContextMenu(popup.get(), 0, 1, 100, 0);
    CMINVOKECOMMANDINFO invoke{sizeof invoke};
    invoke.lpVerb = MAKEINTRESOURCEA(2);
    EXPECT_EQ(menu->InvokeCommand(&invoke), S_OK);
    ASSERT_EQ(browser_->navigations().size(), 1u);
    EXPECT_EQ(browser_->navigations()[0].url, L"http://home.example/");
    void* out = &out;
    EXPECT_EQ(as<IObjectWithSite>(IID_IObjectWithSite)->GetSite(IID_IUnknown, &out), E_FAIL);
    EXPECT_EQ(out, nullptr);
}

TEST_F(Band, ContextMenuCommandsAndRefusals) {
    ASSERT_EQ(setSite(), S_OK);
    kit::com_ptr<IContextMenu> menu = as<IContextMenu>(IID_IContextMenu);
    CMINVOKECOMMANDINFO invoke{sizeof invoke};
    invoke.lpVerb = MAKEINTRESOURCEA(0);
    EXPECT_EQ(menu->InvokeCommand(&invoke), E_FAIL) << "before QueryContextMenu";

    kit::unique_hmenu popup(CreatePopupMenu());
    AppendMenuA(popup.get(), MF_STRING, 1, "Browser's first");
    AppendMenuA(popup.get(), MF_STRING, 2, "Browser's last");
    ASSERT_EQ(menu->QueryContextMenu(popup.get(), 1, 40, 50, CMF_NORMAL), 4);
    const struct {
        const char* text;
        UINT id;
    } expected[] = {{"Browser's first", 1}, {"Update Bandinfo", 40}, {"About Toolbar...", 41},
                    {"Toolbar Website", 42}, {"Toolbar Support", 43}, {"Browser's last", 2}};
    ASSERT_EQ(GetMenuItemCount(popup.get()), 6);
    for (int i = 0; i < 6; ++i) {
        char text[64] = {};
        GetMenuStringA(popup.get(), static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, expected[i].text);
        EXPECT_EQ(GetMenuItemID(popup.get(), i), expected[i].id);
    }

    const struct {
        const char* verb;
        HRESULT answer;
        const wchar_t* navigation;  // what the browser is asked to load, if anything
    } commands[] = {{MAKEINTRESOURCEA(4), E_FAIL, nullptr},
                    {"open", E_FAIL, nullptr},
                    {MAKEINTRESOURCEA(2), S_OK, L"http://home.example/"},
                    {MAKEINTRESOURCEA(3), S_OK, L"mailto:help@home.example"}};
    for (const auto& c : commands) {
        const size_t before = browser_->navigations().size();
        invoke.lpVerb = c.verb;
        EXPECT_EQ(menu->InvokeCommand(&invoke), c.answer);
        ASSERT_EQ(browser_->navigations().size(), before + (c.navigation ? 1 : 0));
        if (c.navigation) EXPECT_EQ(browser_->navigations().back().url, c.navigation);
    }
    // The browser's failure is the command's failure, not an exception.
    browser_->setNavigateResult(E_ACCESSDENIED);
    invoke.lpVerb = MAKEINTRESOURCEA(2);
    EXPECT_TRUE(FAILED(menu->InvokeCommand(&invoke)));
    EXPECT_EQ(menu->GetCommandString(0, GCS_VERBA, nullptr, nullptr, 0), S_OK);
}

TEST_F(Band, WindowIsMadeOnceConnectedAndHooked) {
    ASSERT_EQ(setSite(), S_OK);
    EXPECT_EQ(browser_->adviseCount(), 0u);
    const HWND first = bandWindow();
    ASSERT_TRUE(IsWindow(first));
    EXPECT_EQ(GetParent(first), frame_->siteWindow());
    EXPECT_EQ(windowText(first), "Host Test Toolbar");
    EXPECT_EQ(browser_->adviseCount(), 1u) << "the event sink is connected to the browser";
    EXPECT_EQ(bandWindow(), first);
    EXPECT_EQ(browser_->adviseCount(), 1u);

    // Focus through the hook: one notification however often GetWindow ran.
    band_->ShowDW(FALSE);
    site_->focusChanges.clear();
    SendMessageA(first, WM_PARENTNOTIFY, WM_LBUTTONDOWN, 0);
    EXPECT_EQ(site_->focusChanges, std::vector<BOOL>{-1});
    EXPECT_EQ(as<IInputObject>(IID_IInputObject)->HasFocusIO(), S_OK);

    // Closing destroys the window, stores the search state and unadvises.
    EXPECT_EQ(band_->CloseDW(0), S_OK);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(browser_->adviseCount(), 0u);
    std::string text;
    EXPECT_TRUE(readString(HKEY_CURRENT_USER, kg::ToolbarKeyPath, "Search", text));
    EXPECT_TRUE(readString(HKEY_CURRENT_USER, kg::ToolbarKeyPath, "Search Type", text));
    EXPECT_EQ(band_->CloseDW(0), S_OK);
    HWND none = nullptr;
    EXPECT_EQ(band_->ResizeBorderDW(nullptr, nullptr, FALSE), E_NOTIMPL);
    EXPECT_EQ(band_->ContextSensitiveHelp(TRUE), E_NOTIMPL);
    // A new window after closing, as when the browser shows the band again.
    none = bandWindow();
    EXPECT_TRUE(IsWindow(none));
    EXPECT_NE(none, first);
}

TEST_F(Band, FocusFlagFollowsShowActivateAndTheSearchBox) {
    ASSERT_EQ(setSite(), S_OK);
    const HWND window = bandWindow();
    kit::com_ptr<IInputObject> input = as<IInputObject>(IID_IInputObject);
    EXPECT_EQ(input->HasFocusIO(), S_FALSE) << "false at creation";
    const struct {
        std::function<HRESULT()> call;
        HRESULT hasFocus;
        std::vector<BOOL> told;  // what the site hears
    } steps[] = {
        {[&] { return band_->ShowDW(TRUE); }, S_OK, {-1}},
        {[&] { return band_->ShowDW(FALSE); }, S_FALSE, {0}},
        {[&] { return input->UIActivateIO(TRUE, nullptr); }, S_OK, {}},
        {[&] { return input->UIActivateIO(FALSE, nullptr); }, S_FALSE, {}},
    };
    for (const auto& step : steps) {
        site_->focusChanges.clear();
        EXPECT_EQ(step.call(), S_OK);
        EXPECT_EQ(input->HasFocusIO(), step.hasFocus);
        EXPECT_EQ(site_->focusChanges, step.told);
    }
    // Activating hands the keyboard to the search box.
    const HWND edit = findChild(window, "Edit");
    ASSERT_TRUE(edit);
    SetFocus(nullptr);
    input->UIActivateIO(TRUE, nullptr);
    EXPECT_EQ(GetFocus(), edit);

    // Keys: Tab is the browser's; every other key reaches the box.
    const struct {
        UINT message;
        WPARAM key;
        HRESULT answer;
        const char* boxText;
    } keys[] = {{WM_KEYDOWN, VK_TAB, S_FALSE, ""}, {WM_CHAR, '\t', S_FALSE, ""},
                {WM_CHAR, 'k', S_OK, "k"},          {WM_CHAR, 'g', S_OK, "kg"},
                {WM_KEYDOWN, VK_BACK, S_OK, "kg"},  {WM_CHAR, '\b', S_OK, "k"}};
    for (const auto& k : keys) {
        MSG msg{edit, k.message, k.key, 0};
        EXPECT_EQ(input->TranslateAcceleratorIO(&msg), k.answer) << k.key;
        EXPECT_EQ(windowText(edit), k.boxText);
    }
    EXPECT_EQ(input->TranslateAcceleratorIO(nullptr), E_POINTER);
}

TEST_F(Band, PersistenceAnswersWithoutTouchingTheStream) {
    kit::com_ptr<IPersistStreamInit> persist = as<IPersistStreamInit>(IID_IPersistStreamInit);
    CLSID clsid{};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, kg::CLSID_Kestrelgrove);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    kit::com_ptr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()), S_OK);
    const char data[] = "kept";
    stream->Write(data, sizeof data, nullptr);
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(persist->Load(stream.Get()), S_OK);
    EXPECT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    ULARGE_INTEGER position{};
    stream->Seek({}, STREAM_SEEK_CUR, &position);
    EXPECT_EQ(stat.cbSize.QuadPart, sizeof data);
    EXPECT_EQ(position.QuadPart, 0u);
    ULARGE_INTEGER size{};
    EXPECT_EQ(persist->GetSizeMax(&size), E_NOTIMPL);
    EXPECT_EQ(persist->InitNew(), E_NOTIMPL);
}

TEST_F(Band, BrowserClosingTheBandInsideTheClickIsSurvived) {
    // As a browser may: ShowBrowserBar(false) closes and releases the band before it answers.
    ASSERT_EQ(setSite(), S_OK);
    const HWND window = bandWindow();
    band_->ShowDW(TRUE);
    bool closed = false;
    browser_->setOnShowBrowserBar([&](const bandhost::ShowBrowserBarCall& call) {
        if (call.showValue || !band_) return;
        band_->ShowDW(FALSE);
        band_->CloseDW(0);
        as<IObjectWithSite>(IID_IObjectWithSite)->SetSite(nullptr);
        band_.Reset();
        closed = true;
        // The window waits for the click's handler to return.
        EXPECT_TRUE(IsWindow(window));
        EXPECT_EQ(dll_->canUnloadNow(), S_FALSE);
    });
    // "Close Toolbar" from the window's context menu, with real input: a right
    // click on empty toolbar space, then the menu's last entry.
    frame_->fitBand();  // the band strip's size, as a browser gives it
    RECT r{};
    GetWindowRect(window, &r);
    SetForegroundWindow(frame_->hwnd());
    SetCursorPos(r.right - 10, r.top + 12);

    // Queued together: the menu's own loop takes the keys once it is open.
    INPUT inputs[6] = {};
    for (INPUT& in : inputs) in.type = INPUT_KEYBOARD;
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    inputs[2].ki.wVk = VK_UP;  // from no selection to the last entry, "Close Toolbar"
    inputs[3].ki.wVk = VK_UP;
    inputs[3].ki.dwFlags = KEYEVENTF_KEYUP;
    inputs[4].ki.wVk = VK_RETURN;
    inputs[5].ki.wVk = VK_RETURN;
    inputs[5].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(6, inputs, sizeof(INPUT)), 6u);
    const DWORD start = GetTickCount();
    while (!closed && GetTickCount() - start < 10000) {
        pumpMessages();
        Sleep(10);
    }
    ASSERT_TRUE(closed) << "the context menu's \"Close Toolbar\" never reached the browser";
    pumpMessages();
    EXPECT_FALSE(IsWindow(window));
    std::string text;
    EXPECT_TRUE(readString(HKEY_CURRENT_USER, kg::ToolbarKeyPath, "Search Type", text));
}

TEST_F(Band, ReleasedWithoutCloseTakesItsWindowAlong) {
    ASSERT_EQ(setSite(), S_OK);
    const HWND window = bandWindow();
    band_.Reset();
    site_.Reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(browser_->adviseCount(), 0u);
}

// The update server answers each file only after the transfer's bound: the window comes once both
// downloads are given up, and the DLL, released at once, stays loaded while the second one runs on,
// then goes by itself: nothing of it runs once it is unloaded.
TEST_F(Band, DownloadsGivenUpKeepTheDllLoadedUntilTheyEnd) {
    HttpTestServer server;
    ASSERT_TRUE(server.start());
    server.serve("good/toolbar.ini", "[Options]\r\nToolbar Name=Served\r\n");
    server.serve("good/icons.bin", "icons");
    // A configuration in use with its "Toolbar Name": usable, so the failed update shows no box.
    install("Toolbar Name=Host Test Toolbar\r\nUpdates URL=" + server.url("/latehead/good/") + "\r\n" + kOptions);
    ASSERT_EQ(setSite(), S_OK);
    ASSERT_NE(bandWindow(), nullptr);
    band_.Reset();
    site_.Reset();
    pumpMessages();
    EXPECT_EQ(dll_->canUnloadNow(), S_OK);
    dll_.reset();

    const std::string path = builtDllPath();
    EXPECT_NE(GetModuleHandleA(path.c_str()), nullptr) << "unloaded while a download it gave up still runs";
    // Not a clock on the download: a guard against one that never ends.
    for (int waited = 0; GetModuleHandleA(path.c_str()) && waited < 600; ++waited) Sleep(100);
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "the DLL stayed loaded";
    EXPECT_EQ(server.requests(), (std::vector<std::string>{"/latehead/good/toolbar.ini", "/latehead/good/icons.bin"}));
}

} // namespace
} // namespace kgtest
