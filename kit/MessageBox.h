#pragma once
// The kinds of message box the windows use, through the platform seam
// (kit::platform().messageBox), owned by the active window; the caption is
// the application title, as the error report has it.
#include "kit/ErrorReport.h"
#include "kit/Platform.h"

#include <windows.h>
#include <string>

namespace kit {

// Information with an OK button.
inline void ShowInformation(const std::string& text, const std::string& caption = ApplicationTitle()) {
    platform().messageBox(GetActiveWindow(), text, caption, MB_OK | MB_ICONINFORMATION);
}

// A question with Yes and No; true for Yes.
inline bool Confirm(const std::string& text, const std::string& caption = ApplicationTitle()) {
    return platform().messageBox(GetActiveWindow(), text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// An error with an OK button.
inline void ShowError(const std::string& text, const std::string& caption = ApplicationTitle()) {
    platform().messageBox(GetActiveWindow(), text, caption, MB_OK | MB_ICONERROR);
}

// A plain box with an OK button and no icon.
inline void ShowMessage(const std::string& text, const std::string& caption = ApplicationTitle()) {
    platform().messageBox(GetActiveWindow(), text, caption, MB_OK);
}

} // namespace kit
