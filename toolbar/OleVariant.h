#pragma once
// An owned VARIANT: cleared (and what it holds released) with its holder.
#include <windows.h>
#include <oleauto.h>

namespace kg {

class OleVariant {
public:
    OleVariant() noexcept { VariantInit(&v_); }
    OleVariant(const OleVariant&) = delete;
    OleVariant& operator=(const OleVariant&) = delete;
    ~OleVariant() { VariantClear(&v_); }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARTYPE type() const noexcept { return v_.vt; }
    // Empties it first, so the old content is released before a new one is written.
    VARIANT* put() noexcept {
        VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

} // namespace kg
