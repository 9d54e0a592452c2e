#pragma once
// The toolbar window's view of the hosting browser, over the browser object
// (IWebBrowser2) that the band got from its site.
#include "kit/Handles.h"
#include "toolbar/BrowserHost.h"

#include <exdisp.h>

namespace kg {

class WebBrowserHost final : public BrowserHost {
public:
    explicit WebBrowserHost(kit::com_ptr<IWebBrowser2> browser) noexcept : browser_(std::move(browser)) {}

    void Navigate(const std::string& url) override;
    long Width() override;
    void SetStatusText(const std::string& text) override;
    void ShowBrowserBar(const VARIANT& classId, const VARIANT& show, const VARIANT& size) override;

    IWebBrowser2* Browser() const noexcept { return browser_.Get(); }

private:
    kit::com_ptr<IWebBrowser2> browser_;
};

} // namespace kg
