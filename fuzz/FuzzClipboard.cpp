// Packed DIBs from the clipboard, then what the program does with a loaded picture: resample
// it, reduce it to an optimised palette with dithering, draw it, and hand it back.

#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace scenaria;
    TPixelGraphic picture;
    try {
        picture.LoadFromClipboardFormat(8, data, size);
    } catch (const EPixelGraphic&) {
        return 0;
    }
    // Large pictures take the same paths as small ones, only slower: leave them out so that
    // the fuzzer tries more inputs in its time.
    if (std::int64_t{picture.Width()} * picture.Height() > 250'000)
        return 0;
    TPixelGraphic reduced;
    reduced.SetSize(17, 13, bc8Bit);
    reduced.StretchMode = static_cast<TStretchMode>(size % 3);
    MakeOptimizedPalette(reduced, picture, 40, true);
    reduced.CopyFrom(picture);

    TPixelGraphic grey;
    grey.SetSize(9, 7, bc4Bit);
    grey.SetPaletteIdent(pGray16);
    grey.CopyRect(picture, -1, 2, picture.Width() / 2 + 1, picture.Height() + 3, 1, -1, 9, 9);

    TPixelGraphic screen;
    screen.SetSize(23, 11, bc24Bit);
    screen.Canvas().StretchDraw({20, 0, -3, 11}, picture);
    (void)picture.SaveToClipboardFormat();
    return 0;
}
