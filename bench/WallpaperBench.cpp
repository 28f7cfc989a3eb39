// SetWallpaper of a 24-megapixel JPEG fitted to a 1920x1080 screen, stretched and with its
// proportions kept: load, stretch, write the temporary bitmap. The installer is a recording
// stand-in, so only the composition is measured. The picture is bench_jpeg's
// ($SCENARIA_BENCH_JPEG, default /tmp/scenaria-bench-6000x4000.jpg); compare_wallpaper.py
// makes sure it exists.

#include "core/Settings.h"
#include "core/Wallpaper.h"
#include "tests/fakes/FakePlatform.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string Picture()
{
    const char* env = std::getenv("SCENARIA_BENCH_JPEG");
    return env ? env : "/tmp/scenaria-bench-6000x4000.jpg";
}

void BM_SetWallpaper(benchmark::State& state)
{
    using namespace scenaria;
    if (!std::filesystem::exists(Picture())) {
        state.SkipWithError("the benchmark picture is missing: run bench_jpeg first");
        return;
    }
    testing::TFakePlatform platform;
    platform.Screen = {1920, 1080, 24};
    platform.SaveFolder = std::filesystem::temp_directory_path() / "scenaria-bench-wallpaper";
    std::filesystem::create_directories(platform.SaveFolder);
    Settings = TSettings{};
    Settings.SaveFolder = platform.SaveFolder;
    Settings.Tile = 1;
    Settings.Stretch = true;
    Settings.Proportional = state.range(0) != 0;
    ComReady = false;
    for (auto _ : state) {
        if (!SetWallpaper(platform, Picture()))
            state.SkipWithError("SetWallpaper failed");
        platform.Installs.clear();
    }
}
BENCHMARK(BM_SetWallpaper)
    ->ArgName("proportional")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
