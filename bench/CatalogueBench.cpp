// RebuildCatalogue over 100 000 files in 1 000 folders, beside find(1) on the same tree.
// The tree is made once under $SCENARIA_BENCH_TREE (default /tmp/scenaria-bench-tree).

#include "core/Catalogue.h"
#include "core/Settings.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int Folders = 1000;
constexpr int FilesPerFolder = 100;

std::string Tree()
{
    const char* env = std::getenv("SCENARIA_BENCH_TREE");
    const std::string root = env ? env : "/tmp/scenaria-bench-tree";
    const std::string done = root + "/.complete";
    if (std::filesystem::exists(done))
        return root;
    std::filesystem::remove_all(root);
    // Ten top folders of a hundred folders each; a quarter of the files are not pictures.
    for (int f = 0; f < Folders; ++f) {
        const std::string folder =
            root + "/set" + std::to_string(f / 100) + "/f" + std::to_string(f);
        std::filesystem::create_directories(folder);
        for (int i = 0; i < FilesPerFolder; ++i) {
            static const char* const ext[] = {".jpg", ".png", ".bmp", ".txt"};
            std::ofstream(folder + "/p" + std::to_string(i) + ext[i % 4]);
        }
    }
    std::ofstream(done).put('\n');
    return root;
}

void BM_RebuildCatalogue(benchmark::State& state)
{
    scenaria::TSettings settings;
    settings.Directory = Tree();
    settings.Subfolders = true;
    scenaria::TCatalogue catalogue;
    for (auto _ : state) {
        scenaria::RebuildCatalogue(catalogue, settings);
        benchmark::DoNotOptimize(catalogue.data());
    }
    state.counters["pictures"] = static_cast<double>(catalogue.size());
    if (catalogue.size() != Folders * FilesPerFolder * 3 / 4)
        state.SkipWithError("unexpected catalogue size");
}
BENCHMARK(BM_RebuildCatalogue)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same walk by find(1), listing the same names, for comparison.
void BM_FindCommand(benchmark::State& state)
{
    const std::string command = "find '" + Tree() +
                                "' -not -path '*/.*' \\( -iname '*.jpg' -o -iname '*.png' -o "
                                "-iname '*.bmp' \\) > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("find failed");
    }
}
BENCHMARK(BM_FindCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
