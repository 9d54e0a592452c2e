#include "tools/bandhost/lib/BrowserFrame.h"
#include "tools/bandhost/lib/StandInBrowser.h"
#include "host/SHDocVwEvents.h"
#include "core/Error.h"
#include "tests/support/MessagePump.h"

#include <shlguid.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using bandhost::BrowserFrame;
using bandhost::StandInBrowser;
using kit::com_ptr;

namespace {

// A fresh browser object whose only reference the test owns.
com_ptr<StandInBrowser> newBrowser() {
    auto b = StandInBrowser::create();
    EXPECT_EQ(b->refCount(), 1u);
    return b;
}

struct Bstr {
    explicit Bstr(const wchar_t* s) : p(SysAllocString(s)) {}
    ~Bstr() { SysFreeString(p); }
    BSTR p;
};

// An event sink as a band's would be: an IDispatch that answers the event
// interface, with real reference counting so the test sees its releases.
class StubSink : public IDispatch {
public:
    struct Call {
        DISPID id;
        WORD flags;
        UINT args;
        std::wstring text;  // the URL of BeforeNavigate2, the text of StatusTextChange
    };
    std::vector<Call> calls;
    bool answersEventInterface = true;
    bool cancelNavigations = false;
    ULONG refs = 1;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || (answersEventInterface && riid == DIID_DWebBrowserEvents2)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        Call c{id, flags, p->cArgs, {}};
        if (id == DISPID_STATUSTEXTCHANGE && p->cArgs == 1 && p->rgvarg[0].vt == VT_BSTR) c.text = p->rgvarg[0].bstrVal;
        if (id == DISPID_BEFORENAVIGATE2 && p->cArgs == 7) {
            const VARIANT& url = p->rgvarg[5];
            if (url.vt == (VT_BYREF | VT_VARIANT) && url.pvarVal->vt == VT_BSTR) c.text = url.pvarVal->bstrVal;
            if (cancelNavigations && p->rgvarg[0].vt == (VT_BYREF | VT_BOOL)) *p->rgvarg[0].pboolVal = VARIANT_TRUE;
        }
        calls.push_back(c);
        return S_OK;
    }
};

com_ptr<IConnectionPoint> eventPoint(StandInBrowser& b) {
    com_ptr<IConnectionPoint> cp;
    EXPECT_EQ(b.FindConnectionPoint(DIID_DWebBrowserEvents2, cp.GetAddressOf()), S_OK);
    return cp;
}

} // namespace

TEST(StandInBrowser, QueryInterfaceFollowsTheRules) {
    StandInBrowser* b = new StandInBrowser();
    EXPECT_EQ(b->QueryInterface(IID_IWebBrowser2, nullptr), E_POINTER);

    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(b->QueryInterface(IID_IOleWindow, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(b->QueryInterface(IID_IConnectionPoint, &out), E_NOINTERFACE);  // only through FindConnectionPoint
    EXPECT_EQ(out, nullptr);

    com_ptr<IUnknown> identity;
    ASSERT_EQ(b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.GetAddressOf())), S_OK);
    for (const IID* iid : {&IID_IDispatch, &IID_IWebBrowser, &IID_IWebBrowserApp, &IID_IWebBrowser2,
                           &IID_IConnectionPointContainer, &IID_IServiceProvider}) {
        com_ptr<IUnknown> itf, back;
        ASSERT_EQ(b->QueryInterface(*iid, reinterpret_cast<void**>(itf.GetAddressOf())), S_OK);
        ASSERT_NE(itf.Get(), nullptr);
        ASSERT_EQ(itf->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(back.GetAddressOf())), S_OK);
        EXPECT_EQ(back.Get(), identity.Get());
    }
    identity.Reset();
    EXPECT_EQ(b->refCount(), 1u);
    EXPECT_EQ(b->Release(), 0u);
}

TEST(StandInBrowser, AnswersTheBrowserServiceWithItself) {
    auto b = newBrowser();
    com_ptr<IWebBrowser2> wb;
    ASSERT_EQ(b->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, reinterpret_cast<void**>(wb.GetAddressOf())), S_OK);
    EXPECT_EQ(wb.Get(), static_cast<IWebBrowser2*>(b.Get()));
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(b->QueryService(IID_IOleCommandTarget, IID_IWebBrowser2, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST(StandInBrowser, RecordsNavigationsWithTheirArgumentsAndAnswers) {
    auto b = newBrowser();
    VARIANT zero;
    VariantInit(&zero);
    zero.vt = VT_I4;
    zero.lVal = 0;
    Bstr url(L"http://www.example.com/a?b=1");
    EXPECT_EQ(b->Navigate(url.p, &zero, &zero, &zero, &zero), S_OK);

    b->setNavigateResult(E_ACCESSDENIED);
    Bstr other(L"http://other.example/");
    EXPECT_EQ(b->Navigate(other.p, nullptr, nullptr, nullptr, nullptr), E_ACCESSDENIED);

    const auto& calls = b->navigations();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].url, L"http://www.example.com/a?b=1");
    EXPECT_EQ(calls[0].answer, S_OK);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(calls[0].present[i]);
        EXPECT_EQ(calls[0].args[i].type(), VT_I4);
        LONG v = -1;
        EXPECT_TRUE(calls[0].args[i].asInt(v));
        EXPECT_EQ(v, 0);
        EXPECT_FALSE(calls[1].present[i]);
        EXPECT_EQ(calls[1].args[i].type(), VT_EMPTY);
    }
    EXPECT_EQ(calls[1].url, L"http://other.example/");
    EXPECT_EQ(calls[1].answer, E_ACCESSDENIED);
}

TEST(StandInBrowser, WidthAndStatusTextAnswerAsConfigured) {
    auto b = newBrowser();
    LONG w = 0;
    EXPECT_EQ(b->get_Width(nullptr), E_POINTER);
    EXPECT_EQ(b->get_Width(&w), S_OK);
    EXPECT_EQ(w, 1000);
    b->setWidth(640);
    EXPECT_EQ(b->get_Width(&w), S_OK);
    EXPECT_EQ(w, 640);
    b->setWidthResult(E_FAIL);
    EXPECT_EQ(b->get_Width(&w), E_FAIL);
    EXPECT_EQ(w, 0);

    for (const wchar_t* text : {L"Home", L"&Search", L""}) {
        Bstr t(text);
        EXPECT_EQ(b->put_StatusText(t.p), S_OK);
    }
    EXPECT_EQ(b->put_StatusText(nullptr), S_OK);  // a null BSTR is the empty text
    b->setStatusTextResult(E_ACCESSDENIED);
    Bstr refused(L"refused");
    EXPECT_EQ(b->put_StatusText(refused.p), E_ACCESSDENIED);
    EXPECT_EQ(b->statusTexts(), (std::vector<std::wstring>{L"Home", L"&Search", L"", L"", L"refused"}));

    b->setStatusTextResult(S_OK);
    Bstr last(L"Last one");
    b->put_StatusText(last.p);
    BSTR shown = nullptr;
    ASSERT_EQ(b->get_StatusText(&shown), S_OK);
    EXPECT_STREQ(shown, L"Last one");
    SysFreeString(shown);
}

TEST(StandInBrowser, ShowBrowserBarRecordsTheVariantsAndCallsBack) {
    auto b = newBrowser();
    std::vector<std::wstring> seen;
    b->setOnShowBrowserBar([&](const bandhost::ShowBrowserBarCall& c) { seen.push_back(c.clsidText); });

    VARIANT clsid, show, size;
    VariantInit(&clsid);
    clsid.vt = VT_BSTR;
    clsid.bstrVal = SysAllocString(L"{4E7D5C2A-1B3F-4A6E-9C8D-0F1E2D3C4B5A}");
    VariantInit(&show);
    show.vt = VT_BOOL;
    show.boolVal = VARIANT_FALSE;
    VariantInit(&size);
    size.vt = VT_I4;
    size.lVal = 0;
    EXPECT_EQ(b->ShowBrowserBar(&clsid, &show, &size), S_OK);
    ASSERT_EQ(b->browserBarCalls().size(), 1u);
    const auto& call = b->browserBarCalls()[0];
    EXPECT_EQ(call.clsid.type(), VT_BSTR);
    EXPECT_EQ(call.clsidText, L"{4E7D5C2A-1B3F-4A6E-9C8D-0F1E2D3C4B5A}");
    EXPECT_EQ(call.show.type(), VT_BOOL);
    EXPECT_FALSE(call.showValue);
    EXPECT_EQ(call.size.type(), VT_I4);
    EXPECT_EQ(call.sizeValue, 0);
    EXPECT_EQ(seen, std::vector<std::wstring>{call.clsidText});

    // A browser that fails does not hide anything: no callback.
    b->setShowBrowserBarResult(E_FAIL);
    EXPECT_EQ(b->ShowBrowserBar(&clsid, &show, &size), E_FAIL);
    EXPECT_EQ(b->ShowBrowserBar(nullptr, &show, &size), E_INVALIDARG);
    EXPECT_EQ(b->browserBarCalls().size(), 3u);
    EXPECT_EQ(seen.size(), 1u);
    VariantClear(&clsid);
}

TEST(StandInBrowser, UnofferedMethodsAnswerNotImplementedAndClearTheirResults) {
    auto b = newBrowser();
    IDispatch* doc = reinterpret_cast<IDispatch*>(0x1234);
    EXPECT_EQ(b->get_Document(&doc), E_NOTIMPL);
    EXPECT_EQ(doc, nullptr);
    BSTR location = reinterpret_cast<BSTR>(0x1234);
    EXPECT_EQ(b->get_LocationURL(&location), E_NOTIMPL);
    EXPECT_EQ(location, nullptr);
    EXPECT_EQ(b->GoBack(), E_NOTIMPL);
    EXPECT_EQ(b->Navigate2(nullptr, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(b->put_Width(10), E_NOTIMPL);
    EXPECT_TRUE(b->navigations().empty());
    IEnumConnectionPoints* e = reinterpret_cast<IEnumConnectionPoints*>(0x1234);
    EXPECT_EQ(b->EnumConnectionPoints(&e), E_NOTIMPL);
    EXPECT_EQ(e, nullptr);
}

TEST(StandInBrowserEvents, AdviseFireAndUnadvise) {
    auto b = newBrowser();
    IConnectionPoint* none = reinterpret_cast<IConnectionPoint*>(0x1234);
    EXPECT_EQ(b->FindConnectionPoint(IID_IDispatch, &none), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(none, nullptr);

    auto cp = eventPoint(*b.Get());
    IID iid{};
    EXPECT_EQ(cp->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, DIID_DWebBrowserEvents2);
    com_ptr<IConnectionPointContainer> container;
    ASSERT_EQ(cp->GetConnectionPointContainer(container.GetAddressOf()), S_OK);
    EXPECT_EQ(container.Get(), static_cast<IConnectionPointContainer*>(b.Get()));

    StubSink first, second, stranger;
    stranger.answersEventInterface = false;
    DWORD c1 = 0, c2 = 0, c3 = 77;
    EXPECT_EQ(cp->Advise(&stranger, &c3), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(c3, 0u);
    ASSERT_EQ(cp->Advise(&first, &c1), S_OK);
    ASSERT_EQ(cp->Advise(&second, &c2), S_OK);
    EXPECT_NE(c1, 0u);
    EXPECT_NE(c1, c2);
    EXPECT_EQ(b->adviseCount(), 2u);

    second.cancelNavigations = true;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    EXPECT_EQ(b->fireBeforeNavigate2(L"http://www.example.com/", cancel), (std::vector<HRESULT>{S_OK, S_OK}));
    EXPECT_EQ(cancel, VARIANT_TRUE);  // written through the reference by the second sink
    b->fireStatusTextChange(L"Done");
    b->fireDownloadComplete();

    for (const StubSink* s : {&first, &second}) {
        ASSERT_EQ(s->calls.size(), 3u);
        EXPECT_EQ(s->calls[0].id, DISPID_BEFORENAVIGATE2);
        EXPECT_EQ(s->calls[0].flags, DISPATCH_METHOD);
        EXPECT_EQ(s->calls[0].args, 7u);
        EXPECT_EQ(s->calls[0].text, L"http://www.example.com/");
        EXPECT_EQ(s->calls[1].id, DISPID_STATUSTEXTCHANGE);
        EXPECT_EQ(s->calls[1].text, L"Done");
        EXPECT_EQ(s->calls[2].id, DISPID_DOWNLOADCOMPLETE);
        EXPECT_EQ(s->calls[2].args, 0u);
    }

    EXPECT_EQ(cp->Unadvise(c1), S_OK);
    EXPECT_EQ(cp->Unadvise(c1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(first.refs, 1u);  // the browser let go of it
    b->fireDownloadComplete();
    EXPECT_EQ(first.calls.size(), 3u);
    EXPECT_EQ(second.calls.size(), 4u);
    EXPECT_EQ(b->adviseCount(), 1u);

    // The last release of the browser releases the sinks still advised.
    cp.Reset();
    container.Reset();
    EXPECT_EQ(b.Reset(), 0u);
    EXPECT_EQ(second.refs, 1u);
}

TEST(StandInBrowserEvents, NavigateFiresTheNavigationEventsUnlessASinkCancels) {
    auto b = newBrowser();
    IDispatch* self = static_cast<IWebBrowser2*>(b.Get());
    std::vector<std::string> seen;
    bool cancel = false;
    auto text = [&](IDispatch* d, VARIANT& v) {
        std::wstring t;
        kit::OleVariant(&v).asText(t);
        return std::string(t.begin(), t.end()) + (d == self ? "" : " (wrong pDisp)");
    };
    kit::TComponent window(nullptr);
    auto* sink = new kg::TSHDocVwDWebBrowserEvents2(&window);
    sink->BeforeNavigate2 = [&](kit::TComponent*, IDispatch* d, VARIANT& url, VARIANT& flags, VARIANT& frame,
                                VARIANT&, VARIANT&, VARIANT_BOOL& Cancel) {
        seen.push_back("Before " + text(d, url) + " " + text(self, flags) + " " + text(self, frame));
        flags.lVal = 99;  // the sink's own copy
        if (cancel) Cancel = VARIANT_TRUE;
    };
    auto document = [&](const char* what) {
        return [&, what](kit::TComponent*, IDispatch* d, VARIANT& url) { seen.push_back(what + text(d, url)); };
    };
    sink->NavigateComplete2 = document("Complete ");
    sink->DocumentComplete = document("Document ");
    sink->StatusTextChange = [&](kit::TComponent*, const std::string& t) { seen.push_back("Status " + t); };
    sink->Connect(self);

    kit::OleVariant flags, frame;
    flags.put()->vt = VT_I4;
    flags.get()->lVal = 2;
    frame.put()->vt = VT_BSTR;
    frame.get()->bstrVal = SysAllocString(L"_blank");
    struct Case {
        const wchar_t* url;
        bool cancel;
        HRESULT answer;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {L"http://a/", false, S_OK,
         {"Before http://a/ 2 _blank", "Complete http://a/", "Document http://a/", "Status Done"}},
        {L"http://b/", true, S_OK, {"Before http://b/ 2 _blank"}},
        {L"http://c/", false, E_ACCESSDENIED, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cancel << std::hex << c.answer);
        seen.clear();
        cancel = c.cancel;
        b->setNavigateResult(c.answer);
        Bstr url(c.url);
        EXPECT_EQ(b->Navigate(url.p, flags.get(), frame.get(), nullptr, nullptr), c.answer);
        EXPECT_EQ(seen, c.events);
        const bandhost::NavigateCall& call = b->navigations().back();
        LONG recordedFlags = 0;
        EXPECT_EQ(call.url, c.url);
        EXPECT_TRUE(call.args[0].asInt(recordedFlags) && recordedFlags == 2);
        EXPECT_EQ(call.cancelled, c.cancel);
        EXPECT_EQ(call.done(), !c.cancel && SUCCEEDED(c.answer));
    }
    EXPECT_EQ(b->navigations().size(), 3u);
    EXPECT_EQ(flags.get()->lVal, 2);
    sink->Disconnect();
    EXPECT_EQ(b->refCount(), 1u);
}

TEST(StandInBrowserAutomation, VisibleAndNavigateByName) {
    auto b = newBrowser();
    com_ptr<IDispatch> d;
    ASSERT_EQ(b->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.GetAddressOf())), S_OK);

    auto idOf = [&](const wchar_t* name, DISPID& id) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    };
    DISPID visible = 0, navigate = 0, width = 0, status = 0, bar = 0, unknown = 0;
    EXPECT_EQ(idOf(L"Visible", visible), S_OK);
    EXPECT_EQ(idOf(L"navigate", navigate), S_OK);  // automation names ignore letter case
    EXPECT_EQ(idOf(L"Width", width), S_OK);
    EXPECT_EQ(idOf(L"StatusText", status), S_OK);
    EXPECT_EQ(idOf(L"ShowBrowserBar", bar), S_OK);
    EXPECT_EQ(visible, 402);
    EXPECT_EQ(navigate, 104);
    EXPECT_EQ(width, 208);
    EXPECT_EQ(status, 404);
    EXPECT_EQ(bar, 503);
    EXPECT_EQ(idOf(L"GoBackwards", unknown), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(unknown, DISPID_UNKNOWN);

    // Visible := true, as a property put.
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS put{&value, &putId, 1, 1};
    EXPECT_EQ(d->Invoke(visible, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_TRUE(b->visible());
    VARIANT result;
    DISPPARAMS noArgs{nullptr, nullptr, 0, 0};
    EXPECT_EQ(d->Invoke(visible, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArgs, &result, nullptr,
                        nullptr),
              S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    EXPECT_EQ(d->Invoke(width, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &noArgs, &result,
                        nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 1000);

    // Navigate(URL), the one argument a started browser gets.
    VARIANT url;
    VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = SysAllocString(L"http://www.example.com/by-name");
    DISPPARAMS call{&url, nullptr, 1, 0};
    EXPECT_EQ(d->Invoke(navigate, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &call, nullptr, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(b->navigations().size(), 1u);
    EXPECT_EQ(b->navigations()[0].url, L"http://www.example.com/by-name");
    EXPECT_FALSE(b->navigations()[0].present[0]);

    // A failing navigation reaches the automation caller as an exception with the code.
    b->setNavigateResult(E_ACCESSDENIED);
    EXCEPINFO excep{};
    EXPECT_EQ(d->Invoke(navigate, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &call, nullptr, &excep, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_ACCESSDENIED);
    EXPECT_EQ(d->Invoke(navigate, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &noArgs, nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(d->Invoke(navigate, IID_IDispatch, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &call, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(d->Invoke(12345, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &noArgs, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(b->navigations().size(), 2u);
    VariantClear(&url);

    // StatusText put and get by name.
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"Over Home");
    DISPPARAMS putText{&text, &putId, 1, 1};
    EXPECT_EQ(d->Invoke(status, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &putText, nullptr, nullptr,
                        nullptr),
              S_OK);
    EXPECT_EQ(d->Invoke(status, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArgs, &result, nullptr,
                        nullptr),
              S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_STREQ(result.bstrVal, L"Over Home");
    VariantClear(&result);
    VariantClear(&text);
}

TEST(BrowserFrame, SiteWindowAtTheTopAndWidthFollowsTheFrame) {
    BrowserFrame frame(900, 500);
    HWND hwnd = frame.hwnd();
    ASSERT_TRUE(IsWindow(hwnd));
    wchar_t cls[64] = {}, title[64] = {};
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, title, 64);
    EXPECT_STREQ(cls, L"IEFrame");
    EXPECT_STREQ(title, L"Kestrelgrove stand-in browser");

    HWND site = frame.siteWindow();
    ASSERT_TRUE(IsWindow(site));
    EXPECT_EQ(GetParent(site), hwnd);
    EXPECT_TRUE(GetWindowLongPtrW(site, GWL_STYLE) & WS_CHILD);
    RECT client, r;
    GetClientRect(hwnd, &client);
    GetWindowRect(site, &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.top, BrowserFrame::kBandMargin);
    EXPECT_EQ(r.bottom - r.top, BrowserFrame::kBandHeight);
    EXPECT_EQ(r.right - r.left, client.right - 2 * BrowserFrame::kBandMargin);
    EXPECT_GE(frame.contentRect().top, r.bottom);

    StandInBrowser& b = frame.browser();
    LONG w = 0;
    ASSERT_EQ(b.get_Width(&w), S_OK);
    EXPECT_EQ(w, 900);
    SHANDLE_PTR h = 0;
    ASSERT_EQ(b.get_HWND(&h), S_OK);
    EXPECT_EQ(reinterpret_cast<HWND>(h), hwnd);

    // A band docked in the site is stretched with the frame.
    HWND band = CreateWindowExW(0, L"STATIC", L"band", WS_CHILD | WS_VISIBLE, 0, 0, 50, 25, site, nullptr, nullptr,
                                nullptr);
    ASSERT_TRUE(band);
    frame.setSize(1200, 500);
    ASSERT_EQ(b.get_Width(&w), S_OK);
    EXPECT_EQ(w, 1200);
    RECT siteRect, bandRect;
    GetClientRect(site, &siteRect);
    GetWindowRect(band, &bandRect);
    EXPECT_EQ(bandRect.right - bandRect.left, siteRect.right);
    EXPECT_EQ(bandRect.bottom - bandRect.top, 25);
}

TEST(BrowserFrame, VisibleShowsItAndRecordsRepaintIt) {
    BrowserFrame frame;
    HWND hwnd = frame.hwnd();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    frame.show();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(frame.browser().visible());

    ValidateRect(hwnd, nullptr);
    Bstr url(L"http://www.example.com/");
    frame.browser().Navigate(url.p, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(GetUpdateRect(hwnd, nullptr, FALSE));
    UpdateWindow(hwnd);  // paints the recorded navigation without fault

    frame.browser().put_Visible(VARIANT_FALSE);
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST(BrowserFrame, PostedWorkRunsLaterAndCloseGoesToTheHost) {
    BrowserFrame frame;
    int ran = 0;
    frame.post([&] { ++ran; });
    frame.post([] { throw std::runtime_error("posted failure"); });
    EXPECT_EQ(ran, 0);
    kgtest::pumpMessages();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(frame.postedFailures(), 1);

    int closes = 0;
    frame.setOnClose([&] { ++closes; });
    SendMessageW(frame.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(closes, 1);
    ASSERT_TRUE(IsWindow(frame.hwnd()));

    // Without a handler the window goes, and the browser, still held, forgets it.
    com_ptr<StandInBrowser> kept(&frame.browser());
    frame.setOnClose(nullptr);
    SendMessageW(frame.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(frame.hwnd(), nullptr);
    SHANDLE_PTR h = 1;
    EXPECT_EQ(kept->get_HWND(&h), E_FAIL);
    EXPECT_EQ(h, 0);
    EXPECT_THROW(frame.post([] {}), kit::Error);
}

TEST(BrowserFrame, ReleasesItsBrowserWhenDestroyed) {
    com_ptr<StandInBrowser> kept;
    {
        BrowserFrame frame;
        kept = &frame.browser();
        EXPECT_EQ(kept->refCount(), 2u);
        EXPECT_EQ(kept->frameWindow(), frame.hwnd());
    }
    EXPECT_EQ(kept->refCount(), 1u);
    EXPECT_EQ(kept->frameWindow(), nullptr);
    LONG w = 0;
    EXPECT_EQ(kept->get_Width(&w), S_OK);  // without a frame: the configured width
    EXPECT_EQ(w, 1000);
}
