#pragma once
// The order of the search history and its merges. Every entry's sort key is
// computed once, by the function given (the platform's locale-aware,
// case-blind sort key), and keys compare as unsigned bytes. Keys are computed
// only when the order is first needed, so a history that is read and never
// looked at costs no key. Portable: no Windows header here or in the
// implementation.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kg {

using HistoryKeyFunction = std::function<std::string(const std::string&)>;

class HistoryOrder {
public:
    explicit HistoryOrder(HistoryKeyFunction key) : key_(std::move(key)) {}

    // The lines of a history file read at start: ascending, duplicates
    // dropped (the first of equal lines stays). What a later merge without a
    // file keeps.
    void Assign(std::vector<std::string> lines);
    // Lines taken as they are, duplicates kept, shown ascending; equal lines
    // stay in the order given.
    void AssignAll(std::vector<std::string> lines);

    const std::vector<std::string>& Entries();
    std::size_t Size() const noexcept { return entries_.size(); }

    // The merge before a search is recorded: the file's lines (duplicates
    // dropped, the first stays) joined with the entries, a file line winning
    // over an equal entry and the first of equal entries staying. True when
    // the entries changed.
    bool MergeFile(std::vector<std::string> fileLines);
    // The merge when there is no file: what the last merge (or the start)
    // held, joined with the entries the same way. True when they changed.
    bool MergeHeld();

    // The first entry equal to `text` (true), or where it would go (false).
    std::pair<std::size_t, bool> Find(const std::string& text);
    // `text` at its place after Find; returns its index.
    std::size_t Insert(const std::string& text);
    void Erase(std::size_t index);
    void Clear();

    // Keys computed so far (benchmarks and tests count the work).
    std::size_t KeysComputed() const noexcept { return keysComputed_; }

private:
    // The keys of a list, one after another in one buffer: a key costs its
    // bytes and a span, not a string of its own.
    class KeyList {
    public:
        std::size_t size() const noexcept { return spans_.size(); }
        std::string_view operator[](std::size_t i) const noexcept {
            return {bytes_.data() + spans_[i].offset, spans_[i].length};
        }
        void reserve(std::size_t keys, std::size_t bytes) {
            spans_.reserve(keys);
            bytes_.reserve(bytes);
        }
        std::size_t bytes() const noexcept { return bytes_.size(); }
        // `key` must not be a view into this list.
        void push_back(std::string_view key) {
            spans_.push_back({bytes_.size(), static_cast<std::uint32_t>(key.size())});
            bytes_.append(key);
        }
        void insert(std::size_t at, std::string_view key) {
            const Span span{bytes_.size(), static_cast<std::uint32_t>(key.size())};
            bytes_.append(key);
            spans_.insert(spans_.begin() + static_cast<std::ptrdiff_t>(at), span);
        }
        // Its bytes stay in the buffer until the list is next built anew.
        void erase(std::size_t at) { spans_.erase(spans_.begin() + static_cast<std::ptrdiff_t>(at)); }
        void clear() noexcept {
            spans_.clear();
            bytes_.clear();
        }

    private:
        struct Span {
            std::size_t offset;
            std::uint32_t length;
        };
        std::vector<Span> spans_;
        std::string bytes_;
    };
    struct Keyed {
        std::vector<std::string> entries;
        KeyList keys;
    };
    void order();
    std::string keyOf(const std::string& text);
    // Keys of `lines`, reusing those of byte-equal entries met in one walk.
    KeyList keysReusing(const std::vector<std::string>& lines);
    // `lines` with `keys` put in order (stable); `unique` drops all but the first of equal ones.
    static void sortKeyed(Keyed& keyed, bool unique);
    // `first` joined with `second`: an entry of `second` equal to one already
    // taken is dropped. `same` tells whether the result is `second` unchanged.
    static Keyed join(Keyed first, Keyed second, bool& same);
    // What the last merge held is about to differ from the entries.
    void setHeldApart();
    void take(Keyed joined);

    HistoryKeyFunction key_;
    std::vector<std::string> entries_;
    KeyList keys_;  // one per entry once ordered_
    bool ordered_ = true;
    bool pendingUnique_ = true;
    bool unique_ = true;  // once ordered: no two entries equal
    std::size_t keysComputed_ = 0;
    // What the last merge held, once the entries went their own way (remove,
    // clear, load, refresh). While not apart it is the entries, less the one
    // recorded since the merge (heldLacks_).
    bool heldApart_ = false;
    Keyed held_;
    std::size_t heldLacks_ = npos;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
};

} // namespace kg
