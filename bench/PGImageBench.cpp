// The picture viewer on a 24-megapixel JPEG in an 800 x 600 view: from setting FileName to the
// first painted frame, a repaint after a resize and a repaint at an unchanged size, each beside
// decoding the same file alone in the same run. At the end the program prints what the view
// adds to the decode (goal: at most 20 %) and the cost of a repaint (goal: under 5 ms).
// The picture is the JPEG benchmark's ($SCENARIA_BENCH_JPEG, written on first use).

#include "imaging/PixelGraphic.h"
#include "imaging/formats/Jpeg.h"
#include "widgets/PGImage.h"

#include "bench/BenchPicture.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>

namespace {

using namespace scenaria;

const std::string& Picture()
{
    static const std::string path = [] {
        const char* env = std::getenv("SCENARIA_BENCH_JPEG");
        const std::string p = env ? env : "/tmp/scenaria-bench-6000x4000.jpg";
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

// The Explorer's preview: no border, centred, the picture fitted into the window.
void SetUp(TPGImage& viewer)
{
    viewer.setFrameShape(QFrame::NoFrame);
    viewer.SetCenter(true);
    viewer.SetStretch(sShrinkKAR);
    viewer.SetShowHourGlass(false);
    viewer.resize(800, 600);
    viewer.show();
    QApplication::processEvents();
}

void BM_Decode(benchmark::State& state)
{
    const std::string& file = Picture();
    for (auto _ : state) {
        TPixelGraphic g;
        g.LoadFromFile(file);
        benchmark::DoNotOptimize(g.PixelData());
    }
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FileNameToFirstFrame(benchmark::State& state)
{
    const std::string& file = Picture();
    TPGImage viewer;
    SetUp(viewer);
    for (auto _ : state) {
        viewer.SetFileName(file);
        viewer.viewport()->repaint();
        state.PauseTiming();
        viewer.SetFileName("");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FileNameToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RepaintAfterResize(benchmark::State& state)
{
    TPGImage viewer;
    SetUp(viewer);
    viewer.SetFileName(Picture());
    viewer.viewport()->repaint();
    bool smaller = false;
    for (auto _ : state) {
        smaller = !smaller;
        viewer.resize(smaller ? 790 : 800, smaller ? 590 : 600);
        viewer.viewport()->repaint();
    }
}
BENCHMARK(BM_RepaintAfterResize)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Repaint(benchmark::State& state)
{
    TPGImage viewer;
    SetUp(viewer);
    viewer.SetFileName(Picture());
    viewer.viewport()->repaint();
    for (auto _ : state)
        viewer.viewport()->repaint();
}
BENCHMARK(BM_Repaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints the comparison once every benchmark has run.
class TComparingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                milliseconds_[run.run_name.function_name] =
                    run.real_accumulated_time * 1000.0 / double(run.iterations);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto at = [&](const char* name) {
            const auto it = milliseconds_.find(name);
            return it == milliseconds_.end() ? 0.0 : it->second;
        };
        const double decode = at("BM_Decode"), first = at("BM_FileNameToFirstFrame");
        if (decode > 0 && first > 0)
            std::cout << "view adds " << (first / decode - 1) * 100 << " % to the decode (" << first
                      << " ms against " << decode << " ms; goal: at most 20 %)\n";
        if (const double repaint = at("BM_Repaint"); repaint > 0)
            std::cout << "repaint at an unchanged size: " << repaint << " ms (goal: under 5 ms)\n";
        if (const double resized = at("BM_RepaintAfterResize"); resized > 0)
            std::cout << "repaint after a resize: " << resized << " ms\n";
    }

private:
    std::map<std::string, double> milliseconds_;
};

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    TComparingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
