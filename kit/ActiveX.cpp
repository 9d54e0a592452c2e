#include "kit/ActiveX.h"

#include "core/Error.h"
#include "kit/Events.h"
#include "kit/Handles.h"
#include "kit/SystemError.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace kit {

namespace {

// An export of `module` as a function of type F; null when there is none.
template <typename F>
F procAddress(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

} // namespace

// ---------------------------------------------------------------- the ActiveX host

// atl.dll and the host functions the kit uses, loaded while a control lives.
struct TOleControl::Host {
    unique_hmodule module;
    HRESULT(WINAPI* attachControl)(IUnknown* control, HWND window, IUnknown** container) = nullptr;

    static std::shared_ptr<const Host> acquire() {
        // Controls live on the user-interface thread only.
        static std::weak_ptr<const Host> shared;
        if (auto host = shared.lock()) return host;
        auto host = std::make_shared<Host>();
        host->module.reset(LoadLibraryA("atl.dll"));
        if (host->module) {
            // Must precede any use of the host; its answer is not checked: a
            // second load of the host finds its window class registered already.
            using WinInit = BOOL(WINAPI*)();
            if (auto init = procAddress<WinInit>(host->module.get(), "AtlAxWinInit")) init();
            host->attachControl = procAddress<decltype(attachControl)>(host->module.get(), "AtlAxAttachControl");
        }
        shared = host;
        return host;
    }
};

// ---------------------------------------------------------------- the event sink

// Answers IUnknown, IDispatch and the event interface; hands every event
// call to its control until the control lets go of it.
class TOleControl::EventSink final : public IDispatch {
public:
    EventSink(TOleControl* control, REFIID events) : control_(control), events_(events) {}
    void Detach() noexcept { control_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != events_) return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) noexcept override {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        DISPPARAMS none{};
        DISPPARAMS& p = params ? *params : none;
        if (p.cArgs && !p.rgvarg) return E_INVALIDARG;
        if (!control_) return S_OK;  // fired after the control let go: nobody listens
        try {
            return control_->HandleEvent(id, p);
        } catch (...) {
            ShowException(std::current_exception());
            return DISP_E_EXCEPTION;
        }
    }

private:
    ~EventSink() = default;
    LONG refs_ = 1;
    TOleControl* control_;
    IID events_;
};

// ---------------------------------------------------------------- the control

TOleControl::TOleControl(TComponent* owner, REFCLSID clsid) : TControl(owner), host_(Host::acquire()) {
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                                        reinterpret_cast<void**>(object_.GetAddressOf()));
    OleCheck(hr);
    // A new object starts from its defaults, as a control dropped on a form does.
    com_ptr<IPersistStreamInit> persist;
    if (SUCCEEDED(object_.As(&persist))) persist->InitNew();
    object_.As(&dispatch_);
}

TOleControl::~TOleControl() {
    DisconnectEvents();
    // The host lets go of the object (closes it and clears its site) when the window goes.
    DestroyHandle();
    container_.Reset();
    dispatch_.Reset();
    object_.Reset();
}

HRESULT TOleControl::InvokeMethod(const wchar_t* name) {
    if (!dispatch_) return E_NOINTERFACE;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS none{};
    return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
}

HRESULT TOleControl::PutProperty(DISPID id, const VARIANT& value) {
    if (!dispatch_) return E_NOINTERFACE;
    VARIANT arg = value;  // a shallow copy: Invoke does not change its arguments
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                             nullptr);
}

HRESULT TOleControl::ConnectEvents(REFIID events) {
    DisconnectEvents();
    com_ptr<IConnectionPointContainer> points;
    HRESULT hr = object_.As(&points);
    if (FAILED(hr)) return hr;
    com_ptr<IConnectionPoint> point;
    hr = points->FindConnectionPoint(events, point.GetAddressOf());
    if (FAILED(hr)) return hr;
    com_ptr<EventSink> sink;
    sink.Attach(new (std::nothrow) EventSink(this, events));
    if (!sink) return E_OUTOFMEMORY;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie);
    if (FAILED(hr)) {
        sink->Detach();
        return hr;
    }
    sink_ = std::move(sink);
    eventPoint_ = std::move(point);
    eventCookie_ = cookie;
    return S_OK;
}

void TOleControl::DisconnectEvents() noexcept {
    if (!sink_) return;
    // The sink stops calling us even if the object keeps it after a refused Unadvise.
    sink_->Detach();
    eventPoint_->Unadvise(eventCookie_);
    eventCookie_ = 0;
    eventPoint_.Reset();
    sink_.Reset();
}

HRESULT TOleControl::HandleEvent(DISPID, DISPPARAMS&) {
    return DISP_E_MEMBERNOTFOUND;
}

void TOleControl::CreateParams(TCreateParams& params) {
    params.className = "Kestrelgrove.OleControl";
    params.style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP;
}

void TOleControl::HandleCreated() {
    applyTabOrder();
    if (!host_->attachControl) return;  // no ActiveX host on this system: the window stays empty
    com_ptr<IUnknown> container;
    if (SUCCEEDED(host_->attachControl(object_.Get(), Handle(), container.GetAddressOf())))
        container_ = std::move(container);
}

void TOleControl::HandleDestroying() {
    container_.Reset();
}

void TOleControl::SetTabOrder(int order) {
    tabOrder_ = order < 0 ? -1 : order;
    applyTabOrder();
}

void TOleControl::applyTabOrder() {
    if (tabOrder_ < 0 || !HandleAllocated()) return;
    HWND self = Handle();
    HWND parent = GetParent(self);
    if (!parent) return;
    // Tabbing follows the children's z-order: the control goes after the first `tabOrder_` others.
    std::vector<HWND> others;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (c != self) others.push_back(c);
    HWND after = HWND_TOP;
    if (tabOrder_ > 0 && !others.empty())
        after = others[std::min<std::size_t>(static_cast<std::size_t>(tabOrder_), others.size()) - 1];
    SetWindowPos(self, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

} // namespace kit
