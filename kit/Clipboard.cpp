#include "kit/Clipboard.h"

#include "kit/Control.h"
#include "core/Error.h"

#include <cstring>

namespace kit {

// The clipboard opened for one operation.
class TClipboard::Session {
public:
    explicit Session(HWND owner) {
        // Another program may hold it for a moment: a few short tries.
        for (int attempt = 0; attempt < 10; ++attempt) {
            if (OpenClipboard(owner)) return;
            Sleep(10);
        }
        throw Error("Cannot open clipboard");
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() { CloseClipboard(); }
};

HWND TClipboard::owner() {
    if (!owner_ || !IsWindow(owner_.get()))
        owner_.reset(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, KitInstance(), nullptr));
    return owner_.get();
}

std::string TClipboard::AsText() {
    Session session(owner());
    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data) return {};
    const auto* text = static_cast<const char*>(GlobalLock(data));
    if (!text) return {};
    // Never past the block, even when the text lacks its NUL.
    const std::size_t size = GlobalSize(data);
    const void* end = std::memchr(text, '\0', size);
    std::string result(text, end ? static_cast<const char*>(end) - text : size);
    GlobalUnlock(data);
    return result;
}

void TClipboard::SetAsText(const std::string& text) {
    unique_hglobal block(GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    if (!block) throw Error("Out of memory for the clipboard");
    auto* p = static_cast<char*>(GlobalLock(block.get()));
    if (!p) throw Error("Out of memory for the clipboard");
    std::memcpy(p, text.c_str(), text.size() + 1);
    GlobalUnlock(block.get());
    Session session(owner());
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, block.get())) throw Error("Cannot put the text on the clipboard");
    block.release();  // the clipboard owns it now
}

bool TClipboard::HasFormat(UINT format) const noexcept { return IsClipboardFormatAvailable(format) != FALSE; }

void TClipboard::Clear() {
    Session session(owner());
    EmptyClipboard();
}

TClipboard& Clipboard() {
    static TClipboard clipboard;
    return clipboard;
}

} // namespace kit
