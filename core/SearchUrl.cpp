#include "core/SearchUrl.h"

namespace kg {

namespace {
char asciiLower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
} // namespace

std::size_t FindSearchPlaceholder(std::string_view urlTemplate) noexcept {
    const std::size_t n = SearchPlaceholder.size();
    if (urlTemplate.size() < n) return std::string_view::npos;
    for (std::size_t at = 0; at + n <= urlTemplate.size(); ++at) {
        std::size_t i = 0;
        while (i < n && asciiLower(urlTemplate[at + i]) == SearchPlaceholder[i]) ++i;
        if (i == n) return at;
    }
    return std::string_view::npos;
}

std::string PlusForSpaces(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == ' ') c = '+';
    return out;
}

std::string FormEncode(std::string_view utf8) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        const bool keep = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '*' ||
                          b == '-' || b == '.' || b == '_';
        if (keep) {
            out += c;
        } else if (b == ' ') {
            out += '+';
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        }
    }
    return out;
}

std::string SubstituteSearchText(std::string_view urlTemplate, std::string_view queryText) {
    const std::size_t at = FindSearchPlaceholder(urlTemplate);
    std::string url;
    url.reserve(urlTemplate.size() + queryText.size());
    if (at == std::string_view::npos) {
        url.append(urlTemplate);
        url.append(queryText);
        return url;
    }
    url.append(urlTemplate.substr(0, at));
    url.append(queryText);
    url.append(urlTemplate.substr(at + SearchPlaceholder.size()));
    return url;
}

} // namespace kg
