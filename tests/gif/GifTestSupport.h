#pragma once
// Hand-made GIF streams for the codec's tests: every byte is written out here, so a test states
// exactly what the reader meets.

#include "imaging/gif/GifImage.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace scenaria::testing {

using TBytes = std::vector<std::uint8_t>;

class TGifBuilder {
public:
    TBytes Bytes;

    TGifBuilder& Raw(std::initializer_list<int> bytes)
    {
        for (int b : bytes)
            Bytes.push_back(static_cast<std::uint8_t>(b));
        return *this;
    }
    TGifBuilder& Raw(const TBytes& bytes)
    {
        Bytes.insert(Bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    TGifBuilder& Word(int value) { return Raw({value & 0xFF, (value >> 8) & 0xFF}); }
    TGifBuilder& Text(const std::string& text)
    {
        Bytes.insert(Bytes.end(), text.begin(), text.end());
        return *this;
    }

    // Signature, logical screen descriptor and, with globalBits, a global table of 2^bits
    // entries (colour i = (i, 255 - i, i / 2)).
    TGifBuilder& Header(int width, int height, int globalBits = 1,
                        const std::string& signature = "GIF89a", int background = 0)
    {
        Text(signature).Word(width).Word(height);
        Raw({globalBits > 0 ? 0x80 | (globalBits - 1) << 4 | (globalBits - 1) : 0, background, 0});
        if (globalBits > 0)
            ColorTable(globalBits);
        return *this;
    }
    TGifBuilder& ColorTable(int bits)
    {
        for (int i = 0; i < (1 << bits); ++i)
            Raw({i, 255 - i, i / 2});
        return *this;
    }
    TGifBuilder& GraphicControl(int disposal, int delay, int transparent = -1)
    {
        Raw({0x21, 0xF9, 4, disposal << 2 | (transparent >= 0 ? 1 : 0)}).Word(delay);
        return Raw({transparent >= 0 ? transparent : 0, 0});
    }
    TGifBuilder& Comment(const std::vector<std::string>& pieces)
    {
        Raw({0x21, 0xFE});
        for (const auto& piece : pieces)
            Raw({int(piece.size())}).Text(piece);
        return Raw({0});
    }
    TGifBuilder& Loop(int count)
    {
        return Raw({0x21, 0xFF, 11}).Text("NETSCAPE2.0").Raw({3, 1}).Word(count).Raw({0});
    }
    TGifBuilder& Descriptor(int left, int top, int width, int height, int packed = 0)
    {
        return Raw({0x2C}).Word(left).Word(top).Word(width).Word(height).Raw({packed});
    }
    // LZW data of a frame whose pixels are all below 2^(initialCodeSize): each pixel sent as a
    // literal code with a clear code before every run that would grow the table past the
    // first width, then the end code and the terminator.
    TGifBuilder& LiteralData(const TBytes& pixels, int initialCodeSize = 2);
    // The given codes, each with its width, packed least significant bit first and cut into
    // sub-blocks of blockSize bytes; then, unless told otherwise, the terminator.
    TGifBuilder& Codes(int initialCodeSize, const std::vector<std::pair<int, int>>& codes,
                       int blockSize = 255, bool terminate = true);
    TGifBuilder& Trailer() { return Raw({0x3B}); }
};

// Packs codes (value, width) least significant bit first.
TBytes PackCodes(const std::vector<std::pair<int, int>>& codes);
// Cuts data into sub-blocks of at most blockSize bytes each preceded by its length.
TBytes SubBlocks(const TBytes& data, int blockSize);

// The warnings and progress reports a picture gives, in order.
struct TGifEvents {
    std::vector<std::string> Warnings;
    std::vector<std::string> Progress; // "start 0 Loading...", "run 57 Loading...", ...

    void Attach(TGIFImage& image);
};

// Loads bytes into image; returns the message of the GIFException raised, or "" when none.
std::string LoadGif(TGIFImage& image, const TBytes& bytes);

// A frame's pixels as a vector.
TBytes FramePixels(const TGIFSubImage& frame);

// A banner like the About box's: 320x80, a 256-colour global table, four frames with
// transparency (index 255) and disposal 1, delays 50, 100, 100 and 200, a looping extension
// with count 0 on the first frame and a comment after the last. The fourth frame is a smaller,
// interlaced one at 20,10.
void MakeBanner(TGIFImage& image);

} // namespace scenaria::testing
