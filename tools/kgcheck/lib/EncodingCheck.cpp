#include "tools/kgcheck/lib/EncodingCheck.h"

#include "core/AnsiText.h"

#include <algorithm>

namespace kgcheck {

std::vector<EncodingFinding> CheckEncoding(std::string_view bytes) {
    std::vector<EncodingFinding> findings;
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        findings.push_back({0, true,
                            "the file is UTF-16: the engine reads 8-bit text and finds no setting in it; "
                            "save it as ANSI, or as UTF-8 with a byte-order mark"});
        return findings;
    }
    const bool utf8 = kit::StartsWithUtf8Mark(bytes);
    if (utf8) bytes.remove_prefix(kit::Utf8Mark.size());
    int number = 1, nulLines = 0, firstNul = 0;
    std::vector<int> unheld;
    for (std::size_t at = 0; at < bytes.size(); ++number) {
        const std::size_t lf = bytes.find('\n', at);
        const std::size_t stop = lf == std::string_view::npos ? bytes.size() : lf;
        const std::string_view line = bytes.substr(at, stop - at);
        at = lf == std::string_view::npos ? bytes.size() : lf + 1;
        const std::size_t first = line.find_first_not_of('\r');  // carriage returns are dropped before the test
        if (first != std::string_view::npos && line[first] == '\x1A') {
            const std::string_view rest = bytes.substr(at);
            const bool more = rest.find_first_not_of("\r\n\x1A \t") != std::string_view::npos ||
                              line.find_first_not_of("\r\x1A \t") != std::string_view::npos;
            if (more)
                findings.push_back({number, true,
                                    "Ctrl-Z at the start of a line: the engine stops reading here and ignores "
                                    "everything after it"});
            break;
        }
        if (line.find('\0') != std::string_view::npos && nulLines++ == 0) firstNul = number;
        if (utf8 && std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            bool replaced = false;
            kit::Utf8ToAnsi(line, &replaced);
            if (replaced) unheld.push_back(number);
        }
    }
    if (nulLines > 0)
        findings.push_back({firstNul, true,
                            "a NUL byte: Windows ends the text there, so what follows on the line is lost" +
                                (nulLines > 1 ? " (and on " + std::to_string(nulLines - 1) + " more lines)" : std::string())});
    for (int line : unheld)
        findings.push_back({line, false, "characters the ANSI code page cannot hold: the engine shows \"?\" for them"});
    std::stable_sort(findings.begin(), findings.end(),
                     [](const EncodingFinding& a, const EncodingFinding& b) { return a.line < b.line; });
    return findings;
}

} // namespace kgcheck
