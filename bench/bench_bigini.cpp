// Loading a configuration of about 5 MB with 20,000 sections and reading every
// key: the INI document beside libinih parsing into a hash map. The load-only
// and read-only rows show where each side spends its time.
#include "core/BigIni.h"

#include <benchmark/benchmark.h>
#include <ini.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int SectionCount = 20000;
constexpr int KeysPerSection = 8;

struct Workload {
    std::string file;
    std::size_t bytes = 0;
    std::vector<std::pair<std::string, std::string>> lookups; // every (section, key) in file order

    Workload() {
        file = (fs::temp_directory_path() / "kg_bench_bigini.ini").string();
        std::string text;
        text.reserve(6u << 20);
        char line[128];
        for (int s = 0; s < SectionCount; ++s) {
            const std::string section = "Item " + std::to_string(s);
            text += "[" + section + "]\r\n";
            for (int k = 0; k < KeysPerSection; ++k) {
                const std::string key = "Key" + std::to_string(k);
                std::snprintf(line, sizeof line, "%s=http://ex.com/i/%05d/%d\r\n", key.c_str(), s, k);
                text += line;
                lookups.emplace_back(section, key);
            }
            text += "\r\n";
        }
        std::ofstream(file, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
        bytes = text.size();
    }
    ~Workload() {
        std::error_code ec;
        fs::remove(file, ec);
    }
};

const Workload& workload() {
    static const Workload w;
    return w;
}

// libinih gives no case-insensitive lookup; fold both names into one map key.
std::string foldedKey(const char* section, const char* name) {
    std::string key(section);
    key.push_back('\0');
    key += name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A')); // ASCII, as the INI document folds
    return key;
}

using InihMap = std::unordered_map<std::string, std::string>;

InihMap loadInih(const std::string& file) {
    InihMap map;
    const int result = ini_parse(
        file.c_str(),
        [](void* user, const char* section, const char* name, const char* value) -> int {
            static_cast<InihMap*>(user)->emplace(foldedKey(section, name), value); // first one wins
            return 1;
        },
        &map);
    if (result != 0) std::abort();
    return map;
}

void setCounters(benchmark::State& state, bool withLoad) {
    const auto& w = workload();
    if (withLoad) state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * w.bytes));
    state.counters["lookups/s"] =
        benchmark::Counter(static_cast<double>(w.lookups.size()), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["MB"] = static_cast<double>(w.bytes) / 1e6;
}

void BM_BigIni_LoadAndRead(benchmark::State& state) {
    const auto& w = workload();
    for (auto _ : state) {
        config::TBigIniFile ini(w.file);
        std::size_t found = 0;
        for (const auto& [section, key] : w.lookups) found += !ini.ReadString(section, key, {}).empty();
        if (found != w.lookups.size()) state.SkipWithError("a key was not found");
        benchmark::DoNotOptimize(found);
    }
    setCounters(state, true);
}

void BM_Inih_LoadAndRead(benchmark::State& state) {
    const auto& w = workload();
    for (auto _ : state) {
        const InihMap map = loadInih(w.file);
        std::size_t found = 0;
        for (const auto& [section, key] : w.lookups) {
            const auto it = map.find(foldedKey(section.c_str(), key.c_str()));
            found += it != map.end() && !it->second.empty();
        }
        if (found != w.lookups.size()) state.SkipWithError("a key was not found");
        benchmark::DoNotOptimize(found);
    }
    setCounters(state, true);
}

// Loading alone: the document keeps every line; inih only hands each pair to a counter.
void BM_BigIni_LoadOnly(benchmark::State& state) {
    const auto& w = workload();
    for (auto _ : state) {
        config::TBigIniFile ini(w.file);
        benchmark::DoNotOptimize(ini.Sections().Count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * w.bytes));
}

void BM_Inih_ParseOnly(benchmark::State& state) {
    const auto& w = workload();
    for (auto _ : state) {
        std::size_t pairs = 0;
        ini_parse(
            w.file.c_str(),
            [](void* user, const char*, const char*, const char*) -> int {
                ++*static_cast<std::size_t*>(user);
                return 1;
            },
            &pairs);
        if (pairs != w.lookups.size()) state.SkipWithError("pairs missing");
        benchmark::DoNotOptimize(pairs);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * w.bytes));
}

void BM_BigIni_ReadOnly(benchmark::State& state) {
    const auto& w = workload();
    config::TBigIniFile ini(w.file);
    for (auto _ : state) {
        std::size_t found = 0;
        for (const auto& [section, key] : w.lookups) found += !ini.ReadString(section, key, {}).empty();
        benchmark::DoNotOptimize(found);
    }
    setCounters(state, false);
}

void BM_Inih_ReadOnly(benchmark::State& state) {
    const auto& w = workload();
    const InihMap map = loadInih(w.file);
    for (auto _ : state) {
        std::size_t found = 0;
        for (const auto& [section, key] : w.lookups) {
            const auto it = map.find(foldedKey(section.c_str(), key.c_str()));
            found += it != map.end() ? it->second.size() : 0;
        }
        benchmark::DoNotOptimize(found);
    }
    setCounters(state, false);
}

BENCHMARK(BM_BigIni_LoadAndRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inih_LoadAndRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigIni_LoadOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inih_ParseOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigIni_ReadOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inih_ReadOnly)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
