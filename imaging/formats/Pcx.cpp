#include "imaging/formats/Pcx.h"

#include "imaging/Messages.h"
#include "imaging/formats/ByteIO.h"

#include <array>
#include <cstring>
#include <vector>

namespace scenaria {

namespace {

constexpr std::size_t HeaderBytes = 128;
// The 256-colour palette of 8-bit pictures: a marker byte and 256 red, green, blue triples at
// the very end of the file.
constexpr std::uint8_t PaletteMarker = 12;
constexpr std::size_t EndPaletteBytes = 1 + 3 * 256;

[[noreturn]] void Fail(int record, std::string_view what = {})
{
    throw EPGPCXFileFormatReader("PCX: " + PGMessage(record, what));
}

[[noreturn]] void FailEnd()
{
    Fail(pgmUnexpectedEndOfFile);
}

struct THeader {
    int Version = 0;
    int Bits = 0;
    int XMin = 0, YMin = 0, XMax = 0, YMax = 0;
    std::array<std::uint8_t, 48> Palette{};
    int Reserved = 0;
    int Planes = 0;
    int BytesPerLine = 0;
    int PaletteInfo = 0;

    int Width() const { return XMax - XMin + 1; }
    int Height() const { return YMax - YMin + 1; }
};

THeader ReadHeader(TPGStream& stream)
{
    std::uint8_t h[HeaderBytes];
    if (stream.Read(h, sizeof h) != sizeof h)
        FailEnd();
    THeader header;
    header.Version = h[1];
    header.Bits = h[3];
    header.XMin = Get16(h + 4);
    header.YMin = Get16(h + 6);
    header.XMax = Get16(h + 8);
    header.YMax = Get16(h + 10);
    std::memcpy(header.Palette.data(), h + 16, header.Palette.size());
    header.Reserved = h[64];
    header.Planes = h[65];
    header.BytesPerLine = Get16(h + 66);
    header.PaletteInfo = Get16(h + 68);
    // Palette information 2 (grey) and anything else are layouts this reader does not know.
    if (header.PaletteInfo != 1 || header.Reserved != 0)
        Fail(pgmUnknownSubformat);
    return header;
}

enum TLayout : int { lay1Bit, lay4Bit, lay8Bit, lay24Bit };

TLayout LayoutOf(const THeader& h)
{
    if (h.Bits == 1 && h.Planes == 1)
        return lay1Bit;
    if (h.Bits == 1 && h.Planes == 4)
        return lay4Bit;
    if (h.Bits == 8 && h.Planes == 1)
        return lay8Bit;
    if (h.Bits == 8 && h.Planes == 3)
        return lay24Bit;
    Fail(pgmUnknownSubformat);
}

// The end palette of an 8-bit picture; the stream is left where it was in every case.
std::array<TColor, 256> ReadEndPalette(TPGStream& stream)
{
    const std::uint64_t position = stream.Position();
    const std::uint64_t size = stream.Size();
    std::uint8_t data[EndPaletteBytes];
    bool found = false;
    if (size >= EndPaletteBytes) {
        stream.Seek(size - EndPaletteBytes);
        found = stream.Read(data, sizeof data) == sizeof data && data[0] == PaletteMarker;
    }
    stream.Seek(position);
    if (!found)
        Fail(pgmUnknownSubformat);
    std::array<TColor, 256> palette{};
    for (int i = 0; i < 256; ++i)
        palette[i] = RGB(data[1 + 3 * i], data[2 + 3 * i], data[3 + 3 * i]);
    return palette;
}

// One scanline of all planes. A run never reaches into the next scanline: its copies beyond
// the end are dropped, and the next scanline starts with the next stored byte.
void DecodeScanline(TByteInput& input, std::uint8_t* line, std::size_t length)
{
    std::size_t i = 0;
    while (i < length) {
        const std::uint8_t byte = input.Get();
        if (byte >= 0xC0) {
            const std::size_t count = byte & 0x3F;
            const std::uint8_t value = input.Get();
            const std::size_t n = std::min(count, length - i);
            std::memset(line + i, value, n);
            i += n;
        } else {
            line[i++] = byte;
        }
    }
}

void StoreRow(TLayout layout, const std::uint8_t* line, std::size_t bytesPerLine, int width,
              std::uint8_t* row)
{
    switch (layout) {
    case lay1Bit: {
        const std::size_t used = (static_cast<std::size_t>(width) + 7) / 8;
        std::memcpy(row, line, used);
        if (width % 8 != 0)
            row[used - 1] &= static_cast<std::uint8_t>(0xFF << (8 - width % 8));
        break;
    }
    case lay4Bit:
        for (int x = 0; x < width; ++x) {
            const std::size_t byte = static_cast<std::size_t>(x) / 8;
            const int shift = 7 - x % 8;
            int value = 0;
            for (int plane = 0; plane < 4; ++plane)
                value |= (line[plane * bytesPerLine + byte] >> shift & 1) << plane;
            std::uint8_t& target = row[x / 2];
            if (x % 2 == 0)
                target = static_cast<std::uint8_t>((target & 0x0F) | value << 4);
            else
                target = static_cast<std::uint8_t>((target & 0xF0) | value);
        }
        break;
    case lay8Bit:
        std::memcpy(row, line, static_cast<std::size_t>(width));
        break;
    case lay24Bit:
        for (int x = 0; x < width; ++x) {
            row[3 * x] = line[2 * bytesPerLine + x];
            row[3 * x + 1] = line[bytesPerLine + x];
            row[3 * x + 2] = line[x];
        }
        break;
    }
}

std::string PowerOfTwoText(int bits)
{
    if (bits >= 64)
        return "2^" + std::to_string(bits);
    return std::to_string(std::uint64_t{1} << bits);
}

} // namespace

TPCXFileFormatReader::TPCXFileFormatReader()
    : TFileFormatReader("TPCXFileFormatReader", "pcx", "Paintbrush", true)
{
}

bool TPCXFileFormatReader::CanRead(const TFileHeader& header) const
{
    return header[0] == 10;
}

void TPCXFileFormatReader::Read(TPGStream& stream, TPixelGraphic& image, int index) const
{
    if (index != 0)
        Fail(pgmInvalid, "Index");
    image.Gamma = DisplayGamma;
    const THeader h = ReadHeader(stream);
    image.SetSize(image.Width(), 0, image.BitCount());
    const TLayout layout = LayoutOf(h);
    std::array<TColor, 256> endPalette{};
    if (layout == lay8Bit)
        endPalette = ReadEndPalette(stream);

    const int width = h.Width();
    const int height = h.Height();
    // A scanline too short for the width would leave pixels that no stored byte describes;
    // such a header cannot belong to a picture this reader knows.
    const std::uint64_t bytesPerLine = static_cast<std::uint64_t>(h.BytesPerLine);
    if (width > 0 && height > 0) {
        const std::uint64_t pixels = static_cast<std::uint64_t>(width);
        const std::uint64_t needed = h.Bits == 1 ? (pixels + 7) / 8 : pixels;
        if (bytesPerLine < needed)
            Fail(pgmUnknownSubformat);
    }
    // Every scanline takes at least one stored byte per 31.5 decoded ones (a run of 63 in two
    // bytes), so the stream must hold that much before the pixels are allocated.
    const std::uint64_t lineLength = bytesPerLine * static_cast<std::uint64_t>(h.Planes);
    if (width > 0 && height > 0 &&
        SaturatingMultiply((2 * lineLength + 62) / 63, static_cast<std::uint64_t>(height)) >
            stream.Remaining())
        FailEnd();

    static constexpr TBitCount BitCounts[] = {bc1Bit, bc4Bit, bc8Bit, bc24Bit};
    image.SetSize(width, height, BitCounts[layout]);
    switch (layout) {
    case lay1Bit:
        image.SetPaletteCount(2);
        image.SetPaletteEntry(0, RGB(0, 0, 0));
        image.SetPaletteEntry(1, RGB(255, 255, 255));
        break;
    case lay4Bit:
        if (h.Version == 3) {
            image.SetPaletteIdent(pSys16);
        } else {
            image.SetPaletteCount(16);
            for (int i = 0; i < 16; ++i)
                image.SetPaletteEntry(
                    i, RGB(h.Palette[3 * i], h.Palette[3 * i + 1], h.Palette[3 * i + 2]));
        }
        break;
    case lay8Bit:
        image.SetPaletteCount(256);
        for (int i = 0; i < 256; ++i)
            image.SetPaletteEntry(i, endPalette[i]);
        break;
    case lay24Bit:
        image.SetPaletteIdent(pTrueColor);
        break;
    }
    if (image.Empty())
        return;

    const TProgressScope progress(image);
    TByteInput input(stream, FailEnd);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(lineLength));
    for (int y = 0; y < height; ++y) {
        DecodeScanline(input, line.data(), line.size());
        StoreRow(layout, line.data(), static_cast<std::size_t>(bytesPerLine), width,
                 image.ScanLine(y));
        if (image.DoProgress(y, height))
            break;
    }
}

void TPCXFileFormatReader::GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
    if (index != 0)
        Fail(pgmInvalidValue, "Index");
    const THeader h = ReadHeader(stream);
    info.BitsPerPixel = h.Planes * h.Bits;
    info.Width = h.Width();
    info.Height = h.Height();
    switch (h.Version) {
    case 0:
        info.Subformat = "Version 2.5 (0)";
        break;
    case 2:
        info.Subformat = "Version 2.8 (2) with Palette";
        break;
    case 3:
        info.Subformat = "Version 2.8 (3) without Palette";
        break;
    case 5:
        info.Subformat = "Version 3.0 (5)";
        break;
    default:
        break;
    }
    info.Colors = info.BitsPerPixel == 24 ? "16.7M" : PowerOfTwoText(info.BitsPerPixel);
}

} // namespace scenaria
