#pragma once
// Navigating a browser to a URL: the hosting browser when there is one, else
// a browser application the toolbar starts (and keeps) itself.
#include "toolbar/BrowserHost.h"
#include "kit/OleVariant.h"

#include <string>

namespace kg {

inline constexpr char BrowserProgId[] = "InternetExplorer.Application";
inline constexpr char BrowserFrameClass[] = "IEFrame";

// The hosting browser navigates; without one, NavigateOutsideHost. Failures
// of the browser raise errors.
void NavigateTo(BrowserHost* host, kit::OleVariant& spareBrowser, const std::string& url);

// Creates the browser application on first use and keeps it in the slot; later
// calls reuse it while a browser frame window is on screen, else hand the URL to the
// system's hyperlink navigation.
void NavigateOutsideHost(kit::OleVariant& spareBrowser, const std::string& url);

} // namespace kg
