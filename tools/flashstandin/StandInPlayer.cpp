#include "tools/flashstandin/StandInPlayer.h"

#include "kit/Handles.h"
#include "kit/OleVariant.h"

#include <olectl.h>
#include <wininet.h>

#include <memory>
#include <new>

namespace standin {

namespace {

constexpr DISPID kMovie = 102;
constexpr DISPID kPlay = 0x70;
constexpr DISPID kStop = 0x71;
constexpr DISPID kPlaying = 0x7D;
constexpr DISPID kFireReadyState = 0x7F00;  // ours: lets a test drive the ready state
constexpr DISPID kOnReadyStateChange = -609;
constexpr UINT kDownloadDone = WM_APP + 1;  // wParam: the download's number, lParam: 1 when the body arrived
constexpr UINT_PTR kAnimationTimer = 1;
constexpr char kWindowClass[] = "KestrelgroveFlashStandIn";

const struct {
    const wchar_t* name;
    DISPID id;
} kNames[] = {{L"Movie", kMovie}, {L"Play", kPlay}, {L"Stop", kStop}, {L"Playing", kPlaying},
              {L"ReadyState", DISPID_READYSTATE}, {L"FireReadyState", kFireReadyState}};

LRESULT CALLBACK windowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* player = reinterpret_cast<Player*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (player) return player->HandleMessage(window, msg, wParam, lParam);
    return DefWindowProcA(window, msg, wParam, lParam);
}

void registerWindowClass() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursorA(nullptr, IDC_HAND);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);  // fails harmlessly once registered
}

// One fetch of the movie, on its own thread, which keeps this module loaded until it ends.
struct Download {
    HWND target;
    UINT number;
    std::wstring url;
};

bool fetch(const std::wstring& url) {
    kit::unique_hinternet session(InternetOpenW(L"Kestrelgrove Flash stand-in", INTERNET_OPEN_TYPE_PRECONFIG,
                                                nullptr, nullptr, 0));
    if (!session) return false;
    kit::unique_hinternet request(InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0,
                                                   INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                       INTERNET_FLAG_NO_UI,
                                                   0));
    if (!request) return false;
    DWORD status = 0, size = sizeof status;
    if (HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) &&
        status != HTTP_STATUS_OK)
        return false;
    char buffer[8192];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request.get(), buffer, sizeof buffer, &read)) return false;
        if (read == 0) return true;
    }
}

DWORD WINAPI downloadThread(void* parameter) {
    {
        std::unique_ptr<Download> job(static_cast<Download*>(parameter));
        const bool arrived = fetch(job->url);
        PostMessageA(job->target, kDownloadDone, job->number, arrived ? 1 : 0);
    }
    FreeLibraryAndExitThread(ModuleInstance(), 0);
}

} // namespace

void UnregisterWindowClass() noexcept { UnregisterClassA(kWindowClass, ModuleInstance()); }

// ---------------------------------------------------------------- the events' connection point

class Player::EventPoint final : public IConnectionPoint {
public:
    explicit EventPoint(Player* player) : player_(player) { player_->AddRef(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            player_->Release();
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    STDMETHODIMP GetConnectionInterface(IID* iid) noexcept override {
        if (!iid) return E_POINTER;
        *iid = DIID_PlayerEvents;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override {
        if (!out) return E_POINTER;
        *out = player_;
        player_->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) noexcept override {
        if (!sink || !cookie) return E_POINTER;
        *cookie = 0;
        kit::com_ptr<IDispatch> events;
        if (FAILED(sink->QueryInterface(DIID_PlayerEvents, reinterpret_cast<void**>(events.GetAddressOf()))) &&
            FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(events.GetAddressOf()))))
            return CONNECT_E_CANNOTCONNECT;
        try {
            player_->sinks_.emplace_back(player_->nextCookie_, std::move(events));
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        *cookie = player_->nextCookie_++;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) noexcept override {
        auto& sinks = player_->sinks_;
        for (auto it = sinks.begin(); it != sinks.end(); ++it) {
            if (it->first != cookie) continue;
            sinks.erase(it);
            return S_OK;
        }
        return CONNECT_E_NOCONNECTION;
    }
    STDMETHODIMP EnumConnections(IEnumConnections** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    ~EventPoint() = default;
    LONG refs_ = 1;
    Player* player_;
};

// ---------------------------------------------------------------- the object

Player::Player() {
    LockModule();
    registerWindowClass();
    messages_.reset(
        CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(), this));
}

Player::~Player() {
    InPlaceDeactivate();
    messages_.reset();
    UnlockModule();
}

STDMETHODIMP Player::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleObject)
        *ppv = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
        *ppv = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IViewObject || riid == IID_IViewObject2)
        *ppv = static_cast<IViewObject2*>(this);
    else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
        *ppv = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_IConnectionPointContainer)
        *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (riid == IID_IDispatch)
        *ppv = static_cast<IDispatch*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Player::AddRef() noexcept { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) Player::Release() noexcept {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

// ---- IOleObject

STDMETHODIMP Player::SetClientSite(IOleClientSite* site) noexcept {
    if (!site) InPlaceDeactivate();
    site_ = site;
    return S_OK;
}

STDMETHODIMP Player::GetClientSite(IOleClientSite** site) noexcept {
    if (!site) return E_POINTER;
    site_.CopyTo(site);
    return *site ? S_OK : E_FAIL;
}

STDMETHODIMP Player::Close(DWORD) noexcept {
    InPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP Player::GetMoniker(DWORD, DWORD, IMoniker** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP Player::GetClipboardData(DWORD, IDataObject** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP Player::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) noexcept {
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        return activate(site);
    case OLEIVERB_HIDE:
        if (window_) ShowWindow(window_.get(), SW_HIDE);
        return S_OK;
    default:
        return OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT Player::activate(IOleClientSite* site) {
    if (window_) return S_OK;
    kit::com_ptr<IOleClientSite> client(site ? site : site_.Get());
    if (!client) return E_UNEXPECTED;
    kit::com_ptr<IOleInPlaceSite> inPlace;
    HRESULT hr = client->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(inPlace.GetAddressOf()));
    if (FAILED(hr)) return hr;
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
    HWND parent = nullptr;
    if (FAILED(hr = inPlace->GetWindow(&parent))) return hr;
    kit::com_ptr<IOleInPlaceFrame> frame;
    kit::com_ptr<IOleInPlaceUIWindow> document;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    if (FAILED(hr = inPlace->GetWindowContext(frame.GetAddressOf(), document.GetAddressOf(), &position, &clip,
                                              &info)))
        return hr;
    inPlace->OnInPlaceActivate();
    window_.reset(CreateWindowExA(0, kWindowClass, "Flash stand-in", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                  position.left, position.top, position.right - position.left,
                                  position.bottom - position.top, parent, nullptr, ModuleInstance(), this));
    if (!window_) {
        inPlace->OnInPlaceDeactivate();
        return HRESULT_FROM_WIN32(GetLastError());
    }
    inPlaceSite_ = std::move(inPlace);
    if (playing_) SetTimer(window_.get(), kAnimationTimer, 40, nullptr);
    return S_OK;
}

STDMETHODIMP Player::GetUserClassID(CLSID* clsid) noexcept {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_Player;
    return S_OK;
}

STDMETHODIMP Player::SetExtent(DWORD aspect, SIZEL* size) noexcept {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP Player::GetExtent(DWORD aspect, SIZEL* size) noexcept {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP Player::GetMiscStatus(DWORD, DWORD* status) noexcept {
    if (!status) return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
              OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
}

// ---- IOleInPlaceObject

STDMETHODIMP Player::GetWindow(HWND* window) noexcept {
    if (!window) return E_POINTER;
    *window = window_.get();
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP Player::InPlaceDeactivate() noexcept {
    if (!window_) return S_OK;
    window_.reset();
    if (auto site = std::move(inPlaceSite_)) site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP Player::SetObjectRects(LPCRECT position, LPCRECT) noexcept {
    if (!position) return E_POINTER;
    if (window_)
        SetWindowPos(window_.get(), nullptr, position->left, position->top, position->right - position->left,
                     position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

// ---- IViewObject2

STDMETHODIMP Player::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                          BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) noexcept {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    paint(dc, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
    return S_OK;
}

STDMETHODIMP Player::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) noexcept {
    return GetExtent(aspect, size);
}

// ---- IPersistStreamInit

STDMETHODIMP Player::GetClassID(CLSID* clsid) noexcept { return GetUserClassID(clsid); }

STDMETHODIMP Player::GetSizeMax(ULARGE_INTEGER* size) noexcept {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

// ---- IConnectionPointContainer

STDMETHODIMP Player::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP Player::FindConnectionPoint(REFIID riid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid != DIID_PlayerEvents) return CONNECT_E_NOCONNECTION;
    *out = new (std::nothrow) EventPoint(this);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// ---- IDispatch

STDMETHODIMP Player::GetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP Player::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP Player::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (i == 0)
            for (const auto& entry : kNames)
                if (names[0] && lstrcmpiW(names[0], entry.name) == 0) ids[0] = entry.id;
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP Player::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                            UINT* argErr) noexcept {
    DISPPARAMS none{};
    DISPPARAMS& p = params ? *params : none;
    if (p.cArgs && !p.rgvarg) return E_INVALIDARG;
    const bool get = (flags & DISPATCH_PROPERTYGET) != 0;
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    const bool call = (flags & DISPATCH_METHOD) != 0;
    if (result) VariantInit(result);
    switch (id) {
    case kMovie:
        if (put) {
            if (p.cArgs != 1) return DISP_E_BADPARAMCOUNT;
            kit::OleVariant text;
            if (FAILED(VariantChangeType(text.put(), &p.rgvarg[0], 0, VT_BSTR))) {
                if (argErr) *argErr = 0;
                return DISP_E_TYPEMISMATCH;
            }
            const BSTR value = text.get()->bstrVal;
            std::wstring url;
            try {
                url.assign(value ? value : L"", value ? SysStringLen(value) : 0);
            } catch (...) {
                return E_OUTOFMEMORY;
            }
            return setMovie(url);
        }
        if (get && result) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(movie_.data(), static_cast<UINT>(movie_.size()));
            return result->bstrVal ? S_OK : E_OUTOFMEMORY;
        }
        return DISP_E_MEMBERNOTFOUND;
    case kPlay:
    case kStop:
        if (!call) return DISP_E_MEMBERNOTFOUND;
        setPlaying(id == kPlay);
        return S_OK;
    case kPlaying:
    case DISPID_READYSTATE:
        if (!get) return DISP_E_MEMBERNOTFOUND;
        if (result) {
            if (id == kPlaying) {
                result->vt = VT_BOOL;
                result->boolVal = playing_ ? VARIANT_TRUE : VARIANT_FALSE;
            } else {
                result->vt = VT_I4;
                result->lVal = readyState_;
            }
        }
        return S_OK;
    case kFireReadyState: {
        if (!call) return DISP_E_MEMBERNOTFOUND;
        if (p.cArgs != 1) return DISP_E_BADPARAMCOUNT;
        kit::OleVariant state;
        if (FAILED(VariantChangeType(state.put(), &p.rgvarg[0], 0, VT_I4))) {
            if (argErr) *argErr = 0;
            return DISP_E_TYPEMISMATCH;
        }
        fireReadyState(state.get()->lVal);
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// ---------------------------------------------------------------- behaviour

HRESULT Player::setMovie(const std::wstring& url) noexcept {
    try {
        movie_ = url;
        readyState_ = 0;
        const UINT number = ++download_;
        if (url.empty() || !messages_) return S_OK;
        auto job = std::make_unique<Download>(Download{messages_.get(), number, url});
        // The thread holds the module while it runs and lets go as it ends.
        kit::unique_hmodule pin;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&downloadThread),
                           pin.put());
        const HANDLE started = CreateThread(nullptr, 0, downloadThread, job.get(), 0, nullptr);
        if (!started) return HRESULT_FROM_WIN32(GetLastError());
        kit::unique_file thread(started);
        job.release();
        pin.release();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void Player::fireReadyState(LONG state) noexcept {
    readyState_ = state;
    // A sink may unadvise from inside its event: call a copy of the list.
    std::vector<kit::com_ptr<IDispatch>> sinks;
    try {
        for (const auto& sink : sinks_) sinks.push_back(sink.second);
    } catch (...) {
        return;
    }
    kit::com_ptr<IDispatch> self(static_cast<IDispatch*>(this));  // a handler may free the control
    for (const auto& sink : sinks) {
        VARIANT arg;
        VariantInit(&arg);
        arg.vt = VT_I4;
        arg.lVal = state;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        sink->Invoke(kOnReadyStateChange, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                     nullptr);
    }
}

void Player::setPlaying(bool playing) noexcept {
    playing_ = playing;
    if (!window_) return;
    if (playing)
        SetTimer(window_.get(), kAnimationTimer, 40, nullptr);
    else
        KillTimer(window_.get(), kAnimationTimer);
    InvalidateRect(window_.get(), nullptr, TRUE);
}

void Player::paint(HDC dc, const RECT& area) const noexcept {
    const int width = area.right - area.left;
    // Playing: a light stripe runs over a deep blue field; stopped: a grey field.
    kit::unique_hgdiobj field(CreateSolidBrush(playing_ ? RGB(16, 32, 96) : RGB(96, 96, 96)));
    FillRect(dc, &area, static_cast<HBRUSH>(field.get()));
    if (playing_ && width > 0) {
        const int x = area.left + stripe_ % (width + 24) - 24;
        const RECT stripe{x, area.top, x + 24, area.bottom};
        kit::unique_hgdiobj colour(CreateSolidBrush(RGB(255, 160, 0)));
        FillRect(dc, &stripe, static_cast<HBRUSH>(colour.get()));
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT text = area;
    DrawTextA(dc, playing_ ? "Flash stand-in" : "stand-in stopped", -1, &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

LRESULT Player::HandleMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (window == messages_.get() && msg == kDownloadDone) {
        if (wParam == download_ && lParam) fireReadyState(4);
        return 0;
    }
    if (window == window_.get()) {
        switch (msg) {
        case WM_TIMER:
            if (wParam == kAnimationTimer) {
                stripe_ += 3;
                InvalidateRect(window, nullptr, FALSE);
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            RECT client;
            GetClientRect(window, &client);
            paint(dc, client);
            EndPaint(window, &ps);
            return 0;
        }
        default:
            break;
        }
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

} // namespace standin
