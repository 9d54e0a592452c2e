#pragma once
// The search history's text format: one search per line, every line ended by
// CR LF (the last one too), so an empty history is a file of zero bytes. Text
// in the system's 8-bit code page, no byte-order mark. Portable: no Windows
// header here or in the implementation.
#include <string>
#include <string_view>
#include <vector>

namespace kg {

// The lines of a history text. A line ends at CR LF, a lone CR or a lone LF;
// a last line without an end still counts; reading stops at the first NUL
// (what came before it on that line is kept). Lines are taken as they are:
// empty ones and duplicates included.
std::vector<std::string> ParseHistoryText(std::string_view bytes);

// The lines of a history file's bytes, decoded: a UTF-8 byte-order mark is
// skipped and the text converted to the ANSI code page (as the configuration
// is); a UTF-16 file (byte-order mark FF FE or FE FF) is converted the same
// way. `whole` tells whether the lines hold everything the file said: false
// when anything but NULs follows the first NUL, for UTF-16 (its bytes are not
// the format's) and when a character had no place in the ANSI code page. Such
// a file is kept as a copy before it is rewritten.
std::vector<std::string> ParseHistoryFile(std::string_view bytes, bool& whole);

// The text of a history: every entry followed by CR LF; empty for no entries.
std::string FormatHistoryText(const std::vector<std::string>& entries);

} // namespace kg
