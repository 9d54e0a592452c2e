#include "core/BigIni.h"

#include "core/Calendar.h"
#include "core/Error.h"
#include "core/FileReplacer.h"
#include "core/IniLines.h"
#include "core/Text.h"
#include "core/AnsiText.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace config {
namespace {

constexpr std::size_t SmallTextBuffer = 128;
// A larger request gains nothing and could fail to allocate.
constexpr std::size_t LargestTextBuffer = std::size_t{16} << 20;

// FNV-1a over the folded letters: names equal without regard to case hash alike.
std::uint32_t foldedHash(std::string_view text) noexcept {
    std::uint32_t hash = 2166136261u;
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(kit::AsciiLower(c))) * 16777619u;
    return hash;
}

// Lists shorter than this are searched in order; their indexes would cost more than they save.
constexpr std::int32_t IndexFrom = 16;

// Slots for `count` names at a load of at most three quarters.
std::size_t slotCountFor(std::size_t count) noexcept {
    std::size_t slots = 32;
    while (slots - slots / 4 <= count) slots *= 2;
    return slots;
}

// The name part of a line that holds "=".
std::string_view keyName(std::string_view line) noexcept { return line.substr(0, line.find('=')); }

// Puts `position` into the slots unless a name equal to `name` is there already (then false:
// the first occurrence stays the one found).
template <class NameAt>
bool insertSlot(std::vector<std::uint32_t>& slots, std::uint32_t position, std::string_view name, NameAt nameAt) {
    const std::size_t mask = slots.size() - 1;
    for (std::size_t s = foldedHash(name) & mask;; s = (s + 1) & mask) {
        if (slots[s] == 0) {
            slots[s] = position + 1;
            return true;
        }
        if (kit::SameAsciiText(nameAt(slots[s] - 1), name)) return false;
    }
}

template <class NameAt>
std::ptrdiff_t findSlot(const std::vector<std::uint32_t>& slots, std::string_view name, NameAt nameAt) noexcept {
    const std::size_t mask = slots.size() - 1;
    for (std::size_t s = foldedHash(name) & mask; slots[s] != 0; s = (s + 1) & mask)
        if (kit::SameAsciiText(nameAt(slots[s] - 1), name)) return static_cast<std::ptrdiff_t>(slots[s] - 1);
    return -1;
}

inline bool isBlankOrTab(char c) noexcept { return c == ' ' || c == '\t'; }

std::string errnoText(int code) { return std::generic_category().message(code); }

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using unique_file = std::unique_ptr<std::FILE, FileCloser>;

struct LoadOptions {
    bool dropCommentLines, dropLinesWithoutEquals, dropBlanksAroundEquals, stripValueQuotes, trimLineEnds;
    bool changeLines() const noexcept {
        return dropLinesWithoutEquals || dropBlanksAroundEquals || stripValueQuotes || trimLineEnds;
    }
};

// Receives the lines of a file and appends them to the document's sections.
class SectionLoader {
public:
    SectionLoader(TSectionList& sections, const LoadOptions& options)
        : sections_(sections), options_(options), changeLines_(options.changeLines()) {}

    // The input began with the UTF-8 mark: every line is converted to the ANSI code page.
    void readUtf8() noexcept { utf8_ = true; }

    void operator()(std::string_view raw) {
        if (utf8_ && std::any_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            const std::string converted = kit::Utf8ToAnsi(raw);
            take(converted);
        } else {
            take(raw);
        }
    }

    // A line gathered across the reader's chunks (a long one): kept without a copy where it stays as it is.
    void takeLine(std::string&& raw) {
        const bool convert =
            utf8_ && std::any_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        if (convert || changeLines_ || current_ < 0 || raw.empty() || (options_.dropCommentLines && raw.front() == ';') ||
            IsIniHeader(raw)) {
            (*this)(std::string_view(raw));
            return;
        }
        // Room taken for the rest of the file that the line did not need.
        if (raw.capacity() - raw.size() > raw.size() / 4 + 64) raw.shrink_to_fit();
        sections_.AppendLoadedLine(current_, std::move(raw));
    }

private:
    void take(std::string_view raw) {
        if (raw.empty()) return;
        if (options_.dropCommentLines && raw.front() == ';') return;
        if (IsIniHeader(raw)) {
            current_ = sections_.Add(std::string(IniHeaderName(raw)));
            return;
        }
        if (current_ < 0) return; // above the first header: not part of any section
        if (!changeLines_) {
            sections_.AppendLoadedLine(current_, raw);
            return;
        }
        std::string line(raw);
        if (options_.dropBlanksAroundEquals) dropBlanksAroundEquals(line);
        if (options_.stripValueQuotes) stripValueQuotes(line);
        if (options_.trimLineEnds) {
            std::size_t n = line.size();
            while (n > 0 && static_cast<unsigned char>(line[n - 1]) < 0x21) --n;
            line.resize(n);
        }
        if (options_.dropLinesWithoutEquals && line.find('=') == std::string::npos) return;
        sections_.AppendLoadedLine(current_, std::string_view(line));
    }

    static void dropBlanksAroundEquals(std::string& line) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) return;
        std::size_t from = eq;
        while (from > 0 && isBlankOrTab(line[from - 1])) --from;
        line.erase(from, eq - from);
        // A line whose name part was all blanks now begins with "=" and keeps its value's blanks.
        if (from == 0) return;
        std::size_t after = from + 1;
        while (after < line.size() && isBlankOrTab(line[after])) ++after;
        line.erase(from + 1, after - (from + 1));
    }

    static void stripValueQuotes(std::string& line) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 2 >= line.size()) return;
        const char quote = line[eq + 1];
        if ((quote == '"' || quote == '\'') && line.back() == quote) {
            line.pop_back();
            line.erase(eq + 1, 1);
        }
    }

    TSectionList& sections_;
    const LoadOptions options_;
    const bool changeLines_;
    std::int32_t current_ = -1;  // the section being read; -1 above the first header
    bool utf8_ = false;
};

// The checks of ReadInteger (see the header).
std::optional<std::int32_t> parseInteger(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::size_t hexFrom = 0;
    if (text[0] == '$' || text[0] == 'x' || text[0] == 'X')
        hexFrom = 1;
    else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        hexFrom = 2;
    if (hexFrom > 0) {
        const std::string_view digits = text.substr(hexFrom);
        if (digits.empty() || digits.size() > 8) return std::nullopt;
        std::uint32_t value = 0;
        for (char c : digits) {
            unsigned digit;
            if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
            else return std::nullopt;
            value = (value << 4) | digit;
        }
        return static_cast<std::int32_t>(value); // the 32-bit pattern
    }
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::int64_t{1} << 31) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// Dates: days since 1899-12-30 <-> civil dates (proleptic Gregorian).
constexpr std::int64_t AutomationEpochFromUnix = 25569; // 1970-01-01 as an automation date
constexpr std::int64_t FirstDay = -693593;              // 0001-01-01
constexpr std::int64_t LastDay = 2958465;               // 9999-12-31

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
    return kit::DaysFromCivil(y, static_cast<int>(m), static_cast<int>(d)) + AutomationEpochFromUnix;
}

void civilFromDays(std::int64_t days, int& y, unsigned& m, unsigned& d) noexcept {
    long long year = 0;
    int month = 0, day = 0;
    kit::CivilFromDays(days - AutomationEpochFromUnix, year, month, day);
    y = static_cast<int>(year);
    m = static_cast<unsigned>(month);
    d = static_cast<unsigned>(day);
}

bool readDigits(std::string_view text, std::size_t at, std::size_t count, unsigned& value) noexcept {
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

// "YYYY-MM-DD" -> day number.
std::optional<double> parseDate(std::string_view text) {
    unsigned y, m, d;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !readDigits(text, 0, 4, y) ||
        !readDigits(text, 5, 2, m) || !readDigits(text, 8, 2, d) || y < 1 || m < 1 || m > 12 || d < 1)
        return std::nullopt;
    if (d > static_cast<unsigned>(kit::DaysInMonth(y, static_cast<int>(m)))) return std::nullopt;
    return static_cast<double>(daysFromCivil(y, m, d));
}

// "HH:MM:SS" or "HH:MM" -> fraction of a day.
std::optional<double> parseTime(std::string_view text) {
    unsigned h, mi, s = 0;
    if ((text.size() != 5 && text.size() != 8) || text[2] != ':' || !readDigits(text, 0, 2, h) ||
        !readDigits(text, 3, 2, mi))
        return std::nullopt;
    if (text.size() == 8 && (text[5] != ':' || !readDigits(text, 6, 2, s))) return std::nullopt;
    if (h > 23 || mi > 59 || s > 59) return std::nullopt;
    return (h * 3600.0 + mi * 60.0 + s) / 86400.0;
}

// Whole seconds since the epoch, rounded; raises for a value outside years 1 to 9999.
std::int64_t toSeconds(TDateTime value) {
    if (!std::isfinite(value) || value < static_cast<double>(FirstDay) || value >= static_cast<double>(LastDay + 1))
        throw kit::Error("Invalid date and time value.");
    return std::min(static_cast<std::int64_t>(std::llround(value * 86400.0)), (LastDay + 1) * 86400 - 1);
}

std::string dateText(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    if (seconds % 86400 < 0) --days;
    int y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", y, m, d);
    return text;
}

std::string timeText(std::int64_t seconds) {
    std::int64_t s = seconds % 86400;
    if (s < 0) s += 86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
                  static_cast<int>(s % 60));
    return text;
}

// A line that would not load back as the same key line of the same section.
void checkWritable(const std::string& section, const std::string& key, const std::string& value) {
    auto hasBreak = [](const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; };
    if (hasBreak(section) || hasBreak(key) || hasBreak(value))
        throw kit::Error("An INI name or value cannot contain a line break.");
    if (key.find('=') != std::string::npos) throw kit::Error("An INI key cannot contain \"=\".");
    if (key.front() == IniEndOfInput) throw kit::Error("An INI key cannot begin with Ctrl-Z.");
    if (key.front() == '[' && !value.empty() && value.back() == ']')
        throw kit::Error("An INI line cannot have the form of a section header.");
}

} // namespace

// ---- TSectionList ----

std::size_t TSectionList::checked(std::int32_t index) {
    if (index < 0) throw std::out_of_range("TSectionList: index out of range");
    return static_cast<std::size_t>(index);
}

TStrings& TSectionList::Lines(std::int32_t index) {
    TStrings& lines = ownLines(checked(index));
    if (!keySlots_.empty()) keySlots_.erase(index);
    return lines;
}

const TStrings& TSectionList::Lines(std::int32_t index) const { return ownLines(checked(index)); }

// The section's lines as a list of its own, made from the packed ones on first use.
TStrings& TSectionList::ownLines(std::size_t index) const {
    const Entry& entry = entries_.at(index);
    if (!entry.lines) {
        auto lines = std::make_unique<TStrings>();
        lines->reserve(entry.count);
        for (std::uint32_t i = 0; i < entry.count; ++i) lines->emplace_back(packed_[entry.first + i]);
        entry.lines = std::move(lines);
    }
    return *entry.lines;
}

std::size_t TSectionList::LineCount(std::int32_t index) const {
    const Entry& entry = entries_.at(checked(index));
    return entry.lines ? entry.lines->size() : entry.count;
}

std::string_view TSectionList::Line(std::int32_t index, std::size_t line) const {
    const Entry& entry = entries_.at(checked(index));
    if (entry.lines) return entry.lines->at(line);
    if (line >= entry.count) throw std::out_of_range("TSectionList: line out of range");
    return packed_[entry.first + line];
}

// Copies a line into the open block (a fresh one when it is full): blocks grow from 4 KB to 1 MB.
std::string_view TSectionList::pack(std::string_view line) {
    if (openBlock_ >= blocks_.size() || blocks_[openBlock_].capacity() - blocks_[openBlock_].size() < line.size()) {
        const std::size_t last = openBlock_ < blocks_.size() ? blocks_[openBlock_].capacity() : 2048;
        const std::size_t size = std::max(std::min(last * 2, std::size_t{1} << 20), line.size());
        std::string block;
        block.reserve(size);
        blocks_.push_back(std::move(block));
        openBlock_ = blocks_.size() - 1;
    }
    std::string& block = blocks_[openBlock_];
    const std::size_t at = block.size();
    block.append(line);  // within its capacity: the block never moves
    return std::string_view(block.data() + at, line.size());
}

// Its lines are packed and the last ones packed (or it has none yet), so one more can follow them.
bool TSectionList::packableAt(const Entry& entry, std::int32_t index) const noexcept {
    return !entry.lines && (entry.count == 0 || entry.first + std::size_t{entry.count} == packed_.size()) &&
           packed_.size() < UINT32_MAX && keySlots_.find(index) == keySlots_.end();
}

void TSectionList::AppendLoadedLine(std::int32_t index, std::string_view line) {
    Entry& entry = entries_.at(checked(index));
    const bool packable = packableAt(entry, index);
    if (!packable) {
        AppendLine(index, std::string(line));
        return;
    }
    if (entry.count == 0) entry.first = static_cast<std::uint32_t>(packed_.size());
    packed_.push_back(pack(line));
    ++entry.count;
}

void TSectionList::AppendLoadedLine(std::int32_t index, std::string&& line) {
    // A long line is moved in as a block of its own; a short one is copied beside the others.
    if (line.size() < (std::size_t{64} << 10)) {
        AppendLoadedLine(index, std::string_view(line));
        return;
    }
    Entry& entry = entries_.at(checked(index));
    const bool packable = packableAt(entry, index);
    if (!packable) {
        AppendLine(index, std::move(line));
        return;
    }
    blocks_.push_back(std::move(line));
    if (entry.count == 0) entry.first = static_cast<std::uint32_t>(packed_.size());
    packed_.push_back(blocks_.back());
    ++entry.count;
}

void TSectionList::forgetIndexes() noexcept {
    nameSlots_.clear();
    nameSlots_.shrink_to_fit();
    sharedNames_ = false;
    keySlots_.clear();
}

// Builds (or grows) the name index; false when the list is short or memory ran out.
bool TSectionList::indexNames() const noexcept {
    if (Count() < IndexFrom) return false;
    const std::size_t want = slotCountFor(entries_.size());
    if (nameSlots_.size() >= want) return true;
    try {
        Slots slots(want, 0);
        bool shared = false;
        auto nameAt = [this](std::uint32_t i) -> std::string_view { return entries_[i].name; };
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (!insertSlot(slots, static_cast<std::uint32_t>(i), entries_[i].name, nameAt)) shared = true;
        nameSlots_ = std::move(slots);
        sharedNames_ = shared;
        return true;
    } catch (...) {
        nameSlots_.clear();
        return false;
    }
}

std::int32_t TSectionList::Find(std::string_view name, std::int32_t start) const noexcept {
    const std::int32_t count = Count();
    if (indexNames() && !sharedNames_) {
        auto nameAt = [this](std::uint32_t i) -> std::string_view { return entries_[i].name; };
        return static_cast<std::int32_t>(findSlot(nameSlots_, name, nameAt));
    }
    if (start < 0 || start >= count) start = 0;
    for (std::int32_t i = start; i < count; ++i)
        if (kit::SameAsciiText(entries_[static_cast<std::size_t>(i)].name, name)) return i;
    for (std::int32_t i = 0; i < start; ++i)
        if (kit::SameAsciiText(entries_[static_cast<std::size_t>(i)].name, name)) return i;
    return -1;
}

std::int32_t TSectionList::IndexOf(std::string_view name) {
    const std::int32_t found = Find(name, Cursor);
    if (found >= 0) Cursor = found;
    return found;
}

std::int32_t TSectionList::Add(std::string name) {
    if (entries_.size() >= static_cast<std::size_t>(INT32_MAX)) throw std::length_error("TSectionList: too many sections");
    entries_.push_back(Entry{std::move(name), nullptr, 0, 0});
    const auto position = static_cast<std::uint32_t>(entries_.size() - 1);
    if (!nameSlots_.empty()) {
        // Grown while it is used, so that adding and searching in turn stays linear.
        if (slotCountFor(entries_.size()) > nameSlots_.size()) {
            nameSlots_.clear();
            indexNames();
        } else {
            auto nameAt = [this](std::uint32_t i) -> std::string_view { return entries_[i].name; };
            if (!insertSlot(nameSlots_, position, entries_.back().name, nameAt)) sharedNames_ = true;
        }
    }
    return static_cast<std::int32_t>(position);
}

void TSectionList::Delete(std::int32_t index) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(checked(index)));
    forgetIndexes(); // positions behind it moved
    if (Cursor >= Count()) Cursor = 0;
}

void TSectionList::Clear() noexcept {
    entries_.clear();
    packed_.clear();
    blocks_.clear();
    openBlock_ = SIZE_MAX;
    forgetIndexes();
    Cursor = 0;
}

void TSectionList::Truncate(std::int32_t count) noexcept {
    if (count >= 0 && count < Count()) {
        entries_.resize(static_cast<std::size_t>(count));
        forgetIndexes();
    }
    if (Cursor >= Count()) Cursor = 0;
}

// The key index of a long section, built on its first search; null for a short one.
const TSectionList::Slots* TSectionList::keyIndex(std::int32_t index) const noexcept {
    const std::size_t count = LineCount(index);
    if (count < static_cast<std::size_t>(IndexFrom)) return nullptr;
    try {
        const auto found = keySlots_.find(index);
        if (found != keySlots_.end()) return &found->second;
        Slots slots(slotCountFor(count), 0);
        auto nameAt = [this, index](std::uint32_t i) { return keyName(Line(index, i)); };
        for (std::size_t i = 0; i < count; ++i) {
            const std::string_view line = Line(index, i);
            if (line.find('=') != std::string_view::npos)
                insertSlot(slots, static_cast<std::uint32_t>(i), keyName(line), nameAt);
        }
        return &keySlots_.emplace(index, std::move(slots)).first->second;
    } catch (...) {
        return nullptr; // searched in order instead
    }
}

std::ptrdiff_t TSectionList::FindKey(std::int32_t index, std::string_view key) const noexcept {
    if (index < 0 || index >= Count()) return -1;
    if (key.find('=') != std::string_view::npos) return -1; // a name part never holds "="
    if (const Slots* slots = keyIndex(index)) {
        auto nameAt = [this, index](std::uint32_t i) { return keyName(Line(index, i)); };
        return findSlot(*slots, key, nameAt);
    }
    const std::size_t n = key.size();
    const std::size_t count = LineCount(index);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view line = Line(index, i);
        if (line.size() > n && line[n] == '=' && kit::SameAsciiText(line.substr(0, n), key))
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

void TSectionList::AppendLine(std::int32_t index, std::string line) {
    TStrings& lines = ownLines(checked(index));
    lines.push_back(std::move(line));
    const auto found = keySlots_.find(index);
    if (found == keySlots_.end()) return;
    Slots& slots = found->second;
    const std::string& added = lines.back();
    if (added.find('=') == std::string::npos) return;
    if (slotCountFor(lines.size()) > slots.size()) {
        keySlots_.erase(found); // rebuilt larger on the next search
        return;
    }
    auto nameAt = [&lines](std::uint32_t i) { return keyName(lines[i]); };
    insertSlot(slots, static_cast<std::uint32_t>(lines.size() - 1), keyName(added), nameAt);
}

void TSectionList::SetLine(std::int32_t index, std::size_t line, std::string text) {
    std::string& stored = ownLines(checked(index)).at(line);
    const bool sameName = stored.find('=') != std::string::npos && text.find('=') != std::string::npos &&
                          kit::SameAsciiText(keyName(stored), keyName(text));
    stored = std::move(text);
    if (!sameName && !keySlots_.empty()) keySlots_.erase(index);
}

void TSectionList::DeleteLine(std::int32_t index, std::size_t line) {
    TStrings& lines = ownLines(checked(index));
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(line));
    if (!keySlots_.empty()) keySlots_.erase(index); // the lines behind it moved
}

bool TSectionList::EraseDuplicates(const TDuplicateSectionEvent& handler) {
    const std::size_t count = entries_.size();
    if (count < 2) return false;
    keySlots_.clear(); // the handler may change any section's lines
    // Sorted by a hash of the folded name first: names alike still meet in one run, and only
    // equal hashes (nearly always duplicates) need their names compared.
    struct Key {
        std::uint32_t hash;
        std::uint32_t index;  // Add keeps the count below INT32_MAX
    };
    std::vector<Key> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = {foldedHash(entries_[i].name), static_cast<std::uint32_t>(i)};
    std::sort(order.begin(), order.end(), [this](const Key& a, const Key& b) {
        if (a.hash != b.hash) return a.hash < b.hash;
        const int c = kit::CompareAsciiText(entries_[a.index].name, entries_[b.index].name);
        return c != 0 ? c < 0 : a.index < b.index;
    });
    std::vector<bool> erased(count, false);
    bool any = false;
    std::size_t kept = order[0].index;
    for (std::size_t k = 1; k < count; ++k) {
        const std::size_t e = order[k].index;
        if (order[k].hash != order[k - 1].hash || !kit::SameAsciiText(entries_[e].name, entries_[kept].name)) {
            kept = e;
            continue;
        }
        std::size_t earlier = std::min(kept, e);
        std::size_t later = std::max(kept, e);
        if (handler && !handler(entries_[e].name, ownLines(earlier), ownLines(later)))
            std::swap(earlier, later);
        kept = earlier;
        erased[later] = true;
        any = true;
    }
    if (!any) return false;
    std::size_t out = 0;
    for (std::size_t i = 0; i < count; ++i)
        if (!erased[i]) {
            if (out != i) entries_[out] = std::move(entries_[i]);
            ++out;
        }
    entries_.resize(out);
    forgetIndexes();
    if (Cursor >= Count()) Cursor = 0;
    return true;
}

// ---- TBigIniFile ----

TBigIniFile::TBigIniFile(const std::string& fileName) { SetFileName(fileName); }

TBigIniFile::~TBigIniFile() {
    try {
        Flush();
    } catch (...) {
        // A destructor cannot raise; the file keeps its previous content.
    }
}

void TBigIniFile::SetFileName(const std::string& fileName) {
    Flush();
    Clear();
    fileName_ = fileName;
    if (!fileName_.empty()) {
        try {
            LoadFromFile(fileName_);
        } catch (...) {
            Clear();
            fileName_.clear();
            Modified = false;
            throw;
        }
    }
    Modified = false;
}

std::size_t TBigIniFile::bufferSize() const noexcept {
    if (TextBufferSize <= 0) return SmallTextBuffer;
    return std::min(static_cast<std::size_t>(TextBufferSize), LargestTextBuffer);
}

template <class Feed> void TBigIniFile::loadWith(bool utf8, Feed&& feed) {
    const std::int32_t before = sections_.Count();
    try {
        SectionLoader loader(sections_, LoadOptions{DropCommentLines, DropLinesWithoutEquals, DropBlanksAroundEquals,
                                                    StripValueQuotes, TrimLineEnds});
        if (utf8) loader.readUtf8();
        LineSplitter splitter;
        feed(splitter, loader);
        splitter.finish(loader);
        if (sections_.EraseDuplicates(OnDuplicateSection)) Modified = true;
    } catch (...) {
        sections_.Truncate(before);
        throw;
    }
}

void TBigIniFile::LoadFromText(std::string_view text) {
    SectionCursor = 0;
    const bool utf8 = kit::StartsWithUtf8Mark(text);
    if (utf8) text.remove_prefix(kit::Utf8Mark.size());
    loadWith(utf8, [&](LineSplitter& splitter, SectionLoader& loader) { splitter.feed(text.data(), text.size(), loader); });
}

void TBigIniFile::LoadFromFile(const std::string& fileName) {
    SectionCursor = 0;
    errno = 0;
    unique_file file(std::fopen(fileName.c_str(), "rb"));
    if (!file) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR) return;
        throw kit::InOutError("Cannot open file \"" + fileName + "\": " + errnoText(code));
    }
    std::setvbuf(file.get(), nullptr, _IONBF, 0); // our own buffer does the buffering
    auto readError = [&] {
        return kit::InOutError("Cannot read file \"" + fileName + "\": " + errnoText(errno ? errno : EIO));
    };
    // The first bytes, to see whether the file is UTF-8 with its mark.
    char head[3];
    errno = 0;
    const std::size_t headSize = std::fread(head, 1, sizeof head, file.get());
    if (headSize < sizeof head && std::ferror(file.get())) throw readError();
    const bool utf8 = kit::StartsWithUtf8Mark(std::string_view(head, headSize));
    loadWith(utf8, [&](LineSplitter& splitter, SectionLoader& loader) {
        if (!utf8) splitter.feed(head, headSize, loader);
        if (headSize < sizeof head) return;
        std::error_code sizeUnknown;
        const auto size = std::filesystem::file_size(fileName, sizeUnknown);
        if (!sizeUnknown && size > headSize && size - headSize <= SIZE_MAX)
            splitter.expect(static_cast<std::size_t>(size - headSize));
        std::vector<char> buffer(bufferSize());
        while (!splitter.ended()) {
            errno = 0;
            const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
            if (got > 0) splitter.feed(buffer.data(), got, loader);
            if (got < buffer.size()) {
                if (std::ferror(file.get())) throw readError();
                break;
            }
        }
    });
}

void TBigIniFile::Clear() { sections_.Clear(); }

void TBigIniFile::DeleteKey(const std::string& section, const std::string& key) {
    const KeyHit hit = findKey(section, key, true);
    if (hit.index < 0) return;
    sections_.DeleteLine(hit.section, static_cast<std::size_t>(hit.index));
    Modified = true;
}

void TBigIniFile::EraseSection(const std::string& section) {
    const std::int32_t index = sections_.IndexOf(section);
    if (index < 0) return;
    sections_.Delete(index);
    sections_.Cursor = 0;
    Modified = true;
    if (SectionCursor < 0 || SectionCursor >= sections_.Count()) SectionCursor = 0;
}

void TBigIniFile::Flush() {
    if (!Modified) return;
    if (!fileName_.empty()) writeFile();
    Modified = false;
}

void TBigIniFile::writeFile() const {
    try {
        kit::FileReplacer file(fileName_);
        std::string buffer;
        const std::size_t capacity = bufferSize();
        buffer.reserve(capacity);
        auto drain = [&] {
            file.write(buffer);
            buffer.clear();
        };
        auto put = [&](std::string_view text) {
            while (!text.empty()) {
                const std::size_t n = std::min(text.size(), capacity - buffer.size());
                buffer.append(text.data(), n);
                text.remove_prefix(n);
                if (buffer.size() == capacity) drain();
            }
        };
        const TSectionList& sections = sections_;
        for (std::int32_t i = 0; i < sections.Count(); ++i) {
            const std::size_t count = sections.LineCount(i);
            if (count == 0) continue;
            put("[");
            put(sections_.Name(i));
            put("]\r\n");
            for (std::size_t l = 0; l < count; ++l) {
                put(sections.Line(i, l));
                put("\r\n");
            }
            put("\r\n");
        }
        drain();
        file.commit();
    } catch (const kit::InOutError&) {
        throw;
    } catch (const std::exception& e) { // e.g. no memory for the buffer
        throw kit::InOutError("Cannot write file \"" + fileName_ + "\": " + e.what());
    }
}

bool TBigIniFile::HasSection(const std::string& section) { return sections_.IndexOf(section) >= 0; }

std::string TBigIniFile::ReadValue(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) {
    return readKey(section, key, defaultValue);
}

void TBigIniFile::ReadContents(TStrings& target) {
    const TSectionList& sections = sections_;
    for (std::int32_t i = 0; i < sections.Count(); ++i) {
        const std::size_t count = sections.LineCount(i);
        if (count == 0) continue;
        target.push_back("[" + sections_.Name(i) + "]");
        for (std::size_t l = 0; l < count; ++l) target.emplace_back(sections.Line(i, l));
        target.emplace_back();
    }
}

bool TBigIniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

TDateTime TBigIniFile::ReadDate(const std::string& section, const std::string& key, TDateTime defaultValue) {
    const std::string text = ReadString(section, key, {});
    if (text.empty()) return defaultValue;
    return parseDate(text).value_or(defaultValue);
}

TDateTime TBigIniFile::ReadDateTime(const std::string& section, const std::string& key, TDateTime defaultValue) {
    const std::string text = ReadString(section, key, {});
    if (text.empty()) return defaultValue;
    const std::string_view view(text);
    const auto date = parseDate(view.substr(0, 10));
    if (!date) return defaultValue;
    if (view.size() == 10) return *date;
    if (view[10] != ' ') return defaultValue;
    const auto time = parseTime(view.substr(11));
    return time ? *date + *time : defaultValue;
}

double TBigIniFile::ReadFloat(const std::string& section, const std::string& key, double defaultValue) {
    const std::string text = ReadString(section, key, {});
    std::string_view view(text);
    while (!view.empty() && view.front() == ' ') view.remove_prefix(1);
    if (view.empty()) return defaultValue;
    double value = 0;
    const auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), value);
    return (ec == std::errc() && end == view.data() + view.size()) ? value : defaultValue;
}

std::int32_t TBigIniFile::ReadInteger(const std::string& section, const std::string& key,
                                      std::int32_t defaultValue) {
    return parseInteger(ReadString(section, key, {})).value_or(defaultValue);
}

void TBigIniFile::ReadSection(const std::string& section, TStrings& target) {
    ForEachKeyName(section, [&target](const std::string& name) { target.push_back(name); });
}

void TBigIniFile::ForEachKeyName(const std::string& section, const std::function<void(const std::string&)>& visit) {
    const std::int32_t index = sections_.IndexOf(section);
    if (index < 0) return;
    const TSectionList& sections = sections_;
    std::string name;
    // The line is looked up again each time: `visit` may search the document, never change it.
    for (std::size_t l = 0; l < sections.LineCount(index); ++l) {
        const std::string_view line = sections.Line(index, l);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        if (DropCommentLines && line.front() == ';') continue;
        name.assign(line.substr(0, eq));
        visit(name);
    }
}

void TBigIniFile::ReadSections(TStrings& target) {
    target.clear();
    target.reserve(static_cast<std::size_t>(sections_.Count()));
    for (std::int32_t i = 0; i < sections_.Count(); ++i) target.push_back(sections_.Name(i));
}

void TBigIniFile::ReadSectionValues(const std::string& section, TStrings& target) {
    const std::int32_t index = sections_.IndexOf(section);
    if (index < 0) return;
    if (ClearBeforeReadValues) target.clear();
    const TSectionList& sections = sections_;
    const std::size_t count = sections.LineCount(index);
    for (std::size_t l = 0; l < count; ++l) target.emplace_back(sections.Line(index, l));
}

std::string TBigIniFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) {
    return readKey(section, key, defaultValue);
}

std::string TBigIniFile::ReadStringStart(const std::string& section, const std::string& key,
                                         const std::string& defaultValue, std::size_t limit) {
    return readKey(section, key, defaultValue, limit);
}

TDateTime TBigIniFile::ReadTime(const std::string& section, const std::string& key, TDateTime defaultValue) {
    const std::string text = ReadString(section, key, {});
    if (text.empty()) return defaultValue;
    return parseTime(text).value_or(defaultValue);
}

bool TBigIniFile::SectionExists(const std::string& section) { return HasSection(section); }

void TBigIniFile::UpdateFile() { Flush(); }

bool TBigIniFile::ValueExists(const std::string& section, const std::string& key) {
    TStrings names;
    ReadSection(section, names);
    return std::any_of(names.begin(), names.end(), [&](const std::string& name) { return kit::SameAsciiText(name, key); });
}

void TBigIniFile::WriteValue(const std::string& section, const std::string& key, const std::string& value) {
    writeKey(section, key, value);
}

void TBigIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TBigIniFile::WriteDate(const std::string& section, const std::string& key, TDateTime value) {
    WriteString(section, key, dateText(toSeconds(std::floor(value))));
}

void TBigIniFile::WriteDateTime(const std::string& section, const std::string& key, TDateTime value) {
    const std::int64_t seconds = toSeconds(value);
    WriteString(section, key, dateText(seconds) + " " + timeText(seconds));
}

void TBigIniFile::WriteFloat(const std::string& section, const std::string& key, double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value); // shortest text that reads back exactly
    WriteString(section, key, std::string(text, result.ptr));
}

void TBigIniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TBigIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    writeKey(section, key, value);
}

void TBigIniFile::WriteTime(const std::string& section, const std::string& key, TDateTime value) {
    const double fraction = value - std::floor(value);
    WriteString(section, key, timeText(toSeconds(std::isfinite(value) ? fraction : value)));
}

TBigIniFile::KeyHit TBigIniFile::findKey(std::string_view section, std::string_view key, bool create) {
    KeyHit hit;
    const std::int32_t index = sections_.Find(section, SectionCursor);
    if (index < 0) {
        if (create) {
            SectionCursor = sections_.Add(std::string(section));
            hit.section = SectionCursor;
        }
        return hit;
    }
    SectionCursor = index;
    hit.section = index;
    hit.index = sections_.FindKey(index, key);
    return hit;
}

std::string TBigIniFile::readKey(const std::string& section, const std::string& key,
                                 const std::string& defaultValue, std::size_t limit) {
    const KeyHit hit = findKey(section, key, false);
    if (hit.index < 0) return defaultValue.substr(0, limit);
    const TSectionList& sections = sections_;
    return std::string(sections.Line(hit.section, static_cast<std::size_t>(hit.index)).substr(key.size() + 1, limit));
}

void TBigIniFile::writeKey(const std::string& section, const std::string& key, const std::string& value) {
    if (key.empty()) {
        if (section.empty() && value.empty())
            Flush();
        else
            EraseSection(section);
        return;
    }
    checkWritable(section, key, value);
    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append(1, '=').append(value);
    const KeyHit hit = findKey(section, key, true);
    if (hit.index < 0) {
        sections_.AppendLine(hit.section, std::move(line));
        Modified = true;
        return;
    }
    const TSectionList& sections = sections_;
    if (sections.Line(hit.section, static_cast<std::size_t>(hit.index)) != line) {
        sections_.SetLine(hit.section, static_cast<std::size_t>(hit.index), std::move(line));
        Modified = true;
    }
}

} // namespace config
