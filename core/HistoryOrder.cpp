#include "core/HistoryOrder.h"

#include <algorithm>
#include <numeric>

namespace kg {

namespace {

// Keys are byte strings compared as unsigned bytes (string_view's compare does that).
int compareKeys(std::string_view a, std::string_view b) noexcept { return a.compare(b); }

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
    unique_ = true;
    heldApart_ = false;
    held_ = {};
    heldLacks_ = npos;
}

void HistoryOrder::setHeldApart() {
    if (heldApart_) return;
    order();
    held_ = {};
    held_.entries.reserve(entries_.size());
    held_.keys.reserve(entries_.size(), keys_.bytes());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (i == heldLacks_) continue;
        held_.entries.push_back(entries_[i]);
        held_.keys.push_back(keys_[i]);
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
    unique_ = entries_.empty();
}

void HistoryOrder::sortKeyed(Keyed& keyed, bool unique) {
    const KeyList& keys = keyed.keys;
    bool inOrder = true;
    for (std::size_t i = 1; i < keys.size() && inOrder; ++i) {
        const int c = compareKeys(keys[i - 1], keys[i]);
        inOrder = unique ? c < 0 : c <= 0;
    }
    if (inOrder) return;
    std::vector<std::uint32_t> at(keyed.entries.size());
    std::iota(at.begin(), at.end(), 0u);
    std::stable_sort(at.begin(), at.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return compareKeys(keys[a], keys[b]) < 0; });
    Keyed sorted;
    sorted.entries.reserve(at.size());
    sorted.keys.reserve(at.size(), keys.bytes());
    for (std::uint32_t i : at) {
        if (unique && sorted.keys.size() && compareKeys(sorted.keys[sorted.keys.size() - 1], keys[i]) == 0) continue;
        sorted.entries.push_back(std::move(keyed.entries[i]));
        sorted.keys.push_back(keys[i]);
    }
    keyed = std::move(sorted);
}

void HistoryOrder::order() {
    if (ordered_) return;
    Keyed keyed{std::move(entries_), {}};
    keyed.keys.reserve(keyed.entries.size(), 0);
    for (const std::string& entry : keyed.entries) keyed.keys.push_back(keyOf(entry));
    sortKeyed(keyed, pendingUnique_);
    entries_ = std::move(keyed.entries);
    keys_ = std::move(keyed.keys);
    ordered_ = true;
    unique_ = pendingUnique_;
}

const std::vector<std::string>& HistoryOrder::Entries() {
    order();
    return entries_;
}

HistoryOrder::KeyList HistoryOrder::keysReusing(const std::vector<std::string>& lines) {
    KeyList keys;
    keys.reserve(lines.size(), keys_.bytes());
    std::size_t j = 0;
    for (const std::string& line : lines) {
        if (j < entries_.size() && line == entries_[j]) {
            keys.push_back(keys_[j++]);
            continue;
        }
        // A line the other window removed: the next entry may be this one.
        if (j + 1 < entries_.size() && line == entries_[j + 1]) {
            j += 1;
            keys.push_back(keys_[j++]);
            continue;
        }
        const std::string key = keyOf(line);
        keys.push_back(key);
        // Lines in order pass entries the file no longer holds.
        while (j < entries_.size() && compareKeys(keys_[j], key) < 0) ++j;
    }
    return keys;
}

HistoryOrder::Keyed HistoryOrder::join(Keyed first, Keyed second, bool& same) {
    Keyed out;
    const std::size_t n = first.entries.size(), m = second.entries.size();
    out.entries.reserve(n + m);
    out.keys.reserve(n + m, first.keys.bytes() + second.keys.bytes());
    same = true;
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && first.entries[i] == second.entries[j]) {
            // The same text in both: one entry, as `second` has it.
            out.entries.push_back(std::move(second.entries[j]));
            out.keys.push_back(second.keys[j]);
            ++i;
            ++j;
            continue;
        }
        const bool fromFirst = j == m || (i < n && compareKeys(first.keys[i], second.keys[j]) <= 0);
        Keyed& from = fromFirst ? first : second;
        std::size_t& k = fromFirst ? i : j;
        const bool duplicate = out.keys.size() && compareKeys(out.keys[out.keys.size() - 1], from.keys[k]) == 0;
        // Anything but `second`'s next entry taken as it is makes the result differ.
        same = same && !fromFirst && !duplicate;
        if (!duplicate) {
            out.entries.push_back(std::move(from.entries[k]));
            out.keys.push_back(from.keys[k]);
        }
        ++k;
    }
    return out;
}

void HistoryOrder::take(Keyed joined) {
    entries_ = std::move(joined.entries);
    keys_ = std::move(joined.keys);
    ordered_ = true;
    unique_ = true;
    heldApart_ = false;
    held_ = {};
    heldLacks_ = npos;
}

bool HistoryOrder::MergeFile(std::vector<std::string> fileLines) {
    order();
    if (unique_ && fileLines == entries_) {
        // The file is the list (the usual case: this window wrote it): nothing to join.
        heldApart_ = false;
        held_ = {};
        heldLacks_ = npos;
        return false;
    }
    Keyed file;
    file.keys = keysReusing(fileLines);
    file.entries = std::move(fileLines);
    sortKeyed(file, true);
    bool same = true;
    Keyed mine{std::move(entries_), std::move(keys_)};
    take(join(std::move(file), std::move(mine), same));
    return !same;
}

bool HistoryOrder::MergeHeld() {
    order();
    if (!heldApart_) {
        heldLacks_ = npos;
        return false;
    }
    bool same = true;
    Keyed held = std::move(held_);
    Keyed mine{std::move(entries_), std::move(keys_)};
    take(join(std::move(held), std::move(mine), same));
    return !same;
}

std::pair<std::size_t, bool> HistoryOrder::Find(const std::string& text) {
    order();
    const std::string key = keyOf(text);
    std::size_t low = 0, high = keys_.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (compareKeys(keys_[mid], key) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return {low, low < keys_.size() && compareKeys(keys_[low], key) == 0};
}

std::size_t HistoryOrder::Insert(const std::string& text) {
    order();
    // What the merge held lacks the one entry recorded since; a second one makes it a list of its own.
    if (!heldApart_ && heldLacks_ != npos) setHeldApart();
    const std::string key = keyOf(text);
    std::size_t low = 0, high = keys_.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (compareKeys(key, keys_[mid]) < 0)
            high = mid;
        else
            low = mid + 1;
    }
    if ((low > 0 && compareKeys(keys_[low - 1], key) == 0)) unique_ = false;
    keys_.insert(low, key);
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(low), text);
    if (!heldApart_) heldLacks_ = low;
    return low;
}

void HistoryOrder::Erase(std::size_t index) {
    order();
    if (index >= entries_.size()) return;
    setHeldApart();
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    keys_.erase(index);
}

void HistoryOrder::Clear() {
    setHeldApart();
    entries_.clear();
    keys_.clear();
    ordered_ = true;
    unique_ = true;
}

} // namespace kg
