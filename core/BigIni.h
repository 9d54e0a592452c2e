#pragma once
// The INI document: reads a file in INI syntax once, keeps it in memory as an
// ordered list of sections (each an ordered list of raw lines), answers every
// lookup from memory and can write itself back. Portable: no Windows header.
//
// The syntax is deliberately literal: blanks around "=" belong to the key and
// the value, names are compared without regard to ASCII letter case, the first
// of duplicate sections or keys wins, and ";" starts a comment only when
// DropCommentLines is set. A file that begins with the UTF-8 mark is UTF-8: the
// mark is skipped and its lines are converted to the ANSI code page (see
// kit/AnsiText.h); any other file is taken byte for byte.
#include <cstdint>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace config {

// A target list of the read operations.
using TStrings = std::vector<std::string>;

// Dates and times as a day count like the platform's automation date: days
// since 1899-12-30; the floor is the day and what lies above it the time of day. Their text form is fixed and independent
// of the locale: "YYYY-MM-DD", "HH:MM:SS" and "YYYY-MM-DD HH:MM:SS"
// (reads also accept "HH:MM"), years 1 to 9999.
using TDateTime = double;

// Decides which of two sections of equal name survives loading: true keeps
// the one that comes first in the document, false the later one. It receives
// the later section's name and both line lists (it may change them, e.g. to
// merge the loser's lines into the survivor).
using TDuplicateSectionEvent =
    std::function<bool(const std::string& name, TStrings& earlierLines, TStrings& laterLines)>;

// The sections of a document in order: each a name (verbatim, without the
// brackets) and its own line list. Names are compared ASCII-case-insensitively.
// References to line lists stay valid until a section is removed.
//
// Long lists keep hash indexes of their section names and of the key names of
// a section, built on the first search and kept up to date by the changes made
// through this class, so a search costs the same whatever the position of
// what it finds. The indexes never change a result: they map a name to its
// first occurrence, and the plain search is used while two sections share a name.
class TSectionList {
public:
    // Position of the entry the last name search found; where the next one starts.
    std::int32_t Cursor = 0;

    TSectionList() = default;
    TSectionList(const TSectionList&) = delete;
    TSectionList& operator=(const TSectionList&) = delete;
    virtual ~TSectionList() = default;

    std::int32_t Count() const noexcept { return static_cast<std::int32_t>(entries_.size()); }
    const std::string& Name(std::int32_t index) const { return entries_.at(checked(index)).name; }
    // Changing the lines through this reference is allowed: it drops the section's key index.
    // Loaded lines are kept packed; either call turns the section's lines into a list of its own.
    TStrings& Lines(std::int32_t index);
    const TStrings& Lines(std::int32_t index) const;
    // The lines without a list of their own: their number and each one, valid until the next change.
    std::size_t LineCount(std::int32_t index) const;
    std::string_view Line(std::int32_t index, std::size_t line) const;

    // Position of the first line of section `index` whose name part (the text
    // before its first "=") equals `key` without regard to case; -1 when none.
    std::ptrdiff_t FindKey(std::int32_t index, std::string_view key) const noexcept;
    // Line changes that keep the key index.
    void AppendLine(std::int32_t index, std::string line);
    void SetLine(std::int32_t index, std::size_t line, std::string text);
    void DeleteLine(std::int32_t index, std::size_t line);

    // Cursor search: from Cursor to the last entry, then from the first to
    // Cursor - 1; a hit moves Cursor there. -1 when no entry has that name.
    virtual std::int32_t IndexOf(std::string_view name);
    // The same search starting at `start` (any value; out of range means 0),
    // without touching Cursor.
    std::int32_t Find(std::string_view name, std::int32_t start) const noexcept;

    // Appends a section with no lines (names are not checked) and answers its position.
    std::int32_t Add(std::string name);
    // Appends a line as loading does: packed beside the others while it goes to the last section.
    void AppendLoadedLine(std::int32_t index, std::string_view line);
    void AppendLoadedLine(std::int32_t index, std::string&& line);
    void Delete(std::int32_t index);
    void Clear() noexcept;
    // Drops the entries from position `count` on (used to undo a failed load).
    void Truncate(std::int32_t count) noexcept;

    // Erases all but one section of every name (see TDuplicateSectionEvent;
    // without a handler the first one survives) and answers whether it erased any.
    bool EraseDuplicates(const TDuplicateSectionEvent& handler);

private:
    // A section's lines are either packed (`count` views from `first` on) or,
    // once changed or asked for as a list, a list of their own.
    struct Entry {
        std::string name;
        mutable std::unique_ptr<TStrings> lines;
        std::uint32_t first = 0;
        std::uint32_t count = 0;
    };
    // Open addressing over positions + 1 (0: free slot), for names hashed without regard to case.
    using Slots = std::vector<std::uint32_t>;
    static std::size_t checked(std::int32_t index);
    bool indexNames() const noexcept;
    void forgetIndexes() noexcept;
    const Slots* keyIndex(std::int32_t index) const noexcept;

    TStrings& ownLines(std::size_t index) const;
    bool packableAt(const Entry& entry, std::int32_t index) const noexcept;
    std::string_view pack(std::string_view line);

    // A deque: growing never moves the sections already there (no copy of the whole list at once).
    std::deque<Entry> entries_;
    // The packed lines: views into text blocks that never move (a block is filled only within its
    // capacity, and a long line moved in is a block of its own).
    std::deque<std::string_view> packed_;
    std::deque<std::string> blocks_;
    std::size_t openBlock_ = SIZE_MAX;  // the block that short lines are copied into
    mutable Slots nameSlots_;            // empty: not built
    mutable bool sharedNames_ = false;   // two sections had one name when the index was built
    mutable std::unordered_map<std::int32_t, Slots> keySlots_;  // by section position, long sections only
};

// The INI document. Construction binds it to a file and loads that file;
// destruction writes pending changes back (see Flush).
//
// The operations below are virtual and declared in the order of their slots;
// each calls the others through the virtual functions, so a derived document
// may replace any of them. (During construction and destruction C++ calls this
// class's own versions.)
class TBigIniFile {
public:
    static constexpr std::int32_t DefaultTextBufferSize = 0x7000;

    // The document differs from what the file holds.
    bool Modified = false;
    // Read/write buffer in bytes; 0 or less: a small default (128 bytes).
    std::int32_t TextBufferSize = DefaultTextBufferSize;
    // Consulted while loading; see TDuplicateSectionEvent.
    TDuplicateSectionEvent OnDuplicateSection;
    // Position of the section the last key lookup matched; where the next starts.
    std::int32_t SectionCursor = 0;

    // Options. They act while loading (set them on a document built with an
    // empty name, then call SetFileName or LoadFromFile) or while reading.
    bool ClearBeforeReadValues = false;  // ReadSectionValues empties its target first
    bool DropCommentLines = false;       // lines beginning with ";" vanish; ReadSection skips such names
    bool DropLinesWithoutEquals = false; // lines without "=" vanish
    bool DropBlanksAroundEquals = false; // blanks and tabs around the first "=" go
    bool StripValueQuotes = false;       // one pair of matching quotes around a value goes
    bool TrimLineEnds = false;           // trailing characters below 0x21 go

    // Builds an empty document and binds it to `fileName` (SetFileName); an
    // empty name gives a document bound to no file. Raises kit::InOutError when
    // the file exists but cannot be read.
    explicit TBigIniFile(const std::string& fileName = {});
    // Writes pending changes (Flush). A failure cannot be raised from here: it
    // is swallowed, the file keeps its previous content and the changes are lost.
    // Call Flush first to see write errors.
    virtual ~TBigIniFile();
    TBigIniFile(const TBigIniFile&) = delete;
    TBigIniFile& operator=(const TBigIniFile&) = delete;

    const std::string& FileName() const noexcept { return fileName_; }
    // Flushes to the old file, empties the document, binds it to `fileName`,
    // loads that file (when the name is not empty) and clears Modified. When
    // loading fails the error is raised and the document is left empty and
    // bound to no file, so that no later write can replace a file it could not read.
    void SetFileName(const std::string& fileName);

    TSectionList& Sections() noexcept { return sections_; }
    const TSectionList& Sections() const noexcept { return sections_; }

    // Loads `text` as if it were a file's content (same line rules as LoadFromFile).
    void LoadFromText(std::string_view text);

    // ReadString's answer cut to its first `limit` bytes, without a copy of the rest: for a text that
    // is only shown, so that a huge value is never held twice. Reads the document as ReadString does.
    std::string ReadStringStart(const std::string& section, const std::string& key, const std::string& defaultValue,
                                std::size_t limit);

    // Slots 0 to 28.
    // Merges the file's sections behind the present ones (a missing file adds
    // nothing); duplicates are then erased and, if any were, Modified is set.
    // Raises kit::InOutError when the file exists but cannot be read; the
    // document then keeps what it had before.
    virtual void LoadFromFile(const std::string& fileName);
    // Discards all sections (Modified and SectionCursor unchanged).
    virtual void Clear();
    // Removes the key's first line; a missing section is created empty.
    virtual void DeleteKey(const std::string& section, const std::string& key);
    virtual void EraseSection(const std::string& section);
    // If Modified and bound to a file: replaces the file whole or not at all
    // (kit::FileReplacer: a fresh temporary file beside it, flushed, renamed
    // over it, its mode or attributes kept), so a failure or a second writer
    // never leaves a truncated or mixed file. A failure raises kit::InOutError
    // and leaves Modified set. Then (also when bound to no file) clears Modified.
    virtual void Flush();
    virtual bool HasSection(const std::string& section);
    virtual std::string ReadValue(const std::string& section, const std::string& key,
                                  const std::string& defaultValue);
    // Appends the document in file layout: per section with lines, "[name]",
    // the lines, and an empty text.
    virtual void ReadContents(TStrings& target);
    virtual bool ReadBool(const std::string& section, const std::string& key, bool defaultValue);
    virtual TDateTime ReadDate(const std::string& section, const std::string& key, TDateTime defaultValue);
    virtual TDateTime ReadDateTime(const std::string& section, const std::string& key, TDateTime defaultValue);
    virtual double ReadFloat(const std::string& section, const std::string& key, double defaultValue);
    // Decimal in the signed 32-bit range (optional sign), or "$", "x", "X",
    // "0x", "0X" and 1 to 8 hexadecimal digits as a 32-bit pattern; leading
    // blanks allowed, nothing after the digits. Anything else: the default.
    virtual std::int32_t ReadInteger(const std::string& section, const std::string& key,
                                     std::int32_t defaultValue);
    // Appends the key names of the section (unchanged list for a missing section).
    virtual void ReadSection(const std::string& section, TStrings& target);
    // Hands the same key names to `visit` one by one, without a list of them all. `visit` may read
    // the document but not change it.
    void ForEachKeyName(const std::string& section, const std::function<void(const std::string&)>& visit);
    // Replaces the list's content with the section names in document order.
    virtual void ReadSections(TStrings& target);
    // Appends the section's lines verbatim (unchanged list for a missing section).
    virtual void ReadSectionValues(const std::string& section, TStrings& target);
    // Everything after the "=" of the key's first line, verbatim; the default
    // when the section or the key is missing.
    virtual std::string ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue);
    virtual TDateTime ReadTime(const std::string& section, const std::string& key, TDateTime defaultValue);
    virtual bool SectionExists(const std::string& section);
    virtual void UpdateFile();
    virtual bool ValueExists(const std::string& section, const std::string& key);
    virtual void WriteValue(const std::string& section, const std::string& key, const std::string& value);
    virtual void WriteBool(const std::string& section, const std::string& key, bool value);
    virtual void WriteDate(const std::string& section, const std::string& key, TDateTime value);
    virtual void WriteDateTime(const std::string& section, const std::string& key, TDateTime value);
    virtual void WriteFloat(const std::string& section, const std::string& key, double value);
    virtual void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
    // Empty key: flushes when section and value are empty too, else erases the
    // section. Otherwise replaces the key's first line (when it differs) or
    // appends key + "=" + value, creating the section when missing. Raises
    // kit::Error for a line that would not read back as written: a line break
    // anywhere, "=" in the key, or a line that would read as a section header
    // or end the file (Ctrl-Z at its start).
    virtual void WriteString(const std::string& section, const std::string& key, const std::string& value);
    virtual void WriteTime(const std::string& section, const std::string& key, TDateTime value);

private:
    struct KeyHit {
        std::int32_t section = -1; // the section's position; -1 when the section is missing
        std::ptrdiff_t index = -1; // the key's line; -1 when the key is absent
    };
    KeyHit findKey(std::string_view section, std::string_view key, bool create);
    std::string readKey(const std::string& section, const std::string& key, const std::string& defaultValue,
                        std::size_t limit = std::string::npos);
    void writeKey(const std::string& section, const std::string& key, const std::string& value);
    template <class Feed> void loadWith(bool utf8, Feed&& feed);
    void writeFile() const;
    std::size_t bufferSize() const noexcept;

    std::string fileName_;
    TSectionList sections_;
};

} // namespace config
