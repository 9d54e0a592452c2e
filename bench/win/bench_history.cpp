// The search history at 100,000 entries: AddToHistory (a new text, and one
// already known) beside one sort of the same entries with the history's own
// comparison, in the same run; and the time that history takes to load into
// the search box (the start-up steps of the window). Median of a few runs.
//
// Usage: kg_bench_history.exe [entries] [runs]
#include "bench/win/BenchSupport.h"
#include "config/Registry.h"
#include "config/Settings.h"
#include "config/UserState.h"
#include "kit/ComboBox.h"
#include "kit/Handles.h"
#include "kit/Platform.h"
#include "tools/bandhost/lib/BrowserFrame.h"
#include "toolbar/HistoryFile.h"
#include "toolbar/HistoryList.h"
#include "toolbar/KestrelgroveForm.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

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

using kgbench::QuietPlatform;

double secondsOf(const std::function<void()>& work) {
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    work();
    QueryPerformanceCounter(&t1);
    return static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(frequency.QuadPart);
}

using kgbench::median;

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

} // namespace

int main(int argc, char** argv) {
    const std::size_t entries = argc > 1 ? static_cast<std::size_t>(std::atol(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    kgbench::BenchSession session("kg-bench-history-");
    QuietPlatform& platform = session.platform;
    const std::filesystem::path& folder = session.folder;
    kgbench::InstallBenchToolbar(folder, kToolbarName, "BenchBar");
    kg::LoadToolbarSettings();

    // The per-user history, where the toolbar reads and writes it.
    kg::CreateUserStateFolder();
    const std::string historyFile = kg::UserHistoryFileName();
    struct RemoveUserFolder {
        ~RemoveUserFolder() {
            std::error_code ignored;
            std::filesystem::remove_all(kg::UserStateFolder(), ignored);
        }
    } removeUserFolder;
    std::vector<std::string> searches = makeSearches(entries);
    std::vector<std::string> sorted = searches;
    const auto less = [](const std::string& a, const std::string& b) { return kg::CompareHistoryText(a, b) < 0; };
    std::sort(sorted.begin(), sorted.end(), less);
    kg::WriteHistoryFile(historyFile, sorted);

    std::vector<double> sortTimes, addNew, addKnown, load, create;
    int status = 0;
    {
        bandhost::BrowserFrame frame(1000, 300);
        std::unique_ptr<kg::TformToolbar> window;
        for (int r = 0; r < runs; ++r) {
            window.reset();
            kg::WriteHistoryFile(historyFile, sorted);
            create.push_back(secondsOf([&] { window = std::make_unique<kg::TformToolbar>(frame.siteWindow()); }));
        }
        kg::TformToolbar& w = *window;
        if (w.SearchBox->Count() != static_cast<int>(entries)) {
            std::printf("the box holds %d entries, not %zu\n", w.SearchBox->Count(), entries);
            status = 1;
        }
        for (int r = 0; r < runs; ++r) {
            w.SearchBox->Clear();
            w.HistoryList->Clear();
            load.push_back(secondsOf([&] { w.LoadSearchHistory(); }));
        }
        for (int r = 0; r < runs; ++r) {
            std::vector<std::string> shuffled = searches;
            std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(static_cast<unsigned>(r)));
            sortTimes.push_back(secondsOf([&] { std::sort(shuffled.begin(), shuffled.end(), less); }));

            w.SearchBox->SetText("a search never made before " + std::to_string(r));
            addNew.push_back(secondsOf([&] { w.AddToHistory(); }));
            w.SearchBox->SetText(searches[static_cast<std::size_t>(r) * 7919 % entries]);
            addKnown.push_back(secondsOf([&] { w.AddToHistory(); }));
        }
        if (w.SearchBox->Count() != static_cast<int>(entries) + runs) {
            std::printf("the box holds %d entries after the searches\n", w.SearchBox->Count());
            status = 1;
        }
        window.reset();
    }
    if (platform.boxes) {
        std::printf("an error was reported: %s\n", platform.lastText.c_str());
        status = 1;
    }

    const double sortTime = median(sortTimes);
    std::printf("Search history of %zu entries (median of %d runs, seconds)\n\n", entries, runs);
    std::printf("%-44s %10.3f\n", "one sort of the entries (shuffled)", sortTime);
    std::printf("%-44s %10.3f  (%.2f x the sort)\n", "AddToHistory, a new text (file written)", median(addNew),
                median(addNew) / sortTime);
    std::printf("%-44s %10.3f  (%.2f x the sort)\n", "AddToHistory, a known text (nothing written)", median(addKnown),
                median(addKnown) / sortTime);
    std::printf("%-44s %10.3f\n", "history loaded into the search box", median(load));
    std::printf("%-44s %10.3f\n", "window creation with that history", median(create));

    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kg::ToolbarKeyPath);
    kg::LoadToolbarSettings();
    return status;
}
