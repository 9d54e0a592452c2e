#include "core/HistoryFormat.h"

#include "core/AnsiText.h"

namespace kg {

std::vector<std::string> ParseHistoryText(std::string_view bytes) {
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(bytes.substr(start));
            break;
        }
        lines.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
    }
    return lines;
}

namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 (after its mark) as UTF-8, up to its first NUL; a lone surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c == 0) break;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

} // namespace

std::vector<std::string> ParseHistoryFile(std::string_view bytes, bool& whole) {
    whole = true;
    const bool littleEndian = bytes.substr(0, 2) == "\xFF\xFE", bigEndian = bytes.substr(0, 2) == "\xFE\xFF";
    if (littleEndian || bigEndian) {
        whole = false;
        return ParseHistoryText(kit::Utf8ToAnsi(utf16ToUtf8(bytes.substr(2), bigEndian)));
    }
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) {
        if (bytes.find_first_not_of('\0', nul) != std::string_view::npos) whole = false;
        bytes = bytes.substr(0, nul);
    }
    if (kit::StartsWithUtf8Mark(bytes)) {
        bool replaced = false;
        std::vector<std::string> lines = ParseHistoryText(kit::Utf8ToAnsi(bytes.substr(kit::Utf8Mark.size()), &replaced));
        if (replaced) whole = false;
        return lines;
    }
    return ParseHistoryText(bytes);
}

std::string FormatHistoryText(const std::vector<std::string>& entries) {
    std::size_t size = 0;
    for (const std::string& entry : entries) size += entry.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& entry : entries) {
        text += entry;
        text += "\r\n";
    }
    return text;
}

} // namespace kg
