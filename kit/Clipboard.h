#pragma once
// The system clipboard, as 8-bit text (CF_TEXT).
#include "kit/Handles.h"

#include <windows.h>
#include <string>

namespace kit {

class TClipboard {
public:
    TClipboard() = default;
    TClipboard(const TClipboard&) = delete;
    TClipboard& operator=(const TClipboard&) = delete;

    // The text on the clipboard (up to its first NUL); empty when it holds no text.
    // Raises kit::Error "Cannot open clipboard" when another program keeps it open.
    std::string AsText();
    // Replaces the clipboard's content by the text; raises kit::Error on failure.
    void SetAsText(const std::string& text);
    bool HasFormat(UINT format) const noexcept;
    void Clear();

private:
    class Session;
    HWND owner();

    unique_hwnd owner_;  // a message-only window: the clipboard wants an owner to accept data
};

// The process's clipboard object.
TClipboard& Clipboard();

} // namespace kit
