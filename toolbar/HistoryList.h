#pragma once
// The list that merges the search history: kept in ascending order with
// letters compared without regard to case (the user's locale decides the
// order), and a text equal to one already present is not added again.
#include <string>
#include <vector>

namespace kg {

// <0, 0 or >0: the order of the history (the user's locale, letter case ignored).
int CompareHistoryText(const std::string& a, const std::string& b);

class SortedTextList {
public:
    // Inserts `text` at its sorted place; false (and nothing changes) when an
    // entry equal to it, letter case ignored, is already there.
    bool Add(const std::string& text);
    // Adds every text as Add does. Texts that come in ascending order (a
    // history file, a sorted box) are merged in one pass.
    void AddAll(const std::vector<std::string>& texts);
    // Position of the entry equal to `text` (letter case ignored); -1 when absent.
    int IndexOf(const std::string& text) const;
    void Clear() noexcept { items_.clear(); }
    int Count() const noexcept { return static_cast<int>(items_.size()); }
    const std::string& operator[](int index) const { return items_.at(static_cast<std::size_t>(index)); }
    const std::vector<std::string>& Strings() const noexcept { return items_; }

private:
    // Where `text` belongs, and whether an equal entry sits there.
    std::pair<std::size_t, bool> locate(const std::string& text) const;
    std::vector<std::string> items_;
};

} // namespace kg
