#pragma once
// Event handler types and the standard error report: an error that leaves an
// event handler is shown in a message box with its text, and the rest of that
// handler is skipped (the exception unwinds it); the program goes on.
#include <exception>
#include <functional>
#include <string>

namespace kit {

class TComponent;

using TNotifyEvent = std::function<void(TComponent* Sender)>;
using TKeyPressEvent = std::function<void(TComponent* Sender, char& Key)>;
using TMouseMoveEvent = std::function<void(TComponent* Sender, unsigned Shift, int X, int Y)>;
using TCanResizeEvent = std::function<void(TComponent* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;

// Shows the error's text in the standard error box (through the platform seam).
void ShowException(const std::exception& error);
void ShowException(std::exception_ptr error);

// Runs an event handler; whatever it raises is reported and stops there.
template <typename F, typename... Args>
void DoEvent(const F& handler, Args&&... args) noexcept {
    if (!handler) return;
    try {
        handler(std::forward<Args>(args)...);
    } catch (...) {
        ShowException(std::current_exception());
    }
}

} // namespace kit
