#include "tools/kgcheck/lib/IniScan.h"

#include "core/IniLines.h"
#include "core/Text.h"
#include "core/AnsiText.h"

namespace kgcheck {

bool SameName(std::string_view a, std::string_view b) { return kit::SameAsciiText(a, b); }

std::string_view KeyName(std::string_view line) { return config::IniKeyName(line); }

ScannedIni ScanIni(std::string_view text) {
    ScannedIni ini;
    // As the document loads it: the UTF-8 mark skipped, such a file's lines in the ANSI code page;
    // the document's own splitter hands out the lines; their numbers count the line feeds before them.
    const bool utf8 = kit::StartsWithUtf8Mark(text);
    if (utf8) text.remove_prefix(kit::Utf8Mark.size());
    int number = 0;
    std::size_t at = 0;
    auto sink = [&](std::string_view line) {
        const std::size_t lf = text.find('\n', at);
        ++number;
        at = lf == std::string_view::npos ? text.size() : lf + 1;
        std::string converted;
        if (utf8) {
            converted = kit::Utf8ToAnsi(line);
            line = converted;
        }
        IniLine entry;
        entry.number = number;
        entry.section = ini.sections.empty() ? -1 : static_cast<int>(ini.sections.size()) - 1;
        if (line.empty()) {
            entry.kind = IniLine::Blank;
        } else if (config::IsIniHeader(line)) {
            entry.kind = IniLine::Header;
            IniSection section{std::string(config::IniHeaderName(line)), number, static_cast<int>(ini.sections.size())};
            for (std::size_t k = 0; k < ini.sections.size(); ++k)
                if (SameName(ini.sections[k].name, section.name)) {
                    section.firstOfName = static_cast<int>(k);
                    break;
                }
            ini.sections.push_back(std::move(section));
            entry.section = static_cast<int>(ini.sections.size()) - 1;
        } else {
            entry.kind = line.find('=') == std::string_view::npos ? IniLine::NoEquals : IniLine::Key;
        }
        entry.text = std::string(line);
        ini.lines.push_back(std::move(entry));
    };
    config::LineSplitter splitter;
    splitter.feed(text.data(), text.size(), sink);
    splitter.finish(sink);
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
