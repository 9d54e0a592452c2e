#pragma once
// Raising a failed Win32 call or COM call as kit::OSError with the system's
// text for its code.
#include "core/Error.h"
#include "core/SystemMessage.h"

#include <string>

namespace kit {

// The system's text for a failed HRESULT; "OLE error XXXXXXXX" when it has none.
std::string HResultMessage(long hr);

// Raises OSError(code) whose message is `context`, then the system's text for the code.
[[noreturn]] void RaiseOSError(unsigned long code, const std::string& context = {});
// RaiseOSError with the calling thread's last error code.
[[noreturn]] void RaiseLastOSError(const std::string& context = {});
// Raises OSError(hr) with `context` and HResultMessage(hr) for a failure code; nothing for success.
void OleCheck(long hr, const std::string& context = {});

} // namespace kit
