#include "kit/SystemError.h"

#include <windows.h>

#include <cstdio>

namespace kit {

std::string HResultMessage(long hr) {
    std::string text = PlatformMessage(static_cast<unsigned long>(hr));
    if (text.empty()) {
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "OLE error %08lX", static_cast<unsigned long>(hr));
        text = fallback;
    }
    return text;
}

void RaiseOSError(unsigned long code, const std::string& context) {
    throw OSError(code, context + SystemErrorMessage(code));
}

void RaiseLastOSError(const std::string& context) { RaiseOSError(GetLastError(), context); }

void OleCheck(long hr, const std::string& context) {
    if (SUCCEEDED(hr)) return;
    throw OSError(static_cast<unsigned long>(hr), context + HResultMessage(hr));
}

} // namespace kit
