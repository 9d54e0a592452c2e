#include "host/SHDocVwEvents.h"

#include "core/Error.h"
#include "kit/OleVariant.h"
#include "kit/ComHelpers.h"

#include <exdispid.h>

#include <array>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

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
    HRESULT read(std::size_t count, const Kind* kinds, DISPPARAMS& params, const TSHDocVwEventsBaseSink::ArgMap& map,
                 UINT* argErr) noexcept {
        for (std::size_t i = 0; i < count; ++i) {
            VARIANT& arg = params.rgvarg[map[i]];
            const Kind kind = kinds[i];
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

// How a handler's parameter is read from the event's arguments: its type gives its kind.
template <typename T> struct Param;
template <> struct Param<const std::string&> {
    static constexpr Kind kind = Kind::Text;
    static std::string get(const EventArgs& a, std::size_t i) { return a.text(i); }
};
template <> struct Param<LONG> {
    static constexpr Kind kind = Kind::Integer;
    static LONG get(const EventArgs& a, std::size_t i) noexcept { return a.integer(i); }
};
template <> struct Param<VARIANT_BOOL> {
    static constexpr Kind kind = Kind::Boolean;
    static VARIANT_BOOL get(const EventArgs& a, std::size_t i) noexcept { return a.boolean(i); }
};
template <> struct Param<IDispatch*> {
    static constexpr Kind kind = Kind::Dispatch;
    static IDispatch* get(const EventArgs& a, std::size_t i) noexcept { return a.dispatch(i); }
};
template <> struct Param<VARIANT&> {
    static constexpr Kind kind = Kind::VariantRef;
    static VARIANT& get(const EventArgs& a, std::size_t i) noexcept { return a.variantRef(i); }
};
template <> struct Param<VARIANT_BOOL&> {
    static constexpr Kind kind = Kind::BooleanRef;
    static VARIANT_BOOL& get(const EventArgs& a, std::size_t i) noexcept { return a.booleanRef(i); }
};
template <> struct Param<IDispatch*&> {
    static constexpr Kind kind = Kind::DispatchRef;
    static IDispatch*& get(const EventArgs& a, std::size_t i) noexcept { return a.dispatchRef(i); }
};
template <> struct Param<LONG&> {
    static constexpr Kind kind = Kind::IntegerRef;
    static LONG& get(const EventArgs& a, std::size_t i) noexcept { return a.integerRef(i); }
};

using Sink = TSHDocVwDWebBrowserEvents2;

// One event: its arguments' shape and the call of its handler, both taken
// from the handler's type, so that the two cannot disagree.
struct EventRow {
    DISPID dispid;
    std::size_t count;
    std::array<Kind, kMaxArgs> kinds;
    void (*call)(Sink& sink, const EventArgs& args);
};

template <typename Handler> struct HandlerShape;
template <typename... P> struct HandlerShape<std::function<void(kit::TComponent*, P...)>> {
    static_assert(sizeof...(P) <= kMaxArgs);
    template <auto Member, std::size_t... I> static void call(Sink& sink, const EventArgs& args, std::index_sequence<I...>) {
        if (const auto& handler = sink.*Member) handler(&sink, Param<P>::get(args, I)...);
    }
    template <auto Member> static constexpr EventRow row(DISPID dispid) {
        return {dispid, sizeof...(P), {Param<P>::kind...},
                [](Sink& sink, const EventArgs& args) { call<Member>(sink, args, std::index_sequence_for<P...>{}); }};
    }
};

template <auto Member> constexpr EventRow event(DISPID dispid) {
    using Handler = std::remove_cvref_t<decltype(std::declval<Sink&>().*Member)>;
    return HandlerShape<Handler>::template row<Member>(dispid);
}

constexpr EventRow kEvents[] = {
    event<&Sink::StatusTextChange>(DISPID_STATUSTEXTCHANGE),
    event<&Sink::DownloadComplete>(DISPID_DOWNLOADCOMPLETE),
    event<&Sink::CommandStateChange>(DISPID_COMMANDSTATECHANGE),
    event<&Sink::DownloadBegin>(DISPID_DOWNLOADBEGIN),
    event<&Sink::ProgressChange>(DISPID_PROGRESSCHANGE),
    event<&Sink::PropertyChange>(DISPID_PROPERTYCHANGE),
    event<&Sink::TitleChange>(DISPID_TITLECHANGE),
    event<&Sink::PrintTemplateInstantiation>(DISPID_PRINTTEMPLATEINSTANTIATION),
    event<&Sink::PrintTemplateTeardown>(DISPID_PRINTTEMPLATETEARDOWN),
    event<&Sink::UpdatePageStatus>(DISPID_UPDATEPAGESTATUS),
    event<&Sink::BeforeNavigate2>(DISPID_BEFORENAVIGATE2),
    event<&Sink::NewWindow2>(DISPID_NEWWINDOW2),
    event<&Sink::NavigateComplete2>(DISPID_NAVIGATECOMPLETE2),
    event<&Sink::OnQuit>(DISPID_ONQUIT),
    event<&Sink::OnVisible>(DISPID_ONVISIBLE),
    event<&Sink::OnToolBar>(DISPID_ONTOOLBAR),
    event<&Sink::OnMenuBar>(DISPID_ONMENUBAR),
    event<&Sink::OnStatusBar>(DISPID_ONSTATUSBAR),
    event<&Sink::OnFullScreen>(DISPID_ONFULLSCREEN),
    event<&Sink::DocumentComplete>(DISPID_DOCUMENTCOMPLETE),
    event<&Sink::OnTheaterMode>(DISPID_ONTHEATERMODE),
    event<&Sink::WindowSetResizable>(DISPID_WINDOWSETRESIZABLE),
    event<&Sink::WindowClosing>(DISPID_WINDOWCLOSING),
    event<&Sink::WindowSetLeft>(DISPID_WINDOWSETLEFT),
    event<&Sink::WindowSetTop>(DISPID_WINDOWSETTOP),
    event<&Sink::WindowSetWidth>(DISPID_WINDOWSETWIDTH),
    event<&Sink::WindowSetHeight>(DISPID_WINDOWSETHEIGHT),
    event<&Sink::ClientToHostWindow>(DISPID_CLIENTTOHOSTWINDOW),
    event<&Sink::SetSecureLockIcon>(DISPID_SETSECURELOCKICON),
    event<&Sink::FileDownload>(DISPID_FILEDOWNLOAD),
    event<&Sink::NavigateError>(DISPID_NAVIGATEERROR),
    event<&Sink::PrivacyImpactedStateChange>(DISPID_PRIVACYIMPACTEDSTATECHANGE),
};

const EventRow* findEvent(DISPID dispid) noexcept {
    for (const EventRow& e : kEvents)
        if (e.dispid == dispid) return &e;
    return nullptr;
}

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
    const EventRow* event = findEvent(dispid);
    if (!event) return DISP_E_MEMBERNOTFOUND;
    if (params.cArgs != event->count) return DISP_E_BADPARAMCOUNT;
    EventArgs a;
    if (const HRESULT hr = a.read(event->count, event->kinds.data(), params, map, argErr); FAILED(hr)) return hr;
    event->call(*this, a);
    return S_OK;
}

} // namespace kg
