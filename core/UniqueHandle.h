#pragma once
// The owner of one handle of any kind: `Traits` says which value is none and
// how a handle is closed (the platform's kinds are in kit/Handles.h).
#include <utility>

namespace kit {

template <typename H, typename Traits>
class unique_handle {
public:
    unique_handle() noexcept = default;
    explicit unique_handle(H h) noexcept : h_(h) {}
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    unique_handle(unique_handle&& o) noexcept : h_(o.release()) {}
    unique_handle& operator=(unique_handle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    ~unique_handle() { reset(); }

    H get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::invalid(); }
    H release() noexcept { return std::exchange(h_, Traits::invalid()); }
    void reset(H h = Traits::invalid()) noexcept {
        if (h_ != Traits::invalid()) Traits::close(h_);
        h_ = h;
    }
    H* put() noexcept { reset(); return &h_; }

private:
    H h_ = Traits::invalid();
};

} // namespace kit
