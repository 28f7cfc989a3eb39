#include "imaging/formats/Tga.h"

#include "imaging/Messages.h"
#include "imaging/RowSink.h"
#include "imaging/formats/ByteIO.h"

#include <array>
#include <cstring>
#include <vector>

namespace scenaria {

namespace {

constexpr std::size_t HeaderBytes = 18;
constexpr std::uint8_t RightToLeft = 0x10;
constexpr std::uint8_t TopFirst = 0x20;
constexpr std::uint8_t RunLengthEncoded = 0x08;
// Pixels one run-length packet covers at most.
constexpr std::uint64_t MaxPacketPixels = 128;

[[noreturn]] void Fail(int record, std::string_view what = {})
{
    throw EPGTGAFileFormatReader("TGA: " + PGMessage(record, what));
}

[[noreturn]] void FailEnd()
{
    Fail(pgmUnexpectedEndOfFile);
}

struct THeader {
    int IdLength = 0;
    int MapType = 0;
    int ImageType = 0;
    int FirstEntry = 0;
    int MapLength = 0;
    int EntrySize = 0;
    int Width = 0;
    int Height = 0;
    int Depth = 0;
    std::uint8_t Descriptor = 0;

    bool Encoded() const { return (ImageType & RunLengthEncoded) != 0; }
    // Grey pixels with an alpha byte after each grey level.
    bool GrayAlpha() const { return (ImageType & 7) == 3 && Depth == 16; }
    std::uint64_t MapBytes() const
    {
        return MapType == 0 ? 0 : std::uint64_t{0} + MapLength * ((EntrySize + 7) / 8);
    }
};

THeader ReadHeader(TPGStream& stream)
{
    std::uint8_t h[HeaderBytes];
    stream.ReadBuffer(h, sizeof h);
    THeader header;
    header.IdLength = h[0];
    header.MapType = h[1];
    header.ImageType = h[2];
    header.FirstEntry = Get16(h + 3);
    header.MapLength = Get16(h + 5);
    header.EntrySize = h[7];
    header.Width = Get16(h + 12);
    header.Height = Get16(h + 14);
    header.Depth = h[16];
    header.Descriptor = h[17];
    return header;
}

void Skip(TPGStream& stream, std::uint64_t count)
{
    if (count > stream.Remaining())
        FailEnd();
    stream.Seek(stream.Position() + count);
}

// A 5-5-5 word: red in bits 10-14, green in 5-9, blue in 0-4, each moved to the top of its
// byte without filling the low bits.
TColor Color555(std::uint16_t word)
{
    return RGB((word & 0x7C00) >> 7, (word & 0x03E0) >> 2, (word & 0x001F) << 3);
}

// The colour map of an 8-bit picture: the stored entries are the colours of the indices from
// the first entry on, as the Truevision TGA format defines them. Returns the palette
// size; indices below the first entry stay black.
int ReadColorMap(TPGStream& stream, const THeader& h, std::array<TColor, 256>& palette)
{
    if (h.EntrySize != 16 && h.EntrySize != 24 && h.EntrySize != 32)
        Fail(pgmNotSupportedSubformat);
    if (h.FirstEntry > h.MapLength)
        Fail(pgmNotSupportedSubformat);
    const std::uint64_t bytes = h.MapBytes();
    if (bytes > stream.Remaining())
        FailEnd();
    if (bytes == 0)
        return 0;
    std::vector<std::uint8_t> map(static_cast<std::size_t>(bytes));
    if (stream.Read(map.data(), map.size()) != map.size())
        FailEnd();
    const int size = (h.EntrySize + 7) / 8;
    const int count = std::min(256, h.FirstEntry + h.MapLength);
    for (int i = h.FirstEntry; i < count; ++i) {
        const std::uint8_t* e = map.data() + static_cast<std::size_t>(i - h.FirstEntry) * size;
        palette[i] = size == 2 ? Color555(Get16(e)) : RGB(e[2], e[1], e[0]);
    }
    return count;
}

// Pixels in stored order, through run-length packets when the picture has them. A packet may
// run on from the end of one row into the next, as the format allows.
class TPixelSource {
public:
    TPixelSource(TPGStream& stream, int bytesPerPixel, bool encoded)
        : input_(stream, FailEnd), size_(static_cast<std::size_t>(bytesPerPixel)), encoded_(encoded)
    {
    }

    void Next(std::uint8_t* pixel)
    {
        if (!encoded_) {
            input_.Read(pixel, size_);
            return;
        }
        if (left_ == 0) {
            const std::uint8_t packet = input_.Get();
            left_ = (packet & 0x7F) + 1;
            run_ = (packet & 0x80) != 0;
            if (run_)
                input_.Read(value_.data(), size_);
        }
        --left_;
        if (run_)
            std::memcpy(pixel, value_.data(), size_);
        else
            input_.Read(pixel, size_);
    }

private:
    TByteInput input_;
    std::size_t size_;
    bool encoded_;
    int left_ = 0;
    bool run_ = false;
    std::array<std::uint8_t, 4> value_{};
};

std::string ColorsText(int depth)
{
    if (depth <= 23)
        return std::to_string(std::uint32_t{1} << depth);
    return depth == 24 ? "16.7M" : "16.7M ?";
}

} // namespace

TTGAFileFormatReader::TTGAFileFormatReader()
    : TFileFormatReader("TTGAFileFormatReader", "tga", "Truevision Targa", false)
{
}

void TTGAFileFormatReader::Read(TPGStream& stream, TPixelGraphic& image, int index) const
{
    if (index != 0)
        Fail(pgmInvalid, "Index");
    image.Gamma = DisplayGamma;
    const THeader h = ReadHeader(stream);
    if (h.Depth != 8 && h.Depth != 16 && h.Depth != 24 && h.Depth != 32)
        Fail(pgmNotSupportedSubformat);
    const int bytesPerPixel = h.Depth / 8;

    Skip(stream, static_cast<std::uint64_t>(h.IdLength));
    std::array<TColor, 256> palette{};
    int entries = 0;
    if (h.Depth == 8 && h.MapType == 1)
        entries = ReadColorMap(stream, h, palette);
    else
        Skip(stream, h.MapBytes());

    // The fewest bytes that can hold the pixels: each one stored, or one packet of a header
    // byte and a pixel per 128 of them.
    const std::uint64_t pixels = static_cast<std::uint64_t>(h.Width) * h.Height;
    const std::uint64_t least = h.Encoded() ? (pixels + MaxPacketPixels - 1) / MaxPacketPixels *
                                                  (1 + static_cast<std::uint64_t>(bytesPerPixel))
                                            : pixels * bytesPerPixel;
    if (least > stream.Remaining())
        FailEnd();

    // Stored rows of true colour or gray levels can go to a sink as they are.
    const bool plainRows = !h.Encoded() && (h.Depth == 24 || (h.Depth == 8 && entries == 0)) &&
                           (h.Descriptor & RightToLeft) == 0;
    if (plainRows && SinkTakesRows(image, h.Width, h.Height)) {
        const TProgressScope progress(image);
        const std::size_t stride = static_cast<std::size_t>(h.Width) * bytesPerPixel;
        SendStoredRows(stream, image, h.Width, h.Height,
                       {stream.Position(), stride, (h.Descriptor & TopFirst) == 0, h.Depth == 8});
        return;
    }

    image.SetSize(h.Width, h.Height, h.Depth == 8 ? bc8Bit : bc24Bit);
    if (h.Depth == 8) {
        if (entries > 0) {
            image.SetPaletteCount(entries);
            for (int i = 0; i < entries; ++i)
                image.SetPaletteEntry(i, palette[i]);
        } else {
            image.SetPaletteIdent(pGray256);
        }
    }
    if (image.Empty())
        return;

    const int width = h.Width;
    const int height = h.Height;
    const bool rightToLeft = (h.Descriptor & RightToLeft) != 0;
    const bool topFirst = (h.Descriptor & TopFirst) != 0;
    const TProgressScope progress(image);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * bytesPerPixel;

    if (!h.Encoded() && (h.Depth == 8 || h.Depth == 24) && !rightToLeft) {
        // The stored rows are already laid out as the image keeps them.
        for (int r = 0; r < height; ++r) {
            if (stream.Read(image.ScanLine(topFirst ? r : height - 1 - r), rowBytes) != rowBytes)
                FailEnd();
            if (image.DoProgress(r, height))
                break;
        }
        return;
    }

    TPixelSource source(stream, bytesPerPixel, h.Encoded());
    std::uint8_t p[4];
    for (int r = 0; r < height; ++r) {
        std::uint8_t* row = image.ScanLine(topFirst ? r : height - 1 - r);
        for (int x = 0; x < width; ++x) {
            source.Next(p);
            const int column = rightToLeft ? width - 1 - x : x;
            if (h.Depth == 8) {
                row[column] = p[0];
                continue;
            }
            std::uint8_t* target = row + 3 * static_cast<std::size_t>(column);
            if (h.GrayAlpha()) {
                target[0] = target[1] = target[2] = p[0];
            } else if (h.Depth == 16) {
                const TColor c = Color555(Get16(p));
                target[0] = static_cast<std::uint8_t>(GetBValue(c));
                target[1] = static_cast<std::uint8_t>(GetGValue(c));
                target[2] = static_cast<std::uint8_t>(GetRValue(c));
            } else {
                target[0] = p[0];
                target[1] = p[1];
                target[2] = p[2];
            }
        }
        if (image.DoProgress(r, height))
            break;
    }
}

void TTGAFileFormatReader::GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
    if (index != 0)
        Fail(pgmInvalidValue, "Index");
    const THeader h = ReadHeader(stream);
    switch (h.ImageType) {
    case 1:
    case 2:
    case 3:
        info.Subformat = "Uncompressed";
        break;
    case 9:
    case 10:
    case 11:
        info.Subformat = "Run-length encoded";
        break;
    default:
        Fail(pgmInvalidValue, "ImageType");
    }
    switch (h.ImageType & 7) {
    case 1:
        info.Remark = "Color-mapped";
        break;
    case 2:
        info.Remark = "True-color";
        break;
    default:
        info.Remark = "\"Black-and-white\"";
        break;
    }
    info.Width = h.Width;
    info.Height = h.Height;
    info.BitsPerPixel = h.Depth;
    info.Colors = ColorsText(h.Depth);
}

TTGAFileFormatWriter::TTGAFileFormatWriter()
    : TFileFormatWriter("TTGAFileFormatWriter", "tga", "Truevision Targa",
                        ColorResolutions({cr256Colors, crTrueColor}))
{
}

void TTGAFileFormatWriter::Write(TPGStream& stream, TPixelGraphic& image) const
{
    // The header keeps sizes in 16 bits; a larger picture would come out as another one.
    if (image.Width() > 0xFFFF || image.Height() > 0xFFFF)
        Fail(pgmInvalidSize, "image");
    const bool trueColor = image.BitCount() == bc24Bit;
    const int entries = trueColor ? 0 : image.PaletteCount();
    std::vector<std::uint8_t> head(HeaderBytes + 3 * static_cast<std::size_t>(entries), 0);
    head[1] = trueColor ? 0 : 1;
    head[2] = trueColor ? 2 : 1;
    Put16(head.data() + 5, static_cast<std::uint32_t>(entries));
    head[7] = trueColor ? 0 : 24;
    Put16(head.data() + 12, static_cast<std::uint32_t>(image.Width()));
    Put16(head.data() + 14, static_cast<std::uint32_t>(image.Height()));
    head[16] = trueColor ? 24 : 8;
    for (int i = 0; i < entries; ++i) {
        const TColor c = image.PaletteEntry(i);
        std::uint8_t* e = head.data() + HeaderBytes + 3 * static_cast<std::size_t>(i);
        e[0] = static_cast<std::uint8_t>(GetBValue(c));
        e[1] = static_cast<std::uint8_t>(GetGValue(c));
        e[2] = static_cast<std::uint8_t>(GetRValue(c));
    }
    stream.Write(head.data(), head.size());
    if (image.Empty())
        return;

    const TProgressScope progress(image);
    const int width = image.Width();
    const int height = image.Height();
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (trueColor ? 3 : 1);
    // Pictures of 1 or 4 bits reach here only from callers that bypass the framework; their
    // indices are spread to one byte each, which is what the header promises.
    std::vector<std::uint8_t> spread(
        image.BitCount() == bc1Bit || image.BitCount() == bc4Bit ? rowBytes : 0);
    for (int c = 0; c < height; ++c) {
        // Memory rows run from the bottom up, as descriptor 0 stores them.
        const int y = height - 1 - c;
        const std::uint8_t* row = image.ScanLine(y);
        if (!spread.empty()) {
            for (int x = 0; x < width; ++x)
                spread[x] = static_cast<std::uint8_t>(image.GetPixel(x, y));
            row = spread.data();
        }
        stream.Write(row, rowBytes);
        image.DoProgress(c, height);
    }
}

} // namespace scenaria
