// Bare X11 composes the root window from the bitmap's pixels, so it reads the file with the
// program's own image library, as the rest of the program does.

#include "platform/X11Root.h"

#include "imaging/PixelGraphic.h"

#include <array>
#include <exception>

namespace scenaria {

bool LoadRgbPicture(const std::string& file, bool tiled, int screenWidth, int screenHeight,
                    TRgbPicture& picture, std::string& error)
{
    picture = {};
    try {
        TPixelGraphic image;
        // Reader warnings become errors: nobody is there to answer a question.
        image.ReadWarningAction = pgwaRaise;
        image.LoadFromFile(file);
        const int width = image.Width();
        const int height = image.Height();
        if (width <= 0 || height <= 0 || image.Empty()) {
            error = file + ": the picture is empty";
            return false;
        }
        const TPictureRegion region =
            VisibleRegion(width, height, tiled, screenWidth, screenHeight);
        TRgbPicture loaded{region.Width, region.Height, {}};
        loaded.Pixels.resize(static_cast<std::size_t>(region.Width) * region.Height * 3);
        std::uint8_t* target = loaded.Pixels.data();
        const int right = region.Left + region.Width;
        const int bottom = region.Top + region.Height;
        if (image.BitCountNum() == 24) {
            for (int y = region.Top; y < bottom; ++y) {
                // The library keeps blue, green, red.
                const std::uint8_t* source =
                    image.ScanLine(y) + static_cast<std::size_t>(region.Left) * 3;
                for (int x = region.Left; x < right; ++x, source += 3, target += 3) {
                    target[0] = source[2];
                    target[1] = source[1];
                    target[2] = source[0];
                }
            }
        } else {
            // Every value a pixel can hold has a colour here, even one past the palette.
            std::array<TColor, 256> colours{};
            image.GetColorTable(colours);
            for (int y = region.Top; y < bottom; ++y)
                for (int x = region.Left; x < right; ++x, target += 3) {
                    const TColor colour = colours[image.GetPixel(x, y) & 0xFF];
                    target[0] = static_cast<std::uint8_t>(GetRValue(colour));
                    target[1] = static_cast<std::uint8_t>(GetGValue(colour));
                    target[2] = static_cast<std::uint8_t>(GetBValue(colour));
                }
        }
        picture = std::move(loaded);
        return true;
    } catch (const std::exception& failure) {
        error = file + ": " + failure.what();
    } catch (...) {
        error = file + ": cannot be read";
    }
    return false;
}

bool LoadStretchedRgbPicture(const std::string& file, int screenWidth, int screenHeight,
                             TRgbPicture& picture, std::string& error)
{
    picture = {};
    if (screenWidth <= 0 || screenHeight <= 0) {
        error = "the screen size is unknown";
        return false;
    }
    try {
        TPixelGraphic image;
        image.ReadWarningAction = pgwaRaise;
        image.LoadFromFile(file);
        const int width = image.Width();
        const int height = image.Height();
        if (width <= 0 || height <= 0 || image.Empty()) {
            error = file + ": the picture is empty";
            return false;
        }
        std::array<TColor, 256> colours{};
        const bool trueColour = image.BitCountNum() == 24;
        if (!trueColour)
            image.GetColorTable(colours);
        TRgbPicture stretched{screenWidth, screenHeight, {}};
        stretched.Pixels.resize(static_cast<std::size_t>(screenWidth) * screenHeight * 3);
        std::uint8_t* target = stretched.Pixels.data();
        for (int y = 0; y < screenHeight; ++y) {
            const int sourceY = static_cast<int>(static_cast<long long>(y) * height / screenHeight);
            const std::uint8_t* row = trueColour ? image.ScanLine(sourceY) : nullptr;
            for (int x = 0; x < screenWidth; ++x, target += 3) {
                const int sourceX =
                    static_cast<int>(static_cast<long long>(x) * width / screenWidth);
                if (row) {
                    // The library keeps blue, green, red.
                    const std::uint8_t* pixel = row + static_cast<std::size_t>(sourceX) * 3;
                    target[0] = pixel[2];
                    target[1] = pixel[1];
                    target[2] = pixel[0];
                } else {
                    const TColor colour = colours[image.GetPixel(sourceX, sourceY) & 0xFF];
                    target[0] = static_cast<std::uint8_t>(GetRValue(colour));
                    target[1] = static_cast<std::uint8_t>(GetGValue(colour));
                    target[2] = static_cast<std::uint8_t>(GetBValue(colour));
                }
            }
        }
        picture = std::move(stretched);
        return true;
    } catch (const std::exception& failure) {
        error = file + ": " + failure.what();
    } catch (...) {
        error = file + ": cannot be read";
    }
    return false;
}

} // namespace scenaria
