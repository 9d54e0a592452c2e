// Loading icon files of 65,535 icons of 16 x 16 into image lists, as the
// builder does (into the kit's TImageList) and as the configuration update
// checks a download (into an existing comctl32 list), with the core reader's
// share on its own. Each case runs in a child process of its own so that its
// peak working set is its own; the figures are printed, not judged.
#include "bench/IconWorkload.h"
#include "kit/Handles.h"
#include "kit/ImageList.h"
#include "toolbar/IconListLoader.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Case {
    const char* name;
    kgbench::IconDepth depth;
    int target;  // 0 the core reader only, 1 the kit's image list, 2 an existing comctl32 list
};

const Case kCases[] = {
    {"read, 1-bit colour (2 MB)", kgbench::IconDepth::OneBit, 0},
    {"TImageList, 1-bit colour (2 MB)", kgbench::IconDepth::OneBit, 1},
    {"HIMAGELIST, 1-bit colour (2 MB)", kgbench::IconDepth::OneBit, 2},
    {"read, 1-bit colour and mask (4 MB)", kgbench::IconDepth::OneBitMasked, 0},
    {"TImageList, 1-bit colour and mask (4 MB)", kgbench::IconDepth::OneBitMasked, 1},
    {"HIMAGELIST, 1-bit colour and mask (4 MB)", kgbench::IconDepth::OneBitMasked, 2},
    {"TImageList, 24-bit colour and mask (50 MB)", kgbench::IconDepth::Colour24, 1},
};

std::string fileFor(kgbench::IconDepth depth) {
    return (std::filesystem::temp_directory_path() /
            ("kg_bench_icons_" + std::to_string(static_cast<int>(depth)) + ".bin"))
        .string();
}

double peakMegabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20);
}

int runOne(const Case& c) {
    const std::string path = fileFor(c.depth);
    const double before = peakMegabytes();
    const auto start = std::chrono::steady_clock::now();
    int count = 0;
    if (c.target == 0) {
        count = static_cast<int>(toolbar::LoadIconFile(path).images.size());
    } else if (c.target == 1) {
        kit::TImageList list(nullptr);
        toolbar::ReadIconFileIntoImageList(path, list);
        count = list.Count();
    } else {
        const kit::unique_himagelist list(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 4));
        toolbar::ReadIconFileIntoImageList(path, list.get());
        count = ImageList_GetImageCount(list.get());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-44s %6d images %8.2f s   peak working set %7.1f MB (%.1f MB before)\n", c.name, count, seconds,
                peakMegabytes(), before);
    std::fflush(stdout);
    return count == kgbench::kIconCount ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--case") == 0) return runOne(kCases[std::atoi(argv[2])]);
    InitCommonControls();
    for (auto depth : {kgbench::IconDepth::OneBit, kgbench::IconDepth::OneBitMasked, kgbench::IconDepth::Colour24}) {
        const std::vector<std::uint8_t> bytes = kgbench::MakeManyIconsFile(depth);
        std::ofstream(fileFor(depth), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::printf("Icon files of %d icons of 16 x 16, each case in a process of its own\n", kgbench::kIconCount);
    std::fflush(stdout);
    int status = 0;
    for (std::size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
        std::string command = "\"" + std::string(argv[0]) + "\" --case " + std::to_string(i);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
            return 2;
        const kit::unique_file thread(process.hThread), child(process.hProcess);
        WaitForSingleObject(child.get(), INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(child.get(), &code);
        if (code != 0) status = 1;
    }
    for (auto depth : {kgbench::IconDepth::OneBit, kgbench::IconDepth::OneBitMasked, kgbench::IconDepth::Colour24}) {
        std::error_code ec;
        std::filesystem::remove(fileFor(depth), ec);
    }
    return status;
}
