#pragma once
// The browser's side of a desk band: the site object handed to the band's
// SetSite, and HostedBand, which creates a band by class identifier from the
// registry, docks its window in the frame's band strip, routes keyboard and
// context menu to it, and takes it down again as a browser does.
#include "BrowserFrame.h"

#include "kit/Handles.h"

#include <docobj.h>
#include <servprov.h>
#include <shobjidl.h>

#include <atomic>
#include <functional>
#include <vector>

namespace bandhost {

// The band site: focus reports (IInputObjectSite), the band strip's parent
// window (IOleWindow), the band-information refresh command
// (IOleCommandTarget) and the browser object (IServiceProvider).
class BandSite final : public IInputObjectSite,
                       public IOleWindow,
                       public IOleCommandTarget,
                       public IServiceProvider {
public:
    // A new site whose one reference the pointer holds.
    static kit::com_ptr<BandSite> create(HWND window, IWebBrowser2* browser);
    BandSite(const BandSite&) = delete;
    BandSite& operator=(const BandSite&) = delete;

    // Called by Exec(CGID_DeskBand, DBID_BANDINFOCHANGED) with the band
    // identifier the band passed, on the caller's stack.
    void setOnBandInfoChanged(std::function<void(LONG bandId)> callback) { onBandInfoChanged_ = std::move(callback); }
    // Forgets the window, the browser and the callback: a band that outlives
    // its host reaches nothing through the site any more.
    void detach() noexcept;

    // Every OnFocusChangeIS flag, in order.
    const std::vector<bool>& focusReports() const noexcept { return focusReports_; }
    ULONG refCount() const noexcept { return refs_.load(); }

    // ---- IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override;
    STDMETHODIMP_(ULONG) Release() noexcept override;
    // ---- IInputObjectSite
    STDMETHODIMP OnFocusChangeIS(IUnknown* band, BOOL setFocus) noexcept override;
    // ---- IOleWindow
    STDMETHODIMP GetWindow(HWND* out) noexcept override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) noexcept override;
    // ---- IOleCommandTarget
    STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) noexcept override;
    STDMETHODIMP Exec(const GUID* group, DWORD command, DWORD option, VARIANT* in, VARIANT* out) noexcept override;
    // ---- IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** ppv) noexcept override;

private:
    BandSite(HWND window, IWebBrowser2* browser) noexcept;
    ~BandSite() = default;

    std::atomic<ULONG> refs_{1};
    HWND window_;
    kit::com_ptr<IWebBrowser2> browser_;
    std::function<void(LONG)> onBandInfoChanged_;
    std::vector<bool> focusReports_;
};

// One band in the frame's band strip.
class HostedBand {
public:
    // The band identifier passed to GetBandInfo.
    static constexpr DWORD kBandId = 1;
    // Pixels at the left of the band strip that belong to the browser.
    static constexpr int kGripperWidth = 8;
    // The command identifiers the band's context-menu entries start from.
    static constexpr UINT kFirstMenuCommand = 1;

    // Takes over the frame's ShowBrowserBar and gripper context menu.
    HostedBand(BrowserFrame& frame, const CLSID& clsid);
    ~HostedBand();
    HostedBand(const HostedBand&) = delete;
    HostedBand& operator=(const HostedBand&) = delete;

    // CoCreateInstance (in-process, from the registry), SetSite, GetBandInfo
    // (the strip takes the minimum height), GetWindow (stretched over the
    // strip right of the gripper), ShowDW(TRUE). Raises kit::Error, the band
    // taken down again, when a step fails.
    void open();
    // ShowDW(FALSE), CloseDW, SetSite(NULL), the release of the band; nothing
    // when no band is open.
    void close() noexcept;
    bool isOpen() const noexcept { return static_cast<bool>(band_); }
    // How many bands this host took down.
    int closeCount() const noexcept { return closes_; }

    HWND window() const noexcept { return window_; }
    const DESKBANDINFO& bandInfo() const noexcept { return info_; }
    // The band's site while a band is open.
    BandSite* site() const noexcept { return site_.Get(); }

    // Asks GetBandInfo again and sizes the strip and the band's window.
    void refreshBandInfo() noexcept;
    // While the band has the focus (HasFocusIO answers S_OK), a keyboard
    // message goes to TranslateAcceleratorIO; true when the band took it.
    bool translateAccelerator(MSG& msg) noexcept;
    // The band's context-menu entries at a screen point; runs the chosen one.
    // Answers the offset chosen, or -1 for none.
    int showContextMenu(POINT screen) noexcept;

private:
    void onShowBrowserBar(const ShowBrowserBarCall& call) noexcept;

    BrowserFrame& frame_;
    CLSID clsid_;
    kit::com_ptr<IDeskBand> band_;
    kit::com_ptr<BandSite> site_;
    HWND window_ = nullptr;  // the band's own; the band destroys it
    DESKBANDINFO info_{};
    int closes_ = 0;
};

// The text form of a class identifier, with braces.
std::wstring guidText(const GUID& guid);

} // namespace bandhost
