#pragma once
// The errors the windows raise. An error that leaves an event handler is shown
// by the kit's error report (kit/ErrorReport.h) with its text.
#include <stdexcept>
#include <string>

namespace kit {

// The runtime's general error with a message (and the base of the others).
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file could not be opened, created, read or written.
class InOutError : public Error {
public:
    using Error::Error;
};

// A Win32 or COM failure; the message is the platform's text for the code.
class OSError : public Error {
public:
    OSError(unsigned long code, const std::string& message) : Error(message), code_(code) {}
    unsigned long code() const noexcept { return code_; }
private:
    unsigned long code_;
};

} // namespace kit
