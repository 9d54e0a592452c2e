#pragma once
// A line-aware view of a configuration file for the checker: every line the
// INI document would see, with its number in the file and its role. Lines are
// split, and headers told from keys, exactly as the INI document loads them;
// the document itself keeps no line numbers.
#include <string>
#include <string_view>
#include <vector>

namespace kgcheck {

struct IniLine {
    enum Kind { Blank, Header, Key, NoEquals };
    int number = 0;      // 1-based, counted by line feeds
    std::string text;    // as the document keeps it (carriage returns dropped)
    Kind kind = Blank;
    int section = -1;    // index into ScannedIni::sections; -1 above the first header
};

struct IniSection {
    std::string name;    // between the brackets, verbatim
    int line = 0;
    int firstOfName = 0; // index of the first section of this name: itself unless a later duplicate
};

struct ScannedIni {
    std::vector<IniLine> lines;
    std::vector<IniSection> sections;

    // The section the document keeps for this name (the first one), or -1.
    int findSection(std::string_view name) const;
    // The first line of that section whose name part (before its first "=") is `key`, or null.
    const IniLine* findKey(std::string_view section, std::string_view key) const;
    // The line number of the section's header, or 0.
    int sectionLine(std::string_view name) const;
};

ScannedIni ScanIni(std::string_view text);

// The name part of a key line: the text before its first "=".
std::string_view KeyName(std::string_view line);
bool SameName(std::string_view a, std::string_view b);

} // namespace kgcheck
