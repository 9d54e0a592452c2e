#pragma once
// Text of a UTF-8 file in the system's ANSI code page, the one form of text
// the engine keeps. Portable interface; one implementation per platform
// (Windows: the system's ANSI code page; elsewhere: Windows-1252).
#include <string>
#include <string_view>

namespace kit {

// The UTF-8 byte-order mark.
inline constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

inline bool StartsWithUtf8Mark(std::string_view text) noexcept { return text.substr(0, 3) == Utf8Mark; }

// `utf8` in the ANSI code page. A character the code page cannot hold exactly, and a byte
// that is no UTF-8, becomes "?": nothing is cut and no look-alike (such as "=" for a
// full-width equals sign) changes what a line means. `replaced`, when given, tells whether
// that happened.
std::string Utf8ToAnsi(std::string_view utf8, bool* replaced = nullptr);

} // namespace kit
