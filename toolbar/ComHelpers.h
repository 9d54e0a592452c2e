#pragma once
// What the toolbar window needs at COM boundaries: its 8-bit texts as wide
// strings, and a browser's failure code raised as an error with the
// platform's text for it.
#include <windows.h>
#include <string>

namespace kg {

// Text in the system's ANSI code page as a wide string.
std::wstring AnsiToWide(const std::string& text);
// A wide string in the system's ANSI code page.
std::string WideToAnsi(const std::wstring& text);

// Raises kit::OSError carrying the code and the platform's message for it
// when hr is a failure code; nothing for a success code.
void OleCheck(HRESULT hr);

} // namespace kg
