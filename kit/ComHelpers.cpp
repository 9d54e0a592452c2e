#include "kit/ComHelpers.h"

#include "core/Error.h"

#include <climits>
#include <new>

namespace kg {

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty()) return {};
    if (text.size() > static_cast<std::size_t>(INT_MAX)) throw kit::Error("Text too long");
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string WideToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    if (text.size() > static_cast<std::size_t>(INT_MAX)) throw kit::Error("Text too long");
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

BSTR AnsiToBstr(const std::string& text) {
    const std::wstring wide = AnsiToWide(text);
    BSTR value = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!value) throw std::bad_alloc();
    return value;
}

} // namespace kg
