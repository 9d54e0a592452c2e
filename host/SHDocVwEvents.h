#pragma once
// The browser's event sink: a component that advises itself on a browser's
// DWebBrowserEvents2 connection point and turns each event it receives
// (an IDispatch::Invoke method call) into a call of an optional handler.
#include "core/Component.h"
#include "kit/Events.h"
#include "kit/Handles.h"

#include <exdisp.h>
#include <ocidl.h>

#include <functional>
#include <string>
#include <vector>

namespace kg {

// The base sink: IUnknown and IDispatch over one interface table, with no
// reference counting (the owning component decides its lifetime).
class TSHDocVwEventsBaseSink : public kit::TComponent, public IDispatch {
public:
    // Position of each declared argument (0 = first) -> its slot in DISPPARAMS::rgvarg.
    using ArgMap = std::vector<UINT>;

    explicit TSHDocVwEventsBaseSink(kit::TComponent* Owner);
    ~TSHDocVwEventsBaseSink() override;

    // Advises this sink on source's connection point for SinkIID, after
    // disconnecting from any earlier source. Raises kit::Error (kit::OSError
    // with the failing code) "Unable to connect %s.\r%s" with the component's
    // name and the failure's text; nothing stays connected then.
    void Connect(IUnknown* source);
    // Unadvises and lets go of the source; a failing Unadvise is swallowed.
    void Disconnect() noexcept;
    bool Connected() const noexcept { return static_cast<bool>(Source); }

    // ---- IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return 2; }
    STDMETHODIMP_(ULONG) Release() noexcept override { return 1; }

    // ---- IDispatch
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) noexcept override;

protected:
    // Handles one method call whose arguments were mapped; may raise (the
    // failure of a handler), which Invoke turns into its answer.
    virtual HRESULT DispatchEvent(DISPID dispid, DISPPARAMS& params, const ArgMap& map, VARIANT* result,
                                  EXCEPINFO* excep, UINT* argErr) = 0;
    virtual std::string ClassName() const { return "TSHDocVwEventsBaseSink"; }

    IID SinkIID = IID_NULL;

private:
    DWORD Cookie = 0;
    kit::com_ptr<IConnectionPoint> ConnectionPoint;
    kit::com_ptr<IUnknown> Source;
};

// The sink for DWebBrowserEvents2. Every handler gets the sink as Sender
// first; by-reference arguments are the browser's own storage.
class TSHDocVwDWebBrowserEvents2 : public TSHDocVwEventsBaseSink {
public:
    using TTextEvent = std::function<void(kit::TComponent* Sender, const std::string& Text)>;
    using TIntegerEvent = std::function<void(kit::TComponent* Sender, LONG Value)>;
    using TBooleanEvent = std::function<void(kit::TComponent* Sender, VARIANT_BOOL Value)>;
    using TDispatchEvent = std::function<void(kit::TComponent* Sender, IDispatch* pDisp)>;
    using TDocumentEvent = std::function<void(kit::TComponent* Sender, IDispatch* pDisp, VARIANT& URL)>;

    explicit TSHDocVwDWebBrowserEvents2(kit::TComponent* Owner);

    TTextEvent StatusTextChange;
    std::function<void(kit::TComponent* Sender, LONG Progress, LONG ProgressMax)> ProgressChange;
    std::function<void(kit::TComponent* Sender, LONG Command, VARIANT_BOOL Enable)> CommandStateChange;
    kit::TNotifyEvent DownloadBegin;
    kit::TNotifyEvent DownloadComplete;
    TTextEvent TitleChange;
    TTextEvent PropertyChange;
    std::function<void(kit::TComponent* Sender, IDispatch* pDisp, VARIANT& URL, VARIANT& Flags,
                       VARIANT& TargetFrameName, VARIANT& PostData, VARIANT& Headers, VARIANT_BOOL& Cancel)>
        BeforeNavigate2;
    std::function<void(kit::TComponent* Sender, IDispatch*& ppDisp, VARIANT_BOOL& Cancel)> NewWindow2;
    TDocumentEvent NavigateComplete2;
    TDocumentEvent DocumentComplete;
    kit::TNotifyEvent OnQuit;
    TBooleanEvent OnVisible;
    TBooleanEvent OnToolBar;
    TBooleanEvent OnMenuBar;
    TBooleanEvent OnStatusBar;
    TBooleanEvent OnFullScreen;
    TBooleanEvent OnTheaterMode;
    TBooleanEvent WindowSetResizable;
    TIntegerEvent WindowSetLeft;
    TIntegerEvent WindowSetTop;
    TIntegerEvent WindowSetWidth;
    TIntegerEvent WindowSetHeight;
    std::function<void(kit::TComponent* Sender, VARIANT_BOOL IsChildWindow, VARIANT_BOOL& Cancel)> WindowClosing;
    std::function<void(kit::TComponent* Sender, LONG& CX, LONG& CY)> ClientToHostWindow;
    TIntegerEvent SetSecureLockIcon;
    std::function<void(kit::TComponent* Sender, VARIANT_BOOL& Cancel)> FileDownload;
    std::function<void(kit::TComponent* Sender, IDispatch* pDisp, VARIANT& URL, VARIANT& Frame, VARIANT& StatusCode,
                       VARIANT_BOOL& Cancel)>
        NavigateError;
    TDispatchEvent PrintTemplateInstantiation;
    TDispatchEvent PrintTemplateTeardown;
    std::function<void(kit::TComponent* Sender, IDispatch* pDisp, VARIANT& nPage, VARIANT& fDone)> UpdatePageStatus;
    TBooleanEvent PrivacyImpactedStateChange;

protected:
    HRESULT DispatchEvent(DISPID dispid, DISPPARAMS& params, const ArgMap& map, VARIANT* result, EXCEPINFO* excep,
                          UINT* argErr) override;
    std::string ClassName() const override { return "TSHDocVwDWebBrowserEvents2"; }
};

} // namespace kg
