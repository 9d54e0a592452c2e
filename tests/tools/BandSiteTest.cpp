// The browser's side of the band protocol (HostedBand, BandSite) against a
// recording band object registered with COM for the test's class identifier:
// the order of the calls, the band strip's size, the band-information
// refresh, keyboard routing, ShowBrowserBar and the context menu.
#include "tests/kit/MenuDriver.h"
#include "tools/bandhost/lib/BandSite.h"
#include "tools/bandhost/lib/BrowserFrame.h"

#include <shlguid.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using bandhost::BandSite;
using bandhost::BrowserFrame;
using bandhost::HostedBand;

namespace {

// {3F1B7C2E-5A44-4E1B-9C3D-7A0E6B5D2C11}
constexpr CLSID kRecordingBandClsid = {0x3F1B7C2E, 0x5A44, 0x4E1B, {0x9C, 0x3D, 0x7A, 0x0E, 0x6B, 0x5D, 0x2C, 0x11}};

// What the recording bands did, shared by all of them (the factory makes them).
struct BandLog {
    std::vector<std::string> calls;
    LONG minHeight = 25;
    bool hasFocus = true;
    bool siteAnswered[4] = {};  // IInputObjectSite, IOleWindow, IOleCommandTarget, browser service
    HWND siteWindow = nullptr;
    kit::com_ptr<IOleCommandTarget> commandTarget;
    std::vector<WPARAM> translated;
    UINT invokedOffset = ~0u;
    int alive = 0;
};
BandLog* g_log = nullptr;

class RecordingBand final : public IDeskBand, public IObjectWithSite, public IInputObject, public IContextMenu {
public:
    RecordingBand() { ++g_log->alive; }
    ~RecordingBand() {
        g_log->calls.push_back("destroyed");
        --g_log->alive;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDeskBand || riid == IID_IDockingWindow || riid == IID_IOleWindow)
            *ppv = static_cast<IDeskBand*>(this);
        else if (riid == IID_IObjectWithSite)
            *ppv = static_cast<IObjectWithSite*>(this);
        else if (riid == IID_IInputObject)
            *ppv = static_cast<IInputObject*>(this);
        else if (riid == IID_IContextMenu)
            *ppv = static_cast<IContextMenu*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP GetWindow(HWND* out) override {
        g_log->calls.push_back("GetWindow");
        if (!window_)
            window_.reset(CreateWindowExW(0, L"STATIC", L"band", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, g_log->siteWindow,
                                          nullptr, nullptr, nullptr));
        *out = window_.get();
        return window_ ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP ShowDW(BOOL show) override {
        g_log->calls.push_back(show ? "ShowDW(1)" : "ShowDW(0)");
        return S_OK;
    }
    STDMETHODIMP CloseDW(DWORD) override {
        g_log->calls.push_back("CloseDW");
        window_.reset();
        return S_OK;
    }
    STDMETHODIMP ResizeBorderDW(LPCRECT, IUnknown*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBandInfo(DWORD id, DWORD, DESKBANDINFO* info) override {
        g_log->calls.push_back("GetBandInfo(" + std::to_string(id) + "," + std::to_string(info->dwMask) + ")");
        if (info->dwMask & DBIM_MINSIZE) info->ptMinSize = {100, g_log->minHeight};
        return S_OK;
    }

    STDMETHODIMP SetSite(IUnknown* site) override {
        g_log->calls.push_back(site ? "SetSite" : "SetSite(null)");
        if (!site) return S_OK;
        kit::com_ptr<IInputObjectSite> input;
        kit::com_ptr<IOleWindow> window;
        kit::com_ptr<IServiceProvider> services;
        kit::com_ptr<IWebBrowser2> browser;
        g_log->siteAnswered[0] = SUCCEEDED(site->QueryInterface(IID_IInputObjectSite, reinterpret_cast<void**>(input.GetAddressOf())));
        g_log->siteAnswered[1] = SUCCEEDED(site->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(window.GetAddressOf()))) &&
                                 SUCCEEDED(window->GetWindow(&g_log->siteWindow));
        g_log->siteAnswered[2] = SUCCEEDED(site->QueryInterface(IID_IOleCommandTarget,
                                                                reinterpret_cast<void**>(g_log->commandTarget.GetAddressOf())));
        g_log->siteAnswered[3] =
            SUCCEEDED(g_log->commandTarget.As(&services)) &&
            SUCCEEDED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2,
                                             reinterpret_cast<void**>(browser.GetAddressOf()))) &&
            browser;
        return S_OK;
    }
    STDMETHODIMP GetSite(REFIID, void** out) override {
        *out = nullptr;
        return E_FAIL;
    }

    STDMETHODIMP UIActivateIO(BOOL, MSG*) override { return S_OK; }
    STDMETHODIMP HasFocusIO() override {
        g_log->calls.push_back("HasFocusIO");
        return g_log->hasFocus ? S_OK : S_FALSE;
    }
    STDMETHODIMP TranslateAcceleratorIO(MSG* msg) override {
        g_log->translated.push_back(msg->wParam);
        return msg->wParam == VK_TAB ? S_FALSE : S_OK;
    }

    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT) override {
        g_log->calls.push_back("QueryContextMenu");
        const char* texts[] = {"First", "Second", "Third", "Fourth"};
        for (UINT offset = 4; offset-- > 0;)
            InsertMenuA(menu, index, MF_BYPOSITION | MF_STRING, first + offset, texts[offset]);
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4);
    }
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override {
        g_log->invokedOffset = LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb));
        return S_OK;
    }
    STDMETHODIMP GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) override { return E_NOTIMPL; }

private:
    ULONG refs_ = 1;
    kit::unique_hwnd window_;
};

class RecordingFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the fixture
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* band = new RecordingBand();
        const HRESULT hr = band->QueryInterface(riid, ppv);
        band->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

class BandSiteTest : public testing::Test {
protected:
    void SetUp() override {
        g_log = &log_;
        ASSERT_EQ(CoRegisterClassObject(kRecordingBandClsid, &factory_, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                        &cookie_),
                  S_OK);
        frame_.show();
    }
    void TearDown() override {
        CoRevokeClassObject(cookie_);
        log_.commandTarget.Reset();
        g_log = nullptr;
    }
    // The calls since the last look, then forgotten.
    std::vector<std::string> takeCalls() { return std::exchange(log_.calls, {}); }

    BandLog log_;
    RecordingFactory factory_;
    DWORD cookie_ = 0;
    BrowserFrame frame_{900, 300};
};

TEST_F(BandSiteTest, OpensAndClosesInTheBrowsersOrderWithAFullSite) {
    HostedBand band(frame_, kRecordingBandClsid);
    band.open();
    ASSERT_TRUE(band.isOpen());
    EXPECT_EQ(takeCalls(), (std::vector<std::string>{"SetSite", "GetBandInfo(1,127)", "GetWindow", "ShowDW(1)"}));
    for (bool answered : log_.siteAnswered) EXPECT_TRUE(answered);
    EXPECT_EQ(log_.siteWindow, frame_.siteWindow());

    log_.commandTarget.Reset();
    band.close();
    EXPECT_FALSE(band.isOpen());
    EXPECT_EQ(takeCalls(), (std::vector<std::string>{"ShowDW(0)", "CloseDW", "SetSite(null)", "destroyed"}));
    EXPECT_EQ(log_.alive, 0);
    band.close();
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_EQ(band.closeCount(), 1);
}

TEST_F(BandSiteTest, TheStripTakesTheMinimumHeightAndTheWindowCoversItRightOfTheGripper) {
    HostedBand band(frame_, kRecordingBandClsid);
    log_.minHeight = 25;
    band.open();
    auto check = [&](int height) {
        SCOPED_TRACE(height);
        EXPECT_EQ(frame_.bandHeight(), height);
        RECT site{}, r{};
        GetClientRect(frame_.siteWindow(), &site);
        GetWindowRect(band.window(), &r);
        MapWindowPoints(nullptr, frame_.siteWindow(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(site.bottom, height);
        EXPECT_EQ(r.left, HostedBand::kGripperWidth);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right, site.right);
        EXPECT_EQ(r.bottom, height);
    };
    check(25);

    // The band asks for a refresh through the site's command target.
    log_.minHeight = 40;
    takeCalls();
    VARIANT id;
    VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = HostedBand::kBandId;
    EXPECT_EQ(log_.commandTarget->Exec(&CGID_DeskBand, DBID_BANDINFOCHANGED, OLECMDEXECOPT_DODEFAULT, &id, nullptr),
              S_OK);
    EXPECT_EQ(takeCalls(), std::vector<std::string>{"GetBandInfo(1,127)"});
    check(40);
    EXPECT_EQ(log_.commandTarget->Exec(nullptr, DBID_BANDINFOCHANGED, 0, &id, nullptr), OLECMDERR_E_UNKNOWNGROUP);
    EXPECT_EQ(log_.commandTarget->Exec(&CGID_DeskBand, 7, 0, &id, nullptr), OLECMDERR_E_NOTSUPPORTED);
    EXPECT_TRUE(takeCalls().empty());

    frame_.setSize(1100, 300);
    check(40);
}

TEST_F(BandSiteTest, KeyboardGoesToTheBandOnlyWhileItHasTheFocus) {
    HostedBand band(frame_, kRecordingBandClsid);
    band.open();
    struct Case {
        bool hasFocus;
        UINT message;
        WPARAM key;
        bool taken;
        bool translated;
    } cases[] = {
        {true, WM_KEYDOWN, 'A', true, true},       {true, WM_CHAR, 'a', true, true},
        {true, WM_KEYDOWN, VK_TAB, false, true},    {false, WM_KEYDOWN, 'A', false, false},
        {true, WM_MOUSEMOVE, 0, false, false},      {true, WM_SYSKEYUP, VK_MENU, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "message " << c.message << " key " << c.key << " focus " << c.hasFocus);
        log_.hasFocus = c.hasFocus;
        log_.translated.clear();
        MSG msg{band.window(), c.message, c.key, 0, 0, {}};
        EXPECT_EQ(band.translateAccelerator(msg), c.taken);
        EXPECT_EQ(log_.translated.size(), c.translated ? 1u : 0u);
    }
}

TEST_F(BandSiteTest, ShowBrowserBarHidingThisBandClosesItBeforeItAnswers) {
    struct Case {
        std::wstring clsid;
        VARIANT_BOOL show;
        bool closes;
    } cases[] = {
        {bandhost::guidText(kRecordingBandClsid), VARIANT_FALSE, true},
        {L"{3f1b7c2e-5a44-4e1b-9c3d-7a0e6b5d2c11}", VARIANT_FALSE, true},
        {bandhost::guidText(kRecordingBandClsid), VARIANT_TRUE, false},
        {bandhost::guidText(IID_IUnknown), VARIANT_FALSE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.clsid.begin(), c.clsid.end()) << " show " << c.show);
        HostedBand band(frame_, kRecordingBandClsid);
        band.open();
        log_.commandTarget.Reset();
        takeCalls();
        VARIANT clsid, show, size;
        VariantInit(&clsid);
        clsid.vt = VT_BSTR;
        clsid.bstrVal = SysAllocString(c.clsid.c_str());
        VariantInit(&show);
        show.vt = VT_BOOL;
        show.boolVal = c.show;
        VariantInit(&size);
        EXPECT_EQ(frame_.browser().ShowBrowserBar(&clsid, &show, &size), S_OK);
        VariantClear(&clsid);
        EXPECT_EQ(band.isOpen(), !c.closes);
        EXPECT_EQ(log_.alive, c.closes ? 0 : 1);
        const std::vector<std::string> closing{"ShowDW(0)", "CloseDW", "SetSite(null)", "destroyed"};
        EXPECT_EQ(takeCalls(), c.closes ? closing : std::vector<std::string>{});
    }
}

TEST_F(BandSiteTest, TheGrippersContextMenuRunsTheBandsChosenEntry) {
    HostedBand band(frame_, kRecordingBandClsid);
    band.open();
    struct Case {
        std::vector<WPARAM> keys;
        int chosen;
    } cases[] = {
        {{VK_DOWN, VK_RETURN}, 0},
        {{VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, 2},
        {{VK_UP, VK_RETURN}, 3},
        {{VK_ESCAPE}, -1},
    };
    POINT gripper{HostedBand::kGripperWidth / 2, 5};
    ClientToScreen(frame_.siteWindow(), &gripper);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        log_.invokedOffset = ~0u;
        std::vector<std::string> texts;
        kgtest::MenuDriver driver(c.keys, [&](HWND menuWindow) {
            HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
            for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                char text[32] = {};
                GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
                texts.push_back(text);
            }
        });
        // The gripper is the site window's own area: the click reaches it, not the band.
        SendMessageW(frame_.siteWindow(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(frame_.siteWindow()),
                     MAKELPARAM(gripper.x, gripper.y));
        EXPECT_TRUE(driver.sawMenu);
        EXPECT_EQ(texts, (std::vector<std::string>{"First", "Second", "Third", "Fourth"}));
        if (c.chosen < 0)
            EXPECT_EQ(log_.invokedOffset, ~0u);
        else
            EXPECT_EQ(log_.invokedOffset, static_cast<UINT>(c.chosen));
    }
    // A context menu that a band's own window passes up is not the gripper's.
    log_.calls.clear();
    kgtest::MenuDriver guard({VK_ESCAPE});
    SendMessageW(frame_.siteWindow(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(band.window()),
                 MAKELPARAM(gripper.x, gripper.y));
    EXPECT_TRUE(log_.calls.empty());
}

TEST(BandSite, AnswersTheSiteInterfacesAndOnlyTheBrowserService) {
    BrowserFrame frame;
    kit::com_ptr<BandSite> site = BandSite::create(frame.siteWindow(), frame.webBrowser());
    for (REFIID iid : {IID_IUnknown, IID_IInputObjectSite, IID_IOleWindow, IID_IOleCommandTarget, IID_IServiceProvider}) {
        kit::com_ptr<IUnknown> p;
        EXPECT_EQ(site->QueryInterface(iid, reinterpret_cast<void**>(p.GetAddressOf())), S_OK);
    }
    kit::com_ptr<IUnknown> none;
    EXPECT_EQ(site->QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(none.GetAddressOf())), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    kit::com_ptr<IWebBrowser2> browser;
    EXPECT_EQ(site->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, reinterpret_cast<void**>(browser.GetAddressOf())),
              S_OK);
    EXPECT_EQ(browser.Get(), frame.webBrowser());
    kit::com_ptr<IWebBrowser2> other;
    EXPECT_EQ(site->QueryService(IID_IUnknown, IID_IWebBrowser2, reinterpret_cast<void**>(other.GetAddressOf())),
              E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    EXPECT_EQ(site->OnFocusChangeIS(nullptr, TRUE), S_OK);
    EXPECT_EQ(site->OnFocusChangeIS(nullptr, FALSE), S_OK);
    EXPECT_EQ(site->focusReports(), (std::vector<bool>{true, false}));

    // Detached, the site no longer hands out the frame's window or browser.
    browser.Reset();
    site->detach();
    HWND window = frame.siteWindow();
    EXPECT_EQ(site->GetWindow(&window), E_FAIL);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(site->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, reinterpret_cast<void**>(browser.GetAddressOf())),
              E_NOINTERFACE);
}

} // namespace
