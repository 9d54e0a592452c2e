#include "host/Band.h"

#include "config/Settings.h"
#include "host/ComBoundary.h"
#include "host/Module.h"
#include "host/SHDocVwEvents.h"
#include "host/WebBrowserHost.h"
#include "kit/Control.h"
#include "toolbar/About.h"
#include "toolbar/KestrelgroveForm.h"
#include "toolbar/Navigation.h"

#include <commctrl.h>
#include <servprov.h>

namespace kg {

namespace {

constexpr int kBandHeight = 25;
constexpr int kNarrowBandWidth = 275;
constexpr int kScreenMargin = 20;
constexpr UINT_PTR kHookId = 1;

enum MenuCommand : UINT { UpdateBandinfo = 0, AboutToolbar = 1, ToolbarWebsite = 2, ToolbarSupport = 3 };

} // namespace

TQuorvane::TQuorvane() {
    server::ObjectCreated();
}

TQuorvane::~TQuorvane() {
    // Nobody closed the band: its window must not outlive the object its hook points to.
    releaseToolbarWindow();
    server::ObjectDestroyed();
}

// ---- IUnknown

STDMETHODIMP TQuorvane::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown)
        *ppv = static_cast<IUnknown*>(static_cast<IDeskBand*>(this));
    else if (riid == IID_ISupportErrorInfo)
        *ppv = static_cast<ISupportErrorInfo*>(this);
    else if (riid == IID_IInputObject)
        *ppv = static_cast<IInputObject*>(this);
    else if (riid == IID_IContextMenu)
        *ppv = static_cast<IContextMenu*>(this);
    else if (riid == IID_IObjectWithSite)
        *ppv = static_cast<IObjectWithSite*>(this);
    else if (riid == IID_IPersistStreamInit || riid == IID_IPersist)
        *ppv = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_IDeskBand)
        *ppv = static_cast<IDeskBand*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) TQuorvane::AddRef() noexcept {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) TQuorvane::Release() noexcept {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

// ---- IOleWindow, IDockingWindow, IDeskBand

STDMETHODIMP TQuorvane::GetWindow(HWND* phwnd) noexcept {
    if (!phwnd) return E_POINTER;
    *phwnd = nullptr;
    return ComBoundary(E_FAIL, [&] {
        if (!ToolbarForm) createToolbarWindow();
        *phwnd = ToolbarForm->Handle();
        return S_OK;
    });
}

STDMETHODIMP TQuorvane::ContextSensitiveHelp(BOOL) noexcept {
    return E_NOTIMPL;
}

STDMETHODIMP TQuorvane::ShowDW(BOOL show) noexcept {
    HasFocus = show != FALSE;
    NotifyFocusChange(HasFocus);
    return S_OK;
}

STDMETHODIMP TQuorvane::CloseDW(DWORD) noexcept {
    return ComBoundary(E_FAIL, [&] {
        releaseToolbarWindow();
        return S_OK;
    });
}

STDMETHODIMP TQuorvane::ResizeBorderDW(LPCRECT, IUnknown*, BOOL) noexcept {
    return E_NOTIMPL;
}

STDMETHODIMP TQuorvane::GetBandInfo(DWORD bandId, DWORD, DESKBANDINFO* info) noexcept {
    if (!info) return E_INVALIDARG;
    BandID = bandId;
    if (info->dwMask & DBIM_MINSIZE) {
        info->ptMinSize.x =
            ToolbarSettings().ToolbarFullSize ? GetSystemMetrics(SM_CXSCREEN) - kScreenMargin : kNarrowBandWidth;
        info->ptMinSize.y = kBandHeight;
    }
    if (info->dwMask & DBIM_MAXSIZE) {
        info->ptMaxSize.x = -1;
        info->ptMaxSize.y = kBandHeight;
    }
    if (info->dwMask & DBIM_INTEGRAL) {
        info->ptIntegral.x = 1;
        info->ptIntegral.y = 1;
    }
    if (info->dwMask & DBIM_ACTUAL) {
        info->ptActual.x = -1;
        info->ptActual.y = kBandHeight;
    }
    if (info->dwMask & DBIM_TITLE) info->dwMask &= ~static_cast<DWORD>(DBIM_TITLE);
    if (info->dwMask & DBIM_MODEFLAGS) info->dwModeFlags = DBIMF_DEBOSSED;
    if (info->dwMask & DBIM_BKCOLOR) info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR);
    return S_OK;
}

// ---- IInputObject

STDMETHODIMP TQuorvane::UIActivateIO(BOOL activate, MSG*) noexcept {
    HasFocus = activate != FALSE;
    return ComBoundary(E_FAIL, [&] {
        // The form hands the focus on to its active control, the search box.
        if (HasFocus && ToolbarForm && ToolbarForm->HandleAllocated()) SetFocus(ToolbarForm->Handle());
        return S_OK;
    });
}

STDMETHODIMP TQuorvane::HasFocusIO() noexcept {
    return HasFocus ? S_OK : S_FALSE;
}

STDMETHODIMP TQuorvane::TranslateAcceleratorIO(MSG* msg) noexcept {
    if (!msg) return E_POINTER;
    if (msg->wParam == VK_TAB) return S_FALSE;  // the browser moves the focus on
    return ComBoundary(E_FAIL, [&] {
        TranslateMessage(msg);
        DispatchMessageA(msg);
        return S_OK;
    });
}

// ---- IObjectWithSite

STDMETHODIMP TQuorvane::SetSite(IUnknown* site) noexcept {
    if (!site) return S_OK;
    return ComBoundary(E_FAIL, [&] {
        // Every interface first, so a site that lacks one changes nothing.
        kit::com_ptr<IInputObjectSite> inputSite;
        kit::com_ptr<IOleWindow> oleWindow;
        kit::com_ptr<IOleCommandTarget> commandTarget;
        kit::com_ptr<IServiceProvider> services;
        if (FAILED(site->QueryInterface(IID_IInputObjectSite, reinterpret_cast<void**>(inputSite.GetAddressOf()))) ||
            FAILED(site->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(oleWindow.GetAddressOf()))) ||
            FAILED(site->QueryInterface(IID_IOleCommandTarget,
                                        reinterpret_cast<void**>(commandTarget.GetAddressOf()))) ||
            FAILED(commandTarget->QueryInterface(IID_IServiceProvider,
                                                 reinterpret_cast<void**>(services.GetAddressOf()))) ||
            !inputSite || !oleWindow || !commandTarget || !services)
            return E_NOINTERFACE;

        InputObjectSite = inputSite;
        HWND window = nullptr;
        oleWindow->GetWindow(&window);
        SiteWindow = window;
        CommandTarget = commandTarget;
        HostBrowser.Reset();
        browserHost_.reset();
        kit::com_ptr<IWebBrowser2> browser;
        services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, reinterpret_cast<void**>(browser.GetAddressOf()));
        if (browser) {
            HostBrowser = browser;
            browserHost_ = std::make_shared<WebBrowserHost>(browser);
        }
        return S_OK;
    });
}

STDMETHODIMP TQuorvane::GetSite(REFIID, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return E_FAIL;
}

// ---- IContextMenu

STDMETHODIMP TQuorvane::QueryContextMenu(HMENU menu, UINT index, UINT firstCommand, UINT, UINT) noexcept {
    static constexpr struct {
        UINT offset;
        const char* text;
    } commands[] = {{ToolbarSupport, "Toolbar Support"},
                    {ToolbarWebsite, "Toolbar Website"},
                    {AboutToolbar, "About Toolbar..."},
                    {UpdateBandinfo, "Update Bandinfo"}};
    // Each in front of the one inserted before it.
    for (const auto& command : commands)
        InsertMenuA(menu, index, MF_BYPOSITION | MF_STRING, firstCommand + command.offset, command.text);
    MenuCommandCount = 4;
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4);
}

STDMETHODIMP TQuorvane::InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept {
    if (!info) return E_INVALIDARG;
    const auto verb = reinterpret_cast<UINT_PTR>(info->lpVerb);
    if (HIWORD(verb) != 0) return E_FAIL;  // a verb given as text
    const int offset = LOWORD(verb);
    if (offset > MenuCommandCount - 1) return E_FAIL;
    return ComBoundary(E_FAIL, [&] {
        switch (offset) {
        case UpdateBandinfo:
            UpdateBandInfo();
            return S_OK;
        case ToolbarWebsite:
            NavigateTo(browserHost_.get(), SpareBrowser, ToolbarSettings().HomePageURL);
            return S_OK;
        case ToolbarSupport:
            NavigateTo(browserHost_.get(), SpareBrowser, ToolbarSettings().ContactEMail);
            return S_OK;
        case AboutToolbar:
            ShowAboutWindow(false);
            return S_OK;
        default:
            return E_FAIL;
        }
    });
}

STDMETHODIMP TQuorvane::GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) noexcept {
    return S_OK;
}

// ---- IPersist, IPersistStreamInit

STDMETHODIMP TQuorvane::GetClassID(CLSID* clsid) noexcept {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_Kestrelgrove;
    return S_OK;
}

STDMETHODIMP TQuorvane::IsDirty() noexcept { return S_FALSE; }
STDMETHODIMP TQuorvane::Load(LPSTREAM) noexcept { return S_OK; }
STDMETHODIMP TQuorvane::Save(LPSTREAM, BOOL) noexcept { return S_OK; }
STDMETHODIMP TQuorvane::GetSizeMax(ULARGE_INTEGER*) noexcept { return E_NOTIMPL; }
STDMETHODIMP TQuorvane::InitNew() noexcept { return E_NOTIMPL; }

// ---- ISupportErrorInfo

STDMETHODIMP TQuorvane::InterfaceSupportsErrorInfo(REFIID riid) noexcept {
    for (const IID* iid : {&IID_IUnknown, &IID_ISupportErrorInfo, &IID_IInputObject, &IID_IContextMenu,
                           &IID_IObjectWithSite, &IID_IPersistStreamInit, &IID_IPersist, &IID_IDeskBand})
        if (riid == *iid) return S_OK;
    return S_FALSE;
}

// ---- internal

void TQuorvane::UpdateBandInfo() noexcept {
    if (!CommandTarget) return;
    kit::OleVariant in;
    in.put()->vt = VT_I4;
    in.get()->lVal = static_cast<LONG>(BandID);
    kit::OleVariant out;
    CommandTarget->Exec(&CGID_DeskBand, DBID_BANDINFOCHANGED, OLECMDEXECOPT_DODEFAULT, in.get(), out.get());
}

void TQuorvane::NotifyFocusChange(bool focus) noexcept {
    if (!InputObjectSite) return;
    InputObjectSite->OnFocusChangeIS(static_cast<IUnknown*>(static_cast<IDeskBand*>(this)), focus ? -1 : 0);
}

LRESULT CALLBACK TQuorvane::ToolbarWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR self) noexcept {
    auto* band = reinterpret_cast<TQuorvane*>(self);
    if (msg == WM_PARENTNOTIFY) {
        band->HasFocus = true;
        band->NotifyFocusChange(true);
    } else if (msg == WM_NCDESTROY) {
        band->unhook();
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void TQuorvane::createToolbarWindow() {
    ToolbarForm = std::make_unique<TformToolbar>(SiteWindow);
    if (browserHost_) ToolbarForm->AttachBrowser(browserHost_);
    const HWND hwnd = ToolbarForm->Handle();
    if (SetWindowSubclass(hwnd, &TQuorvane::ToolbarWindowProc, kHookId, reinterpret_cast<DWORD_PTR>(this)))
        hookedWindow_ = hwnd;
    if (HostBrowser) {
        auto events = std::make_unique<TSHDocVwDWebBrowserEvents2>(nullptr);
        events->SetName("BrowserEvents");
        events->Connect(HostBrowser.Get());
        browserEvents_ = std::move(events);
    }
}

void TQuorvane::unhook() noexcept {
    if (!hookedWindow_) return;
    RemoveWindowSubclass(hookedWindow_, &TQuorvane::ToolbarWindowProc, kHookId);
    hookedWindow_ = nullptr;
}

void TQuorvane::releaseToolbarWindow() noexcept {
    unhook();
    browserEvents_.reset();
    try {
        kit::ReleaseWhenIdle(std::move(ToolbarForm));
    } catch (...) {
        // Only the bookkeeping of a deferred release can fail (memory): free it now then.
    }
    ToolbarForm.reset();
}

} // namespace kg
