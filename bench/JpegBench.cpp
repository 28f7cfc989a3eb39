// JPEG decoding and encoding of a 24-megapixel picture, and the bitmap written from it. The
// picture is written once as a JPEG to $SCENARIA_BENCH_JPEG (default
// /tmp/scenaria-bench-6000x4000.jpg) so that compare_jpeg.py can hand the very same file to
// djpeg and ImageMagick.

#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"
#include "imaging/formats/Jpeg.h"

#include "bench/BenchPicture.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

using namespace scenaria;

std::string JpegPath()
{
    const char* env = std::getenv("SCENARIA_BENCH_JPEG");
    return env ? env : "/tmp/scenaria-bench-6000x4000.jpg";
}

const std::string& Picture()
{
    static const std::string path = [] {
        const std::string p = JpegPath();
        std::error_code ec;
        if (!std::filesystem::exists(p, ec)) {
            TPixelGraphic g;
            bench::MakePicture(g, 10);
            JPEGQuality = 90;
            g.SaveToFile(p);
            JPEGQuality = 80;
        }
        return p;
    }();
    return path;
}

void BM_JpegLoad(benchmark::State& state)
{
    const std::string& file = Picture();
    for (auto _ : state) {
        TPixelGraphic g;
        g.FastDecoding = state.range(0) != 0;
        g.LoadFromFile(file);
        benchmark::DoNotOptimize(g.PixelData());
    }
}
BENCHMARK(BM_JpegLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JpegSave(benchmark::State& state)
{
    TPixelGraphic g;
    g.LoadFromFile(Picture());
    for (auto _ : state) {
        TPGMemoryStream stream;
        g.SaveToStreamAs(stream, "jpg");
        benchmark::DoNotOptimize(stream.Data().data());
    }
}
BENCHMARK(BM_JpegSave)->Unit(benchmark::kMillisecond)->UseRealTime();

// What "scenarix-tool convert picture.jpg picture.bmp" does, without starting a process.
void BM_JpegToBmpFile(benchmark::State& state)
{
    const std::string out =
        (std::filesystem::temp_directory_path() / "scenaria-bench-jpeg.bmp").string();
    for (auto _ : state) {
        TPixelGraphic g;
        g.ReadWarningAction = pgwaRaise;
        g.LoadFromFile(Picture());
        g.SaveToFile(out);
    }
    std::error_code ec;
    std::filesystem::remove(out, ec);
}
BENCHMARK(BM_JpegToBmpFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
