// The search history at the sizes real users reach, in one run: window
// creation with no history and with 1,000 to 100,000 entries, AddToHistory
// (a new text, and one already known) at each size, the first drop-down of
// the list, "Load Searches From File" of 100,000 lines, the memory that
// 100,000 entries take, and a shuffled history of 1,000,000 lines (creation
// time, first drop-down, peak working set). Medians of a few runs.
//
// Usage: kg_bench_history.exe [runs] [largest]
#include "bench/win/BenchSupport.h"
#include "config/Registry.h"
#include "config/Settings.h"
#include "config/UserState.h"
#include "core/HistoryFormat.h"
#include "kit/ComboBox.h"
#include "kit/Dialogs.h"
#include "kit/Items.h"
#include "tools/bandhost/lib/BrowserFrame.h"
#include "toolbar/HistoryFile.h"
#include "toolbar/KestrelgroveForm.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr char kToolbarName[] = "Bench History";

double secondsOf(const std::function<void()>& work) {
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    work();
    QueryPerformanceCounter(&t1);
    return static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(frequency.QuadPart);
}

using kgbench::median;

// The quiet platform, whose open dialog answers with a chosen file.
class BenchPlatform : public kgbench::QuietPlatform {
public:
    std::string openAnswer;
    bool fileDialog(HWND, kit::FileDialogRequest& request) override {
        if (request.save || openAnswer.empty()) return false;
        request.fileName = openAnswer;
        return true;
    }
};

// Searches as people type them: one to three words of mixed case, all different.
std::vector<std::string> makeSearches(std::size_t count) {
    static const char* const words[] = {"kestrel", "Osprey", "alder", "Birch", "river", "red kite", "weather",
                                        "news", "Maps", "recipe", "train times", "football", "c++", "a&b"};
    std::mt19937 random(12345);
    std::vector<std::string> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string text = words[random() % std::size(words)];
        text += ' ';
        text += words[random() % std::size(words)];
        text += ' ' + std::to_string(i);
        out.push_back(std::move(text));
    }
    return out;
}

std::vector<std::string> sortedCopy(std::vector<std::string> lines) {
    std::vector<std::pair<std::string, std::size_t>> keyed;
    keyed.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) keyed.emplace_back(kg::HistorySortKey(lines[i]), i);
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const auto& k : keyed) out.push_back(std::move(lines[k.second]));
    return out;
}

double workingSetMB(bool peak = false) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return static_cast<double>(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) / (1024.0 * 1024.0);
}

// The first drop-down of the box: the list put in order and into the window.
double orderSeconds = 0;
double firstDropDown(kg::TformToolbar& w) {
    HWND combo = w.SearchBox->Handle();
    orderSeconds = secondsOf([&] { w.HistoryList->Strings(); });
    const double t = secondsOf([&] { SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0); });
    SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
    return t;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::size_t largest = argc > 2 ? static_cast<std::size_t>(std::atol(argv[2])) : 1000000;

    kgbench::BenchSession session("kg-bench-history-");
    BenchPlatform platform;
    kit::setPlatform(&platform);
    const std::filesystem::path& folder = session.folder;
    kgbench::InstallBenchToolbar(folder, kToolbarName, "BenchBar");
    kg::LoadToolbarSettings();

    kg::CreateUserStateFolder();
    const std::string historyFile = kg::UserHistoryFileName();
    struct RemoveUserFolder {
        ~RemoveUserFolder() {
            std::error_code ignored;
            std::filesystem::remove_all(kg::UserStateFolder(), ignored);
        }
    } removeUserFolder;

    int status = 0;
    bandhost::BrowserFrame frame(1000, 300);
    const double baseline = workingSetMB();

    struct Row {
        std::size_t entries;
        double create, addNew, addKnown, order, drop;
        std::size_t keysPerAdd;
    };
    std::vector<Row> rows;
    double memoryCreated = 0, memoryFilled = 0;
    for (std::size_t entries : {std::size_t{0}, std::size_t{1000}, std::size_t{10000}, std::size_t{30000}, std::size_t{100000}}) {
        const std::vector<std::string> searches = makeSearches(entries);
        const std::vector<std::string> sorted = sortedCopy(searches);
        std::vector<double> create, addNew, addKnown, drop, order;
        std::size_t keysPerAdd = 0;
        for (int r = 0; r < runs; ++r) {
            kg::WriteHistoryFile(historyFile, sorted);
            const double before = workingSetMB();
            std::unique_ptr<kg::TformToolbar> window;
            create.push_back(secondsOf([&] { window = std::make_unique<kg::TformToolbar>(frame.siteWindow()); }));
            kg::TformToolbar& w = *window;
            const double created = workingSetMB();
            drop.push_back(firstDropDown(w));
            order.push_back(orderSeconds);
            if (entries == 100000 && r == 0) {
                memoryCreated = created - before;
                memoryFilled = workingSetMB() - before;
            }
            if (w.SearchBox->Count() != static_cast<int>(entries)) {
                std::printf("the box holds %d entries, not %zu\n", w.SearchBox->Count(), entries);
                status = 1;
            }
            w.SearchBox->SetText("a search never made before " + std::to_string(r));
            const std::size_t keys = w.HistoryList->KeysComputed();
            addNew.push_back(secondsOf([&] { w.AddToHistory(); }));
            keysPerAdd = w.HistoryList->KeysComputed() - keys;
            if (entries) {
                w.SearchBox->SetText(searches[static_cast<std::size_t>(r) * 7919 % entries]);
                addKnown.push_back(secondsOf([&] { w.AddToHistory(); }));
            }
            if (w.SearchBox->Count() != static_cast<int>(entries) + 1) {
                std::printf("the box holds %d entries after the searches\n", w.SearchBox->Count());
                status = 1;
            }
        }
        rows.push_back({entries, median(create), median(addNew), entries ? median(addKnown) : 0.0, median(order),
                        median(drop), keysPerAdd});
    }

    // The shuffled million last: the peak working set of the run is its own.
    double millionCreate = 0, millionOrder = 0, millionDrop = 0, millionPeak = 0;
    if (largest >= 1000000) {
        std::vector<std::string> million = makeSearches(1000000);
        std::shuffle(million.begin(), million.end(), std::mt19937(99));
        kg::WriteHistoryFile(historyFile, million);
        million.clear();
        million.shrink_to_fit();
        std::unique_ptr<kg::TformToolbar> window;
        millionCreate = secondsOf([&] { window = std::make_unique<kg::TformToolbar>(frame.siteWindow()); });
        millionDrop = firstDropDown(*window);
        millionOrder = orderSeconds;
        if (window->SearchBox->Count() != 1000000) {
            std::printf("the box holds %d entries, not 1,000,000\n", window->SearchBox->Count());
            status = 1;
        }
        millionPeak = workingSetMB(true);
        window.reset();
    }

    // "Load Searches From File" of 100,000 shuffled lines, into a window with none.
    std::vector<double> load;
    {
        std::vector<std::string> lines = makeSearches(100000);
        std::shuffle(lines.begin(), lines.end(), std::mt19937(5));
        const std::string chosen = (folder / "chosen.txt").string();
        kg::WriteHistoryFile(chosen, lines);
        kg::WriteHistoryFile(historyFile, {});
        platform.openAnswer = chosen;
        for (int r = 0; r < runs; ++r) {
            kg::TformToolbar w(frame.siteWindow());
            // Read, put in order (what the drop-down shows) and counted.
            load.push_back(secondsOf([&] {
                w.miLoadSearches->Click();
                w.HistoryList->Strings();
            }));
            if (w.SearchBox->Count() != 100000) {
                std::printf("loaded %d entries, not 100,000\n", w.SearchBox->Count());
                status = 1;
            }
        }
    }
    if (platform.boxes) {
        std::printf("an error was reported: %s\n", platform.lastText.c_str());
        status = 1;
    }

    std::printf("Search history (median of %d runs, seconds)\n\n", runs);
    std::printf("%10s %10s %10s %10s %10s %10s %9s\n", "entries", "creation", "add new", "add known", "1st order",
                "1st fill", "keys/add");
    for (const Row& row : rows)
        std::printf("%10zu %10.4f %10.4f %10.4f %10.4f %10.4f %9zu\n", row.entries, row.create, row.addNew, row.addKnown,
                    row.order, row.drop, row.keysPerAdd);
    std::printf("(1st order: the list put in order when first needed; 1st fill: the first drop-down after it)\n");
    std::printf("\n%-52s %8.2f\n", "creation with 30,000 / creation with none", rows[3].create / rows[0].create);
    std::printf("%-52s %8.3f s\n", "\"Load Searches From File\", 100,000 lines", median(load));
    std::printf("%-52s %8.1f MB\n", "working-set growth, 100,000 entries, window made", memoryCreated);
    std::printf("%-52s %8.1f MB\n", "working-set growth, 100,000 entries, list dropped down", memoryFilled);
    if (largest >= 1000000) {
        std::printf("%-52s %8.3f s\n", "shuffled 1,000,000 lines: window creation", millionCreate);
        std::printf("%-52s %8.3f s\n", "shuffled 1,000,000 lines: put in order when first needed", millionOrder);
        std::printf("%-52s %8.3f s\n", "shuffled 1,000,000 lines: first drop-down after it", millionDrop);
        std::printf("%-52s %8.1f MB (%.1f MB over the start)\n", "shuffled 1,000,000 lines: peak working set",
                    millionPeak, millionPeak - baseline);
    }

    kit::setPlatform(&session.platform);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
    kg::LoadToolbarSettings();
    return status;
}
