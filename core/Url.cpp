#include "core/Url.h"

#include <cstddef>

namespace kg {

namespace {

// Letters A to Z only; every other character is kept.
std::string asciiLower(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Position counted from 1; 0 when absent.
std::size_t firstPosition(const std::string& text, char c) {
    const std::size_t at = text.find(c);
    return at == std::string::npos ? 0 : at + 1;
}

} // namespace

bool IsPlausibleUrl(const std::string& text) {
    const std::size_t length = text.size();
    if (length < 5) return false;
    if (text.back() == '.') return false;
    if (text.find("..") != std::string::npos) return false;
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 33 || code > 126) return false;
    }

    const std::string lower = asciiLower(text);
    if (startsWith(lower, "www.")) return true;
    if (startsWith(lower, "news:") && length > 6) return true;
    if (length > 12) return true;
    if (startsWith(lower, "mailto:")) {
        const std::size_t at = firstPosition(lower, '@');
        const std::size_t dot = firstPosition(lower, '.');
        if (at > 1 && dot > 4 && dot > at + 1) return true;
    }
    if (lower.find("http://") != std::string::npos) return true;
    if (lower.find("ftp://") != std::string::npos && length > 10 && firstPosition(lower, '.') > 7) return true;
    return false;
}


std::optional<std::string> ShellSafeAddress(const std::string& text) {
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7F || c == '"') return std::nullopt;
    }
    const std::string lower = asciiLower(text);
    for (const char* scheme : {"http://", "https://", "ftp://", "mailto:", "news:"})
        if (startsWith(lower, scheme) && lower.size() > std::char_traits<char>::length(scheme)) return text;
    if (startsWith(lower, "www.") && lower.size() > 4) return "http://" + text;
    return std::nullopt;
}

} // namespace kg
