#include "tools/kgcheck/lib/IniScan.h"

#include "kit/AnsiText.h"

namespace kgcheck {

namespace {
constexpr char kCtrlZ = 0x1A;
char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
} // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

std::string_view KeyName(std::string_view line) {
    const std::size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

ScannedIni ScanIni(std::string_view text) {
    ScannedIni ini;
    // As the document loads it: the UTF-8 mark skipped, such a file's lines in the ANSI code page.
    const bool utf8 = kit::StartsWithUtf8Mark(text);
    if (utf8) text.remove_prefix(kit::Utf8Mark.size());
    int number = 1;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t lf = text.find('\n', at);
        const std::size_t stop = lf == std::string_view::npos ? text.size() : lf;
        std::string line;
        for (std::size_t i = at; i < stop; ++i)
            if (text[i] != '\r') line.push_back(text[i]);
        if (utf8) line = kit::Utf8ToAnsi(line);
        // Ctrl-Z opening a line ends the input, as the document reads it.
        if (!line.empty() && line.front() == kCtrlZ) break;

        IniLine entry;
        entry.number = number;
        entry.section = ini.sections.empty() ? -1 : static_cast<int>(ini.sections.size()) - 1;
        if (line.empty()) {
            entry.kind = IniLine::Blank;
        } else if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            entry.kind = IniLine::Header;
            IniSection section{line.substr(1, line.size() - 2), number, static_cast<int>(ini.sections.size())};
            for (std::size_t k = 0; k < ini.sections.size(); ++k)
                if (SameName(ini.sections[k].name, section.name)) {
                    section.firstOfName = static_cast<int>(k);
                    break;
                }
            ini.sections.push_back(std::move(section));
            entry.section = static_cast<int>(ini.sections.size()) - 1;
        } else {
            entry.kind = line.find('=') == std::string::npos ? IniLine::NoEquals : IniLine::Key;
        }
        entry.text = std::move(line);
        ini.lines.push_back(std::move(entry));
        if (lf == std::string_view::npos) break;
        at = lf + 1;
        ++number;
    }
    return ini;
}

int ScannedIni::findSection(std::string_view name) const {
    for (std::size_t k = 0; k < sections.size(); ++k)
        if (SameName(sections[k].name, name)) return static_cast<int>(k);
    return -1;
}

const IniLine* ScannedIni::findKey(std::string_view section, std::string_view key) const {
    const int s = findSection(section);
    if (s < 0) return nullptr;
    for (const IniLine& line : lines)
        if (line.section == s && line.kind == IniLine::Key && SameName(KeyName(line.text), key)) return &line;
    return nullptr;
}

int ScannedIni::sectionLine(std::string_view name) const {
    const int s = findSection(name);
    return s < 0 ? 0 : sections[static_cast<std::size_t>(s)].line;
}

} // namespace kgcheck
