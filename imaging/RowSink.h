#pragma once
// A reader that decodes a picture's rows in order, top first, may hand them to a sink instead
// of keeping the whole picture in the image: whoever only wants the picture at another size
// then never holds it at its own.

#include <cstddef>
#include <cstdint>

namespace scenaria {

class TPGStream;
class TPixelGraphic;

class TRowSink {
public:
    virtual ~TRowSink() = default;

    // Asked once the picture's own size (as stored) and its orientation tag are known: 0 when
    // the reader is to fill the image as usual; otherwise the reader sends the rows here,
    // divided by the largest of 1, 2, 4 or 8 that is not above the answer (a divided size is
    // rounded up). The reader still sets the image's Orientation.
    virtual int Reduction(int width, int height, int orientation) = 0;
    // The rows to come: their size, and whether they are gray levels (else blue, green, red).
    virtual void Begin(int width, int height, bool gray) = 0;
    virtual void Row(const std::uint8_t* row) = 0;
    // After the last row; not called when reading fails.
    virtual void End() = 0;
};

// True when the image has a sink that takes the undivided rows of a picture of this size (for a
// reader that cannot divide what it decodes).
bool SinkTakesRows(TPixelGraphic& image, int width, int height, int orientation = 1);

// Rows stored uncompressed at a fixed distance from each other, as BMP and TGA keep them.
struct TStoredRows {
    std::uint64_t Start = 0; // where the first stored row begins
    std::size_t Stride = 0;  // from one stored row to the next (at least the row's bytes)
    bool BottomFirst = false;
    bool Gray = false; // gray levels, else blue, green, red
};

// Sends the stored rows to the image's sink top first, seeking to each row. Bytes the stream
// does not hold are black, as they are when such a picture is loaded whole. An abort through
// the image's progress stops without End.
void SendStoredRows(TPGStream& stream, TPixelGraphic& image, int width, int height,
                    const TStoredRows& rows);

} // namespace scenaria
