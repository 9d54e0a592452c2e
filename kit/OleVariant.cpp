#include "kit/OleVariant.h"

#include <cstring>
#include <utility>

namespace kit {

namespace {

// A value converted to `type` in a local copy; false when it does not convert.
class Converted {
public:
    Converted(VARIANT* source, VARTYPE type) noexcept {
        VariantInit(&v_);
        ok_ = SUCCEEDED(VariantChangeType(&v_, source, 0, type));
    }
    Converted(const Converted&) = delete;
    Converted& operator=(const Converted&) = delete;
    ~Converted() { VariantClear(&v_); }
    bool ok() const noexcept { return ok_; }
    const VARIANT& value() const noexcept { return v_; }

private:
    VARIANT v_;
    bool ok_;
};

} // namespace

OleVariant::OleVariant(const VARIANT* source) noexcept {
    VariantInit(&v_);
    if (source && FAILED(VariantCopyInd(&v_, const_cast<VARIANT*>(source)))) VariantInit(&v_);
}

OleVariant::OleVariant(const OleVariant& other) noexcept {
    VariantInit(&v_);
    if (FAILED(VariantCopy(&v_, other.source()))) VariantInit(&v_);
}

OleVariant::OleVariant(OleVariant&& other) noexcept {
    std::memcpy(&v_, &other.v_, sizeof v_);
    VariantInit(&other.v_);
}

OleVariant& OleVariant::operator=(const OleVariant& other) noexcept {
    if (this != &other) {
        VariantClear(&v_);
        if (FAILED(VariantCopy(&v_, other.source()))) VariantInit(&v_);
    }
    return *this;
}

OleVariant& OleVariant::operator=(OleVariant&& other) noexcept {
    if (this != &other) {
        VariantClear(&v_);
        std::memcpy(&v_, &other.v_, sizeof v_);
        VariantInit(&other.v_);
    }
    return *this;
}

bool OleVariant::asText(std::wstring& out) const {
    Converted t(source(), VT_BSTR);
    if (!t.ok()) return false;
    const BSTR s = t.value().bstrVal;
    out.assign(s ? s : L"", s ? SysStringLen(s) : 0);
    return true;
}

bool OleVariant::asInt(LONG& out) const {
    Converted t(source(), VT_I4);
    if (!t.ok()) return false;
    out = t.value().lVal;
    return true;
}

bool OleVariant::asBool(bool& out) const {
    Converted t(source(), VT_BOOL);
    if (!t.ok()) return false;
    out = t.value().boolVal != VARIANT_FALSE;
    return true;
}

} // namespace kit
