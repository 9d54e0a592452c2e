#include "core/HistoryOrder.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace kg {

namespace {

// Keys are byte strings compared as unsigned bytes (std::string's compare does that).
int compareKeys(const std::string& a, const std::string& b) noexcept { return a.compare(b); }

bool strictlyAscending(const std::vector<std::string>& keys) {
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (compareKeys(keys[i - 1], keys[i]) >= 0) return false;
    return true;
}

bool ascending(const std::vector<std::string>& keys) {
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (compareKeys(keys[i - 1], keys[i]) > 0) return false;
    return true;
}

} // namespace

std::string HistoryOrder::keyOf(const std::string& text) {
    ++keysComputed_;
    return key_(text);
}

void HistoryOrder::Assign(std::vector<std::string> lines) {
    entries_ = std::move(lines);
    keys_.clear();
    ordered_ = entries_.empty();
    pendingUnique_ = true;
    heldApart_ = false;
    held_ = {};
    heldLacks_ = npos;
}

void HistoryOrder::setHeldApart() {
    if (heldApart_) return;
    order();
    held_.entries = entries_;
    held_.keys = keys_;
    if (heldLacks_ != npos && heldLacks_ < held_.entries.size()) {
        held_.entries.erase(held_.entries.begin() + static_cast<std::ptrdiff_t>(heldLacks_));
        held_.keys.erase(held_.keys.begin() + static_cast<std::ptrdiff_t>(heldLacks_));
    }
    heldLacks_ = npos;
    heldApart_ = true;
}

void HistoryOrder::AssignAll(std::vector<std::string> lines) {
    setHeldApart();
    entries_ = std::move(lines);
    keys_.clear();
    ordered_ = entries_.empty();
    pendingUnique_ = false;
}

void HistoryOrder::sortKeyed(Keyed& keyed, bool unique) {
    if (unique ? strictlyAscending(keyed.keys) : ascending(keyed.keys)) return;
    std::vector<std::uint32_t> at(keyed.entries.size());
    std::iota(at.begin(), at.end(), 0u);
    std::stable_sort(at.begin(), at.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return compareKeys(keyed.keys[a], keyed.keys[b]) < 0; });
    Keyed sorted;
    sorted.entries.reserve(at.size());
    sorted.keys.reserve(at.size());
    for (std::uint32_t i : at) {
        if (unique && !sorted.keys.empty() && compareKeys(sorted.keys.back(), keyed.keys[i]) == 0) continue;
        sorted.entries.push_back(std::move(keyed.entries[i]));
        sorted.keys.push_back(std::move(keyed.keys[i]));
    }
    keyed = std::move(sorted);
}

void HistoryOrder::order() {
    if (ordered_) return;
    Keyed keyed{std::move(entries_), {}};
    keyed.keys.reserve(keyed.entries.size());
    for (const std::string& entry : keyed.entries) keyed.keys.push_back(keyOf(entry));
    sortKeyed(keyed, pendingUnique_);
    entries_ = std::move(keyed.entries);
    keys_ = std::move(keyed.keys);
    ordered_ = true;
}

const std::vector<std::string>& HistoryOrder::Entries() {
    order();
    return entries_;
}

std::vector<std::string> HistoryOrder::keysReusing(const std::vector<std::string>& lines) {
    std::vector<std::string> keys;
    keys.reserve(lines.size());
    std::size_t j = 0;
    for (const std::string& line : lines) {
        if (j < entries_.size() && line == entries_[j]) {
            keys.push_back(keys_[j++]);
            continue;
        }
        keys.push_back(keyOf(line));
        // Lines in order pass entries the file no longer holds.
        while (j < entries_.size() && compareKeys(keys_[j], keys.back()) < 0) ++j;
    }
    return keys;
}

HistoryOrder::Keyed HistoryOrder::join(Keyed first, Keyed second) {
    Keyed out;
    out.entries.reserve(first.entries.size() + second.entries.size());
    out.keys.reserve(first.entries.size() + second.entries.size());
    std::size_t i = 0, j = 0;
    const std::size_t n = first.entries.size(), m = second.entries.size();
    while (i < n || j < m) {
        const bool fromFirst = j == m || (i < n && compareKeys(first.keys[i], second.keys[j]) <= 0);
        Keyed& from = fromFirst ? first : second;
        std::size_t& k = fromFirst ? i : j;
        if (out.keys.empty() || compareKeys(out.keys.back(), from.keys[k]) != 0) {
            out.entries.push_back(std::move(from.entries[k]));
            out.keys.push_back(std::move(from.keys[k]));
        }
        ++k;
    }
    return out;
}

bool HistoryOrder::take(Keyed joined) {
    const bool changed = joined.entries != entries_;
    entries_ = std::move(joined.entries);
    keys_ = std::move(joined.keys);
    ordered_ = true;
    heldApart_ = false;
    held_ = {};
    heldLacks_ = npos;
    return changed;
}

bool HistoryOrder::MergeFile(std::vector<std::string> fileLines) {
    order();
    Keyed file;
    file.keys = keysReusing(fileLines);
    file.entries = std::move(fileLines);
    sortKeyed(file, true);
    return take(join(std::move(file), Keyed{entries_, keys_}));
}

bool HistoryOrder::MergeHeld() {
    order();
    if (!heldApart_) {
        heldLacks_ = npos;
        return false;
    }
    Keyed held = std::move(held_);
    return take(join(std::move(held), Keyed{entries_, keys_}));
}

std::pair<std::size_t, bool> HistoryOrder::Find(const std::string& text) {
    order();
    const std::string key = keyOf(text);
    const auto it = std::lower_bound(keys_.begin(), keys_.end(), key,
                                     [](const std::string& a, const std::string& b) { return compareKeys(a, b) < 0; });
    const auto at = static_cast<std::size_t>(it - keys_.begin());
    return {at, it != keys_.end() && compareKeys(*it, key) == 0};
}

std::size_t HistoryOrder::Insert(const std::string& text) {
    order();
    // What the merge held lacks the one entry recorded since; a second one makes it a list of its own.
    if (!heldApart_ && heldLacks_ != npos) setHeldApart();
    std::string key = keyOf(text);
    const auto it = std::upper_bound(keys_.begin(), keys_.end(), key,
                                     [](const std::string& a, const std::string& b) { return compareKeys(a, b) < 0; });
    const auto at = it - keys_.begin();
    keys_.insert(it, std::move(key));
    entries_.insert(entries_.begin() + at, text);
    const auto index = static_cast<std::size_t>(at);
    if (!heldApart_) heldLacks_ = index;
    return index;
}

void HistoryOrder::Erase(std::size_t index) {
    order();
    if (index >= entries_.size()) return;
    setHeldApart();
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(index));
}

void HistoryOrder::Clear() {
    setHeldApart();
    entries_.clear();
    keys_.clear();
    ordered_ = true;
}

} // namespace kg
