// JPEG decoding and encoding of a 24-megapixel picture, and the bitmap written from it. The
// picture is written once as a JPEG to $SCENARIA_BENCH_JPEG (default
// /tmp/scenaria-bench-6000x4000.jpg) so that compare_jpeg.py can hand the very same file to
// djpeg and ImageMagick.

#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"
#include "imaging/formats/Jpeg.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

using namespace scenaria;

constexpr int PictureWidth = 6000;
constexpr int PictureHeight = 4000;

std::string JpegPath()
{
    const char* env = std::getenv("SCENARIA_BENCH_JPEG");
    return env ? env : "/tmp/scenaria-bench-6000x4000.jpg";
}

// Smooth colour fields with fine texture, grain and hard edges, so that the file has the
// entropy of a photograph rather than of a test card.
void MakePicture(TPixelGraphic& g)
{
    g.SetSize(PictureWidth, PictureHeight, bc24Bit);
    std::mt19937 random(2024);
    for (int y = 0; y < PictureHeight; ++y) {
        std::uint8_t* row = g.ScanLine(y);
        const double fy = double(y) / PictureHeight;
        for (int x = 0; x < PictureWidth; ++x) {
            const double fx = double(x) / PictureWidth;
            const int grain = static_cast<int>(random() % 21) - 10;
            const int r = int(120 + 90 * std::sin(fx * 7 + fy * 3) + 30 * std::sin(x * 0.05));
            const int gr = int(110 + 80 * std::cos(fy * 9 - fx * 2) + 25 * std::sin(y * 0.07));
            const int b = int(90 + 100 * fx * fy + ((x / 500 + y / 400) % 3 == 0 ? 50 : 0));
            row[3 * x] = static_cast<std::uint8_t>(std::clamp(b + grain, 0, 255));
            row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(gr + grain, 0, 255));
            row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(r + grain, 0, 255));
        }
    }
}

const std::string& Picture()
{
    static const std::string path = [] {
        const std::string p = JpegPath();
        std::error_code ec;
        if (!std::filesystem::exists(p, ec)) {
            TPixelGraphic g;
            MakePicture(g);
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
