// Opening the Bitmap Explorer on a folder of 5 000 pictures, until its file list is filled,
// beside ls(1) listing the same folder in the same run. Goal: no visible wait (under 0.3 s).

#include "core/Settings.h"
#include "platform/Platform.h"
#include "ui/BitmapExplorer.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace scenaria {
namespace {

constexpr int Pictures = 5000;

// One folder for the whole run, filled once; the files are empty, as listing never opens them.
const std::string& Folder()
{
    static const std::string folder = [] {
        const auto path = std::filesystem::temp_directory_path() / "scenaria-bench-explorer";
        std::filesystem::create_directories(path);
        for (int i = 0; i < Pictures; ++i)
            std::ofstream(path / ("picture" + std::to_string(i) + (i % 2 ? ".jpg" : ".bmp")));
        return path.string();
    }();
    return folder;
}

void BM_OpenExplorer(benchmark::State& state)
{
    Settings = TSettings{};
    Settings.Directory = Folder();
    Settings.FilesType = 0;
    const std::unique_ptr<IPlatform> platform = CreatePlatform();
    for (auto _ : state) {
        TfmBitmap explorer(*platform, false, {});
        if (explorer.lbFile->count() != Pictures)
            state.SkipWithError("the file list is not full");
        benchmark::DoNotOptimize(explorer.lbFile->count());
    }
    state.counters["files"] = Pictures;
}
BENCHMARK(BM_OpenExplorer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LsCommand(benchmark::State& state)
{
    const std::string command = "ls '" + Folder() + "' > /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("ls failed");
}
BENCHMARK(BM_LsCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace scenaria

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
