#include "host/SHDocVwEvents.h"
#include "core/Error.h"
#include "kit/OleVariant.h"
#include "tools/bandhost/lib/StandInBrowser.h"

#include <exdispid.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using kg::TSHDocVwDWebBrowserEvents2;

namespace {

// One argument as the browser would pass it. By reference: a Boolean, an
// integer or a dispatch pointer (n = 1: the browser), or a variant holding
// `inner`; "null" as text gives a null pointer.
struct Arg {
    VARTYPE vt;
    std::wstring text;
    LONG n = 0;
    VARTYPE inner = VT_EMPTY;
};
Arg T(const wchar_t* s) { return {VT_BSTR, s}; }
Arg I(LONG n) { return {VT_I4, L"", n}; }
Arg B(bool b) { return {VT_BOOL, L"", b ? VARIANT_TRUE : VARIANT_FALSE}; }
Arg D(bool browser = true) { return {VT_DISPATCH, L"", browser}; }
Arg E(VARTYPE vt = VT_EMPTY) { return {vt, L""}; }
Arg Ref(const Arg& a) { return {VT_BYREF | VT_VARIANT, a.text, a.n, a.vt}; }
Arg Ref(VARTYPE vt, LONG n = 0) { return {static_cast<VARTYPE>(VT_BYREF | vt), L"", n}; }

// The argument block of one call, passed last first as COM does; the test
// reads by-reference storage back.
class Call {
public:
    Call(const std::vector<Arg>& args, IDispatch* browser) : browser_(browser) {
        for (const Arg& a : args) block_.push_back(make(a));
        std::reverse(block_.begin(), block_.end());
        params_ = DISPPARAMS{block_.data(), nullptr, static_cast<UINT>(block_.size()), 0};
    }
    Call(const Call&) = delete;
    ~Call() {
        for (VARIANT& v : block_) VariantClear(&v);
        for (VARIANT& v : variants_) VariantClear(&v);
    }
    DISPPARAMS* params() { return &params_; }
    // The by-reference Booleans, integers and dispatch pointers as they are now.
    std::string refs() const {
        std::string s;
        for (VARIANT_BOOL b : bools_) s += b ? "true " : "false ";
        for (LONG n : longs_) s += std::to_string(n) + " ";
        for (IDispatch* d : disps_) s += d == browser_ ? "disp " : d ? "other " : "null ";
        return s;
    }

private:
    VARIANT make(const Arg& a) {
        VARIANT v{};
        v.vt = a.vt;
        if (a.text == L"null") v.byref = nullptr;
        else if (a.vt == (VT_BYREF | VT_VARIANT)) v.pvarVal = &variants_.emplace_back(make({a.inner, a.text, a.n}));
        else if (a.vt == (VT_BYREF | VT_BOOL)) v.pboolVal = &bools_.emplace_back(static_cast<VARIANT_BOOL>(a.n));
        else if (a.vt == (VT_BYREF | VT_DISPATCH)) v.ppdispVal = &disps_.emplace_back(a.n ? browser_ : nullptr);
        else if (a.vt & VT_BYREF) v.plVal = &longs_.emplace_back(a.n);
        else if (a.vt == VT_BSTR) v.bstrVal = SysAllocString(a.text.c_str());
        else if (a.vt == VT_DISPATCH && a.n && (v.pdispVal = browser_)) browser_->AddRef();
        else if (a.vt == VT_BOOL) v.boolVal = static_cast<VARIANT_BOOL>(a.n);
        else v.lVal = a.n;
        return v;
    }

    IDispatch* browser_;
    std::vector<VARIANT> block_;
    std::deque<VARIANT> variants_;
    std::deque<VARIANT_BOOL> bools_;
    std::deque<LONG> longs_;
    std::deque<IDispatch*> disps_;
    DISPPARAMS params_{};
};

// A sink with every handler set: each writes what it saw into `log`, sets
// by-reference Booleans, adds one to by-reference integers, empties
// by-reference interface pointers.
class Recorder {
    IDispatch* known_;

    auto note(const char* name) {
        return [this, name](kit::TComponent* sender, auto&&... args) {
            std::string s = std::string(sender == sink ? "" : "(wrong sender) ") + name + "(";
            ((s += show(std::forward<decltype(args)>(args)) + ", "), ...);
            if (s.back() == ' ') s.resize(s.size() - 2);
            log.push_back(s + ")");
        };
    }
    std::string show(const std::string& text) { return text; }
    std::string show(LONG&& n) { return std::to_string(n); }
    std::string show(VARIANT_BOOL&& b) { return b ? "true" : "false"; }
    std::string show(IDispatch*&& d) { return d == known_ ? "disp" : d ? "other" : "null"; }
    std::string show(LONG& n) { return "&" + std::to_string(n++); }
    std::string show(VARIANT_BOOL& b) { return std::exchange(b, VARIANT_TRUE) ? "&true" : "&false"; }
    std::string show(IDispatch*& d) { return "&" + show(std::exchange(d, nullptr)); }
    std::string show(VARIANT& v) {
        std::wstring text;
        if (v.vt == VT_EMPTY) return "&empty";
        return kit::OleVariant(&v).asText(text) ? "&'" + std::string(text.begin(), text.end()) + "'" : "&?";
    }

public:
    explicit Recorder(IDispatch* known) : known_(known) {
#define RECORD(event) sink->event = note(#event)
        RECORD(StatusTextChange); RECORD(ProgressChange); RECORD(CommandStateChange); RECORD(DownloadBegin);
        RECORD(DownloadComplete); RECORD(TitleChange); RECORD(PropertyChange); RECORD(BeforeNavigate2);
        RECORD(NewWindow2); RECORD(NavigateComplete2); RECORD(DocumentComplete); RECORD(OnQuit); RECORD(OnVisible);
        RECORD(OnToolBar); RECORD(OnMenuBar); RECORD(OnStatusBar); RECORD(OnFullScreen); RECORD(OnTheaterMode);
        RECORD(WindowSetResizable); RECORD(WindowSetLeft); RECORD(WindowSetTop); RECORD(WindowSetWidth);
        RECORD(WindowSetHeight); RECORD(WindowClosing); RECORD(ClientToHostWindow); RECORD(SetSecureLockIcon);
        RECORD(FileDownload); RECORD(NavigateError); RECORD(PrintTemplateInstantiation);
        RECORD(PrintTemplateTeardown); RECORD(UpdatePageStatus); RECORD(PrivacyImpactedStateChange);
#undef RECORD
    }

    kit::TComponent owner{nullptr};
    TSHDocVwDWebBrowserEvents2* sink = new TSHDocVwDWebBrowserEvents2(&owner);
    std::vector<std::string> log;
};

HRESULT invoke(IDispatch& sink, DISPID id, DISPPARAMS* params, WORD flags = DISPATCH_METHOD,
               EXCEPINFO* excep = nullptr, UINT* argErr = nullptr) {
    return sink.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, nullptr, excep, argErr);
}

struct EventCase {
    DISPID id;
    std::vector<Arg> args;
    const char* seen;
    const char* refsAfter;  // by-reference storage after the handler ran
};

const EventCase kEvents[] = {
    {102, {T(L"Loading")}, "StatusTextChange(Loading)", ""}, {104, {}, "DownloadComplete()", ""},
    {105, {I(2), B(true)}, "CommandStateChange(2, true)", ""}, {106, {}, "DownloadBegin()", ""},
    {108, {I(50), I(-1)}, "ProgressChange(50, -1)", ""}, {112, {T(L"{prop}")}, "PropertyChange({prop})", ""},
    {113, {T(L"A title")}, "TitleChange(A title)", ""}, {225, {D()}, "PrintTemplateInstantiation(disp)", ""},
    {226, {D(false)}, "PrintTemplateTeardown(null)", ""},
    {227, {D(), Ref(I(3)), Ref(E())}, "UpdatePageStatus(disp, &'3', &empty)", ""},
    {250, {D(), Ref(T(L"http://a/")), Ref(I(0)), Ref(T(L"_top")), Ref(E()), Ref(T(L"Referer: x")), Ref(VT_BOOL)},
     "BeforeNavigate2(disp, &'http://a/', &'0', &'_top', &empty, &'Referer: x', &false)", "true "},
    {251, {Ref(VT_DISPATCH, 1), Ref(VT_BOOL)}, "NewWindow2(&disp, &false)", "true null "},
    {252, {D(), Ref(T(L"http://b/"))}, "NavigateComplete2(disp, &'http://b/')", ""}, {253, {}, "OnQuit()", ""},
    {254, {B(true)}, "OnVisible(true)", ""}, {255, {B(false)}, "OnToolBar(false)", ""},
    {256, {B(true)}, "OnMenuBar(true)", ""}, {257, {B(false)}, "OnStatusBar(false)", ""},
    {258, {B(true)}, "OnFullScreen(true)", ""},
    {259, {D(), Ref(T(L"http://c/"))}, "DocumentComplete(disp, &'http://c/')", ""},
    {260, {B(false)}, "OnTheaterMode(false)", ""}, {262, {B(true)}, "WindowSetResizable(true)", ""},
    {263, {B(true), Ref(VT_BOOL)}, "WindowClosing(true, &false)", "true "}, {264, {I(10)}, "WindowSetLeft(10)", ""},
    {265, {I(20)}, "WindowSetTop(20)", ""}, {266, {I(800)}, "WindowSetWidth(800)", ""},
    {267, {I(600)}, "WindowSetHeight(600)", ""},
    {268, {Ref(VT_I4, 640), Ref(VT_I4, 480)}, "ClientToHostWindow(&640, &480)", "641 481 "},
    {269, {I(5)}, "SetSecureLockIcon(5)", ""}, {270, {Ref(VT_BOOL)}, "FileDownload(&false)", "true "},
    {271, {D(), Ref(T(L"http://d/")), Ref(T(L"_self")), Ref(I(404)), Ref(VT_BOOL)},
     "NavigateError(disp, &'http://d/', &'_self', &'404', &false)", "true "},
    {272, {B(true)}, "PrivacyImpactedStateChange(true)", ""},
};

class BrowserEvents : public testing::Test {
protected:
    kit::com_ptr<bandhost::StandInBrowser> browser = bandhost::StandInBrowser::create();
    IDispatch* disp = browser.Get();
    Recorder handled{disp};
    kit::TComponent owner{nullptr};
    TSHDocVwDWebBrowserEvents2* bare = new TSHDocVwDWebBrowserEvents2(&owner);
};

} // namespace

TEST_F(BrowserEvents, EveryEventReachesItsHandlerAndIsAnsweredWithoutOne) {
    ASSERT_EQ(std::size(kEvents), 32u);
    for (const EventCase& e : kEvents) {
        SCOPED_TRACE(e.seen);
        Call unhandled(e.args, disp), call(e.args, disp);
        const std::string before = call.refs();
        EXPECT_EQ(invoke(*bare, e.id, unhandled.params()), S_OK);
        EXPECT_EQ(unhandled.refs(), before);
        handled.log.clear();
        EXPECT_EQ(invoke(*handled.sink, e.id, call.params()), S_OK);
        EXPECT_EQ(handled.log, std::vector<std::string>{e.seen});
        EXPECT_EQ(call.refs(), e.refsAfter);
    }
    EXPECT_EQ(browser->refCount(), 1u);  // coerced copies of pDisp were released
}

TEST_F(BrowserEvents, UnknownEventsNonMethodCallsAndOtherInterfacesAreRefused) {
    for (DISPID id : {261, 0, 101, 273, -1, 100000}) {
        Call none({}, disp), one({B(true)}, disp);
        EXPECT_EQ(invoke(*handled.sink, id, none.params()), DISP_E_MEMBERNOTFOUND) << id;
        EXPECT_EQ(invoke(*handled.sink, id, one.params()), DISP_E_MEMBERNOTFOUND) << id;
    }
    EXPECT_TRUE(handled.log.empty());
    void* out = bare;
    EXPECT_EQ(bare->QueryInterface(IID_IConnectionPoint, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(BrowserEvents, RefusalsAndAHandlersFailureReachTheCallerWithTheirText) {
    bare->OnQuit = [](kit::TComponent*) { throw kit::OSError(static_cast<unsigned long>(E_ACCESSDENIED), "Denied"); };
    const wchar_t* refused = L"TSHDocVwDWebBrowserEvents2 only supports sinking of method calls!";
    struct Case {
        WORD flags;
        HRESULT code;
        const wchar_t* text;
    };
    for (const Case& c : {Case{DISPATCH_PROPERTYGET, DISP_E_MEMBERNOTFOUND, refused},
                          Case{DISPATCH_PROPERTYPUT, DISP_E_MEMBERNOTFOUND, refused},
                          Case{DISPATCH_PROPERTYPUTREF, DISP_E_MEMBERNOTFOUND, refused},
                          Case{DISPATCH_METHOD, E_ACCESSDENIED, L"Denied"}}) {
        Call call({}, disp);
        EXCEPINFO excep{};
        EXPECT_EQ(invoke(*bare, DISPID_ONQUIT, call.params(), c.flags), c.code);
        EXPECT_EQ(invoke(*bare, DISPID_ONQUIT, call.params(), c.flags, &excep), DISP_E_EXCEPTION);
        EXPECT_EQ(excep.scode, c.code);
        EXPECT_STREQ(excep.bstrDescription, c.text);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrSource);
    }
    bare->OnQuit = [](kit::TComponent*) { throw std::runtime_error("Broken"); };
    Call call({}, disp);
    EXPECT_EQ(invoke(*bare, DISPID_ONQUIT, call.params()), E_FAIL);
}

TEST_F(BrowserEvents, ArgumentsAreMappedAndCheckedBeforeAnyHandlerRuns) {
    struct Case {
        DISPID id;
        std::vector<Arg> args;
        std::vector<DISPID> named;  // the positions of rgvarg[0], rgvarg[1], ...
        HRESULT answer;
        UINT argErr;  // slot in rgvarg, or of the named argument; 99 when none is named
        const char* seen;
    };
    // ProgressChange(Progress, ProgressMax) called with 7 and 9: 9 is in rgvarg[0].
    const std::vector<Arg> seven9{I(7), I(9)};
    const Case cases[] = {
        {108, seven9, {1, 0}, S_OK, 99, "ProgressChange(7, 9)"},
        {108, seven9, {0, 1}, S_OK, 99, "ProgressChange(9, 7)"},
        {108, seven9, {1}, S_OK, 99, "ProgressChange(7, 9)"},  // rgvarg[1] is positional
        {108, seven9, {0}, DISP_E_PARAMNOTFOUND, 0, nullptr},  // position 0 is given positionally
        {108, seven9, {1, 1}, DISP_E_PARAMNOTFOUND, 1, nullptr},
        {108, seven9, {-1, 0}, DISP_E_PARAMNOTFOUND, 0, nullptr},
        {108, seven9, {0, 2}, DISP_E_PARAMNOTFOUND, 1, nullptr},
        {264, {T(L"15")}, {}, S_OK, 99, "WindowSetLeft(15)"},  // coerced
        {254, {I(2)}, {}, S_OK, 99, "OnVisible(true)"},
        {264, {T(L"left")}, {}, DISP_E_TYPEMISMATCH, 0, nullptr},
        {102, {E(VT_NULL)}, {}, DISP_E_TYPEMISMATCH, 0, nullptr},
        {252, {I(5), Ref(T(L"u"))}, {}, DISP_E_TYPEMISMATCH, 1, nullptr},
        {252, {D(), T(L"u")}, {}, DISP_E_TYPEMISMATCH, 0, nullptr},
        {263, {Ref(VT_BOOL), B(false)}, {}, DISP_E_TYPEMISMATCH, 0, nullptr},
        {263, {B(true), Arg{VT_BYREF | VT_BOOL, L"null"}}, {}, DISP_E_TYPEMISMATCH, 0, nullptr},
        {268, {Ref(VT_I4, 1), Ref(VT_I2, 2)}, {}, DISP_E_TYPEMISMATCH, 0, nullptr},
        {270, {Ref(I(0))}, {}, DISP_E_TYPEMISMATCH, 0, nullptr},
        {102, {}, {}, DISP_E_BADPARAMCOUNT, 99, nullptr},
        {263, {Ref(VT_BOOL)}, {}, DISP_E_BADPARAMCOUNT, 99, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " answered " << std::hex << c.answer);
        Call call(c.args, disp);
        const std::string before = call.refs();
        DISPPARAMS* p = call.params();
        p->rgdispidNamedArgs = const_cast<DISPID*>(c.named.data());
        p->cNamedArgs = static_cast<UINT>(c.named.size());
        UINT argErr = 99;
        handled.log.clear();
        EXPECT_EQ(invoke(*handled.sink, c.id, p, DISPATCH_METHOD, nullptr, &argErr), c.answer);
        EXPECT_EQ(argErr, c.argErr);
        EXPECT_EQ(handled.log, c.seen ? std::vector<std::string>{c.seen} : std::vector<std::string>{});
        if (!c.seen) {
            EXPECT_EQ(call.refs(), before);
        }
    }
}

TEST_F(BrowserEvents, ConnectsOnceUnadvisesWhenDestroyedAndReportsFailures) {
    auto other = bandhost::StandInBrowser::create();
    handled.sink->SetName("BrowserEvents");
    handled.sink->Connect(disp);
    handled.sink->Connect(disp);
    EXPECT_EQ(browser->adviseCount(), 1u);
    browser->fireStatusTextChange(L"Once");
    EXPECT_EQ(handled.log, std::vector<std::string>{"StatusTextChange(Once)"});

    handled.sink->Connect(static_cast<IWebBrowser2*>(other.Get()));
    EXPECT_EQ(browser->adviseCount(), 0u);
    EXPECT_EQ(other->adviseCount(), 1u);
    EXPECT_EQ(browser->refCount(), 1u);

    // A browser that refuses the Unadvise is let go of all the same.
    other->setUnadviseResult(E_UNEXPECTED);
    handled.sink->Disconnect();
    EXPECT_FALSE(handled.sink->Connected());
    EXPECT_EQ(other->refCount(), 1u);

    for (IUnknown* source : {static_cast<IUnknown*>(static_cast<IDispatch*>(bare)), static_cast<IUnknown*>(nullptr)}) {
        std::string text;
        try {
            handled.sink->Connect(source);
        } catch (const kit::OSError& e) {
            text = e.what();
        }
        EXPECT_EQ(text.rfind("Unable to connect BrowserEvents.\r", 0), 0u) << text;
        EXPECT_GT(text.size(), std::strlen("Unable to connect BrowserEvents.\r"));  // and the failure's own text
        EXPECT_FALSE(handled.sink->Connected());
    }

    auto window = std::make_unique<kit::TComponent>(nullptr);
    (new TSHDocVwDWebBrowserEvents2(window.get()))->Connect(disp);
    EXPECT_EQ(browser->adviseCount(), 1u);
    window.reset();  // the window goes, and its sink with it
    EXPECT_EQ(browser->adviseCount(), 0u);
    EXPECT_EQ(browser->refCount(), 1u);
}
