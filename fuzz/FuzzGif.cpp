// Loads any bytes as a GIF picture; what loads must render and draw, must save, and its frames
// must read back with the same pixels.

#include "imaging/gif/GifCanvas.h"
#include "imaging/gif/GifImage.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace scenaria;

namespace {

std::vector<const TGIFSubImage*> ImageFrames(const TGIFImage& image)
{
    std::vector<const TGIFSubImage*> frames;
    for (const auto& frame : image.Images())
        if (!frame->Empty())
            frames.push_back(frame.get());
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TGIFImage image;
    image.WarningHandler = [](const TGIFItem*, int, const std::string&) {};
    TPGBufferStream input(data, size);
    try {
        image.LoadFromStream(input);
    } catch (const GIFException&) {
    }

    // Saving and reloading large frames under the sanitizers would take longer than the
    // fuzzer waits for one input; a million pixels show the encoder's every path.
    std::int64_t pixels = 0;
    for (const auto& frame : image.Images())
        pixels += frame->DataSize();
    if (pixels > (1 << 20))
        return 0;

    // Every frame renders plainly and dithered, with its mask, and draws into a small picture
    // at an odd scale; a picture without colour tables fails with its message instead.
    for (const TGIFDrawOptions options :
         {TGIFDrawOptions(doTransparent), TGIFDrawOptions(doTransparent | doDither)}) {
        image.DrawOptions = options;
        TPixelGraphic target;
        target.SetSize(37, 23, bc24Bit);
        TGIFBitmapCanvas canvas(target);
        try {
            for (auto& frame : image.Images()) {
                frame->DropCaches();
                frame->Bitmap();
                frame->HasMask();
                frame->Draw(canvas, TRect{-3, 2, 40, 19}, true);
            }
            image.Draw(canvas, TRect{0, 0, 37, 23});
        } catch (const GIFException&) {
        }
    }

    TPGMemoryStream saved;
    try {
        image.SaveToStream(saved);
    } catch (const GIFException&) {
        return 0; // a picture without frames has no version to write
    }
    TGIFImage reloaded;
    reloaded.WarningHandler = image.WarningHandler;
    saved.Seek(0);
    try {
        reloaded.LoadFromStream(saved);
    } catch (const GIFException&) {
        // Extensions are written as they were read, and some blocks read back differently
        // (an application block of size 10, for one); only the pixels are promised.
        return 0;
    }
    const auto before = ImageFrames(image);
    const auto after = ImageFrames(reloaded);
    if (before.size() != after.size())
        std::abort();
    for (std::size_t i = 0; i < before.size(); ++i)
        if (before[i]->DataSize() != after[i]->DataSize() ||
            std::memcmp(before[i]->Data(), after[i]->Data(), std::size_t(before[i]->DataSize())) !=
                0)
            std::abort();
    return 0;
}
