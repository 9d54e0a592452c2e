#pragma once
// The About window.
namespace kg {

// Shows the About window modally; `timed` closes it by itself after four seconds.
void ShowAboutWindow(bool timed);

} // namespace kg
