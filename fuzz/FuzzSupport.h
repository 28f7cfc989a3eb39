#pragma once
// What the reader fuzz targets share: leaving out pictures too large for the fuzzer's memory
// limit, loading with the reader's failures taken as the expected outcome, and writing a
// loaded picture back out to check that it reads back the same.

#include "imaging/FileFormats.h"
#include "imaging/RowSink.h"
#include "imaging/Stream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace scenaria::fuzz {

// Larger pictures are legitimate, but would only exhaust the fuzzer's memory limit.
inline constexpr std::int64_t MaxPixels = 4'000'000;

// True when the reader's own description of the data names a picture of more than maxPixels.
// The description's parsing is fuzzed along the way; data it cannot describe is not too large.
inline bool TooLarge(const TFileFormatReader& reader, const std::uint8_t* data, std::size_t size,
                     int index = 0, std::int64_t maxPixels = MaxPixels)
{
    TPGImageInfo info;
    try {
        TPGBufferStream probe(data, size);
        reader.GetInfo(probe, index, info);
    } catch (const EPixelGraphic&) {
    } catch (const EStreamError&) {
    }
    return std::llabs(std::int64_t{info.Width} * info.Height) > maxPixels;
}

// Loads the data with `read`; false when it refused them the library's way.
inline bool Loads(TPixelGraphic& image, const std::uint8_t* data, std::size_t size,
                  const std::function<void(TPGStream&, TPixelGraphic&)>& read)
{
    try {
        TPGBufferStream stream(data, size);
        read(stream, image);
    } catch (const EPixelGraphic&) {
        return false;
    } catch (const EStreamError&) {
        return false;
    }
    return true;
}

// Loads the data with this reader alone, whatever the data look like, so that the fuzzer
// reaches the reader's every path; false when the picture is too large or was refused.
inline bool LoadsWith(const TFileFormatReader& reader, TPixelGraphic& image,
                      const std::uint8_t* data, std::size_t size)
{
    return !TooLarge(reader, data, size) &&
           Loads(image, data, size, [&reader](TPGStream& s, TPixelGraphic& i) {
               reader.Read(s, i, 0);
               i.IdentifyPalette();
           });
}

// Loads through the library's loading path (reader chosen by the data).
inline bool Loads(TPixelGraphic& image, const std::uint8_t* data, std::size_t size)
{
    return Loads(image, data, size, [](TPGStream& s, TPixelGraphic& i) { i.LoadFromStream(s); });
}

// Writes the image in the format of the extension and reads the result back into `again`.
inline void WriteAndRead(TPixelGraphic& image, const char* extension, TPixelGraphic& again)
{
    TPGMemoryStream copy;
    image.SaveToStreamAs(copy, extension);
    copy.Seek(0);
    again.LoadFromStream(copy);
}

// Stops the fuzzer when a picture did not come back the same size, or (pixels) with other
// pixel bytes.
inline void RequireSame(const TPixelGraphic& image, const TPixelGraphic& again, bool pixels)
{
    if (again.Width() != image.Width() || again.Height() != image.Height())
        std::abort();
    if (pixels && (again.ImageSize() != image.ImageSize() ||
                   (image.ImageSize() > 0 &&
                    std::memcmp(again.PixelData(), image.PixelData(), image.ImageSize()) != 0)))
        std::abort();
}

// Takes the rows a reader streams, at the picture's own size.
class TRowCollector final : public TRowSink {
public:
    int Reduction(int, int, int) override { return 1; }
    void Begin(int width, int height, bool gray) override
    {
        Width = width;
        Height = height;
        Gray = gray;
    }
    void Row(const std::uint8_t* row) override
    {
        if (static_cast<int>(Rows.size()) >= Height)
            std::abort(); // more rows than the reader announced
        Rows.emplace_back(row, row + static_cast<std::size_t>(Width) * (Gray ? 1 : 3));
    }
    void End() override { Ended = true; }

    int Width = 0, Height = 0;
    bool Gray = false, Ended = false;
    std::vector<std::vector<std::uint8_t>> Rows;
};

// Loads again with a sink taking the rows, and stops the fuzzer when a reader that streamed
// the whole picture sent other colours than the whole load holds.
inline void RequireSameStreamed(const TPixelGraphic& whole, const std::uint8_t* data,
                                std::size_t size,
                                const std::function<void(TPGStream&, TPixelGraphic&)>& read)
{
    TRowCollector rows;
    TPixelGraphic image;
    image.ReadWarningAction = whole.ReadWarningAction;
    image.FastDecoding = whole.FastDecoding;
    image.RowSink = &rows;
    const bool loaded = Loads(image, data, size, read);
    image.RowSink = nullptr;
    if (!loaded || !rows.Ended)
        return;
    if (rows.Width != whole.Width() || static_cast<int>(rows.Rows.size()) != whole.Height())
        std::abort();
    for (int y = 0; y < whole.Height(); ++y)
        for (int x = 0; x < whole.Width(); ++x) {
            const std::uint8_t* p = rows.Rows[y].data() + (rows.Gray ? x : 3 * x);
            const TColor c = rows.Gray ? RGB(p[0], p[0], p[0]) : RGB(p[2], p[1], p[0]);
            if (c != whole.GetPixelColor(x, y))
                std::abort();
        }
}

// The same through the library's loading path.
inline void RequireSameStreamed(const TPixelGraphic& whole, const std::uint8_t* data,
                                std::size_t size)
{
    RequireSameStreamed(whole, data, size,
                        [](TPGStream& s, TPixelGraphic& i) { i.LoadFromStream(s); });
}

} // namespace scenaria::fuzz
