#pragma once
// A stand-in for the Flash player control, for the tests and the demo only:
// an in-process ActiveX control with the player's class identifier that does
// what the toolbar relies on. Setting Movie fetches the URL over WinINet on a
// worker thread; once the body has arrived the control reports ready state 4
// (OnReadyStateChange, on the thread that made the control). Play animates a
// coloured stripe, Stop halts it. A test drives the ready state itself with
// the private method "FireReadyState"(state) and reads "Playing" and "Movie".
#include "kit/ComPtr.h"
#include "kit/Handles.h"

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <string>
#include <utility>
#include <vector>

namespace standin {

inline constexpr CLSID CLSID_Player = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID DIID_PlayerEvents = {0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr wchar_t ClassIdText[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";

// Live objects and server locks of the module (DllCanUnloadNow).
void LockModule() noexcept;
void UnlockModule() noexcept;
HINSTANCE ModuleInstance() noexcept;
// A later load of the module registers the class again with its own procedure.
void UnregisterWindowClass() noexcept;

class Player final : public IOleObject,
                     public IOleInPlaceObject,
                     public IViewObject2,
                     public IPersistStreamInit,
                     public IConnectionPointContainer,
                     public IDispatch {
public:
    Player();

    // ---- IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override;
    STDMETHODIMP_(ULONG) Release() noexcept override;

    // ---- IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) noexcept override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) noexcept override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) noexcept override { return S_OK; }
    STDMETHODIMP Close(DWORD) noexcept override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) noexcept override;
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** out) noexcept override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) noexcept override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) noexcept override { return OLE_S_USEREG; }
    STDMETHODIMP Update() noexcept override { return S_OK; }
    STDMETHODIMP IsUpToDate() noexcept override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) noexcept override;
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) noexcept override { return OLE_S_USEREG; }
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) noexcept override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) noexcept override;
    STDMETHODIMP Advise(IAdviseSink*, DWORD*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) noexcept override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) noexcept override { return E_NOTIMPL; }

    // ---- IOleWindow, IOleInPlaceObject
    STDMETHODIMP GetWindow(HWND* window) noexcept override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() noexcept override;
    STDMETHODIMP UIDeactivate() noexcept override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) noexcept override;
    STDMETHODIMP ReactivateAndUndo() noexcept override { return E_NOTIMPL; }

    // ---- IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                      BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) noexcept override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) noexcept override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD, DWORD, IAdviseSink*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetAdvise(DWORD*, DWORD*, IAdviseSink**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) noexcept override;

    // ---- IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID* clsid) noexcept override;
    STDMETHODIMP IsDirty() noexcept override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM) noexcept override { return S_OK; }
    STDMETHODIMP Save(LPSTREAM, BOOL) noexcept override { return S_OK; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) noexcept override;
    STDMETHODIMP InitNew() noexcept override { return S_OK; }

    // ---- IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) noexcept override;

    // ---- IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT* argErr) noexcept override;

    // The window messages of the control's window and of its message window.
    LRESULT HandleMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

private:
    class EventPoint;
    friend class EventPoint;

    ~Player();
    HRESULT activate(IOleClientSite* site);
    void fireReadyState(LONG state) noexcept;
    void setPlaying(bool playing) noexcept;
    HRESULT setMovie(const std::wstring& url) noexcept;
    void paint(HDC dc, const RECT& area) const noexcept;

    LONG refs_ = 1;
    kit::com_ptr<IOleClientSite> site_;
    kit::com_ptr<IOleInPlaceSite> inPlaceSite_;
    kit::unique_hwnd window_;   // the in-place window, while active
    kit::unique_hwnd messages_; // receives the downloads' results on the creating thread
    SIZEL extent_{2778, 582}; // 105 x 22 pixels in HIMETRIC
    std::wstring movie_;
    LONG readyState_ = 4;     // no movie: nothing to load
    bool playing_ = false;
    int stripe_ = 0;
    UINT download_ = 0;       // the latest download; older results are dropped
    std::vector<std::pair<DWORD, kit::com_ptr<IDispatch>>> sinks_;
    DWORD nextCookie_ = 1;
};

} // namespace standin
