// bandhost: the stand-in browser. Opens a browser frame, builds the toolbar
// window of the installed toolbar in the frame's band site, hands it the
// frame's browser object, and runs until the frame is closed.
//
//   bandhost.exe [--screenshot-after MS]
//
// With --screenshot-after the program ends by itself after MS milliseconds,
// so a script can take a picture of the screen while it runs.
#include "config/Settings.h"
#include "kit/Error.h"
#include "kit/Handles.h"
#include "host/WebBrowserHost.h"
#include "toolbar/KestrelgroveForm.h"
#include "tools/bandhost/lib/BrowserFrame.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

namespace {

struct Options {
    long quitAfterMs = -1;  // run until closed
};

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--screenshot-after" && i + 1 < argc) {
            char* end = nullptr;
            const long ms = std::strtol(argv[++i], &end, 10);
            if (*argv[i] == '\0' || *end != '\0' || ms < 0 || ms > 24L * 3600 * 1000) {
                std::fprintf(stderr, "bandhost: --screenshot-after needs a number of milliseconds\n");
                return false;
            }
            options.quitAfterMs = ms;
        } else {
            std::fprintf(stderr, "usage: bandhost.exe [--screenshot-after MS]\n");
            return false;
        }
    }
    return true;
}

void CALLBACK quitTimer(HWND, UINT, UINT_PTR, DWORD) {
    PostQuitMessage(0);
}

// The band site's client size: what the browser gives the band.
SIZE siteSize(HWND site) {
    RECT r{};
    GetClientRect(site, &r);
    return {r.right - r.left, r.bottom - r.top};
}

int run(const Options& options) {
    kg::LoadToolbarSettings();
    const kg::TToolbarSettings& settings = kg::ToolbarSettings();
    std::printf("bandhost: toolbar \"%s\" from %s\n", settings.ToolbarName.c_str(),
                settings.ConfigFileName().c_str());

    bandhost::BrowserFrame frame(1000, 600);
    frame.show();

    std::unique_ptr<kg::TformToolbar> toolbar = std::make_unique<kg::TformToolbar>(frame.siteWindow());
    toolbar->AttachBrowser(std::make_shared<kg::WebBrowserHost>(frame.webBrowser()));
    const SIZE band = siteSize(frame.siteWindow());
    toolbar->SetBounds(0, 0, band.cx, band.cy);

    // The browser hides the band when asked: the band's window goes once the
    // click that asked has returned.
    frame.browser().setOnShowBrowserBar([&](const bandhost::ShowBrowserBarCall& call) {
        if (!call.showValue) frame.post([&] { toolbar.reset(); });
    });
    frame.setOnClose([&] {
        toolbar.reset();
        PostQuitMessage(0);
    });

    UINT_PTR timer = 0;
    if (options.quitAfterMs >= 0) {
        timer = SetTimer(nullptr, 0, static_cast<UINT>(options.quitAfterMs), quitTimer);
        if (!timer) throw kit::OSError(GetLastError(), "Cannot start the timer");
    }

    MSG msg;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (timer) KillTimer(nullptr, timer);
    toolbar.reset();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) return 2;
    kit::com_apartment com;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    try {
        return run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bandhost: %s\n", e.what());
        return 1;
    }
}
