#pragma once
// A reader that decodes a picture's rows in order, top first, may hand them to a sink instead
// of keeping the whole picture in the image: whoever only wants the picture at another size
// then never holds it at its own.

#include <cstdint>

namespace scenaria {

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

} // namespace scenaria
