#include "imaging/RowSink.h"

#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"

#include <algorithm>
#include <vector>

namespace scenaria {

bool SinkTakesRows(TPixelGraphic& image, int width, int height, int orientation)
{
    return image.RowSink && width > 0 && height > 0 &&
           image.RowSink->Reduction(width, height, orientation) > 0;
}

void SendStoredRows(TPGStream& stream, TPixelGraphic& image, int width, int height,
                    const TStoredRows& rows)
{
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (rows.Gray ? 1 : 3);
    std::vector<std::uint8_t> row(rowBytes);
    const std::uint64_t size = stream.Size();
    TRowSink& sink = *image.RowSink;
    sink.Begin(width, height, rows.Gray);
    for (int y = 0; y < height; ++y) {
        const std::uint64_t stored =
            static_cast<std::uint64_t>(rows.BottomFirst ? height - 1 - y : y);
        const std::uint64_t at = rows.Start + stored * rows.Stride;
        std::size_t got = 0;
        if (at < size) {
            stream.Seek(at);
            got = stream.Read(row.data(), rowBytes);
        }
        std::fill(row.begin() + static_cast<std::ptrdiff_t>(got), row.end(), 0);
        sink.Row(row.data());
        if (image.DoProgress(y, height))
            return;
    }
    sink.End();
}

} // namespace scenaria
