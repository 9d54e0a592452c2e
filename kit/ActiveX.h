#pragma once
// An ActiveX control as a kit control. The object is created from its class
// identifier with the component, so its methods and properties can be used
// before it has a window; once the control's window exists, the system's
// ActiveX host (atl.dll, loaded at run time) sites the object in it and
// activates it in place. The window's bounds, visibility and tab order are the
// control's; the object's own window lives inside it.
//
// Events: ConnectEvents advises a small sink on the object's connection point
// for an event interface; each event call arrives at HandleEvent on the
// thread that fired it. An error raised there goes to the kit's error report
// and never leaves the sink's Invoke.
#include "kit/ComPtr.h"
#include "kit/Control.h"

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <memory>

namespace kit {

class TOleControl : public TControl {
public:
    // Raises kit::OSError with the failure's code when the class cannot be
    // created (not registered, say) or is no OLE object.
    TOleControl(TComponent* owner, REFCLSID clsid);
    ~TOleControl() override;

    IOleObject* OleObject() const noexcept { return object_.Get(); }
    // The object's IDispatch; null when it has none.
    IDispatch* DefaultDispatch() const noexcept { return dispatch_.Get(); }
    // The object is sited in the control's window by the ActiveX host.
    bool Hosted() const noexcept { return static_cast<bool>(container_); }

    // A method without arguments or result, found by name through IDispatch.
    HRESULT InvokeMethod(const wchar_t* name);
    // A property put through IDispatch by its dispatch id.
    HRESULT PutProperty(DISPID id, const VARIANT& value);

    // The position among the parent's children when the user tabs (0 first).
    int TabOrder() const noexcept { return tabOrder_; }
    void SetTabOrder(int order);

protected:
    // Advises the sink on the object's connection point for `events`, after
    // disconnecting any earlier one; answers the failure of any step.
    HRESULT ConnectEvents(REFIID events);
    void DisconnectEvents() noexcept;
    // One event (a method call of the event interface), arguments last first
    // as in DISPPARAMS. DISP_E_MEMBERNOTFOUND for events not handled.
    virtual HRESULT HandleEvent(DISPID id, DISPPARAMS& params);

    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void HandleDestroying() override;

private:
    class EventSink;
    struct Host;

    void applyTabOrder();

    std::shared_ptr<const Host> host_;  // first in, last out: the host's code stays loaded while used
    com_ptr<IOleObject> object_;
    com_ptr<IDispatch> dispatch_;
    com_ptr<IUnknown> container_;  // the host's site for the object, while the window exists
    com_ptr<EventSink> sink_;
    com_ptr<IConnectionPoint> eventPoint_;
    DWORD eventCookie_ = 0;
    int tabOrder_ = -1;
};

} // namespace kit
