#pragma once
// The platform's text for an error code, the one place that asks for it.
#include <string>

namespace kit {

// The system's message for `code`, without the blanks, line break and full
// stop that end it; empty when the system has none. `module` names a loaded
// system library whose own messages are searched too (the Internet API's,
// "wininet.dll"); nullptr for the system's alone.
std::string PlatformMessage(unsigned long code, const char* module = nullptr);

// PlatformMessage, or "System error <code>" when the system has none.
std::string SystemErrorMessage(unsigned long code, const char* module = nullptr);

} // namespace kit
