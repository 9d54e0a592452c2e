// bandhost: the stand-in browser. Opens a browser frame and does to the
// installed band what a browser does: creates it by class identifier from the
// registry (kestrelgrove.dll, registered with regsvr32), gives it a site,
// docks its window in the band strip, routes keyboard and context menu to it,
// closes it when asked through ShowBrowserBar, and at the end releases it and
// reports whether COM unloaded the DLL.
//
//   bandhost.exe [--screenshot-after MS] [--quit-after-close] [--print-layout]
//
// With --screenshot-after the program ends by itself after MS milliseconds,
// so a script can take a picture of the screen while it runs; an error box
// still open then is reported on standard error and closed. With
// --quit-after-close it ends once the band was closed (a script's run). With
// --print-layout it prints where the band's controls are on the screen, again
// whenever that changes, so that a script can click them: every visible
// button of the band's toolbars with its text, and every combo box.
#include "config/Settings.h"
#include "core/Error.h"
#include "kit/Handles.h"
#include "tools/bandhost/lib/BandSite.h"
#include "tools/bandhost/lib/BrowserFrame.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <exception>
#include <memory>
#include <string>

namespace {

constexpr char kDllName[] = "kestrelgrove.dll";
// How often navigations recorded inside modal loops are printed.
constexpr UINT kNavigationPollMs = 50;

struct Options {
    long quitAfterMs = -1;  // run until closed
    bool quitAfterClose = false;
    bool printLayout = false;
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
        } else if (arg == "--quit-after-close") {
            options.quitAfterClose = true;
        } else if (arg == "--print-layout") {
            options.printLayout = true;
        } else {
            std::fprintf(stderr, "usage: bandhost.exe [--screenshot-after MS] [--quit-after-close] [--print-layout]\n");
            return false;
        }
    }
    return true;
}

std::string narrow(const std::wstring& s) {
    if (s.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Prints each navigation the browser object received, once, as it comes.
class NavigationPrinter {
public:
    explicit NavigationPrinter(const bandhost::StandInBrowser& browser) : browser_(browser) {}
    void flush() {
        const auto& calls = browser_.navigations();
        for (; printed_ < calls.size(); ++printed_) {
            std::printf("navigate: %s\n", narrow(calls[printed_].url).c_str());
            std::fflush(stdout);
        }
    }

private:
    const bandhost::StandInBrowser& browser_;
    size_t printed_ = 0;
};

NavigationPrinter* g_printer = nullptr;

std::string screenRect(HWND window, RECT r) {
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    char text[96];
    std::snprintf(text, sizeof text, " at %ld,%ld size %ldx%ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return text;
}

// One line per visible button of a toolbar control: its text, its place on
// the screen and its kind ("split" has a separate drop-down arrow at its
// right end, "menu" opens a drop-down as a whole).
void describeToolbar(HWND toolbar, std::string& out) {
    RECT client{};
    GetClientRect(toolbar, &client);
    const int count = static_cast<int>(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        RECT r{};
        if (!SendMessageA(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button))) continue;
        if ((button.fsStyle & BTNS_SEP) || (button.fsState & TBSTATE_HIDDEN)) continue;
        if (!SendMessageA(toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r))) continue;
        if (r.right > client.right || r.bottom > client.bottom) continue;  // behind the chevron
        const LRESULT length = SendMessageA(toolbar, TB_GETBUTTONTEXTA, button.idCommand, 0);
        std::string text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
        if (length > 0) SendMessageA(toolbar, TB_GETBUTTONTEXTA, button.idCommand, reinterpret_cast<LPARAM>(text.data()));
        text.resize(std::strlen(text.c_str()));
        const char* kind = (button.fsStyle & BTNS_WHOLEDROPDOWN) ? " menu" : (button.fsStyle & BTNS_DROPDOWN) ? " split" : "";
        out += "layout: button \"" + text + "\"" + screenRect(toolbar, r) + kind + "\n";
    }
}

BOOL CALLBACK describeControl(HWND window, LPARAM param) {
    auto& out = *reinterpret_cast<std::string*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (_stricmp(cls, TOOLBARCLASSNAMEA) == 0) {
        describeToolbar(window, out);
    } else if (_stricmp(cls, WC_COMBOBOXA) == 0) {
        RECT r{};
        GetClientRect(window, &r);
        out += "layout: combobox" + screenRect(window, r) + "\n";
    }
    return TRUE;
}

// Prints the band's layout (--print-layout) when it differs from the last one
// printed, ended by the line "layout: end".
class LayoutPrinter {
public:
    explicit LayoutPrinter(const bandhost::HostedBand& band) : band_(band) {}
    void flush() {
        HWND window = band_.window();
        if (!window || !IsWindow(window)) return;
        std::string layout;
        EnumChildWindows(window, describeControl, reinterpret_cast<LPARAM>(&layout));
        if (layout == printed_) return;
        printed_ = layout;
        std::printf("%slayout: end\n", layout.c_str());
        std::fflush(stdout);
    }

private:
    const bandhost::HostedBand& band_;
    std::string printed_;
};

LayoutPrinter* g_layout = nullptr;

void CALLBACK navigationTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_printer) g_printer->flush();
    if (g_layout) g_layout->flush();
}

BOOL CALLBACK reportErrorBox(HWND window, LPARAM) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    // A message box shows its text in the static control 0xFFFF.
    char text[2048] = {};
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
    std::fprintf(stderr, "bandhost: error box: %s\n", text);
    std::fflush(stderr);
    return TRUE;
}

// The screenshot time is up: report the boxes nobody can press under a
// virtual display, then end every loop (a message box's loop ends on WM_QUIT).
void CALLBACK quitTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EnumThreadWindows(GetCurrentThreadId(), reportErrorBox, 0);
    PostQuitMessage(0);
}

class ThreadTimer {
public:
    ThreadTimer(UINT ms, TIMERPROC proc) : id_(SetTimer(nullptr, 0, ms, proc)) {
        if (!id_) throw kit::OSError(GetLastError(), "Cannot start a timer");
    }
    ~ThreadTimer() { KillTimer(nullptr, id_); }
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;

private:
    UINT_PTR id_;
};

// Handles what is already queued (a band's deferred window destruction, for
// one), without waiting.
void drainQueue() {
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int run(const Options& options) {
    // Before anything that may show a box nobody could press.
    std::unique_ptr<ThreadTimer> quit;
    if (options.quitAfterMs >= 0) quit = std::make_unique<ThreadTimer>(static_cast<UINT>(options.quitAfterMs), quitTimer);

    kg::LoadToolbarSettings();
    const kg::TToolbarSettings& settings = kg::ToolbarSettings();
    std::printf("bandhost: toolbar \"%s\" from %s\n", settings.ToolbarName.c_str(),
                settings.ConfigFileName().c_str());
    std::fflush(stdout);

    bandhost::BrowserFrame frame(1000, 600);
    frame.show();
    NavigationPrinter printer(frame.browser());
    g_printer = &printer;
    ThreadTimer poll(kNavigationPollMs, navigationTimer);

    int status = 0;
    {
        bandhost::HostedBand band(frame, kg::CLSID_Kestrelgrove);
        LayoutPrinter layout(band);
        frame.setOnClose([&] {
            band.close();
            PostQuitMessage(0);
        });
        try {
            band.open();
            RECT r{};
            GetWindowRect(band.window(), &r);
            std::printf("bandhost: band open at %ld,%ld size %ldx%ld (screen), strip height %d\n", r.left, r.top,
                        r.right - r.left, r.bottom - r.top, frame.bandHeight());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "bandhost: %s\n", e.what());
            status = 1;
        }
        std::fflush(stdout);
        std::fflush(stderr);
        if (options.printLayout) g_layout = &layout;

        int closesSeen = band.closeCount();
        MSG msg;
        BOOL got;
        while (status == 0 && (got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
            if (got == -1) break;
            if (!band.translateAccelerator(msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            printer.flush();
            if (band.closeCount() != closesSeen) {
                closesSeen = band.closeCount();
                std::printf("bandhost: band closed\n");
                std::fflush(stdout);
                if (options.quitAfterClose) PostQuitMessage(0);
            }
        }
        g_layout = nullptr;
        frame.setOnClose(nullptr);
        band.close();
        drainQueue();
        printer.flush();
    }
    g_printer = nullptr;

    CoFreeUnusedLibraries();
    std::printf("bandhost: %s %s\n", kDllName, GetModuleHandleA(kDllName) ? "still loaded" : "unloaded");
    std::fflush(stdout);
    return status;
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
