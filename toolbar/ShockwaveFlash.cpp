#include "toolbar/ShockwaveFlash.h"

#include "kit/OleVariant.h"
#include "kit/ComHelpers.h"

namespace kg {

namespace {

// Argument `position` (0 = first declared) of an event, converted to `type`;
// false when it is missing or does not convert.
bool eventArgument(const DISPPARAMS& params, UINT position, VARTYPE type, kit::OleVariant& out) {
    if (position >= params.cArgs) return false;
    VARIANT& arg = params.rgvarg[params.cArgs - 1 - position];
    return SUCCEEDED(VariantChangeType(out.put(), &arg, 0, type));
}

std::string textOf(const kit::OleVariant& value) {
    const BSTR s = value.get()->bstrVal;
    return WideToAnsi(s ? std::wstring(s, SysStringLen(s)) : std::wstring());
}

} // namespace

TShockwaveFlash::TShockwaveFlash(kit::TComponent* owner) : kit::TOleControl(owner, CLSID_ShockwaveFlash) {
    OleCheck(ConnectEvents(DIID_ShockwaveFlashEvents));
}

void TShockwaveFlash::Play() { OleCheck(InvokeMethod(L"Play")); }

void TShockwaveFlash::Stop() { OleCheck(InvokeMethod(L"Stop")); }

void TShockwaveFlash::SetMovie(const std::string& url) {
    kit::OleVariant value;
    value.put()->vt = VT_BSTR;
    value.get()->bstrVal = AnsiToBstr(url);
    OleCheck(PutProperty(DISPID_FlashMovie, *value.get()));
}

HRESULT TShockwaveFlash::HandleEvent(DISPID id, DISPPARAMS& params) {
    kit::OleVariant first, second;
    switch (id) {
    case DISPID_FlashReadyStateChange:
        if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (!eventArgument(params, 0, VT_I4, first)) return DISP_E_TYPEMISMATCH;
        if (OnReadyStateChange) OnReadyStateChange(this, first.get()->lVal);
        return S_OK;
    case DISPID_FlashProgress:
        if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (!eventArgument(params, 0, VT_I4, first)) return DISP_E_TYPEMISMATCH;
        if (OnProgress) OnProgress(this, first.get()->lVal);
        return S_OK;
    case DISPID_FlashFSCommand:
        if (params.cArgs != 2) return DISP_E_BADPARAMCOUNT;
        if (!eventArgument(params, 0, VT_BSTR, first) || !eventArgument(params, 1, VT_BSTR, second))
            return DISP_E_TYPEMISMATCH;
        if (OnFSCommand) OnFSCommand(this, textOf(first), textOf(second));
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace kg
