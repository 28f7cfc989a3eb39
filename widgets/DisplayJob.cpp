#include "widgets/DisplayJob.h"

#include <array>
#include <chrono>
#include <new>

namespace scenaria {

namespace {

void ApplySettings(TPixelGraphic& image, const TDisplayJobSettings& settings)
{
    image.StretchMode = settings.StretchMode;
    image.Dither = settings.Dither;
    image.DitherErrorLimit = settings.DitherErrorLimit;
    image.DitherErrorLimitAuto = settings.DitherErrorLimitAuto;
    image.DitherErrorLimitSoft = settings.DitherErrorLimitSoft;
    image.SetRGBWeighting(settings.RGBWeighting);
}

// A copy that cannot have the wanted size still gets one pixel, so that the viewer has
// something to show instead of asking for it again on every paint.
void SizeOrOnePixel(TPixelGraphic& image, int width, int height, TBitCount bits)
{
    try {
        image.SetSize(width, height, bits);
    } catch (const EPGInvalidSize&) {
        image.SetSize(1, 1, bits);
    } catch (const std::bad_alloc&) {
        image.SetSize(1, 1, bits);
    }
}

} // namespace

std::unique_ptr<TPixelGraphic> RunDisplayJob(const TPixelGraphic& source,
                                             const TDisplayJobPlan& plan,
                                             const TDisplayJobSettings& settings,
                                             const TDisplayJobProgress& progress,
                                             const TDisplayJobStop& stop)
{
    int phase = 1;
    TProgressThrottle throttle;
    const auto started = std::chrono::steady_clock::now();
    const auto stopped = [&] { return stop && stop(); };
    const auto report = [&](int percent) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
        if (progress && throttle.Report(percent, ms))
            progress(phase, percent);
    };
    const TPGProgressEvent onProgress = [&](TPixelGraphic&, int step, int max, bool& abort) {
        report(RowPercent(step, max + 1));
        if (stopped())
            abort = true;
    };

    auto target = std::make_unique<TPixelGraphic>();
    ApplySettings(*target, settings);
    SizeOrOnePixel(*target, plan.TargetWidth, plan.TargetHeight, plan.TargetBits);
    target->OnProgress = onProgress;

    const TPixelGraphic* from = &source;
    std::unique_ptr<TPixelGraphic> intermediate;
    if (plan.Intermediate) {
        intermediate = std::make_unique<TPixelGraphic>();
        ApplySettings(*intermediate, settings);
        SizeOrOnePixel(*intermediate, plan.TargetWidth, plan.TargetHeight, bc24Bit);
        intermediate->OnProgress = onProgress;
        intermediate->CopyFrom(source);
        if (stopped())
            return nullptr;
        ++phase;
        from = intermediate.get();
    }

    switch (plan.Palette) {
    case tpNone:
        break;
    case tpStandard:
        target->SetPaletteIdent(plan.TargetPaletteKind);
        break;
    case tpSource:
        target->CopyPalette(source);
        break;
    case tpOptimized:
        MakeOptimizedPalette(*target, *from, 252, true);
        if (stopped())
            return nullptr;
        ++phase;
        break;
    }

    if (plan.Palette == tpOptimized && from->BitCount() == bc8Bit &&
        from->Width() == target->Width() && from->Height() == target->Height()) {
        // Every pixel of a paletted picture is one of at most 256 colours: find each colour's
        // place in the new palette once instead of once per pixel.
        std::array<TColor, 256> colors{};
        from->GetColorTable(colors);
        std::array<std::uint8_t, 256> map{};
        for (int i = 0; i < 256; ++i)
            map[i] = static_cast<std::uint8_t>(target->NearestIndex(colors[i]));
        const int width = target->Width(), rows = target->Height();
        for (int y = 0; y < rows; ++y) {
            const std::uint8_t* src = from->ScanLine(y);
            std::uint8_t* dst = target->ScanLine(y);
            for (int x = 0; x < width; ++x)
                dst[x] = map[src[x]];
            report(RowPercent(y, rows));
            if (stopped())
                return nullptr;
        }
        target->Changed();
    } else {
        target->CopyFrom(*from);
    }
    if (stopped())
        return nullptr;
    // The hooks refer to this call's locals.
    target->OnProgress = nullptr;
    return target;
}

} // namespace scenaria
