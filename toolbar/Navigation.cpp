#include "toolbar/Navigation.h"

#include "kit/Handles.h"
#include "kit/Platform.h"
#include "kit/ComHelpers.h"
#include "core/Url.h"

#include <oleauto.h>

#include <new>

namespace kg {

namespace {

DISPID dispIdOf(IDispatch& object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    OleCheck(object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    return id;
}

void setVisible(IDispatch& object) {
    kit::OleVariant value;
    value.put()->vt = VT_BOOL;
    value.get()->boolVal = VARIANT_TRUE;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{value.get(), &named, 1, 1};
    OleCheck(object.Invoke(dispIdOf(object, L"Visible"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                           nullptr, nullptr, nullptr));
}

void navigateByName(IDispatch& object, const std::string& url) {
    kit::OleVariant target;
    target.put()->bstrVal = AnsiToBstr(url);
    target.get()->vt = VT_BSTR;
    DISPPARAMS params{target.get(), nullptr, 1, 0};
    kit::OleVariant result;
    OleCheck(object.Invoke(dispIdOf(object, L"Navigate"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                           result.get(), nullptr, nullptr));
}

// The first browser frame window on screen. A hidden one does not count: the
// user closed it (a browser may keep its frame, hidden, while an automation
// client holds the application), and a navigation there would show nothing.
HWND visibleBrowserFrame() noexcept {
    HWND frame = nullptr;
    while ((frame = FindWindowExA(nullptr, frame, BrowserFrameClass, nullptr)) != nullptr)
        if (IsWindowVisible(frame)) return frame;
    return nullptr;
}

IDispatch* dispatchOf(kit::OleVariant& slot) noexcept {
    return slot.type() == VT_DISPATCH ? slot.get()->pdispVal : nullptr;
}

} // namespace

void NavigateTo(BrowserHost* host, kit::OleVariant& spareBrowser, const std::string& url) {
    if (host) {
        host->Navigate(url);
        return;
    }
    NavigateOutsideHost(spareBrowser, url);
}

void NavigateOutsideHost(kit::OleVariant& spareBrowser, const std::string& url) {
    IDispatch* browser = dispatchOf(spareBrowser);
    if (!browser) {
        kit::com_ptr<IDispatch> created;
        OleCheck(kit::platform().createAutomationObject(AnsiToWide(BrowserProgId), created.GetAddressOf()));
        if (!created) OleCheck(E_NOINTERFACE);
        VARIANT* slot = spareBrowser.put();
        slot->vt = VT_DISPATCH;
        slot->pdispVal = created.Detach();
        browser = slot->pdispVal;
        setVisible(*browser);
        navigateByName(*browser, url);
        return;
    }
    if (HWND frame = visibleBrowserFrame()) {
        navigateByName(*browser, url);
        SetForegroundWindow(frame);
        return;
    }
    // The system's handler for the address: only a web or mail address, never a file or program.
    if (const auto address = ShellSafeAddress(url)) kit::platform().hlinkNavigate(AnsiToWide(*address));
}

} // namespace kg
