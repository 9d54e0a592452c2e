// The band's load time as a browser sees it: from CoCreateInstance through
// SetSite, GetBandInfo, GetWindow and ShowDW to the end of the first paint
// (UpdateWindow of the band's window returned), for the example toolbar and
// for a generated configuration of 200 items with menus. Beside it, in the
// same run, a baseline: a plain window with a bare comctl32 toolbar of the
// same buttons (same captions, a 16x16 image list) and a combo box. Then
// 1,000 create/show/close/release cycles with the handle counts and the
// private bytes before and after. Also the example's load time when its
// "Updates URL" names an update folder served on 127.0.0.1, beside the time
// without it, in the same run: every load then fetches and swaps both files.
#include "config/Settings.h"
#include "kit/Dib.h"
#include "kit/Handles.h"
#include "tests/support/HttpTestServer.h"
#include "tools/bandhost/lib/BandSite.h"
#include "tools/bandhost/lib/BrowserFrame.h"
#include "tools/bandhost/lib/ResourceCounts.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kWarmUpRuns = 3;
constexpr int kRuns = 50;
constexpr int kCycles = 1000;
constexpr char kDllName[] = "kestrelgrove.dll";

struct Button {
    std::string caption;  // empty: a separator
};

struct Configuration {
    std::string label;
    fs::path installDir;
    std::string toolbarFile;
    std::vector<Button> buttons;  // the items whose parent is the toolbar
};

double nowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMs;
}

struct Stats {
    double median = 0, p95 = 0;
};

Stats stats(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    Stats s;
    if (ms.empty()) return s;
    s.median = ms.size() % 2 ? ms[ms.size() / 2] : (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
    // Nearest rank.
    const size_t rank = (ms.size() * 95 + 99) / 100;
    s.p95 = ms[std::max<size_t>(rank, 1) - 1];
    return s;
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The toolbar's own buttons of a configuration: the items listed under
// "Toolbar Items" whose "Parent" is "Toolbar", in that order.
std::vector<Button> toolbarButtons(const fs::path& ini) {
    std::ifstream in(ini, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + ini.string());
    std::vector<std::string> order;
    struct Item {
        std::string caption, parent;
    };
    std::vector<std::pair<std::string, Item>> items;
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = lower(line.substr(1, line.size() - 2));
            items.push_back({section, {}});
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || section.empty()) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (section == "toolbar items")
            order.push_back(lower(key));
        else if (lower(key) == "caption")
            items.back().second.caption = value;
        else if (lower(key) == "parent")
            items.back().second.parent = lower(value);
    }
    std::vector<Button> buttons;
    for (const std::string& name : order)
        for (const auto& [section, item] : items)
            if (section == name) {
                if (item.parent == "toolbar") buttons.push_back({item.caption});
                break;
            }
    return buttons;
}

void copyInto(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

void setToolbarKey(const Configuration& c) {
    kit::unique_hkey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot create the toolbar key");
    const std::pair<const char*, std::string> values[] = {
        {"InstallPath", c.installDir.string()}, {"Toolbar Name", c.label}, {"Toolbar File", c.toolbarFile}};
    for (const auto& [name, value] : values)
        RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
}

Configuration exampleConfiguration(const fs::path& root) {
    Configuration c{"Kestrelgrove Example Toolbar", root / "example", "Kestrelgrove", {}};
    fs::create_directories(c.installDir);
    const fs::path examples = fs::path(KG_SOURCE_DIR) / "examples";
    for (const char* name : {"Kestrelgrove.ini", "Kestrelgrove.bmp", "Copyrights.txt"})
        copyInto(examples / name, c.installDir / name);
    copyInto(fs::path(KG_BUILD_DIR) / "examples" / "Icons.bin", c.installDir / "Icons.bin");
    c.buttons = toolbarButtons(c.installDir / "Kestrelgrove.ini");
    return c;
}

// The example whose "Updates URL" names the folder that `server` serves; the
// folder holds the same configuration and icon file, so every load swaps them.
Configuration updatingConfiguration(const fs::path& root, kgtest::HttpTestServer& server) {
    Configuration c = exampleConfiguration(root / "updating");
    c.label = "Kestrelgrove Example Toolbar, updated from 127.0.0.1";
    std::string ini = kgtest::readAll(c.installDir / "Kestrelgrove.ini");
    const std::string empty = "Updates URL=\r\n";
    const size_t at = ini.find(empty);
    if (at == std::string::npos) throw std::runtime_error("the example has no \"Updates URL\" line");
    ini.replace(at, empty.size(), "Updates URL=" + server.url("/") + "\r\n");
    kgtest::writeAll(c.installDir / "Kestrelgrove.ini", ini);
    server.serve("toolbar.ini", ini);
    server.serve("icons.bin", kgtest::readAll(c.installDir / "Icons.bin"));
    return c;
}

// 20 toolbar buttons, each with a drop-down menu of 9 items: 200 items.
Configuration generatedConfiguration(const fs::path& root) {
    Configuration c{"Generated 200-item Toolbar", root / "generated", "Generated", {}};
    fs::create_directories(c.installDir);
    const fs::path examples = fs::path(KG_SOURCE_DIR) / "examples";
    copyInto(examples / "Kestrelgrove.bmp", c.installDir / "Generated.bmp");
    copyInto(examples / "Copyrights.txt", c.installDir / "Copyrights.txt");
    copyInto(fs::path(KG_BUILD_DIR) / "examples" / "Icons.bin", c.installDir / "Icons.bin");
    constexpr int menus = 20, perMenu = 9;
    std::ostringstream ini, list, sections;
    ini << "[Options]\r\nToolbar Name=" << c.label
        << "\r\nHome Page URL=http://www.kestrelgrove.example/\r\n"
           "Search URL=http://www.kestrelgrove.example/search?q=[SEARCH]\r\nToolbar Full Size=1\r\n"
           "Search Dynamic=1\r\n\r\n";
    for (int m = 0; m < menus; ++m) {
        list << "m" << m << "=\r\n";
        sections << "[m" << m << "]\r\nCaption=Menu " << m << "\r\nImageIndex=" << m % 9 << "\r\nParent=Toolbar\r\n\r\n";
        for (int i = 0; i < perMenu; ++i) {
            list << "m" << m << "_" << i << "=\r\n";
            sections << "[m" << m << "_" << i << "]\r\nCaption=Item " << m << "." << i << "\r\nImageIndex=" << i
                     << "\r\nURL=http://www.kestrelgrove.example/" << m << "/" << i << "\r\nParent=m" << m << "\r\n\r\n";
        }
    }
    ini << "[Toolbar Items]\r\n" << list.str() << "\r\n" << sections.str() << "[Icons]\r\n";
    for (int i = 0; i < 9; ++i) ini << i << "=" << i << "\r\n";
    std::ofstream(c.installDir / "Generated.ini", std::ios::binary) << ini.str();
    c.buttons = toolbarButtons(c.installDir / "Generated.ini");
    return c;
}

// The baseline: a plain window holding a bare comctl32 toolbar with the same
// buttons and a 16x16 image list, and a combo box.
class Baseline {
public:
    Baseline(HWND parent, const std::vector<Button>& buttons, int width, int height) {
        window_.reset(CreateWindowExW(0, kClass, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, width, height, parent, nullptr,
                                      GetModuleHandleW(nullptr), nullptr));
        images_.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 9, 0));
        for (int i = 0; i < 9; ++i) {
            const kit::TDib image = kit::CreateDib32(16, 16);
            std::fill(image.bits, image.bits + 16 * 16, 0xFF000000u | (30u * i << 16) | ((200u - 20 * i) << 8) | 120u);
            ImageList_Add(images_.get(), image.bitmap.get(), nullptr);
        }
        HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                                       WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS |
                                           CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE,
                                       0, 0, width - 150, height, window_.get(), nullptr, nullptr, nullptr);
        SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
        std::vector<std::wstring> captions;
        captions.reserve(buttons.size());
        std::vector<TBBUTTON> tb;
        for (size_t i = 0; i < buttons.size(); ++i) {
            captions.emplace_back(buttons[i].caption.begin(), buttons[i].caption.end());
            TBBUTTON b{};
            if (buttons[i].caption.empty()) {
                b.fsStyle = BTNS_SEP;
            } else {
                b.iBitmap = static_cast<int>(i % 9);
                b.idCommand = static_cast<int>(100 + i);
                b.fsState = TBSTATE_ENABLED;
                b.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
                b.iString = reinterpret_cast<INT_PTR>(captions.back().c_str());
            }
            tb.push_back(b);
        }
        SendMessageW(toolbar, TB_ADDBUTTONSW, tb.size(), reinterpret_cast<LPARAM>(tb.data()));
        CreateWindowExW(0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN, width - 148, 1, 145, 200,
                        window_.get(), nullptr, nullptr, nullptr);
        ShowWindow(window_.get(), SW_SHOWNA);
        UpdateWindow(window_.get());
    }

    static void registerClass() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClass;
        RegisterClassExW(&wc);
    }

private:
    static constexpr const wchar_t* kClass = L"KestrelgroveBenchBaseline";

    // Destroyed before the image list its toolbar shows.
    kit::unique_himagelist images_;
    kit::unique_hwnd window_;
};

double timeBandLoad(bandhost::BrowserFrame& frame) {
    const double start = nowMs();
    bandhost::HostedBand band(frame, kg::CLSID_Kestrelgrove);
    band.open();
    UpdateWindow(band.window());
    const double ms = nowMs() - start;
    band.close();
    pumpMessages();
    return ms;
}

double timeBaseline(bandhost::BrowserFrame& frame, const std::vector<Button>& buttons) {
    RECT site;
    GetClientRect(frame.siteWindow(), &site);
    const double start = nowMs();
    double ms;
    {
        Baseline baseline(frame.siteWindow(), buttons, site.right, 25);
        ms = nowMs() - start;
    }
    pumpMessages();
    return ms;
}

bool dllLoaded() {
    return GetModuleHandleA(kDllName) != nullptr;
}

void report(const char* what, const Stats& s) {
    std::printf("  %-44s median %7.2f ms   p95 %7.2f ms   (%d runs)\n", what, s.median, s.p95, kRuns);
}

// Answers the ratio of the band's median to the baseline's.
double runConfiguration(const Configuration& c, Stats* bandOut = nullptr) {
    CoFreeUnusedLibraries();
    if (dllLoaded()) std::printf("  (the DLL stayed loaded: it keeps the settings of the previous configuration)\n");
    setToolbarKey(c);
    bandhost::BrowserFrame frame(1000, 300);
    frame.show();
    pumpMessages();
    int separators = 0;
    for (const Button& b : c.buttons) separators += b.caption.empty();
    std::printf("\n== %s: %zu toolbar buttons (%d separators)\n", c.label.c_str(), c.buttons.size(), separators);
    for (int i = 0; i < kWarmUpRuns; ++i) {
        timeBandLoad(frame);
        timeBaseline(frame, c.buttons);
    }
    std::vector<double> band, base;
    for (int i = 0; i < kRuns; ++i) {
        band.push_back(timeBandLoad(frame));
        base.push_back(timeBaseline(frame, c.buttons));
    }
    const Stats b = stats(band), baseline = stats(base);
    report("band (CoCreateInstance .. first paint)", b);
    report("baseline (comctl32 toolbar + combo box)", baseline);
    const double ratio = baseline.median > 0 ? b.median / baseline.median : 0.0;
    std::printf("  ratio of medians: %.2f x the baseline\n", ratio);
    if (bandOut) *bandOut = b;
    return ratio;
}

void runCycles(const Configuration& c) {
    setToolbarKey(c);
    bandhost::BrowserFrame frame(1000, 300);
    frame.show();
    for (int i = 0; i < 10; ++i) timeBandLoad(frame);
    const bandhost::ResourceCounts before = bandhost::measureResources();
    const double start = nowMs();
    for (int i = 0; i < kCycles; ++i) timeBandLoad(frame);
    const double seconds = (nowMs() - start) / 1000;
    const bandhost::ResourceCounts after = bandhost::measureResources();
    std::printf("\n== %d create/show/close/release cycles (%s), %.1f s\n", kCycles, c.label.c_str(), seconds);
    std::printf("  GDI objects    %8ld -> %8ld\n", before.gdiObjects, after.gdiObjects);
    std::printf("  USER objects   %8ld -> %8ld\n", before.userObjects, after.userObjects);
    std::printf("  private bytes  %8llu -> %8llu  (%+lld)\n", before.privateBytes, after.privateBytes,
                static_cast<long long>(after.privateBytes) - static_cast<long long>(before.privateBytes));
    std::printf("  (%s)\n", bandhost::resourceSources().c_str());
}

struct module_traits {
    static HMODULE invalid() noexcept { return nullptr; }
    static void close(HMODULE h) noexcept { FreeLibrary(h); }
};
using unique_hmodule = kit::unique_handle<HMODULE, module_traits>;

// One of the DLL's own registration entry points.
HRESULT callEntry(const fs::path& dll, const char* entry) {
    unique_hmodule module(LoadLibraryW(dll.wstring().c_str()));
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    using Entry = HRESULT(WINAPI*)();
    auto fn = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module.get(), entry)));
    return fn ? fn() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

int run() {
    const fs::path dll = fs::path(KG_BUILD_DIR) / kDllName;
    if (!fs::exists(dll)) throw std::runtime_error(dll.string() + " not built");
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const fs::path root = fs::path(temp) / ("kg-bench-band-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root);
    const Configuration example = exampleConfiguration(root);
    const Configuration generated = generatedConfiguration(root);
    Baseline::registerClass();

    setToolbarKey(example);
    if (FAILED(callEntry(dll, "DllRegisterServer"))) throw std::runtime_error("DllRegisterServer failed");
    std::printf("Band load time under %s; %d warm-up runs, then %d timed runs each.\n",
                GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") ? "Wine" : "Windows", kWarmUpRuns,
                kRuns);
    Stats exampleBand;
    const double exampleRatio = runConfiguration(example, &exampleBand);
    runConfiguration(generated);
    std::printf("\nAim for the example: median <= 20 ms (%s) and <= 3 x the baseline (%s).\n",
                exampleBand.median <= 20 ? "met" : "missed", exampleRatio <= 3 ? "met" : "missed");

    kgtest::HttpTestServer server;
    if (!server.start()) throw std::runtime_error("the update folder could not be served");
    const Configuration updating = updatingConfiguration(root, server);
    Stats updatingBand;
    runConfiguration(updating, &updatingBand);
    const std::size_t requests = server.requests().size();
    const double updateRatio = exampleBand.median > 0 ? updatingBand.median / exampleBand.median : 0.0;
    std::printf("  %zu requests served (2 a load expected); %.2f x the load without \"Updates URL\"\n", requests,
                updateRatio);
    std::printf("Aim with \"Updates URL\" on 127.0.0.1: <= 2 x the load without it (%s).\n",
                updateRatio <= 2 ? "met" : "missed");
    server.stop();
    CoFreeUnusedLibraries();
    runCycles(example);

    CoFreeUnusedLibraries();
    callEntry(dll, "DllUnregisterServer");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}

} // namespace

int main() {
    kit::com_apartment com;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    try {
        return run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_band_load: %s\n", e.what());
        return 1;
    }
}
