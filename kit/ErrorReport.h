#pragma once
// The standard error report: an error that leaves an event handler is shown in
// an error message box (OK button, error icon) owned by the active window, with
// the error's text as the message and the application title as the caption.
// The application title is the host program's file name without its folder and
// extension ("iexplore" inside the browser), as a program's title would be.
#include "kit/Events.h"

#include <string>

namespace kit {

// The host program's file name without folder and extension.
std::string ApplicationTitle();

} // namespace kit
