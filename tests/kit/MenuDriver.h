#pragma once
// Drives the next popup menu of the thread from a timer, since showing one is
// modal: once a menu window is on screen the driver lets the test look at it,
// then posts the given keys to it (VK_DOWN, VK_RETURN, VK_ESCAPE...).
#include "kit/Dib.h"
#include "kit/Handles.h"

#include <windows.h>
#include <functional>
#include <vector>

namespace kgtest {

class MenuDriver {
public:
    explicit MenuDriver(std::vector<WPARAM> keys, std::function<void(HWND menu)> inspect = {})
        : keys_(std::move(keys)), inspect_(std::move(inspect)) {
        current() = this;
        timer_ = SetTimer(nullptr, 0, 20, &MenuDriver::tick);
    }
    MenuDriver(const MenuDriver&) = delete;
    MenuDriver& operator=(const MenuDriver&) = delete;
    ~MenuDriver() {
        if (timer_) KillTimer(nullptr, timer_);
        current() = nullptr;
    }

    bool sawMenu = false;

private:
    static MenuDriver*& current() {
        static MenuDriver* driver = nullptr;
        return driver;
    }

    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        MenuDriver* self = current();
        if (!self || self->done_) return;
        HWND menu = FindWindowA("#32768", nullptr);
        if (!menu || !IsWindowVisible(menu)) {
            // Never leave a test waiting: after a while, whatever is open is closed.
            if (++self->idleTicks_ > 250) {
                self->done_ = true;
                EndMenu();
            }
            return;
        }
        self->done_ = true;
        self->sawMenu = true;
        UpdateWindow(menu);
        if (self->inspect_) self->inspect_(menu);
        for (WPARAM key : self->keys_) {
            PostMessageA(menu, WM_KEYDOWN, key, 1);
            PostMessageA(menu, WM_KEYUP, key, 0xC0000001);
        }
    }

    std::vector<WPARAM> keys_;
    std::function<void(HWND)> inspect_;
    UINT_PTR timer_ = 0;
    int idleTicks_ = 0;
    bool done_ = false;
};

// Counts the pixels of one colour in a window, from a copy of what it shows.
inline int CountPixels(HWND window, COLORREF color) {
    RECT r{};
    GetClientRect(window, &r);
    const int w = r.right, h = r.bottom;
    if (w <= 0 || h <= 0) return 0;
    HDC windowDc = GetDC(window);
    kit::unique_hdc memory(CreateCompatibleDC(windowDc));
    const kit::TDib dib = kit::CreateDib32(w, h);
    int count = 0;
    {
        {
            kit::select_object select(memory.get(), dib.bitmap.get());
            BitBlt(memory.get(), 0, 0, w, h, windowDc, 0, 0, SRCCOPY);
        }
        const std::uint32_t* pixels = dib.bits;
        const std::uint32_t want = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
        for (int i = 0; i < w * h; ++i)
            if ((pixels[i] & 0xFFFFFF) == want) ++count;
    }
    ReleaseDC(window, windowDc);
    return count;
}

} // namespace kgtest
