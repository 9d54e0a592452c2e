#pragma once
// Helpers of the kit's window tests: a plain window outside the kit to host
// controls (as the browser's band site does), and a pump for posted messages.
#include "kit/Handles.h"
#include "tests/support/MessagePump.h"

#include <windows.h>

namespace kittest {

// A top-level window of a class the test registers itself, shown at a fixed place.
class ForeignWindow {
public:
    explicit ForeignWindow(int width = 600, int height = 400) {
        static const ATOM atom = [] {
            WNDCLASSEXA wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
            wc.lpszClassName = "KitTestForeign";
            return RegisterClassExA(&wc);
        }();
        (void)atom;
        hwnd_.reset(CreateWindowExA(0, "KitTestForeign", "foreign", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 50, 50,
                                    width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
        ShowWindow(hwnd_.get(), SW_SHOW);
    }
    HWND get() const noexcept { return hwnd_.get(); }

private:
    kit::unique_hwnd hwnd_;
};

using kgtest::pumpMessages;

} // namespace kittest
