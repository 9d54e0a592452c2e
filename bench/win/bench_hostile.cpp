// The toolbar over each hostile install folder of tests/support/HostileInputs.h:
// the time until the window has appeared and painted, and the peak memory of
// the process (working set and committed), each case in a fresh process so
// that one case's peak never hides another's. Aims: 2 s and 300 MB a case,
// 1 s for 10,000 buttons; a case that misses is marked.
//
// Usage: kg_bench_hostile.exe                 every case, a child process each
//        kg_bench_hostile.exe --only <text>   only the cases whose name holds that text
//        kg_bench_hostile.exe --case <n>      case n over the installed folder (the child)
#include "bench/win/BenchSupport.h"
#include "config/Registry.h"
#include "config/Settings.h"
#include "kit/Handles.h"
#include "kit/ImageList.h"
#include "kit/Toolbar.h"
#include "tests/kit/MenuDriver.h"
#include "tests/support/HostileInputs.h"
#include "tests/support/HttpTestServer.h"
#include "tools/bandhost/lib/BrowserFrame.h"
#include "toolbar/About.h"
#include "toolbar/KestrelgroveForm.h"
#include "kit/Download.h"
#include "toolbar/ShellHelpers.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr char kToolbarFile[] = "BenchBar";

void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

double mebibytes(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// The child: builds the window over the folder the parent installed and prints one row.
int runCase(const kgtest::HostileInput& input) {
    kgbench::BenchSession session("kg-bench-hostile-child-");
    bandhost::BrowserFrame frame(1000, 300);
    frame.show();
    pump();
    kg::LoadToolbarSettings();

    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    auto window = std::make_unique<kg::TformToolbar>(frame.siteWindow());
    frame.fitBand();
    RedrawWindow(frame.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    UpdateWindow(window->Handle());
    if (input.aboutWindow) {
        kg::TFormAbout about;
    }
    if (!input.dropDown.empty()) {
        // Opened as the user opens it; closed by a key as soon as it is on screen.
        if (auto* item = dynamic_cast<kit::TTBCustomItem*>(window->FindComponent(input.dropDown))) {
            kgtest::MenuDriver driver({VK_ESCAPE});
            window->Toolbar->ShowDropdown(item);
        }
    }
    QueryPerformanceCounter(&t1);
    const double seconds = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(frequency.QuadPart);

    std::string outcome = IsWindowVisible(window->Handle()) ? "window" : "NO WINDOW";
    outcome += ", " + std::to_string(SendMessageA(window->Toolbar->Handle(), TB_BUTTONCOUNT, 0, 0)) + " buttons, " +
               std::to_string(window->IconList->Count()) + " icons";
    if (session.platform.boxes) {
        // The reason, after the file's name.
        const std::string& text = session.platform.lastText;
        const std::size_t reason = text.find("\": ");
        outcome += ", box: ..." + text.substr(reason == std::string::npos ? 0 : reason + 3, 60);
    }
    window.reset();

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    const bool ten = input.name == "10,000 top-level buttons";
    // An update is bounded by its two downloads, not by the aim of a build.
    const double aim = ten ? 1.0 : !input.updatesPath.empty() ? 2.0 * kit::DownloadTransferLimitMs / 1000.0 + 1.0 : 2.0;
    const bool missed = seconds > aim || mebibytes(memory.PeakWorkingSetSize) > 300 ||
                        mebibytes(memory.PeakPagefileUsage) > 300;
    std::printf("%-36s %8.3f %9.1f %9.1f  %s%s\n", input.name.c_str(), seconds, mebibytes(memory.PeakWorkingSetSize),
                mebibytes(memory.PeakPagefileUsage), missed ? "MISSED " : "", outcome.c_str());
    std::fflush(stdout);
    return 0;
}

// Runs this program for case n and waits for it; false when it did not end well.
bool runChild(std::size_t n) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = "\"" + std::string(self) + "\" --case " + std::to_string(n);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return false;
    const kit::unique_file processHandle(process.hProcess), threadHandle(process.hThread);  // closed by CloseHandle
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    if (code != 0) std::printf("%-36s the process ended with 0x%08lx\n", "", static_cast<unsigned long>(code));
    return code == 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<kgtest::HostileInput> inputs = kgtest::HostileInputs();
    if (argc == 3 && std::string(argv[1]) == "--case") {
        const std::size_t n = static_cast<std::size_t>(std::atoi(argv[2]));
        return n < inputs.size() ? runCase(inputs[n]) : 2;
    }

    // A subset while one case is being worked on.
    const std::string only = argc == 3 && std::string(argv[1]) == "--only" ? argv[2] : std::string();
    int status = 0;
    {
        kgbench::BenchSession session("kg-bench-hostile-");
        kgbench::SavedKey saved;
        kgbench::InstallBenchToolbar(session.folder, "Bench Toolbar", kToolbarFile);

        // Cases with an update folder fetch it from a loopback server of their own.
        kgtest::HttpTestServer server;
        const bool serving = server.start();
        if (serving) kgtest::hostile::serveUpdate(server);

        std::printf("Hostile install folders: time until the window has appeared and painted (and a drop-down\n");
        std::printf("menu opened, where the case has one), and the peak memory of a fresh process per case\n");
        std::printf("(aims: 2 s and 300 MB; 1 s for 10,000 buttons; an update: its two downloads' bound)\n\n");
        std::printf("%-36s %8s %9s %9s  %s\n", "case", "time (s)", "WS (MB)", "commit MB", "outcome");
        std::fflush(stdout);
        for (std::size_t n = 0; n < inputs.size(); ++n) {
            if (!only.empty() && inputs[n].name.find(only) == std::string::npos) continue;
            for (const auto& entry : std::filesystem::directory_iterator(session.folder))
                std::filesystem::remove(entry.path());
            inputs[n].install(session.folder, kToolbarFile);
            if (!inputs[n].updatesPath.empty()) {
                if (!serving) {
                    std::printf("%-36s no update server\n", inputs[n].name.c_str());
                    status = 1;
                    continue;
                }
                kgtest::hostile::pointUpdatesAt(session.folder, kToolbarFile, server.url(inputs[n].updatesPath));
            }
            if (!runChild(n)) status = 1;
        }
    }
    kg::LoadToolbarSettings();
    return status;
}
