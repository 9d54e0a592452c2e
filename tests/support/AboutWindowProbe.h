#pragma once
// Watches for the About window while a test clicks: every About window that
// appears on this thread is recorded (timed or modal) and a modal one is
// closed at once, so the click's modal loop returns to the test.
#include "kit/Form.h"
#include "toolbar/About.h"

#include <windows.h>

#include <set>
#include <vector>

namespace kgtest {

class AboutWindowProbe {
public:
    AboutWindowProbe() : timer_(SetTimer(nullptr, 0, 20, &AboutWindowProbe::onTimer)) { current = this; }
    ~AboutWindowProbe() {
        KillTimer(nullptr, timer_);
        current = nullptr;
    }
    AboutWindowProbe(const AboutWindowProbe&) = delete;
    AboutWindowProbe& operator=(const AboutWindowProbe&) = delete;

    // One entry a showing: true for a timed one.
    std::vector<bool> shown;

private:
    static BOOL CALLBACK visit(HWND hwnd, LPARAM found) {
        auto* form = dynamic_cast<kg::TFormAbout*>(kit::TControl::FromHandle(hwnd));
        if (!form || !IsWindowVisible(hwnd) || !current) return TRUE;
        *reinterpret_cast<bool*>(found) = true;
        // A modal one asked to close already, or a timed one seen before, is the same showing.
        if (form->Modal() ? form->ModalResult != kit::mrNone : current->seen_.count(form) > 0) return TRUE;
        current->seen_.insert(form);
        current->shown.push_back(!form->Modal());
        if (form->Modal()) form->ModalResult = kit::mrCancel;
        return TRUE;
    }
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (!current) return;
        bool found = false;
        EnumThreadWindows(GetCurrentThreadId(), &AboutWindowProbe::visit, reinterpret_cast<LPARAM>(&found));
        // A later window may take a freed one's address.
        if (!found) current->seen_.clear();
    }

    static inline AboutWindowProbe* current = nullptr;
    UINT_PTR timer_;
    std::set<const void*> seen_;
};

} // namespace kgtest
