#include "host/WebBrowserHost.h"

#include "kit/ComHelpers.h"
#include "kit/OleVariant.h"

#include <oleauto.h>

namespace kg {

void WebBrowserHost::Navigate(const std::string& url) {
    const OwnedBstr target(url);
    // One variant holding 0 for flags, target frame, post data and headers:
    // this window, no post data, no extra headers.
    kit::OleVariant zero;
    zero.put()->vt = VT_I4;
    zero.get()->lVal = 0;
    OleCheck(browser_->Navigate(target.get(), zero.get(), zero.get(), zero.get(), zero.get()));
}

long WebBrowserHost::Width() {
    LONG width = 0;
    OleCheck(browser_->get_Width(&width));
    return width;
}

void WebBrowserHost::SetStatusText(const std::string& text) {
    const OwnedBstr value(text);
    OleCheck(browser_->put_StatusText(value.get()));
}

void WebBrowserHost::ShowBrowserBar(const VARIANT& classId, const VARIANT& show, const VARIANT& size) {
    // The browser may close the band, and let go of this object's owner, before it answers.
    const kit::com_ptr<IWebBrowser2> browser = browser_;
    OleCheck(browser->ShowBrowserBar(const_cast<VARIANT*>(&classId), const_cast<VARIANT*>(&show),
                                     const_cast<VARIANT*>(&size)));
}

} // namespace kg
