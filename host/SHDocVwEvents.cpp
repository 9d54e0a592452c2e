#include "host/SHDocVwEvents.h"

#include "kit/Error.h"
#include "kit/OleVariant.h"
#include "toolbar/ComHelpers.h"

#include <exdispid.h>

#include <array>
#include <new>

namespace kg {

namespace {

// A Win32 error code or an HRESULT, as a failing HRESULT.
HRESULT failureCode(unsigned long code) noexcept {
    if (code & 0x80000000UL) return static_cast<HRESULT>(code);
    return code ? HRESULT_FROM_WIN32(code) : E_FAIL;
}

// A failure answered to an automation caller: with an EXCEPINFO to fill,
// the documented DISP_E_EXCEPTION carrying the code and the text; the code
// itself otherwise.
HRESULT answerFailure(HRESULT code, const std::string& text, const std::string& source, EXCEPINFO* excep) noexcept {
    if (!excep) return code;
    *excep = EXCEPINFO{};
    excep->scode = code;
    try {
        const std::wstring description = AnsiToWide(text), origin = AnsiToWide(source);
        excep->bstrDescription = SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
        excep->bstrSource = SysAllocStringLen(origin.data(), static_cast<UINT>(origin.size()));
    } catch (...) {
        // Without memory for the texts the code alone still reaches the caller.
    }
    return DISP_E_EXCEPTION;
}

// What a handler raised, as the answer of Invoke.
HRESULT answerException(std::exception_ptr error, const std::string& source, EXCEPINFO* excep) noexcept {
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const kit::OSError& e) {
        return answerFailure(failureCode(e.code()), e.what(), source, excep);
    } catch (const std::exception& e) {
        return answerFailure(E_FAIL, e.what(), source, excep);
    } catch (...) {
        return answerFailure(E_UNEXPECTED, "Unexpected failure", source, excep);
    }
}

// ---------------------------------------------------------------- events and their arguments

enum class Kind : unsigned char { Text, Integer, Boolean, Dispatch, VariantRef, BooleanRef, DispatchRef, IntegerRef };

constexpr std::size_t kMaxArgs = 7;

struct EventShape {
    DISPID dispid;
    std::size_t count;
    std::array<Kind, kMaxArgs> kinds;
};

using K = Kind;
constexpr EventShape kEvents[] = {
    {DISPID_STATUSTEXTCHANGE, 1, {K::Text}},
    {DISPID_DOWNLOADCOMPLETE, 0, {}},
    {DISPID_COMMANDSTATECHANGE, 2, {K::Integer, K::Boolean}},
    {DISPID_DOWNLOADBEGIN, 0, {}},
    {DISPID_PROGRESSCHANGE, 2, {K::Integer, K::Integer}},
    {DISPID_PROPERTYCHANGE, 1, {K::Text}},
    {DISPID_TITLECHANGE, 1, {K::Text}},
    {DISPID_PRINTTEMPLATEINSTANTIATION, 1, {K::Dispatch}},
    {DISPID_PRINTTEMPLATETEARDOWN, 1, {K::Dispatch}},
    {DISPID_UPDATEPAGESTATUS, 3, {K::Dispatch, K::VariantRef, K::VariantRef}},
    {DISPID_BEFORENAVIGATE2,
     7,
     {K::Dispatch, K::VariantRef, K::VariantRef, K::VariantRef, K::VariantRef, K::VariantRef, K::BooleanRef}},
    {DISPID_NEWWINDOW2, 2, {K::DispatchRef, K::BooleanRef}},
    {DISPID_NAVIGATECOMPLETE2, 2, {K::Dispatch, K::VariantRef}},
    {DISPID_ONQUIT, 0, {}},
    {DISPID_ONVISIBLE, 1, {K::Boolean}},
    {DISPID_ONTOOLBAR, 1, {K::Boolean}},
    {DISPID_ONMENUBAR, 1, {K::Boolean}},
    {DISPID_ONSTATUSBAR, 1, {K::Boolean}},
    {DISPID_ONFULLSCREEN, 1, {K::Boolean}},
    {DISPID_DOCUMENTCOMPLETE, 2, {K::Dispatch, K::VariantRef}},
    {DISPID_ONTHEATERMODE, 1, {K::Boolean}},
    {DISPID_WINDOWSETRESIZABLE, 1, {K::Boolean}},
    {DISPID_WINDOWCLOSING, 2, {K::Boolean, K::BooleanRef}},
    {DISPID_WINDOWSETLEFT, 1, {K::Integer}},
    {DISPID_WINDOWSETTOP, 1, {K::Integer}},
    {DISPID_WINDOWSETWIDTH, 1, {K::Integer}},
    {DISPID_WINDOWSETHEIGHT, 1, {K::Integer}},
    {DISPID_CLIENTTOHOSTWINDOW, 2, {K::IntegerRef, K::IntegerRef}},
    {DISPID_SETSECURELOCKICON, 1, {K::Integer}},
    {DISPID_FILEDOWNLOAD, 1, {K::BooleanRef}},
    {DISPID_NAVIGATEERROR, 5, {K::Dispatch, K::VariantRef, K::VariantRef, K::VariantRef, K::BooleanRef}},
    {DISPID_PRIVACYIMPACTEDSTATECHANGE, 1, {K::Boolean}},
};

const EventShape* findEvent(DISPID dispid) noexcept {
    for (const EventShape& e : kEvents)
        if (e.dispid == dispid) return &e;
    return nullptr;
}

VARTYPE valueType(Kind kind) noexcept {
    switch (kind) {
    case Kind::Text: return VT_BSTR;
    case Kind::Integer: return VT_I4;
    case Kind::Boolean: return VT_BOOL;
    case Kind::Dispatch: return VT_DISPATCH;
    case Kind::VariantRef: return VT_BYREF | VT_VARIANT;
    case Kind::BooleanRef: return VT_BYREF | VT_BOOL;
    case Kind::DispatchRef: return VT_BYREF | VT_DISPATCH;
    case Kind::IntegerRef: return VT_BYREF | VT_I4;
    }
    return VT_EMPTY;
}

bool byReference(Kind kind) noexcept { return (valueType(kind) & VT_BYREF) != 0; }

// The arguments of one event, every one checked against its declared type
// before any is used: by-value ones as local copies coerced to their type,
// by-reference ones as the caller's storage.
class EventArgs {
public:
    // S_OK, or DISP_E_TYPEMISMATCH with the slot of the first argument refused.
    HRESULT read(const EventShape& shape, DISPPARAMS& params, const TSHDocVwEventsBaseSink::ArgMap& map,
                 UINT* argErr) noexcept {
        for (std::size_t i = 0; i < shape.count; ++i) {
            VARIANT& arg = params.rgvarg[map[i]];
            const Kind kind = shape.kinds[i];
            const VARTYPE type = valueType(kind);
            bool ok;
            if (byReference(kind)) {
                ok = arg.vt == type && arg.byref != nullptr;
                refs_[i] = &arg;
            } else {
                ok = SUCCEEDED(VariantChangeType(values_[i].put(), &arg, 0, type));
            }
            if (!ok) {
                if (argErr) *argErr = map[i];
                return DISP_E_TYPEMISMATCH;
            }
        }
        return S_OK;
    }

    std::string text(std::size_t i) const {
        const BSTR s = values_[i].get()->bstrVal;
        return WideToAnsi(s ? std::wstring(s, SysStringLen(s)) : std::wstring());
    }
    LONG integer(std::size_t i) const noexcept { return values_[i].get()->lVal; }
    VARIANT_BOOL boolean(std::size_t i) const noexcept { return values_[i].get()->boolVal; }
    IDispatch* dispatch(std::size_t i) const noexcept { return values_[i].get()->pdispVal; }
    VARIANT& variantRef(std::size_t i) const noexcept { return *refs_[i]->pvarVal; }
    VARIANT_BOOL& booleanRef(std::size_t i) const noexcept { return *refs_[i]->pboolVal; }
    IDispatch*& dispatchRef(std::size_t i) const noexcept { return *refs_[i]->ppdispVal; }
    LONG& integerRef(std::size_t i) const noexcept { return *refs_[i]->plVal; }

private:
    std::array<kit::OleVariant, kMaxArgs> values_;
    std::array<VARIANT*, kMaxArgs> refs_{};
};

} // namespace

// ---------------------------------------------------------------- the base sink

TSHDocVwEventsBaseSink::TSHDocVwEventsBaseSink(kit::TComponent* Owner) : kit::TComponent(Owner) {}

TSHDocVwEventsBaseSink::~TSHDocVwEventsBaseSink() {
    Disconnect();
}

void TSHDocVwEventsBaseSink::Connect(IUnknown* source) {
    try {
        if (!source) OleCheck(E_POINTER);
        Disconnect();
        kit::com_ptr<IConnectionPointContainer> container;
        OleCheck(source->QueryInterface(IID_IConnectionPointContainer,
                                        reinterpret_cast<void**>(container.GetAddressOf())));
        kit::com_ptr<IConnectionPoint> point;
        OleCheck(container->FindConnectionPoint(SinkIID, point.GetAddressOf()));
        DWORD cookie = 0;
        OleCheck(point->Advise(static_cast<IDispatch*>(this), &cookie));
        ConnectionPoint = std::move(point);
        Cookie = cookie;
        Source = source;
    } catch (const kit::OSError& e) {
        throw kit::OSError(e.code(), "Unable to connect " + Name() + ".\r" + e.what());
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw kit::Error("Unable to connect " + Name() + ".\r" + e.what());
    }
}

void TSHDocVwEventsBaseSink::Disconnect() noexcept {
    if (!Source) return;
    // The references go whether or not the browser accepts the Unadvise:
    // kept, they would keep a browser that forgot this sink alive for ever.
    ConnectionPoint->Unadvise(Cookie);
    Cookie = 0;
    ConnectionPoint.Reset();
    Source.Reset();
}

STDMETHODIMP TSHDocVwEventsBaseSink::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != SinkIID) return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP TSHDocVwEventsBaseSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept {
    return E_NOTIMPL;
}

STDMETHODIMP TSHDocVwEventsBaseSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TSHDocVwEventsBaseSink::GetTypeInfoCount(UINT* count) noexcept {
    if (count) *count = 0;
    return E_NOTIMPL;
}

STDMETHODIMP TSHDocVwEventsBaseSink::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                            VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept {
    std::string source;  // named in the EXCEPINFO of a failure
    try {
        source = ClassName();
        if (!(flags & DISPATCH_METHOD))
            return answerFailure(DISP_E_MEMBERNOTFOUND, source + " only supports sinking of method calls!", source,
                                 excep);
        DISPPARAMS none{};
        DISPPARAMS& p = params ? *params : none;
        if ((p.cArgs && !p.rgvarg) || (p.cNamedArgs && !p.rgdispidNamedArgs) || p.cNamedArgs > p.cArgs)
            return E_INVALIDARG;

        // Positional arguments arrive last first; a named one names its position.
        ArgMap map(p.cArgs);
        for (UINT i = 0; i < p.cArgs; ++i) map[i] = p.cArgs - 1 - i;
        const UINT positional = p.cArgs - p.cNamedArgs;
        std::vector<bool> named(p.cArgs, false);
        for (UINT j = 0; j < p.cNamedArgs; ++j) {
            const DISPID position = p.rgdispidNamedArgs[j];
            // Out of range, or a position already given: no argument to map it to.
            if (position < 0 || static_cast<UINT>(position) >= p.cArgs || static_cast<UINT>(position) < positional ||
                named[position]) {
                if (argErr) *argErr = j;
                return DISP_E_PARAMNOTFOUND;
            }
            named[position] = true;
            map[position] = j;
        }
        return DispatchEvent(dispid, p, map, result, excep, argErr);
    } catch (...) {
        return answerException(std::current_exception(), source, excep);
    }
}

// ---------------------------------------------------------------- DWebBrowserEvents2

TSHDocVwDWebBrowserEvents2::TSHDocVwDWebBrowserEvents2(kit::TComponent* Owner) : TSHDocVwEventsBaseSink(Owner) {
    SinkIID = DIID_DWebBrowserEvents2;
}

HRESULT TSHDocVwDWebBrowserEvents2::DispatchEvent(DISPID dispid, DISPPARAMS& params, const ArgMap& map, VARIANT*,
                                                  EXCEPINFO*, UINT* argErr) {
    const EventShape* shape = findEvent(dispid);
    if (!shape) return DISP_E_MEMBERNOTFOUND;
    if (params.cArgs != shape->count) return DISP_E_BADPARAMCOUNT;
    EventArgs a;
    if (const HRESULT hr = a.read(*shape, params, map, argErr); FAILED(hr)) return hr;

    switch (dispid) {
    case DISPID_STATUSTEXTCHANGE:
        if (StatusTextChange) StatusTextChange(this, a.text(0));
        break;
    case DISPID_DOWNLOADCOMPLETE:
        if (DownloadComplete) DownloadComplete(this);
        break;
    case DISPID_COMMANDSTATECHANGE:
        if (CommandStateChange) CommandStateChange(this, a.integer(0), a.boolean(1));
        break;
    case DISPID_DOWNLOADBEGIN:
        if (DownloadBegin) DownloadBegin(this);
        break;
    case DISPID_PROGRESSCHANGE:
        if (ProgressChange) ProgressChange(this, a.integer(0), a.integer(1));
        break;
    case DISPID_PROPERTYCHANGE:
        if (PropertyChange) PropertyChange(this, a.text(0));
        break;
    case DISPID_TITLECHANGE:
        if (TitleChange) TitleChange(this, a.text(0));
        break;
    case DISPID_PRINTTEMPLATEINSTANTIATION:
        if (PrintTemplateInstantiation) PrintTemplateInstantiation(this, a.dispatch(0));
        break;
    case DISPID_PRINTTEMPLATETEARDOWN:
        if (PrintTemplateTeardown) PrintTemplateTeardown(this, a.dispatch(0));
        break;
    case DISPID_UPDATEPAGESTATUS:
        if (UpdatePageStatus) UpdatePageStatus(this, a.dispatch(0), a.variantRef(1), a.variantRef(2));
        break;
    case DISPID_BEFORENAVIGATE2:
        if (BeforeNavigate2)
            BeforeNavigate2(this, a.dispatch(0), a.variantRef(1), a.variantRef(2), a.variantRef(3), a.variantRef(4),
                            a.variantRef(5), a.booleanRef(6));
        break;
    case DISPID_NEWWINDOW2:
        if (NewWindow2) NewWindow2(this, a.dispatchRef(0), a.booleanRef(1));
        break;
    case DISPID_NAVIGATECOMPLETE2:
        if (NavigateComplete2) NavigateComplete2(this, a.dispatch(0), a.variantRef(1));
        break;
    case DISPID_ONQUIT:
        if (OnQuit) OnQuit(this);
        break;
    case DISPID_ONVISIBLE:
        if (OnVisible) OnVisible(this, a.boolean(0));
        break;
    case DISPID_ONTOOLBAR:
        if (OnToolBar) OnToolBar(this, a.boolean(0));
        break;
    case DISPID_ONMENUBAR:
        if (OnMenuBar) OnMenuBar(this, a.boolean(0));
        break;
    case DISPID_ONSTATUSBAR:
        if (OnStatusBar) OnStatusBar(this, a.boolean(0));
        break;
    case DISPID_ONFULLSCREEN:
        if (OnFullScreen) OnFullScreen(this, a.boolean(0));
        break;
    case DISPID_DOCUMENTCOMPLETE:
        if (DocumentComplete) DocumentComplete(this, a.dispatch(0), a.variantRef(1));
        break;
    case DISPID_ONTHEATERMODE:
        if (OnTheaterMode) OnTheaterMode(this, a.boolean(0));
        break;
    case DISPID_WINDOWSETRESIZABLE:
        if (WindowSetResizable) WindowSetResizable(this, a.boolean(0));
        break;
    case DISPID_WINDOWCLOSING:
        if (WindowClosing) WindowClosing(this, a.boolean(0), a.booleanRef(1));
        break;
    case DISPID_WINDOWSETLEFT:
        if (WindowSetLeft) WindowSetLeft(this, a.integer(0));
        break;
    case DISPID_WINDOWSETTOP:
        if (WindowSetTop) WindowSetTop(this, a.integer(0));
        break;
    case DISPID_WINDOWSETWIDTH:
        if (WindowSetWidth) WindowSetWidth(this, a.integer(0));
        break;
    case DISPID_WINDOWSETHEIGHT:
        if (WindowSetHeight) WindowSetHeight(this, a.integer(0));
        break;
    case DISPID_CLIENTTOHOSTWINDOW:
        if (ClientToHostWindow) ClientToHostWindow(this, a.integerRef(0), a.integerRef(1));
        break;
    case DISPID_SETSECURELOCKICON:
        if (SetSecureLockIcon) SetSecureLockIcon(this, a.integer(0));
        break;
    case DISPID_FILEDOWNLOAD:
        if (FileDownload) FileDownload(this, a.booleanRef(0));
        break;
    case DISPID_NAVIGATEERROR:
        if (NavigateError)
            NavigateError(this, a.dispatch(0), a.variantRef(1), a.variantRef(2), a.variantRef(3), a.booleanRef(4));
        break;
    case DISPID_PRIVACYIMPACTEDSTATECHANGE:
        if (PrivacyImpactedStateChange) PrivacyImpactedStateChange(this, a.boolean(0));
        break;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    return S_OK;
}

} // namespace kg
