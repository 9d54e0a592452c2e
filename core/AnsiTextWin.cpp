#include "core/AnsiText.h"

#include "core/Error.h"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace kit {

namespace {

// Pieces this long, cut before a character's first byte, keep the wide copy small for a huge line.
constexpr std::size_t kPiece = 64 * 1024;

bool isContinuation(char c) noexcept { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

std::string Utf8ToAnsi(std::string_view utf8, bool* replaced) {
    if (replaced) *replaced = false;
    std::string out;
    out.reserve(utf8.size());
    std::vector<wchar_t> wide;
    std::vector<char> narrow;
    while (!utf8.empty()) {
        std::size_t n = std::min(utf8.size(), kPiece);
        if (n < utf8.size()) {
            std::size_t cut = n;
            while (cut > n - 4 && isContinuation(utf8[cut])) --cut;  // at most 3 continuation bytes
            n = cut > 0 ? cut : n;
        }
        const std::string_view piece = utf8.substr(0, n);
        utf8.remove_prefix(n);
        wide.resize(piece.size());  // never more UTF-16 units than UTF-8 bytes
        const int wn = MultiByteToWideChar(CP_UTF8, 0, piece.data(), static_cast<int>(piece.size()), wide.data(),
                                           static_cast<int>(wide.size()));
        if (wn <= 0) throw Error("Cannot convert a UTF-8 text (error " + std::to_string(GetLastError()) + ")");
        // A bad byte became U+FFFD: no code page holds it, so it comes out as "?" below.
        narrow.resize(static_cast<std::size_t>(wn) * 4);
        BOOL usedDefault = FALSE;
        // A system whose ANSI code page is UTF-8 holds every character (and takes neither option).
        const bool utf8System = GetACP() == CP_UTF8;
        const int an = WideCharToMultiByte(CP_ACP, utf8System ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), wn,
                                           narrow.data(), static_cast<int>(narrow.size()), nullptr,
                                           utf8System ? nullptr : &usedDefault);
        if (an <= 0) throw Error("Cannot convert a UTF-8 text (error " + std::to_string(GetLastError()) + ")");
        if (usedDefault && replaced) *replaced = true;
        out.append(narrow.data(), static_cast<std::size_t>(an));
    }
    return out;
}

} // namespace kit
