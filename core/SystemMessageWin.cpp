#include "core/SystemMessage.h"

#include <windows.h>

namespace kit {

std::string PlatformMessage(unsigned long code, const char* module) {
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE source = module ? GetModuleHandleA(module) : nullptr;
    if (source) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(flags, source, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n && buffer ? std::string(buffer, n) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.')) text.pop_back();
    return text;
}

} // namespace kit
