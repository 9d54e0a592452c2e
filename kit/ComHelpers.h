#pragma once
// What code at COM boundaries needs: 8-bit texts as wide strings and BSTRs,
// and a failure code raised as an error with the platform's text for it.
#include "kit/SystemError.h"

#include <windows.h>
#include <oleauto.h>
#include <string>

namespace kg {

// Text in the system's ANSI code page as a wide string.
std::wstring AnsiToWide(const std::string& text);
// A wide string in the system's ANSI code page.
std::string WideToAnsi(const std::wstring& text);

// Text in the system's ANSI code page as a newly allocated BSTR, which the
// caller owns; raises std::bad_alloc when none can be had.
BSTR AnsiToBstr(const std::string& text);

// A BSTR owned for one scope.
class OwnedBstr {
public:
    explicit OwnedBstr(const std::string& text) : value_(AnsiToBstr(text)) {}
    ~OwnedBstr() { SysFreeString(value_); }
    OwnedBstr(const OwnedBstr&) = delete;
    OwnedBstr& operator=(const OwnedBstr&) = delete;
    BSTR get() const noexcept { return value_; }

private:
    BSTR value_;
};

// Raises kit::OSError carrying the code and the platform's message for it
// when hr is a failure code; nothing for a success code.
using kit::OleCheck;

} // namespace kg
