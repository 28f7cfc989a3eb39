// Clipboard transfer: a packed device-independent bitmap (clipboard format 8), a 40-byte
// header followed by the colour table and the pixel rows.

#include "imaging/Messages.h"
#include "imaging/PixelGraphic.h"

#include <algorithm>
#include <cstring>

namespace scenaria {

namespace {

constexpr unsigned ClipboardDib = 8;
constexpr unsigned ClipboardBitmap = 2;
constexpr std::size_t InfoHeaderSize = 40;

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v)
{
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::uint32_t Get32(const std::uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Get16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

[[noreturn]] void Fail(int record, const char* what = "")
{
    throw EPGBMPFileFormatReader("BMP: " + PGMessage(record, what));
}

} // namespace

TClipboardData TPixelGraphic::SaveToClipboardFormat() const
{
    // A palette image never carries more table entries than its pixels can address.
    int entries = paletteCount_;
    if (bitCount_ != bc24Bit)
        entries = std::min(entries, PaletteCapacity());
    TClipboardData result;
    result.Data.assign(InfoHeaderSize + 4 * static_cast<std::size_t>(entries) + imageSize_, 0);
    std::vector<std::uint8_t>& d = result.Data;
    Put32(d, 0, InfoHeaderSize);
    Put32(d, 4, static_cast<std::uint32_t>(width_));
    Put32(d, 8, static_cast<std::uint32_t>(height_));
    Put16(d, 12, 1);
    Put16(d, 14, static_cast<std::uint16_t>(BitCountNum()));
    Put32(d, 16, 0);
    Put32(d, 20, static_cast<std::uint32_t>(imageSize_));
    Put32(d, 32, static_cast<std::uint32_t>(entries));
    for (int i = 0; i < entries; ++i) {
        const TColor c = palette_[i];
        const std::size_t at = InfoHeaderSize + 4 * static_cast<std::size_t>(i);
        d[at] = static_cast<std::uint8_t>(GetBValue(c));
        d[at + 1] = static_cast<std::uint8_t>(GetGValue(c));
        d[at + 2] = static_cast<std::uint8_t>(GetRValue(c));
    }
    if (imageSize_ > 0)
        std::memcpy(d.data() + InfoHeaderSize + 4 * static_cast<std::size_t>(entries),
                    pixels_.get(), imageSize_);
    result.Format = ClipboardDib;
    return result;
}

void TPixelGraphic::LoadFromClipboardFormat(unsigned format, const std::uint8_t* data,
                                            std::size_t size)
{
    // A bitmap handle does not exist off Windows; format 2 data is taken as a packed DIB too.
    if ((format != ClipboardDib && format != ClipboardBitmap) || !data)
        throw EPGUnknownClipboardFormat(PGMessage(pgmUnknownClipboardFormat));
    if (size < InfoHeaderSize)
        Fail(pgmUnexpectedEndOfFile);
    if (Get32(data) != InfoHeaderSize)
        Fail(pgmInvalidSize, "BitmapInfoHeader/BitmapCoreHeader");
    const std::int32_t width = static_cast<std::int32_t>(Get32(data + 4));
    const std::int32_t height = static_cast<std::int32_t>(Get32(data + 8));
    if (Get16(data + 12) != 1)
        Fail(pgmInvalid, "BitmapInfoHeader.biPlanes");
    const int bits = Get16(data + 14);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        Fail(pgmInvalid, "BitmapInfoHeader.biBitCount");
    if (Get32(data + 16) != 0)
        Fail(pgmInvalid, "BitmapInfoHeader.biCompression");
    if (width < 0)
        throw EPGInvalidSize(PGMessage(pgmNegativeWidth));
    if (height == INT32_MIN)
        throw EPGInvalidSize(PGMessage(pgmInvalidSize, "image"));
    const TBitCount bitCount = NumToBitCount(bits);
    const int rows = height < 0 ? -height : height;
    const int capacity = bits == 24 ? 0 : 1 << bits;
    std::uint32_t used = Get32(data + 32);
    int entries = bits == 24 ? static_cast<int>(std::min<std::uint32_t>(used, 256))
                             : (used == 0 ? capacity
                                          : static_cast<int>(std::min<std::uint32_t>(
                                                used, static_cast<std::uint32_t>(capacity))));
    // For 24 bits the table is only a hint for palette devices; it is skipped, not kept.
    const std::size_t tableBytes = 4 * static_cast<std::size_t>(bits == 24 ? used : entries);
    const std::uint64_t stride = (static_cast<std::uint64_t>(bits) * width + 31) / 32 * 4;
    const std::uint64_t pixelBytes = stride * static_cast<std::uint64_t>(rows);
    // The whole picture must be in the block before anything is allocated for it.
    if (tableBytes > size - InfoHeaderSize ||
        pixelBytes > size - InfoHeaderSize - std::min(tableBytes, size - InfoHeaderSize))
        Fail(pgmUnexpectedEndOfFile);

    BeginUpdate();
    try {
        SetSize(0, 0, bc24Bit);
        SetSize(width, rows, bitCount);
        const std::uint8_t* table = data + InfoHeaderSize;
        if (bits == 24) {
            SetPaletteCount(0);
            SetPaletteIdent(pTrueColor);
        } else {
            SetPaletteCount(entries);
            for (int i = 0; i < entries; ++i)
                SetPaletteEntry(i, RGB(table[4 * i + 2], table[4 * i + 1], table[4 * i]));
        }
        const std::uint8_t* pixels = table + tableBytes;
        if (pixels_) {
            if (height >= 0) {
                std::memcpy(pixels_.get(), pixels, imageSize_);
            } else {
                // Stored top-down: the first stored row is the top one.
                for (int y = 0; y < rows; ++y)
                    std::memcpy(ScanLine(y), pixels + static_cast<std::size_t>(y) * rowStride_,
                                rowStride_);
            }
        }
        Gamma = DisplayGamma;
        IdentifyPalette();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

} // namespace scenaria
