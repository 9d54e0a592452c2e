#include "core/AnsiText.h"

#include <cstdint>

namespace kit {

namespace {

// Windows-1252 at 0x80 to 0x9F; 0 where the code page has no character.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int toCodePage(std::uint32_t c) noexcept {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] != 0 && kHigh[i] == c) return 0x80 + i;
    return -1;
}

} // namespace

std::string Utf8ToAnsi(std::string_view utf8, bool* replaced) {
    if (replaced) *replaced = false;
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                                : lead >= 0xF0 && lead <= 0xF4                        ? 4
                                                                                                       : 0;
        std::uint32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1Fu) : length == 3 ? (lead & 0x0Fu) : (lead & 0x07u);
        bool valid = length > 0 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) valid = false;
            c = (c << 6) | (next & 0x3Fu);
        }
        if (valid && ((length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (length == 4 && (c < 0x10000 || c > 0x10FFFF))))
            valid = false;
        const int mapped = valid ? toCodePage(c) : -1;
        if (mapped < 0) {
            // One "?" a UTF-16 unit, as Windows does: two for a character beyond U+FFFF.
            out += valid && length == 4 ? "??" : "?";
            if (replaced) *replaced = true;
            // A bad sequence costs one "?" for its first byte; what follows is read afresh.
            i += valid ? length : 1;
            while (!valid && i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
        } else {
            out += static_cast<char>(mapped);
            i += length;
        }
    }
    return out;
}

} // namespace kit
