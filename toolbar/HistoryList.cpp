#include "toolbar/HistoryList.h"

#include <windows.h>
#include <algorithm>

namespace kg {

namespace {
// <0, 0, >0 as CompareStringA answers it, letters compared without regard to case.
int compareText(const std::string& a, const std::string& b) {
    const int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                 b.data(), static_cast<int>(b.size()));
    return r == 0 ? lstrcmpiA(a.c_str(), b.c_str()) : r - CSTR_EQUAL;
}
} // namespace

std::pair<std::size_t, bool> SortedTextList::locate(const std::string& text) const {
    const auto it = std::lower_bound(items_.begin(), items_.end(), text,
                                     [](const std::string& entry, const std::string& t) { return compareText(entry, t) < 0; });
    const bool found = it != items_.end() && compareText(*it, text) == 0;
    return {static_cast<std::size_t>(it - items_.begin()), found};
}

bool SortedTextList::Add(const std::string& text) {
    const auto [at, found] = locate(text);
    if (found) return false;
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), text);
    return true;
}

int SortedTextList::IndexOf(const std::string& text) const {
    const auto [at, found] = locate(text);
    return found ? static_cast<int>(at) : -1;
}

} // namespace kg
