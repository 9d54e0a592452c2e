#pragma once
// kit::com_ptr<T>: an owning pointer to a COM object, with the names of
// Microsoft's WRL ComPtr.
//
// The rule: Attach ADOPTS the reference it is given (no AddRef), and Detach
// hands one out (no Release). Every other way in adds a reference: building
// or assigning from a raw pointer, copying, CopyTo. The holder releases its
// reference when it is reset, reassigned or destroyed.
//
// GetAddressOf is for an empty holder (an out parameter filled by a call);
// ReleaseAndGetAddressOf empties a full one first.
#include <unknwn.h>

#include <cstddef>
#include <type_traits>
#include <utility>

namespace kit {

template <typename T>
class com_ptr {
    template <typename U>
    using convertible = std::enable_if_t<std::is_convertible_v<U*, T*>, int>;

public:
    using InterfaceType = T;

    com_ptr() noexcept = default;
    com_ptr(std::nullptr_t) noexcept {}
    template <typename U, convertible<U> = 0>
    com_ptr(U* p) noexcept : p_(p) {
        addRef();
    }
    com_ptr(const com_ptr& other) noexcept : p_(other.p_) { addRef(); }
    template <typename U, convertible<U> = 0>
    com_ptr(const com_ptr<U>& other) noexcept : p_(other.Get()) {
        addRef();
    }
    com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    template <typename U, convertible<U> = 0>
    com_ptr(com_ptr<U>&& other) noexcept : p_(other.Detach()) {}
    ~com_ptr() { Reset(); }

    com_ptr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }
    template <typename U, convertible<U> = 0>
    com_ptr& operator=(U* p) noexcept {
        com_ptr(p).Swap(*this);
        return *this;
    }
    com_ptr& operator=(const com_ptr& other) noexcept {
        com_ptr(other).Swap(*this);
        return *this;
    }
    template <typename U, convertible<U> = 0>
    com_ptr& operator=(const com_ptr<U>& other) noexcept {
        com_ptr(other).Swap(*this);
        return *this;
    }
    com_ptr& operator=(com_ptr&& other) noexcept {
        com_ptr(std::move(other)).Swap(*this);
        return *this;
    }
    template <typename U, convertible<U> = 0>
    com_ptr& operator=(com_ptr<U>&& other) noexcept {
        com_ptr(std::move(other)).Swap(*this);
        return *this;
    }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    T** GetAddressOf() noexcept { return &p_; }
    T* const* GetAddressOf() const noexcept { return &p_; }
    T** ReleaseAndGetAddressOf() noexcept {
        Reset();
        return &p_;
    }

    // Releases the held reference; answers what Release answered (0 when empty).
    unsigned long Reset() noexcept {
        T* old = std::exchange(p_, nullptr);
        return old ? old->Release() : 0;
    }
    // Adopts p's reference; the one held before is released.
    void Attach(T* p) noexcept {
        Reset();
        p_ = p;
    }
    // Gives the held reference to the caller, who must release it.
    T* Detach() noexcept { return std::exchange(p_, nullptr); }
    void Swap(com_ptr& other) noexcept { std::swap(p_, other.p_); }

    // The object's U interface, into `out` (emptied first).
    template <typename U>
    HRESULT As(com_ptr<U>* out) const noexcept {
        return AsIID(__uuidof(U), out);
    }
    template <typename U>
    HRESULT AsIID(REFIID iid, com_ptr<U>* out) const noexcept {
        if (!out) return E_POINTER;
        void** slot = reinterpret_cast<void**>(out->ReleaseAndGetAddressOf());
        return p_ ? p_->QueryInterface(iid, slot) : E_POINTER;
    }
    // A new reference for an out parameter.
    HRESULT CopyTo(T** out) const noexcept {
        if (!out) return E_POINTER;
        *out = p_;
        addRef();
        return S_OK;
    }
    HRESULT CopyTo(REFIID iid, void** out) const noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        return p_ ? p_->QueryInterface(iid, out) : E_POINTER;
    }
    template <typename U>
    HRESULT CopyTo(U** out) const noexcept {
        return CopyTo(__uuidof(U), reinterpret_cast<void**>(out));
    }

private:
    void addRef() const noexcept {
        if (p_) p_->AddRef();
    }

    T* p_ = nullptr;
};

template <typename T, typename U>
bool operator==(const com_ptr<T>& a, const com_ptr<U>& b) noexcept {
    return a.Get() == b.Get();
}
template <typename T, typename U>
bool operator!=(const com_ptr<T>& a, const com_ptr<U>& b) noexcept {
    return a.Get() != b.Get();
}
template <typename T>
bool operator==(const com_ptr<T>& a, std::nullptr_t) noexcept {
    return !a;
}
template <typename T>
bool operator!=(const com_ptr<T>& a, std::nullptr_t) noexcept {
    return static_cast<bool>(a);
}
template <typename T>
bool operator==(std::nullptr_t, const com_ptr<T>& a) noexcept {
    return !a;
}
template <typename T>
bool operator!=(std::nullptr_t, const com_ptr<T>& a) noexcept {
    return static_cast<bool>(a);
}
template <typename T, typename U>
bool operator<(const com_ptr<T>& a, const com_ptr<U>& b) noexcept {
    return a.Get() < b.Get();
}

} // namespace kit
