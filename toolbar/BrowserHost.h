#pragma once
// What the toolbar window may ask of the browser that hosts it, and nothing
// more: the band object hands the window one of these when it attaches it.
// Every operation raises an error carrying the browser's failure code.
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace kg {

class BrowserHost {
public:
    virtual ~BrowserHost() = default;
    // The hosting window loads the URL (no flags, target frame, post data or headers).
    virtual void Navigate(const std::string& url) = 0;
    // The browser window's width in pixels.
    virtual long Width() = 0;
    // The text shown in the browser's status bar.
    virtual void SetStatusText(const std::string& text) = 0;
    // Shows or hides a band (class identifier, show flag, size); hiding makes
    // the browser close the band, possibly before this returns.
    virtual void ShowBrowserBar(const VARIANT& classId, const VARIANT& show, const VARIANT& size) = 0;
};

} // namespace kg
