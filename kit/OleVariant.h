#pragma once
// kit::OleVariant: an owned VARIANT, cleared (and what it holds released)
// with its holder.
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace kit {

class OleVariant {
public:
    OleVariant() noexcept { VariantInit(&v_); }
    // A copy of *source, by-reference values copied through to what they
    // point to; empty when source is null or its value cannot be copied.
    explicit OleVariant(const VARIANT* source) noexcept;
    OleVariant(const OleVariant& other) noexcept;
    OleVariant(OleVariant&& other) noexcept;
    OleVariant& operator=(const OleVariant& other) noexcept;
    OleVariant& operator=(OleVariant&& other) noexcept;
    ~OleVariant() { VariantClear(&v_); }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARTYPE type() const noexcept { return v_.vt; }
    // Empties it first, so the old content is released before a new one is written.
    VARIANT* put() noexcept {
        VariantClear(&v_);
        return &v_;
    }

    // The value converted to text, a 32-bit integer or a Boolean; false (and
    // `out` untouched) when the value does not convert.
    bool asText(std::wstring& out) const;
    bool asInt(LONG& out) const;
    bool asBool(bool& out) const;

private:
    // The conversion functions take a writable source they never write.
    VARIANT* source() const noexcept { return const_cast<VARIANT*>(&v_); }
    VARIANT v_;
};

} // namespace kit
