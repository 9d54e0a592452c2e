#pragma once
// The stand-in browser object: what a band and its toolbar reach through
// IWebBrowser2, the DWebBrowserEvents2 connection point and the browser's
// service provider. It records every call it is asked and answers from a
// small configuration, so tests and the demo can see what the toolbar did.
#include "kit/Handles.h"
#include "kit/OleVariant.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <olectl.h>
#include <servprov.h>

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace bandhost {

// Automation DISPIDs of IWebBrowser2 that the stand-in answers by name.
constexpr DISPID kDispNavigate = 104;
constexpr DISPID kDispWidth = 208;
constexpr DISPID kDispQuit = 300;
constexpr DISPID kDispHwnd = -515;
constexpr DISPID kDispVisible = 402;
constexpr DISPID kDispStatusText = 404;
constexpr DISPID kDispShowBrowserBar = 503;

struct NavigateCall {
    std::wstring url;
    // Flags, TargetFrameName, PostData, Headers: whether each was passed at
    // all, and a copy of what it held.
    std::array<bool, 4> present{};
    std::array<kit::OleVariant, 4> args;
    HRESULT answer = S_OK;
    // A sink set Cancel in BeforeNavigate2: the page was never loaded.
    bool cancelled = false;
    bool done() const noexcept { return SUCCEEDED(answer) && !cancelled; }
};

struct ShowBrowserBarCall {
    kit::OleVariant clsid, show, size;
    // Decoded from the variants when they hold text, a Boolean, an integer.
    std::wstring clsidText;
    bool showValue = false;
    LONG sizeValue = 0;
    HRESULT answer = S_OK;
};

class StandInBrowser final : public IWebBrowser2,
                             public IConnectionPointContainer,
                             public IServiceProvider {
public:
    // Starts with one reference, owned by the creator.
    StandInBrowser() noexcept;
    // A new browser object whose one reference the pointer holds.
    static kit::com_ptr<StandInBrowser> create();
    StandInBrowser(const StandInBrowser&) = delete;
    StandInBrowser& operator=(const StandInBrowser&) = delete;

    // ---- configuration
    void setNavigateResult(HRESULT hr) noexcept { navigateResult_ = hr; }
    // The width answered without a frame window, and with one when set
    // explicitly; a frame's real width otherwise.
    void setWidth(LONG width) noexcept { width_ = width; widthSet_ = true; }
    void setWidthResult(HRESULT hr) noexcept { widthResult_ = hr; }
    void setStatusTextResult(HRESULT hr) noexcept { statusTextResult_ = hr; }
    void setShowBrowserBarResult(HRESULT hr) noexcept { showBrowserBarResult_ = hr; }
    // Unadvise forgets the sink all the same, as a browser going away would.
    void setUnadviseResult(HRESULT hr) noexcept { unadviseResult_ = hr; }
    // The frame window: answers HWND and Width, is shown by Visible and is
    // repainted when something is recorded. nullptr detaches it.
    void setFrameWindow(HWND frame) noexcept { frame_ = frame; }
    HWND frameWindow() const noexcept { return frame_; }
    // Called after ShowBrowserBar was recorded, on the caller's stack.
    void setOnShowBrowserBar(std::function<void(const ShowBrowserBarCall&)> callback) {
        onShowBrowserBar_ = std::move(callback);
    }

    // ---- what was asked
    // Every Navigate, failed and cancelled ones included (with their answer).
    const std::vector<NavigateCall>& navigations() const noexcept { return navigations_; }
    // Every text written to StatusText, in order, refused ones included.
    const std::vector<std::wstring>& statusTexts() const noexcept { return statusTexts_; }
    // The text shown in the status bar: the last one accepted.
    const std::wstring& statusText() const noexcept { return statusText_; }
    const std::vector<ShowBrowserBarCall>& browserBarCalls() const noexcept { return browserBarCalls_; }
    bool visible() const noexcept { return visible_; }
    int quitCount() const noexcept { return quitCount_; }
    ULONG refCount() const noexcept { return refs_.load(); }

    // ---- events
    size_t adviseCount() const noexcept { return sinks_.size(); }
    // Invokes dispid as a method on every advised sink; one answer per sink.
    std::vector<HRESULT> Fire(DISPID dispid, DISPPARAMS& params);
    // Navigate fires BeforeNavigate2 and, when no sink cancelled it,
    // NavigateComplete2, DocumentComplete and StatusTextChange ("Done").
    // BeforeNavigate2 with this object as pDisp, the URL, empty optional
    // arguments and cancel passed by reference (a sink may set it).
    std::vector<HRESULT> fireBeforeNavigate2(const std::wstring& url, VARIANT_BOOL& cancel);
    std::vector<HRESULT> fireStatusTextChange(const std::wstring& text);
    std::vector<HRESULT> fireDownloadComplete();

    // ---- IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override;
    STDMETHODIMP_(ULONG) Release() noexcept override;

    // ---- IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) noexcept override;

    // ---- IWebBrowser
    STDMETHODIMP GoBack() noexcept override;
    STDMETHODIMP GoForward() noexcept override;
    STDMETHODIMP GoHome() noexcept override;
    STDMETHODIMP GoSearch() noexcept override;
    STDMETHODIMP Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                          VARIANT* headers) noexcept override;
    STDMETHODIMP Refresh() noexcept override;
    STDMETHODIMP Refresh2(VARIANT* level) noexcept override;
    STDMETHODIMP Stop() noexcept override;
    STDMETHODIMP get_Application(IDispatch** out) noexcept override;
    STDMETHODIMP get_Parent(IDispatch** out) noexcept override;
    STDMETHODIMP get_Container(IDispatch** out) noexcept override;
    STDMETHODIMP get_Document(IDispatch** out) noexcept override;
    STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP get_Type(BSTR* out) noexcept override;
    STDMETHODIMP get_Left(LONG* out) noexcept override;
    STDMETHODIMP put_Left(LONG value) noexcept override;
    STDMETHODIMP get_Top(LONG* out) noexcept override;
    STDMETHODIMP put_Top(LONG value) noexcept override;
    STDMETHODIMP get_Width(LONG* out) noexcept override;
    STDMETHODIMP put_Width(LONG value) noexcept override;
    STDMETHODIMP get_Height(LONG* out) noexcept override;
    STDMETHODIMP put_Height(LONG value) noexcept override;
    STDMETHODIMP get_LocationName(BSTR* out) noexcept override;
    STDMETHODIMP get_LocationURL(BSTR* out) noexcept override;
    STDMETHODIMP get_Busy(VARIANT_BOOL* out) noexcept override;

    // ---- IWebBrowserApp
    STDMETHODIMP Quit() noexcept override;
    STDMETHODIMP ClientToWindow(int* pcx, int* pcy) noexcept override;
    STDMETHODIMP PutProperty(BSTR property, VARIANT value) noexcept override;
    STDMETHODIMP GetProperty(BSTR property, VARIANT* out) noexcept override;
    STDMETHODIMP get_Name(BSTR* out) noexcept override;
    STDMETHODIMP get_HWND(SHANDLE_PTR* out) noexcept override;
    STDMETHODIMP get_FullName(BSTR* out) noexcept override;
    STDMETHODIMP get_Path(BSTR* out) noexcept override;
    STDMETHODIMP get_Visible(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_Visible(VARIANT_BOOL value) noexcept override;
    STDMETHODIMP get_StatusBar(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_StatusBar(VARIANT_BOOL value) noexcept override;
    STDMETHODIMP get_StatusText(BSTR* out) noexcept override;
    STDMETHODIMP put_StatusText(BSTR text) noexcept override;
    STDMETHODIMP get_ToolBar(int* out) noexcept override;
    STDMETHODIMP put_ToolBar(int value) noexcept override;
    STDMETHODIMP get_MenuBar(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_MenuBar(VARIANT_BOOL value) noexcept override;
    STDMETHODIMP get_FullScreen(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_FullScreen(VARIANT_BOOL value) noexcept override;

    // ---- IWebBrowser2
    STDMETHODIMP Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                           VARIANT* headers) noexcept override;
    STDMETHODIMP QueryStatusWB(OLECMDID cmdID, OLECMDF* out) noexcept override;
    STDMETHODIMP ExecWB(OLECMDID cmdID, OLECMDEXECOPT option, VARIANT* in, VARIANT* out) noexcept override;
    STDMETHODIMP ShowBrowserBar(VARIANT* clsid, VARIANT* show, VARIANT* size) noexcept override;
    STDMETHODIMP get_ReadyState(READYSTATE* out) noexcept override;
    STDMETHODIMP get_Offline(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_Offline(VARIANT_BOOL value) noexcept override;
    STDMETHODIMP get_Silent(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_Silent(VARIANT_BOOL value) noexcept override;
    STDMETHODIMP get_RegisterAsBrowser(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_RegisterAsBrowser(VARIANT_BOOL value) noexcept override;
    STDMETHODIMP get_RegisterAsDropTarget(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_RegisterAsDropTarget(VARIANT_BOOL value) noexcept override;
    STDMETHODIMP get_TheaterMode(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_TheaterMode(VARIANT_BOOL value) noexcept override;
    STDMETHODIMP get_AddressBar(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_AddressBar(VARIANT_BOOL value) noexcept override;
    STDMETHODIMP get_Resizable(VARIANT_BOOL* out) noexcept override;
    STDMETHODIMP put_Resizable(VARIANT_BOOL value) noexcept override;

    // ---- IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) noexcept override;

    // ---- IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** ppv) noexcept override;

private:
    ~StandInBrowser() = default;

    // The DWebBrowserEvents2 connection point; it lives and dies with the
    // browser, so its reference count is the browser's.
    class EventPoint final : public IConnectionPoint {
    public:
        explicit EventPoint(StandInBrowser& owner) noexcept : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
        STDMETHODIMP_(ULONG) AddRef() noexcept override { return owner_.AddRef(); }
        STDMETHODIMP_(ULONG) Release() noexcept override { return owner_.Release(); }
        STDMETHODIMP GetConnectionInterface(IID* out) noexcept override;
        STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override;
        STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) noexcept override;
        STDMETHODIMP Unadvise(DWORD cookie) noexcept override;
        STDMETHODIMP EnumConnections(IEnumConnections** out) noexcept override;

    private:
        StandInBrowser& owner_;
    };

    struct Sink {
        DWORD cookie;
        kit::com_ptr<IDispatch> dispatch;
    };

    void repaintFrame() const noexcept;
    // The events of one navigation: the URL and the four optional arguments
    // go by reference, as the browser passes them.
    std::vector<HRESULT> fireBeforeNavigate2(kit::OleVariant& url, std::array<kit::OleVariant, 4>& optional,
                                             VARIANT_BOOL& cancel);
    std::vector<HRESULT> fireDocumentEvent(DISPID dispid, kit::OleVariant& url);

    std::atomic<ULONG> refs_{1};
    EventPoint eventPoint_{*this};
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;

    HRESULT navigateResult_ = S_OK;
    HRESULT widthResult_ = S_OK;
    HRESULT statusTextResult_ = S_OK;
    HRESULT showBrowserBarResult_ = S_OK;
    HRESULT unadviseResult_ = S_OK;
    LONG width_ = 1000;
    bool widthSet_ = false;
    HWND frame_ = nullptr;
    std::function<void(const ShowBrowserBarCall&)> onShowBrowserBar_;

    std::vector<NavigateCall> navigations_;
    std::vector<std::wstring> statusTexts_;
    std::wstring statusText_;
    std::vector<ShowBrowserBarCall> browserBarCalls_;
    bool visible_ = false;
    int quitCount_ = 0;
};

} // namespace bandhost
