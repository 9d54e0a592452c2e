// What the toolbar window asks of the hosting browser: hiding the band,
// keeping the window as wide as the browser, and the status-bar text.
#include "toolbar/KestrelgroveForm.h"

#include "config/Settings.h"
#include "kit/Items.h"
#include "kit/MessageBox.h"
#include "kit/Toolbar.h"
#include "kit/ComHelpers.h"

#include <oleauto.h>

#include <new>

namespace kg {

namespace {

// The margin the band keeps from the browser window's edges.
constexpr LONG kWidthMargin = 20;

} // namespace

void TformToolbar::miCloseClick(kit::TComponent*) {
    HideBand();
}

void TformToolbar::HideBand() {
    kit::OleVariant classId;
    const std::wstring text = AnsiToWide(ToolbarSettings().ClassIdText);
    if (BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        VARIANT* v = classId.put();
        v->vt = VT_BSTR;
        v->bstrVal = value;
    } else {
        kit::ShowMessage("Couldn't get handle for the band.");
    }
    kit::OleVariant show;
    show.put()->vt = VT_BOOL;
    show.get()->boolVal = VARIANT_FALSE;
    kit::OleVariant size;
    size.put()->vt = VT_I4;
    size.get()->lVal = 0;

    if (!hostBrowser_) {
        miClose->SetEnabled(false);
        return;
    }
    // The browser may close the band before it answers; the window itself
    // outlives this handler, and the browser link must too.
    const std::shared_ptr<BrowserHost> browser = hostBrowser_;
    browser->ShowBrowserBar(*classId.get(), *show.get(), *size.get());
}

void TformToolbar::FormCanResize(kit::TComponent*, int& NewWidth, int&, bool& Resize) {
    if (!ToolbarSettings().ToolbarFullSize || !hostBrowser_) return;
    if (Width() == hostBrowser_->Width() - kWidthMargin) {
        Resize = false;
        return;
    }
    // Asked again: the browser may have changed its size meanwhile.
    NewWidth = static_cast<int>(hostBrowser_->Width() - kWidthMargin);
}

void TformToolbar::ToolbarMouseMove(kit::TComponent*, unsigned, int X, int Y) {
    if (const kit::TTBCustomItem* item = Toolbar->ItemAt(X, Y)) {
        // The status bar shows what the button shows.
        std::string shown = kit::ShownCaption(item->Caption());
        if (shown == LastStatusText) return;
        LastStatusText = std::move(shown);
    } else {
        LastStatusText.clear();
    }
    sendStatusText();
}

void TformToolbar::sendStatusText() {
    if (!hostBrowser_) return;
    hostBrowser_->SetStatusText(LastStatusText);
}

} // namespace kg
