#include "BandSite.h"

#include "core/Error.h"

#include <shlguid.h>

#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>

namespace bandhost {

namespace {

std::string hresultText(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

std::string narrow(const std::wstring& s) {
    return std::string(s.begin(), s.end());  // GUID texts are ASCII
}

// Raises the failure of one step of opening the band.
void check(HRESULT hr, const std::string& step) {
    if (FAILED(hr)) throw kit::OSError(static_cast<unsigned long>(hr), step + " failed: " + hresultText(hr));
}

} // namespace

std::wstring guidText(const GUID& guid) {
    wchar_t buf[40] = {};
    StringFromGUID2(guid, buf, 40);
    return buf;
}

// ---------------------------------------------------------------- BandSite

BandSite::BandSite(HWND window, IWebBrowser2* browser) noexcept : window_(window), browser_(browser) {}

kit::com_ptr<BandSite> BandSite::create(HWND window, IWebBrowser2* browser) {
    kit::com_ptr<BandSite> site;
    site.Attach(new BandSite(window, browser));
    return site;
}

void BandSite::detach() noexcept {
    window_ = nullptr;
    browser_.Reset();
    onBandInfoChanged_ = nullptr;
}

STDMETHODIMP BandSite::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IInputObjectSite)
        *ppv = static_cast<IInputObjectSite*>(this);
    else if (riid == IID_IOleWindow)
        *ppv = static_cast<IOleWindow*>(this);
    else if (riid == IID_IOleCommandTarget)
        *ppv = static_cast<IOleCommandTarget*>(this);
    else if (riid == IID_IServiceProvider)
        *ppv = static_cast<IServiceProvider*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) BandSite::AddRef() noexcept {
    return ++refs_;
}

STDMETHODIMP_(ULONG) BandSite::Release() noexcept {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP BandSite::OnFocusChangeIS(IUnknown*, BOOL setFocus) noexcept {
    try {
        focusReports_.push_back(setFocus != FALSE);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP BandSite::GetWindow(HWND* out) noexcept {
    if (!out) return E_POINTER;
    *out = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP BandSite::ContextSensitiveHelp(BOOL) noexcept {
    return E_NOTIMPL;
}

STDMETHODIMP BandSite::QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) noexcept {
    if (!commands && count) return E_POINTER;
    if (text) text->cwActual = 0;
    if (!group || *group != CGID_DeskBand) return OLECMDERR_E_UNKNOWNGROUP;
    for (ULONG i = 0; i < count; ++i)
        commands[i].cmdf = commands[i].cmdID == DBID_BANDINFOCHANGED ? OLECMDF_SUPPORTED | OLECMDF_ENABLED : 0;
    return S_OK;
}

STDMETHODIMP BandSite::Exec(const GUID* group, DWORD command, DWORD, VARIANT* in, VARIANT*) noexcept {
    if (!group || *group != CGID_DeskBand) return OLECMDERR_E_UNKNOWNGROUP;
    if (command != DBID_BANDINFOCHANGED) return OLECMDERR_E_NOTSUPPORTED;
    LONG bandId = 0;
    if (in) {
        VARIANT id;
        VariantInit(&id);
        if (SUCCEEDED(VariantChangeType(&id, in, 0, VT_I4))) bandId = id.lVal;
    }
    if (!onBandInfoChanged_) return S_OK;
    // The callback may detach this site; call a copy.
    try {
        const auto callback = onBandInfoChanged_;
        callback(bandId);
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP BandSite::QueryService(REFGUID service, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (service != SID_SWebBrowserApp || !browser_) return E_NOINTERFACE;
    return browser_->QueryInterface(riid, ppv);
}

// ---------------------------------------------------------------- HostedBand

HostedBand::HostedBand(BrowserFrame& frame, const CLSID& clsid) : frame_(frame), clsid_(clsid) {
    frame_.browser().setOnShowBrowserBar([this](const ShowBrowserBarCall& call) { onShowBrowserBar(call); });
    frame_.setOnGripperMenu([this](POINT screen) { showContextMenu(screen); });
}

HostedBand::~HostedBand() {
    close();
    frame_.browser().setOnShowBrowserBar(nullptr);
    frame_.setOnGripperMenu(nullptr);
}

void HostedBand::open() {
    if (band_) return;
    try {
        check(CoCreateInstance(clsid_, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                               reinterpret_cast<void**>(band_.ReleaseAndGetAddressOf())),
              "CoCreateInstance of the band " + narrow(guidText(clsid_)));
        site_ = BandSite::create(frame_.siteWindow(), frame_.webBrowser());
        site_->setOnBandInfoChanged([this](LONG) { refreshBandInfo(); });

        kit::com_ptr<IObjectWithSite> withSite;
        check(band_.As(&withSite), "QueryInterface for IObjectWithSite");
        check(withSite->SetSite(static_cast<IInputObjectSite*>(site_.Get())), "SetSite");

        refreshBandInfo();
        HWND window = nullptr;
        check(band_->GetWindow(&window), "GetWindow");
        if (!window) throw kit::Error("GetWindow gave no window");
        window_ = window;
        frame_.dockBand(window_);
        check(band_->ShowDW(TRUE), "ShowDW");
    } catch (...) {
        close();
        throw;
    }
}

void HostedBand::close() noexcept {
    if (!band_) return;
    // Taken out first: the band's CloseDW may ask for the band to close again.
    kit::com_ptr<IDeskBand> band = std::move(band_);
    kit::com_ptr<BandSite> site = std::move(site_);
    window_ = nullptr;
    band->ShowDW(FALSE);
    band->CloseDW(0);
    kit::com_ptr<IObjectWithSite> withSite;
    if (SUCCEEDED(band.As(&withSite))) withSite->SetSite(nullptr);
    withSite.Reset();
    band.Reset();
    if (site) site->detach();
    ++closes_;
}

void HostedBand::refreshBandInfo() noexcept {
    if (!band_) return;
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS | DBIM_BKCOLOR;
    if (FAILED(band_->GetBandInfo(kBandId, DBIF_VIEWMODE_NORMAL, &info))) return;
    info_ = info;
    const int height = (info.dwMask & DBIM_MINSIZE) && info.ptMinSize.y > 0 ? info.ptMinSize.y : BrowserFrame::kBandHeight;
    frame_.setBandStrip(height, kGripperWidth);
    if (window_) frame_.dockBand(window_);
}

bool HostedBand::translateAccelerator(MSG& msg) noexcept {
    if (!band_ || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    kit::com_ptr<IInputObject> input;
    if (FAILED(band_.As(&input)) || input->HasFocusIO() != S_OK) return false;
    return input->TranslateAcceleratorIO(&msg) == S_OK;
}

int HostedBand::showContextMenu(POINT screen) noexcept {
    if (!band_) return -1;
    kit::com_ptr<IContextMenu> menu;
    if (FAILED(band_.As(&menu))) return -1;
    kit::unique_hmenu popup(CreatePopupMenu());
    if (!popup) return -1;
    const HRESULT added = menu->QueryContextMenu(popup.get(), 0, kFirstMenuCommand, 0x7FFF, CMF_NORMAL);
    if (FAILED(added) || HRESULT_CODE(added) == 0 || GetMenuItemCount(popup.get()) <= 0) return -1;
    HWND owner = frame_.hwnd();
    SetForegroundWindow(owner);
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(popup.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                         screen.x, screen.y, 0, owner, nullptr));
    if (chosen < kFirstMenuCommand) return -1;
    const UINT offset = chosen - kFirstMenuCommand;
    CMINVOKECOMMANDINFO invoke{};
    invoke.cbSize = sizeof invoke;
    invoke.hwnd = owner;
    invoke.lpVerb = MAKEINTRESOURCEA(offset);
    invoke.nShow = SW_SHOWNORMAL;
    // `menu` keeps the band alive while its command may close it.
    menu->InvokeCommand(&invoke);
    return static_cast<int>(offset);
}

void HostedBand::onShowBrowserBar(const ShowBrowserBarCall& call) noexcept {
    if (call.showValue || !band_) return;
    if (_wcsicmp(call.clsidText.c_str(), guidText(clsid_).c_str()) != 0) return;
    close();
}

} // namespace bandhost
