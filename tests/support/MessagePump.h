#pragma once
// Dispatches what is waiting in this thread's message queue, without blocking.
#include <windows.h>

namespace kgtest {

// At most `limit` messages, so that a window that keeps posting to itself cannot hold a test.
inline void pumpMessages(int limit = 10000) {
    MSG msg;
    for (int i = 0; i < limit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace kgtest
