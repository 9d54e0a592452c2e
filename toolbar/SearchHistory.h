#pragma once
// The search history: the one list of past searches (ascending, letter case
// ignored, one entry per text), the history file it is kept in and every
// operation on them. The search box shows this list without a copy of its own.
// Reads, merges and writes of the file happen under the history's lock, so
// windows of other processes lose nothing; a file that could not be taken
// whole is kept as a copy beside it before it is first rewritten.
#include "core/HistoryOrder.h"

#include <string>
#include <vector>

namespace kit {
class TComboBox;
}

namespace kg {

class SearchHistory {
public:
    // `fileName` (the per-user file, written) and `legacyFileName` (read while
    // the per-user file does not exist) are the window's fields, read at each use.
    SearchHistory(const std::string& fileName, const std::string& legacyFileName);
    SearchHistory(const SearchHistory&) = delete;
    SearchHistory& operator=(const SearchHistory&) = delete;

    // `box` shows the list from now on (nullptr: no box).
    void Show(kit::TComboBox* box);

    // The list, in the order shown.
    const std::vector<std::string>& Strings() { return order_.Entries(); }
    int Count() const noexcept { return static_cast<int>(order_.Size()); }

    // The file read at start, when it exists (duplicates dropped).
    void Load();
    // Records a search: the file merged with the list, then `text` added and
    // the file written unless an entry equal to it is there. True when written.
    bool Record(const std::string& text);
    // Deletes entry `index` and writes the file.
    void Remove(int index);
    // Empties the list and writes the empty file.
    void Clear();
    // The list written to a file of the user's choice.
    void SaveTo(const std::string& path);
    // The list replaced by a file's lines as they are. Raises kit::InOutError.
    void LoadFrom(const std::string& path);
    // The list replaced by the history file's lines when it exists.
    void Refresh();

    // The file reads use: the per-user one, or the legacy one while the per-user one does not exist.
    const std::string& FileToRead() const;
    // Keys computed so far (benchmarks).
    std::size_t KeysComputed() const noexcept { return order_.KeysComputed(); }

private:
    void noteRead(const struct HistoryRead& read);
    // The history file's lines, when it exists, as the list: duplicates
    // dropped (start-up) or kept (refresh).
    void readFile(bool dropDuplicates);
    void replaced();
    // Under the lock: an earlier copy kept if needed, then the list written.
    void write();
    // `bytes` kept beside the history file, once for the same bytes.
    void keep(const std::string& bytes);

    const std::string& fileName_;
    const std::string& legacyFileName_;
    HistoryOrder order_;
    kit::TComboBox* box_ = nullptr;
    // A read found the file not whole: it is kept before the next write.
    bool mayNeedKeeping_ = false;
    std::size_t keptHash_ = 0;
    bool keptAny_ = false;
};

} // namespace kg
