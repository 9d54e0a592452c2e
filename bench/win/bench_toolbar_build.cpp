// How long the toolbar window takes to appear for a generated configuration
// of many items: 100, 1,000 and 10,000 top-level buttons, and 10,000 items
// under one submenu. Each run installs the configuration in a temporary
// install folder with the toolbar key, constructs the window in a stand-in
// browser frame and stops the clock once the frame and all its children have
// painted; the window's destruction is timed too. Median of a few runs.
//
// Usage: kg_bench_toolbar_build.exe [runs] [case ...]
//   case: a number of top-level items, or "sub:<n>" for n items under one submenu.
#include "bench/win/BenchSupport.h"
#include "config/Registry.h"
#include "config/Settings.h"
#include "kit/Handles.h"
#include "kit/Platform.h"
#include "kit/Toolbar.h"
#include "tools/bandhost/lib/BrowserFrame.h"
#include "toolbar/KestrelgroveForm.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kToolbarFile[] = "BenchBar";

using kgbench::QuietPlatform;

using kgbench::SavedKey;

struct Case {
    std::string label;
    int items = 0;
    bool underSubmenu = false;
};

std::string configuration(const Case& c) {
    std::ostringstream ini;
    ini << "[Options]\r\nSearch URL=http://search.example/?q=[search]\r\n\r\n[Toolbar Items]\r\n";
    if (c.underSubmenu) ini << "BenchSubMenu=\r\n";
    for (int i = 1; i <= c.items; ++i) ini << "Item" << i << "=\r\n";
    ini << "\r\n[Icons]\r\n0=0\r\n1=1\r\n2=2\r\n\r\n";
    if (c.underSubmenu) ini << "[BenchSubMenu]\r\nCaption=Many\r\nParent=Toolbar\r\n\r\n";
    for (int i = 1; i <= c.items; ++i) {
        ini << "[Item" << i << "]\r\nCaption=Item " << i << "\r\nImageIndex=" << (i % 4 == 0 ? -1 : i % 3)
            << "\r\nURL=http://example.com/" << i << "\r\nParent=" << (c.underSubmenu ? "BenchSubMenu" : "Toolbar")
            << "\r\n\r\n";
    }
    return ini.str();
}

double seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

using kgbench::median;

void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

struct Timing {
    double appear = 0, destroy = 0;
    std::size_t buttons = 0;
    int boxes = 0;
};

Timing runOnce(QuietPlatform& platform) {
    LARGE_INTEGER frequency, t0, t1, t2, t3;
    QueryPerformanceFrequency(&frequency);
    const int boxesBefore = platform.boxes;
    bandhost::BrowserFrame frame(1000, 300);
    frame.show();
    pump();
    kg::LoadToolbarSettings();

    QueryPerformanceCounter(&t0);
    auto window = std::make_unique<kg::TformToolbar>(frame.siteWindow());
    frame.fitBand();
    RedrawWindow(frame.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    UpdateWindow(window->Handle());
    QueryPerformanceCounter(&t1);

    Timing t;
    t.appear = seconds(t0, t1, frequency);
    t.buttons = static_cast<std::size_t>(SendMessageA(window->Toolbar->Handle(), TB_BUTTONCOUNT, 0, 0));
    pump();

    QueryPerformanceCounter(&t2);
    window.reset();
    QueryPerformanceCounter(&t3);
    t.destroy = seconds(t2, t3, frequency);
    t.boxes = platform.boxes - boxesBefore;
    return t;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::vector<Case> cases;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i == 1 && arg.find_first_not_of("0123456789") == std::string::npos) {
            runs = std::max(1, std::atoi(arg.c_str()));
            continue;
        }
        if (arg.rfind("sub:", 0) == 0)
            cases.push_back({arg.substr(4) + " under a submenu", std::atoi(arg.c_str() + 4), true});
        else
            cases.push_back({arg + " top-level", std::atoi(arg.c_str()), false});
    }
    if (cases.empty())
        cases = {{"100 top-level", 100, false},
                 {"1,000 top-level", 1000, false},
                 {"10,000 top-level", 10000, false},
                 {"10,000 under a submenu", 10000, true}};

    kgbench::BenchSession session("kg-bench-toolbar-");
    QuietPlatform& platform = session.platform;
    const std::filesystem::path& folder = session.folder;
    int status = 0;
    {
        SavedKey saved;
        kgbench::InstallBenchToolbar(folder, "Bench Toolbar", kToolbarFile);
        std::filesystem::copy_file(std::filesystem::path(KG_BUILD_DIR) / "examples" / "Icons.bin",
                                   folder / "Icons.bin", std::filesystem::copy_options::overwrite_existing);

        std::printf("Toolbar build: time until the window has appeared and painted, and its destruction\n");
        std::printf("(median of %d runs, seconds)\n\n", runs);
        std::printf("%-24s %10s %10s %10s\n", "configuration", "buttons", "appear", "destroy");
        std::fflush(stdout);
        for (const Case& c : cases) {
            {
                std::ofstream out(folder / (std::string(kToolbarFile) + ".ini"), std::ios::binary);
                out << configuration(c);
            }
            std::vector<double> appear, destroy;
            Timing last;
            for (int r = 0; r < runs; ++r) {
                last = runOnce(platform);
                appear.push_back(last.appear);
                destroy.push_back(last.destroy);
            }
            std::printf("%-24s %10zu %10.3f %10.3f\n", c.label.c_str(), last.buttons, median(appear), median(destroy));
            if (last.boxes) {
                std::printf("  (the build reported an error: %s)\n", platform.lastText.c_str());
                status = 1;
            }
            std::fflush(stdout);
        }
    }
    kg::LoadToolbarSettings();
    return status;
}
