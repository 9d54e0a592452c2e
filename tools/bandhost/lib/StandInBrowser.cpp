#include "StandInBrowser.h"

#include <shlguid.h>

#include <cwchar>
#include <exception>
#include <utility>

namespace bandhost {

namespace {

// Answers an out parameter of a method the stand-in does not offer.
template <typename T>
HRESULT notImplemented(T* out) noexcept {
    if (out) *out = T{};
    return E_NOTIMPL;
}

std::wstring toWString(BSTR s) {
    return s ? std::wstring(s, SysStringLen(s)) : std::wstring();
}

HRESULT allocBstr(const std::wstring& text, BSTR* out) noexcept {
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// A by-reference VARIANT argument stands for the VARIANT it points to.
VARIANT* through(VARIANT& v) noexcept {
    return v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal ? v.pvarVal : &v;
}

// Positional argument i (0 = first declared) of an automation call; COM
// passes them last first.
VARIANT& argument(DISPPARAMS& p, UINT i) noexcept {
    return p.rgvarg[p.cArgs - 1 - i];
}

// A method's failure reaches an automation caller as an exception.
HRESULT methodFailure(HRESULT hr, EXCEPINFO* excep) noexcept {
    if (SUCCEEDED(hr)) return hr;
    if (excep) {
        *excep = EXCEPINFO{};
        excep->scode = hr;
    }
    return DISP_E_EXCEPTION;
}

// One automation call as Invoke received it.
struct Call {
    DISPPARAMS& p;
    VARIANT* result;
    EXCEPINFO* excep;
    UINT* argErr;
};

using MemberCall = HRESULT (*)(StandInBrowser& browser, Call& call);
using PropertyPut = HRESULT (*)(StandInBrowser& browser, VARIANT& value, Call& call);

// A member of the browser's automation interface: a method (called for
// DISPATCH_METHOD whatever else is asked), or a property read with no
// arguments and, when `put` is set, written with one value of `putType`.
struct NamedMember {
    const wchar_t* name;
    DISPID id;
    MemberCall method = nullptr;
    MemberCall get = nullptr;
    VARTYPE putType = VT_EMPTY;
    PropertyPut put = nullptr;
};

HRESULT callNavigate(StandInBrowser& browser, Call& c) {
    if (c.p.cArgs < 1 || c.p.cArgs > 5) return DISP_E_BADPARAMCOUNT;
    VARIANT url;
    VariantInit(&url);
    if (FAILED(VariantChangeType(&url, &argument(c.p, 0), 0, VT_BSTR))) {
        if (c.argErr) *c.argErr = c.p.cArgs - 1;
        return DISP_E_TYPEMISMATCH;
    }
    VARIANT* optional[4] = {};
    for (UINT i = 1; i < c.p.cArgs; ++i) optional[i - 1] = through(argument(c.p, i));
    const HRESULT hr = browser.Navigate(url.bstrVal, optional[0], optional[1], optional[2], optional[3]);
    VariantClear(&url);
    return methodFailure(hr, c.excep);
}

HRESULT callShowBrowserBar(StandInBrowser& browser, Call& c) {
    if (c.p.cArgs < 1 || c.p.cArgs > 3) return DISP_E_BADPARAMCOUNT;
    VARIANT* args[3] = {};
    for (UINT i = 0; i < c.p.cArgs; ++i) args[i] = through(argument(c.p, i));
    return methodFailure(browser.ShowBrowserBar(args[0], args[1], args[2]), c.excep);
}

HRESULT callQuit(StandInBrowser& browser, Call& c) {
    if (c.p.cArgs != 0) return DISP_E_BADPARAMCOUNT;
    return methodFailure(browser.Quit(), c.excep);
}

HRESULT getVisible(StandInBrowser& browser, Call& c) {
    if (!c.result) return S_OK;
    c.result->vt = VT_BOOL;
    return methodFailure(browser.get_Visible(&c.result->boolVal), c.excep);
}

HRESULT putVisible(StandInBrowser& browser, VARIANT& value, Call& c) {
    return methodFailure(browser.put_Visible(value.boolVal), c.excep);
}

HRESULT getStatusText(StandInBrowser& browser, Call& c) {
    if (!c.result) return S_OK;
    BSTR text = nullptr;
    const HRESULT hr = browser.get_StatusText(&text);
    if (FAILED(hr)) return methodFailure(hr, c.excep);
    c.result->vt = VT_BSTR;
    c.result->bstrVal = text;
    return S_OK;
}

HRESULT putStatusText(StandInBrowser& browser, VARIANT& value, Call& c) {
    const HRESULT hr = browser.put_StatusText(value.bstrVal);
    VariantClear(&value);
    return methodFailure(hr, c.excep);
}

// A read-only property of type long.
HRESULT answerLong(HRESULT hr, LONG value, Call& c) {
    if (FAILED(hr)) return methodFailure(hr, c.excep);
    if (c.result) {
        c.result->vt = VT_I4;
        c.result->lVal = value;
    }
    return S_OK;
}

HRESULT getWidth(StandInBrowser& browser, Call& c) {
    LONG value = 0;
    const HRESULT hr = browser.get_Width(&value);
    return answerLong(hr, value, c);
}

HRESULT getHwnd(StandInBrowser& browser, Call& c) {
    SHANDLE_PTR h = 0;
    const HRESULT hr = browser.get_HWND(&h);
    return answerLong(hr, static_cast<LONG>(h), c);  // the automation type of HWND is long
}

const NamedMember kMembers[] = {
    {L"Navigate", kDispNavigate, callNavigate},
    {L"Width", kDispWidth, nullptr, getWidth},
    {L"Quit", kDispQuit, callQuit},
    {L"HWND", kDispHwnd, nullptr, getHwnd},
    {L"Visible", kDispVisible, nullptr, getVisible, VT_BOOL, putVisible},
    {L"StatusText", kDispStatusText, nullptr, getStatusText, VT_BSTR, putStatusText},
    {L"ShowBrowserBar", kDispShowBrowserBar, callShowBrowserBar},
};

const NamedMember* findMember(DISPID id) noexcept {
    for (const auto& m : kMembers)
        if (m.id == id) return &m;
    return nullptr;
}

} // namespace

// ---------------------------------------------------------------- IUnknown

StandInBrowser::StandInBrowser() noexcept = default;

kit::com_ptr<StandInBrowser> StandInBrowser::create() {
    kit::com_ptr<StandInBrowser> browser;
    browser.Attach(new StandInBrowser());
    return browser;
}

STDMETHODIMP StandInBrowser::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser || riid == IID_IWebBrowserApp ||
        riid == IID_IWebBrowser2)
        *ppv = static_cast<IWebBrowser2*>(this);
    else if (riid == IID_IConnectionPointContainer)
        *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (riid == IID_IServiceProvider)
        *ppv = static_cast<IServiceProvider*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) StandInBrowser::AddRef() noexcept {
    return ++refs_;
}

STDMETHODIMP_(ULONG) StandInBrowser::Release() noexcept {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

// ---------------------------------------------------------------- IDispatch

STDMETHODIMP StandInBrowser::GetTypeInfoCount(UINT* pctinfo) noexcept {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP StandInBrowser::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) noexcept {
    if (ppTInfo) *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP StandInBrowser::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    if (count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (!names[0]) return DISP_E_UNKNOWNNAME;
    for (const auto& m : kMembers) {
        if (_wcsicmp(names[0], m.name) == 0) {
            ids[0] = m.id;
            // Arguments are taken by position only.
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP StandInBrowser::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* excep, UINT* argErr) noexcept {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    DISPPARAMS none{};
    DISPPARAMS& p = params ? *params : none;
    if (p.cArgs && !p.rgvarg) return E_INVALIDARG;
    if (p.cNamedArgs && !p.rgdispidNamedArgs) return E_INVALIDARG;
    if (result) VariantInit(result);

    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const bool get = !put && (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0;
    const bool method = (flags & DISPATCH_METHOD) != 0;
    if (put) {
        if (p.cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (p.cNamedArgs > 1 || (p.cNamedArgs == 1 && p.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
            return DISP_E_NONAMEDARGS;
    } else if (p.cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }

    const NamedMember* member = findMember(id);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    Call call{p, result, excep, argErr};
    if (member->method) return method ? member->method(*this, call) : DISP_E_MEMBERNOTFOUND;
    if (put && member->put) {
        // The value, converted to the property's type.
        VARIANT value;
        VariantInit(&value);
        if (FAILED(VariantChangeType(&value, &p.rgvarg[0], 0, member->putType))) {
            if (argErr) *argErr = 0;
            return DISP_E_TYPEMISMATCH;
        }
        return member->put(*this, value, call);
    }
    if (!get) return DISP_E_MEMBERNOTFOUND;
    if (p.cArgs != 0) return DISP_E_BADPARAMCOUNT;
    return member->get(*this, call);
}

// ---------------------------------------------------------------- what the toolbar uses

STDMETHODIMP StandInBrowser::Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                                      VARIANT* headers) noexcept {
    try {
        NavigateCall call;
        call.url = toWString(url);
        VARIANT* args[4] = {flags, targetFrameName, postData, headers};
        for (size_t i = 0; i < 4; ++i) {
            call.present[i] = args[i] != nullptr;
            call.args[i] = kit::OleVariant(args[i]);
        }
        call.answer = navigateResult_;
        // Sinks get their own copies: what they change must not rewrite the record.
        std::array<kit::OleVariant, 4> optional = call.args;
        navigations_.push_back(std::move(call));
        // By index: a sink may navigate again and grow the list.
        const size_t index = navigations_.size() - 1;
        repaintFrame();
        if (FAILED(navigateResult_)) return navigateResult_;

        kit::OleVariant urlValue;
        if (FAILED(allocBstr(navigations_[index].url, &urlValue.put()->bstrVal))) return E_OUTOFMEMORY;
        urlValue.get()->vt = VT_BSTR;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        fireBeforeNavigate2(urlValue, optional, cancel);
        if (cancel != VARIANT_FALSE) {
            navigations_[index].cancelled = true;
            repaintFrame();
            return S_OK;
        }
        fireDocumentEvent(DISPID_NAVIGATECOMPLETE2, urlValue);
        fireDocumentEvent(DISPID_DOCUMENTCOMPLETE, urlValue);
        fireStatusTextChange(L"Done");
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP StandInBrowser::get_Width(LONG* out) noexcept {
    if (!out) return E_POINTER;
    *out = 0;
    if (FAILED(widthResult_)) return widthResult_;
    RECT r;
    if (!widthSet_ && frame_ && IsWindow(frame_) && GetWindowRect(frame_, &r))
        *out = r.right - r.left;
    else
        *out = width_;
    return S_OK;
}

STDMETHODIMP StandInBrowser::get_StatusText(BSTR* out) noexcept {
    if (!out) return E_POINTER;
    return allocBstr(statusText_, out);
}

STDMETHODIMP StandInBrowser::put_StatusText(BSTR text) noexcept {
    try {
        statusTexts_.push_back(toWString(text));
        if (FAILED(statusTextResult_)) return statusTextResult_;
        statusText_ = statusTexts_.back();
        repaintFrame();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP StandInBrowser::ShowBrowserBar(VARIANT* clsid, VARIANT* show, VARIANT* size) noexcept {
    try {
        ShowBrowserBarCall call;
        call.clsid = kit::OleVariant(clsid);
        call.show = kit::OleVariant(show);
        call.size = kit::OleVariant(size);
        call.clsid.asText(call.clsidText);
        call.show.asBool(call.showValue);
        call.size.asInt(call.sizeValue);
        // Without a class identifier there is no bar to show or hide.
        call.answer = clsid ? showBrowserBarResult_ : E_INVALIDARG;
        browserBarCalls_.push_back(call);
        repaintFrame();
        if (SUCCEEDED(call.answer) && onShowBrowserBar_) {
            kit::com_ptr<IWebBrowser2> keepAlive(this);  // the callback may drop the last outside reference
            onShowBrowserBar_(call);
        }
        return call.answer;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP StandInBrowser::get_Visible(VARIANT_BOOL* out) noexcept {
    if (!out) return E_POINTER;
    *out = visible_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP StandInBrowser::put_Visible(VARIANT_BOOL value) noexcept {
    visible_ = value != VARIANT_FALSE;
    if (frame_ && IsWindow(frame_)) ShowWindow(frame_, visible_ ? SW_SHOW : SW_HIDE);
    return S_OK;
}

STDMETHODIMP StandInBrowser::get_HWND(SHANDLE_PTR* out) noexcept {
    if (!out) return E_POINTER;
    *out = 0;
    if (!frame_ || !IsWindow(frame_)) return E_FAIL;
    *out = reinterpret_cast<SHANDLE_PTR>(frame_);
    return S_OK;
}

STDMETHODIMP StandInBrowser::Quit() noexcept {
    ++quitCount_;
    return put_Visible(VARIANT_FALSE);
}

void StandInBrowser::repaintFrame() const noexcept {
    if (frame_ && IsWindow(frame_)) InvalidateRect(frame_, nullptr, TRUE);
}

// ---------------------------------------------------------------- not offered

STDMETHODIMP StandInBrowser::GoBack() noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::GoForward() noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::GoHome() noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::GoSearch() noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::Refresh() noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::Refresh2(VARIANT*) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::Stop() noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_Application(IDispatch** out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_Parent(IDispatch** out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_Container(IDispatch** out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_Document(IDispatch** out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_TopLevelContainer(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_Type(BSTR* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_Left(LONG* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_Left(LONG) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_Top(LONG* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_Top(LONG) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::put_Width(LONG) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_Height(LONG* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_Height(LONG) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_LocationName(BSTR* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_LocationURL(BSTR* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_Busy(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::ClientToWindow(int* pcx, int* pcy) noexcept {
    notImplemented(pcx);
    return notImplemented(pcy);
}
STDMETHODIMP StandInBrowser::PutProperty(BSTR, VARIANT) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::GetProperty(BSTR, VARIANT* out) noexcept {
    if (out) VariantInit(out);
    return E_NOTIMPL;
}
STDMETHODIMP StandInBrowser::get_Name(BSTR* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_FullName(BSTR* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_Path(BSTR* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_StatusBar(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_StatusBar(VARIANT_BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_ToolBar(int* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_ToolBar(int) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_MenuBar(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_MenuBar(VARIANT_BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_FullScreen(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_FullScreen(VARIANT_BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::QueryStatusWB(OLECMDID, OLECMDF* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_ReadyState(READYSTATE* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::get_Offline(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_Offline(VARIANT_BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_Silent(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_Silent(VARIANT_BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_RegisterAsBrowser(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_RegisterAsBrowser(VARIANT_BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_RegisterAsDropTarget(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_RegisterAsDropTarget(VARIANT_BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_TheaterMode(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_TheaterMode(VARIANT_BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_AddressBar(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_AddressBar(VARIANT_BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP StandInBrowser::get_Resizable(VARIANT_BOOL* out) noexcept { return notImplemented(out); }
STDMETHODIMP StandInBrowser::put_Resizable(VARIANT_BOOL) noexcept { return E_NOTIMPL; }

// ---------------------------------------------------------------- services

STDMETHODIMP StandInBrowser::QueryService(REFGUID service, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (service != SID_SWebBrowserApp) return E_NOINTERFACE;
    return QueryInterface(riid, ppv);
}

// ---------------------------------------------------------------- events

STDMETHODIMP StandInBrowser::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept {
    return notImplemented(out);
}

STDMETHODIMP StandInBrowser::FindConnectionPoint(REFIID riid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
    *out = &eventPoint_;
    eventPoint_.AddRef();
    return S_OK;
}

STDMETHODIMP StandInBrowser::EventPoint::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP StandInBrowser::EventPoint::GetConnectionInterface(IID* out) noexcept {
    if (!out) return E_POINTER;
    *out = DIID_DWebBrowserEvents2;
    return S_OK;
}

STDMETHODIMP StandInBrowser::EventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) noexcept {
    if (!out) return E_POINTER;
    *out = static_cast<IConnectionPointContainer*>(&owner_);
    owner_.AddRef();
    return S_OK;
}

STDMETHODIMP StandInBrowser::EventPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    kit::com_ptr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(dispatch.GetAddressOf()))) ||
        !dispatch)
        return CONNECT_E_CANNOTCONNECT;
    try {
        owner_.sinks_.push_back({owner_.nextCookie_, std::move(dispatch)});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = owner_.nextCookie_++;
    return S_OK;
}

STDMETHODIMP StandInBrowser::EventPoint::Unadvise(DWORD cookie) noexcept {
    auto& sinks = owner_.sinks_;
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
        if (it->cookie == cookie) {
            // Released after the list is consistent again: the sink's Release may call back.
            kit::com_ptr<IDispatch> gone = std::move(it->dispatch);
            sinks.erase(it);
            return owner_.unadviseResult_;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP StandInBrowser::EventPoint::EnumConnections(IEnumConnections** out) noexcept {
    return notImplemented(out);
}

std::vector<HRESULT> StandInBrowser::Fire(DISPID dispid, DISPPARAMS& params) {
    kit::com_ptr<IWebBrowser2> keepAlive(this);
    // A sink may unadvise while it is called: fire at the sinks advised now.
    std::vector<kit::com_ptr<IDispatch>> targets;
    for (const auto& s : sinks_) targets.push_back(s.dispatch);
    std::vector<HRESULT> answers;
    for (const auto& sink : targets) {
        EXCEPINFO excep{};
        UINT argErr = 0;
        // A method call with no result slot, as the browser fires its events.
        answers.push_back(
            sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &excep, &argErr));
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
    return answers;
}

std::vector<HRESULT> StandInBrowser::fireBeforeNavigate2(const std::wstring& url, VARIANT_BOOL& cancel) {
    kit::OleVariant urlValue;
    if (FAILED(allocBstr(url, &urlValue.put()->bstrVal))) throw std::bad_alloc();
    urlValue.get()->vt = VT_BSTR;
    std::array<kit::OleVariant, 4> optional;
    optional[0].put()->vt = VT_I4;
    optional[0].get()->lVal = 0;
    return fireBeforeNavigate2(urlValue, optional, cancel);
}

std::vector<HRESULT> StandInBrowser::fireBeforeNavigate2(kit::OleVariant& url, std::array<kit::OleVariant, 4>& optional,
                                                         VARIANT_BOOL& cancel) {
    // pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel: last first.
    VARIANT args[7];
    for (VARIANT& a : args) VariantInit(&a);
    args[6].vt = VT_DISPATCH;
    args[6].pdispVal = static_cast<IWebBrowser2*>(this);
    VARIANT* byRef[5] = {url.get(), optional[0].get(), optional[1].get(), optional[2].get(), optional[3].get()};
    for (int i = 0; i < 5; ++i) {
        args[5 - i].vt = VT_BYREF | VT_VARIANT;
        args[5 - i].pvarVal = byRef[i];
    }
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &cancel;
    DISPPARAMS params{args, nullptr, 7, 0};
    return Fire(DISPID_BEFORENAVIGATE2, params);
}

std::vector<HRESULT> StandInBrowser::fireDocumentEvent(DISPID dispid, kit::OleVariant& url) {
    // pDisp, URL: last first.
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = static_cast<IWebBrowser2*>(this);
    args[0].vt = VT_BYREF | VT_VARIANT;
    args[0].pvarVal = url.get();
    DISPPARAMS params{args, nullptr, 2, 0};
    return Fire(dispid, params);
}

std::vector<HRESULT> StandInBrowser::fireStatusTextChange(const std::wstring& text) {
    kit::OleVariant arg;
    if (FAILED(allocBstr(text, &arg.put()->bstrVal))) throw std::bad_alloc();
    arg.get()->vt = VT_BSTR;
    DISPPARAMS params{arg.get(), nullptr, 1, 0};
    return Fire(DISPID_STATUSTEXTCHANGE, params);
}

std::vector<HRESULT> StandInBrowser::fireDownloadComplete() {
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    return Fire(DISPID_DOWNLOADCOMPLETE, params);
}

} // namespace bandhost
