#pragma once
// A set of non-null pointers in one open-addressed array (linear probing,
// backward-shift erase): a slot of 8 bytes per pointer at most half full,
// where a node set spends a node, its heap header and a bucket on each.
// Hash and Eq may take other key types too (a name for a component), as long
// as equal keys hash alike.
#include <cstddef>
#include <memory>
#include <utility>

namespace kit {

template <class T, class Hash, class Eq>
class PointerSet {
public:
    PointerSet() = default;
    PointerSet(const PointerSet&) = delete;
    PointerSet& operator=(const PointerSet&) = delete;

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    // The member equal to `key`, or nullptr.
    template <class K>
    T* find(const K& key) const noexcept {
        if (size_ == 0) return nullptr;
        for (std::size_t i = Hash{}(key) & mask(); slots_[i]; i = (i + 1) & mask())
            if (Eq{}(key, slots_[i])) return slots_[i];
        return nullptr;
    }

    // False when an equal member is there already (it stays). May raise
    // std::bad_alloc; the set is then unchanged.
    bool insert(T* p) {
        if (find(p)) return false;
        if ((size_ + 1) * 2 > capacity_) rehash(capacity_ ? capacity_ * 2 : 16);
        std::size_t i = Hash{}(p) & mask();
        while (slots_[i]) i = (i + 1) & mask();
        slots_[i] = p;
        ++size_;
        return true;
    }

    // Takes out the member equal to `key` only if it is `p` itself.
    template <class K>
    bool erase(const K& key, const T* p) noexcept {
        if (size_ == 0) return false;
        std::size_t i = Hash{}(key) & mask();
        for (; slots_[i]; i = (i + 1) & mask())
            if (Eq{}(key, slots_[i])) break;
        if (slots_[i] != p || !p) return false;
        // Pull later members of the run back, so that no lookup meets a gap before its member.
        for (std::size_t j = (i + 1) & mask(); slots_[j]; j = (j + 1) & mask()) {
            const std::size_t home = Hash{}(slots_[j]) & mask();
            const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
            if (stays) continue;
            slots_[i] = slots_[j];
            i = j;
        }
        slots_[i] = nullptr;
        if (--size_ == 0) {
            slots_.reset();
            capacity_ = 0;
        }
        return true;
    }
    bool erase(const T* p) noexcept { return p && erase(p, p); }

private:
    std::size_t mask() const noexcept { return capacity_ - 1; }
    void rehash(std::size_t capacity) {
        std::unique_ptr<T*[]> slots(new T*[capacity]());
        for (std::size_t n = 0; n < capacity_; ++n) {
            T* p = slots_[n];
            if (!p) continue;
            std::size_t i = Hash{}(p) & (capacity - 1);
            while (slots[i]) i = (i + 1) & (capacity - 1);
            slots[i] = p;
        }
        slots_ = std::move(slots);
        capacity_ = capacity;
    }

    std::unique_ptr<T*[]> slots_;
    std::size_t capacity_ = 0;  // 0 or a power of two
    std::size_t size_ = 0;
};

} // namespace kit
