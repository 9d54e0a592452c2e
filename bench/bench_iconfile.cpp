// Reading icon files of 65,535 icons of 16 x 16: the whole file from memory
// (resource layers, image-list stream, both bitmaps into images and masks),
// at three depths. The Windows loader's share is measured by bench/win.
#include "bench/IconWorkload.h"

#include <benchmark/benchmark.h>

namespace {

const std::vector<std::uint8_t>& file(kgbench::IconDepth depth) {
    static const std::vector<std::uint8_t> files[] = {kgbench::MakeManyIconsFile(kgbench::IconDepth::OneBit),
                                                      kgbench::MakeManyIconsFile(kgbench::IconDepth::OneBitMasked),
                                                      kgbench::MakeManyIconsFile(kgbench::IconDepth::Colour24)};
    return files[static_cast<int>(depth)];
}

void ReadManyIcons(benchmark::State& state, kgbench::IconDepth depth) {
    const std::vector<std::uint8_t>& bytes = file(depth);
    for (auto _ : state) {
        toolbar::IconImages list = toolbar::ReadIconFile(bytes);
        benchmark::DoNotOptimize(list.images.data());
    }
    state.SetItemsProcessed(state.iterations() * kgbench::kIconCount);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
    state.counters["file_MB"] = static_cast<double>(bytes.size()) / (1 << 20);
}

} // namespace

BENCHMARK_CAPTURE(ReadManyIcons, OneBitColour, kgbench::IconDepth::OneBit)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadManyIcons, OneBitColourAndMask, kgbench::IconDepth::OneBitMasked)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadManyIcons, Colour24BitAndMask, kgbench::IconDepth::Colour24)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
