// Resampling, palette optimisation and dithering of a 6000 x 4000 picture. The picture is
// written once as a binary PPM to $SCENARIA_BENCH_PICTURE (default
// /tmp/scenaria-bench-6000x4000.ppm) so that compare_imagemagick.py can hand the very same
// pixels to ImageMagick.

#include "imaging/PixelGraphic.h"

#include "bench/BenchPicture.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace scenaria;

std::string PicturePath()
{
    const char* env = std::getenv("SCENARIA_BENCH_PICTURE");
    return env ? env : "/tmp/scenaria-bench-6000x4000.ppm";
}

void WritePpm(const TPixelGraphic& g, const std::string& path)
{
    const std::string temporary = path + ".part";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f)
        return;
    std::fprintf(f, "P6\n%d %d\n255\n", g.Width(), g.Height());
    std::vector<std::uint8_t> rgb(3 * static_cast<std::size_t>(g.Width()));
    for (int y = 0; y < g.Height(); ++y) {
        const std::uint8_t* row = g.ScanLine(y);
        for (int x = 0; x < g.Width(); ++x) {
            rgb[3 * x] = row[3 * x + 2];
            rgb[3 * x + 1] = row[3 * x + 1];
            rgb[3 * x + 2] = row[3 * x];
        }
        std::fwrite(rgb.data(), 1, rgb.size(), f);
    }
    if (std::fclose(f) == 0)
        std::filesystem::rename(temporary, path);
}

const TPixelGraphic& Picture()
{
    static const std::unique_ptr<TPixelGraphic> picture = [] {
        auto g = std::make_unique<TPixelGraphic>();
        bench::MakePicture(*g, 6);
        WritePpm(*g, PicturePath());
        return g;
    }();
    return *picture;
}

void BM_CopyRect(benchmark::State& state)
{
    const TPixelGraphic& source = Picture();
    TPixelGraphic target;
    target.SetSize(1920, 1080, bc24Bit);
    target.StretchMode = static_cast<TStretchMode>(state.range(0));
    for (auto _ : state) {
        target.CopyRect(source, 0, 0, source.Width(), source.Height(), 0, 0, 1920, 1080);
        benchmark::DoNotOptimize(target.PixelData());
    }
    state.SetLabel(state.range(0) == smFast     ? "smFast"
                   : state.range(0) == smMedium ? "smMedium (interpolation)"
                                                : "smPrecise (area averaging)");
}
BENCHMARK(BM_CopyRect)
    ->Arg(smFast)
    ->Arg(smMedium)
    ->Arg(smPrecise)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// What a reduction to 256 colours costs: the palette, then the dithered copy.
void BM_OptimizedPaletteAndDither(benchmark::State& state)
{
    const TPixelGraphic& source = Picture();
    TPixelGraphic target;
    target.SetSize(source.Width(), source.Height(), bc8Bit);
    for (auto _ : state) {
        MakeOptimizedPalette(target, source, 232, true);
        target.CopyFrom(source);
        benchmark::DoNotOptimize(target.PixelData());
    }
    state.counters["colours"] = target.PaletteCount();
}
BENCHMARK(BM_OptimizedPaletteAndDither)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MakeOptimizedPalette(benchmark::State& state)
{
    const TPixelGraphic& source = Picture();
    TPixelGraphic target;
    target.SetSize(1, 1, bc8Bit);
    for (auto _ : state)
        MakeOptimizedPalette(target, source, 232, true);
}
BENCHMARK(BM_MakeOptimizedPalette)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
