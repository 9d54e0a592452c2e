#pragma once
// The band object: the COM object the browser creates and docks as a band.
// It keeps the site's interfaces, makes the toolbar window in the site's
// window, reports the band's sizes, keeps the browser told about the keyboard
// focus and adds its four commands to the band's context menu. It owns the
// toolbar window and the link to the browser (the browser object, the
// window's view of it and the event sink with its connection).
#include "kit/Handles.h"
#include "kit/OleVariant.h"

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <docobj.h>

#include <memory>

namespace kg {

class TformToolbar;
class TSHDocVwDWebBrowserEvents2;
class WebBrowserHost;

class TQuorvane final : public IDeskBand,
                        public IInputObject,
                        public IObjectWithSite,
                        public IContextMenu,
                        public IPersistStreamInit,
                        public ISupportErrorInfo {
public:
    // One reference, the creator's.
    TQuorvane();
    TQuorvane(const TQuorvane&) = delete;
    TQuorvane& operator=(const TQuorvane&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override;
    STDMETHODIMP_(ULONG) Release() noexcept override;

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* phwnd) noexcept override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) noexcept override;
    // IDockingWindow
    STDMETHODIMP ShowDW(BOOL show) noexcept override;
    STDMETHODIMP CloseDW(DWORD reserved) noexcept override;
    STDMETHODIMP ResizeBorderDW(LPCRECT border, IUnknown* site, BOOL reserved) noexcept override;
    // IDeskBand
    STDMETHODIMP GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) noexcept override;

    // IInputObject
    STDMETHODIMP UIActivateIO(BOOL activate, MSG* msg) noexcept override;
    STDMETHODIMP HasFocusIO() noexcept override;
    STDMETHODIMP TranslateAcceleratorIO(MSG* msg) noexcept override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) noexcept override;
    STDMETHODIMP GetSite(REFIID riid, void** ppv) noexcept override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstCommand, UINT lastCommand,
                                  UINT flags) noexcept override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept override;
    STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT* reserved, LPSTR name,
                                  UINT size) noexcept override;

    // IPersist, IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID* clsid) noexcept override;
    STDMETHODIMP IsDirty() noexcept override;
    STDMETHODIMP Load(LPSTREAM stream) noexcept override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) noexcept override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) noexcept override;
    STDMETHODIMP InitNew() noexcept override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) noexcept override;

private:
    ~TQuorvane();

    void UpdateBandInfo() noexcept;
    void NotifyFocusChange(bool focus) noexcept;
    static LRESULT CALLBACK ToolbarWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                              DWORD_PTR self) noexcept;
    void createToolbarWindow();
    void unhook() noexcept;
    // Lets go of the window (at once, or once its running handler returns) and of the browser link.
    void releaseToolbarWindow() noexcept;

    LONG refs_ = 1;

    bool HasFocus = false;
    HWND SiteWindow = nullptr;
    DWORD BandID = 0;
    kit::com_ptr<IInputObjectSite> InputObjectSite;
    int MenuCommandCount = 0;
    HWND hookedWindow_ = nullptr;  // the window whose messages ToolbarWindowProc sees
    kit::com_ptr<IOleCommandTarget> CommandTarget;
    std::unique_ptr<TformToolbar> ToolbarForm;
    kit::com_ptr<IWebBrowser2> HostBrowser;
    kit::OleVariant SpareBrowser;

    // The window's view of HostBrowser, shared with the window.
    std::shared_ptr<WebBrowserHost> browserHost_;
    // Connected to HostBrowser while the window exists.
    std::unique_ptr<TSHDocVwDWebBrowserEvents2> browserEvents_;
};

} // namespace kg
