#pragma once
// Helpers of the kit's window tests: a plain window outside the kit to host
// controls (as the browser's band site does), a memory canvas to draw on, and
// a pump for posted messages.
#include "kit/Handles.h"
#include "tests/support/MessagePump.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

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

// A 32-bit top-down memory canvas filled with one colour (0x00RRGGBB).
struct Canvas {
    kit::unique_hdc dc{CreateCompatibleDC(nullptr)};
    kit::unique_hbitmap bitmap;
    std::uint32_t* bits = nullptr;
    int width, height;
    HGDIOBJ old = nullptr;
    Canvas(int w, int h, std::uint32_t fill = 0x00FFFFFFu) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* p = nullptr;
        bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &p, nullptr, 0));
        bits = static_cast<std::uint32_t*>(p);
        std::fill(bits, bits + w * h, fill);
        old = SelectObject(dc.get(), bitmap.get());
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() { SelectObject(dc.get(), old); }
    std::uint32_t at(int x, int y) {
        GdiFlush();
        return bits[y * width + x] & 0xFFFFFFu;
    }
    int count(std::uint32_t rgb) {
        GdiFlush();
        return static_cast<int>(
            std::count_if(bits, bits + width * height, [rgb](std::uint32_t p) { return (p & 0xFFFFFFu) == rgb; }));
    }
};

using kgtest::pumpMessages;

} // namespace kittest
