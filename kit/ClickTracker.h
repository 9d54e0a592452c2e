#pragma once
// A press and release of the left button inside a control is its click, as
// with a button: releasing outside the control clicks nothing.
#include "kit/Control.h"

#include <windowsx.h>

namespace kit {

class TClickTracker {
public:
    // Handles the mouse messages of a click; true when the message is consumed.
    bool Handle(TControl& control, UINT msg, LPARAM lParam, const TNotifyEvent& onClick) {
        switch (msg) {
        case WM_LBUTTONDOWN:
            pressed_ = true;
            SetCapture(control.Handle());
            return true;
        case WM_LBUTTONUP: {
            const bool wasPressed = pressed_;
            pressed_ = false;
            if (GetCapture() == control.Handle()) ReleaseCapture();
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            RECT client{0, 0, control.ClientWidth(), control.ClientHeight()};
            if (wasPressed && PtInRect(&client, p)) DoEvent(onClick, static_cast<TComponent*>(&control));
            return true;
        }
        case WM_CAPTURECHANGED:
            pressed_ = false;
            return false;
        default:
            return false;
        }
    }

private:
    bool pressed_ = false;
};

} // namespace kit
