#include "toolbar/HistoryList.h"

#include <windows.h>
#include <algorithm>

namespace kg {

int CompareHistoryText(const std::string& a, const std::string& b) {
    const int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                 b.data(), static_cast<int>(b.size()));
    return r == 0 ? lstrcmpiA(a.c_str(), b.c_str()) : r - CSTR_EQUAL;
}

std::pair<std::size_t, bool> SortedTextList::locate(const std::string& text) const {
    const auto it = std::lower_bound(items_.begin(), items_.end(), text, [](const std::string& entry, const std::string& t) {
        return CompareHistoryText(entry, t) < 0;
    });
    const bool found = it != items_.end() && CompareHistoryText(*it, text) == 0;
    return {static_cast<std::size_t>(it - items_.begin()), found};
}

bool SortedTextList::Add(const std::string& text) {
    // Texts read in order go to the end after one comparison.
    if (items_.empty() || CompareHistoryText(items_.back(), text) < 0) {
        items_.push_back(text);
        return true;
    }
    const auto [at, found] = locate(text);
    if (found) return false;
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), text);
    return true;
}

void SortedTextList::AddAll(const std::vector<std::string>& texts) {
    const bool ascending = std::is_sorted(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
        return CompareHistoryText(a, b) < 0;
    });
    if (!ascending || items_.empty()) {
        for (const std::string& text : texts) Add(text);
        return;
    }
    std::vector<std::string> merged;
    merged.reserve(items_.size() + texts.size());
    auto mine = items_.begin();
    auto theirs = texts.begin();
    while (mine != items_.end() || theirs != texts.end()) {
        int order = -1;
        if (mine == items_.end())
            order = 1;
        else if (theirs != texts.end())
            order = CompareHistoryText(*mine, *theirs);
        if (order <= 0) {
            merged.push_back(std::move(*mine++));
            if (order == 0) ++theirs;
        } else {
            // Equal neighbours in the added texts: the first one stays.
            if (merged.empty() || CompareHistoryText(merged.back(), *theirs) != 0) merged.push_back(*theirs);
            ++theirs;
        }
    }
    items_ = std::move(merged);
}

int SortedTextList::IndexOf(const std::string& text) const {
    const auto [at, found] = locate(text);
    return found ? static_cast<int>(at) : -1;
}

} // namespace kg
