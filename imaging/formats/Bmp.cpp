#include "imaging/formats/Bmp.h"
#include "imaging/ProgressScope.h"
#include "imaging/formats/ByteIO.h"

#include "imaging/Messages.h"
#include "imaging/RowSink.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <vector>

namespace scenaria {

bool BMP16BitChannelWidening = true;

namespace {

constexpr std::size_t FileHeaderBytes = 14;
constexpr std::size_t CoreHeaderBytes = 12;
constexpr std::size_t InfoHeaderBytes = 40;

enum TCompression : std::uint32_t { biRGB = 0, biRLE8 = 1, biRLE4 = 2, biBitFields = 3 };

[[noreturn]] void Fail(int record, std::string_view what = {})
{
    throw EPGBMPFileFormatReader("BMP: " + PGMessage(record, what));
}

// Header, table and masks must all be there: without them nothing sensible can be shown.
void ReadAll(TPGStream& stream, void* buffer, std::size_t count)
{
    if (stream.Read(buffer, count) != count)
        Fail(pgmUnexpectedEndOfFile);
}

void SkipAll(TPGStream& stream, std::uint64_t count)
{
    if (count > stream.Remaining())
        Fail(pgmUnexpectedEndOfFile);
    stream.Seek(stream.Position() + count);
}

// Reads n bytes in ten pieces with progress after each; short data is not an error (the rest
// stays as it was). Returns false when the progress handler aborted.
bool ChunkedRead(TPGStream& stream, TPixelGraphic& image, std::uint8_t* target, std::size_t n)
{
    if (n <= 100) {
        stream.Read(target, n);
        return true;
    }
    const std::size_t piece = n / 10;
    std::size_t done = 0;
    for (int i = 1; i <= 10; ++i) {
        const std::size_t length = i < 10 ? piece : n - done;
        stream.Read(target + done, length);
        done += length;
        if (image.DoProgress(i, 10))
            return false;
    }
    return true;
}

// One channel of a 16- or 32-bit pixel: its mask moved so that the mask's top bit lands on
// bit 7.
struct TChannel {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::uint32_t Add = 0;

    TChannel(std::uint32_t mask, bool widen) : Mask(mask)
    {
        if (mask == 0)
            return;
        const int low = std::countr_zero(mask);
        const int high = 31 - std::countl_zero(mask);
        const int width = high - low + 1;
        Shift = 8 - width - low;
        if (widen && width <= 8)
            Add = 1u << (8 - width);
    }

    std::uint8_t operator()(std::uint32_t pixel) const
    {
        const std::uint32_t bits = pixel & Mask;
        if (bits == 0)
            return 0;
        std::uint64_t value = Shift >= 0 ? std::uint64_t{bits} << Shift : bits >> -Shift;
        value += Add;
        return static_cast<std::uint8_t>(std::min<std::uint64_t>(value, 255));
    }
};

void FlipRows(TPixelGraphic& image)
{
    const int height = image.Height();
    for (int j = 0; j < height / 2; ++j)
        std::swap_ranges(image.ScanLine(j), image.ScanLine(j) + image.RowStride(),
                         image.ScanLine(height - 1 - j));
}

// Progress during RLE decoding: at each tenth of the buffer, as the position passes it.
bool RleProgress(TPixelGraphic& image, std::size_t p, std::size_t n)
{
    if (n < 10)
        return true;
    const std::size_t tenth = n / 10;
    if (p % tenth != 0)
        return true;
    return !image.DoProgress(static_cast<int>(p / tenth), 10);
}

// Pixel writers of the two RLE depths; positions outside the image are ignored.
void PutIndex8(TPixelGraphic& image, std::int64_t x, std::int64_t y, std::uint8_t value)
{
    if (x < 0 || y < 0 || x >= image.Width() || y >= image.Height())
        return;
    image.ScanLine(static_cast<int>(y))[x] = value;
}

void PutIndex4(TPixelGraphic& image, std::int64_t x, std::int64_t y, std::uint8_t value)
{
    if (x < 0 || y < 0 || x >= image.Width() || y >= image.Height())
        return;
    std::uint8_t& byte = image.ScanLine(static_cast<int>(y))[x >> 1];
    if (x & 1)
        byte = static_cast<std::uint8_t>((byte & 0xF0) | (value & 0x0F));
    else
        byte = static_cast<std::uint8_t>((byte & 0x0F) | (value & 0x0F) << 4);
}

void DecodeRle(const std::vector<std::uint8_t>& buffer, TPixelGraphic& image, bool rle4)
{
    const std::size_t n = buffer.size();
    const std::uint8_t* b = buffer.data();
    std::int64_t x = 0;
    std::int64_t y = image.Height() - 1;
    std::size_t p = 0;
    const std::int64_t width = image.Width();
    while (n > 0 && p < n - 1) {
        const std::uint8_t count = b[p];
        if (count > 0) {
            const std::uint8_t value = b[p + 1];
            if (y >= 0 && y < image.Height()) {
                // Pixels past the right edge are dropped, so the run is cut there.
                const std::int64_t end = std::min<std::int64_t>(x + count, width);
                if (rle4) {
                    for (std::int64_t i = x; i < end; ++i)
                        PutIndex4(image, i, y, ((i - x) & 1) ? value & 0x0F : value >> 4);
                } else if (x < end) {
                    std::memset(image.ScanLine(static_cast<int>(y)) + x, value,
                                static_cast<std::size_t>(end - x));
                }
            }
            x += count;
            p += 2;
        } else {
            const std::uint8_t code = b[p + 1];
            if (code == 0) {
                p += 2;
                x = 0;
                --y;
            } else if (code == 1) {
                break;
            } else if (code == 2) {
                if (p + 3 >= n)
                    break;
                x += b[p + 2];
                y -= b[p + 3];
                p += 4;
            } else if (rle4) {
                for (int k = 1; k <= code; ++k) {
                    const std::size_t at = p + 1 + (k + 1) / 2;
                    if (at >= n)
                        break;
                    PutIndex4(image, x, y, (k & 1) ? b[at] >> 4 : b[at] & 0x0F);
                    ++x;
                }
                p += (code + 1) / 2 + 2;
                if (p & 1)
                    ++p;
            } else {
                for (int k = 0; k < code && p + 2 + k < n; ++k) {
                    PutIndex8(image, x, y, b[p + 2 + k]);
                    ++x;
                }
                p += code + 2;
                if (p & 1)
                    ++p;
            }
        }
        if (!RleProgress(image, p, n))
            break;
    }
}

// A cut file still loads with its missing rows black, but a few bytes must not make the reader
// set aside a huge picture: the pixels may outgrow what the stream still holds only so far
// (sixteenfold for plain rows, more for run-length data, which packs up to 255 pixels into two
// bytes), apart from a fixed allowance that every ordinary picture fits in.
void CheckDeclaredSize(std::int64_t width, int rows, int bits, bool runLength,
                       std::uint64_t remaining)
{
    constexpr std::uint64_t Allowance = std::uint64_t{8} << 20;
    if (width <= 0 || rows <= 0)
        return;
    const std::uint64_t pixelBytes =
        (static_cast<std::uint64_t>(bits) * static_cast<std::uint64_t>(width) + 31) / 32 * 4 *
        static_cast<std::uint64_t>(rows);
    if (pixelBytes > MaxImageBytes)
        throw EPGInvalidSize(PGMessage(pgmInvalidSize, "image"));
    const std::uint64_t factor = runLength ? 1024 : 16;
    if (pixelBytes > Allowance && pixelBytes / factor > remaining)
        Fail(pgmUnexpectedEndOfFile);
}

void ReadOs2Body(TPGStream& stream, TPixelGraphic& image)
{
    std::uint8_t h[CoreHeaderBytes];
    ReadAll(stream, h, sizeof h);
    if (Get16(h + 8) != 1)
        Fail(pgmInvalid, "BitmapCoreHeader.bcPlanes");
    const int bits = Get16(h + 10);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        Fail(pgmInvalid, "BitmapCoreHeader.bcBitCount");
    const int capacity = bits == 24 ? 0 : 1 << bits;
    if (std::uint64_t{3} * capacity > stream.Remaining())
        Fail(pgmUnexpectedEndOfFile);
    CheckDeclaredSize(Get16(h + 4), Get16(h + 6), bits, false, stream.Remaining());
    image.SetSize(Get16(h + 4), Get16(h + 6), NumToBitCount(bits));
    if (capacity == 0) {
        image.SetPaletteCount(0);
        image.SetPaletteIdent(pTrueColor);
    } else {
        std::uint8_t table[3 * 256];
        ReadAll(stream, table, 3 * static_cast<std::size_t>(capacity));
        image.SetPaletteCount(capacity);
        for (int i = 0; i < capacity; ++i)
            image.SetPaletteEntry(i, RGB(table[3 * i + 2], table[3 * i + 1], table[3 * i]));
    }
    if (!image.Empty())
        ChunkedRead(stream, image, image.PixelData(), image.ImageSize());
}

struct TInfoHeader {
    std::int32_t Width;
    std::int32_t Height;
    int Planes;
    int Bits;
    std::uint32_t Compression;
    std::uint32_t SizeImage;
    std::uint32_t ColorsUsed;
};

TInfoHeader ParseInfoHeader(const std::uint8_t* h)
{
    TInfoHeader info;
    info.Width = static_cast<std::int32_t>(Get32(h + 4));
    info.Height = static_cast<std::int32_t>(Get32(h + 8));
    info.Planes = Get16(h + 12);
    info.Bits = Get16(h + 14);
    info.Compression = Get32(h + 16);
    info.SizeImage = Get32(h + 20);
    info.ColorsUsed = Get32(h + 32);
    return info;
}

void CheckInfoHeader(const TInfoHeader& h)
{
    if (h.Planes != 1)
        Fail(pgmInvalid, "BitmapInfoHeader.biPlanes");
    if (h.Bits != 1 && h.Bits != 4 && h.Bits != 8 && h.Bits != 16 && h.Bits != 24 && h.Bits != 32)
        Fail(pgmInvalid, "BitmapInfoHeader.biBitCount");
    const bool accepted = h.Compression == biRGB ||
                          (h.Compression == biBitFields && (h.Bits == 16 || h.Bits == 32)) ||
                          (h.Compression == biRLE4 && h.Bits == 4 && h.Height >= 0) ||
                          (h.Compression == biRLE8 && h.Bits == 8 && h.Height >= 0);
    if (!accepted)
        Fail(pgmInvalid, "BitmapInfoHeader.biCompression");
}

int Rows(const TInfoHeader& h)
{
    // The one height whose magnitude no int holds.
    if (h.Height == INT32_MIN)
        throw EPGInvalidSize(PGMessage(pgmInvalidSize, "image"));
    return h.Height < 0 ? -h.Height : h.Height;
}

void ReadDirectColorPixels(TPGStream& stream, TPixelGraphic& image, const TInfoHeader& h,
                           std::uint32_t redMask, std::uint32_t greenMask, std::uint32_t blueMask)
{
    const bool widen = h.Bits == 16 && BMP16BitChannelWidening;
    const TChannel red(redMask, widen), green(greenMask, widen), blue(blueMask, widen);
    const int rows = image.Height();
    const int width = image.Width();
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(h.Bits) * width + 31) / 32 * 4;
    // What the stream cannot deliver stays black, so no more than it holds is ever buffered.
    std::vector<std::uint8_t> row(
        static_cast<std::size_t>(std::min<std::uint64_t>(rowBytes, stream.Remaining())));
    const int bytesPerPixel = h.Bits / 8;
    for (int i = 0; i < rows; ++i) {
        if (stream.Remaining() == 0)
            break;
        const std::size_t got = stream.Read(row.data(), row.size());
        std::fill(row.begin() + static_cast<std::ptrdiff_t>(got), row.end(), 0);
        std::uint8_t* target = image.ScanLine(h.Height < 0 ? i : rows - i - 1);
        const std::size_t available = row.size() / bytesPerPixel;
        const int usable = static_cast<int>(std::min<std::size_t>(width, available));
        for (int x = 0; x < usable; ++x) {
            const std::uint8_t* s = row.data() + static_cast<std::size_t>(x) * bytesPerPixel;
            const std::uint32_t pixel = bytesPerPixel == 2 ? Get16(s) : Get32(s);
            target[3 * x] = blue(pixel);
            target[3 * x + 1] = green(pixel);
            target[3 * x + 2] = red(pixel);
        }
        if (image.DoProgress(i, rows))
            break;
        if (got < row.size())
            break;
    }
}

void ReadWindowsBody(TPGStream& stream, TPixelGraphic& image)
{
    std::uint8_t raw[InfoHeaderBytes];
    ReadAll(stream, raw, sizeof raw);
    const TInfoHeader h = ParseInfoHeader(raw);
    CheckInfoHeader(h);
    const int rows = Rows(h);

    if (h.Bits >= 16) {
        std::uint32_t masks[3] = {0, 0, 0};
        if (h.Bits == 16) {
            masks[0] = 0x7C00;
            masks[1] = 0x03E0;
            masks[2] = 0x001F;
        } else {
            masks[0] = 0xFF0000;
            masks[1] = 0x00FF00;
            masks[2] = 0x0000FF;
        }
        if (h.Compression == biBitFields) {
            std::uint8_t m[12];
            ReadAll(stream, m, sizeof m);
            for (int i = 0; i < 3; ++i)
                masks[i] = Get32(m + 4 * i);
        }
        SkipAll(stream, std::uint64_t{4} * h.ColorsUsed);
        CheckDeclaredSize(h.Width, rows, h.Bits, false, stream.Remaining());
        if (h.Bits == 24 && SinkTakesRows(image, h.Width, rows)) {
            const std::size_t stride = (3 * static_cast<std::size_t>(h.Width) + 3) / 4 * 4;
            SendStoredRows(stream, image, h.Width, rows, {stream.Position(), stride, h.Height > 0});
            return;
        }
        image.SetSize(h.Width, rows, bc24Bit);
        image.SetPaletteIdent(pTrueColor);
        if (h.Bits == 24) {
            if (!image.Empty() && ChunkedRead(stream, image, image.PixelData(), image.ImageSize()))
                if (h.Height < 0)
                    FlipRows(image);
            return;
        }
        if (!image.Empty())
            ReadDirectColorPixels(stream, image, h, masks[0], masks[1], masks[2]);
        return;
    }

    const TBitCount bitCount = NumToBitCount(h.Bits);
    const std::uint32_t capacity = 1u << h.Bits;
    const std::uint32_t stored = h.ColorsUsed == 0 ? capacity : h.ColorsUsed;
    if (std::uint64_t{4} * stored > stream.Remaining())
        Fail(pgmUnexpectedEndOfFile);
    CheckDeclaredSize(h.Width, rows, h.Bits, h.Compression != biRGB,
                      stream.Remaining() - std::uint64_t{4} * stored);
    image.SetSize(h.Width, rows, bitCount);
    // A table longer than the pixels can address still occupies its declared length; only the
    // entries the pixels can use are kept.
    const int kept = static_cast<int>(std::min(stored, capacity));
    std::uint8_t table[4 * 256];
    ReadAll(stream, table, 4 * static_cast<std::size_t>(kept));
    SkipAll(stream, std::uint64_t{4} * (stored - static_cast<std::uint32_t>(kept)));
    image.SetPaletteCount(kept);
    for (int i = 0; i < kept; ++i)
        image.SetPaletteEntry(i, RGB(table[4 * i + 2], table[4 * i + 1], table[4 * i]));

    if (h.Compression == biRGB) {
        if (!image.Empty() && ChunkedRead(stream, image, image.PixelData(), image.ImageSize()))
            if (h.Height < 0)
                FlipRows(image);
        return;
    }
    // RLE: the compressed data as the header sizes it (the rest of the stream when the header
    // leaves the size 0), never more than the stream holds.
    if (image.Empty())
        return;
    const std::uint64_t declared = h.SizeImage != 0 ? h.SizeImage : stream.Remaining();
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(declared, stream.Remaining())));
    if (!ChunkedRead(stream, image, buffer.data(), buffer.size()))
        return;
    DecodeRle(buffer, image, h.Compression == biRLE4);
}

// The file header, and the size of the bitmap header after it (the stream is left at the
// start of that header).
std::uint32_t ReadFileHeader(TPGStream& stream)
{
    std::uint8_t header[FileHeaderBytes + 4];
    ReadAll(stream, header, sizeof header);
    stream.Seek(stream.Position() - 4);
    return Get32(header + FileHeaderBytes);
}

} // namespace

void ReadBMPBody(TPGStream& stream, TPixelGraphic& image, bool os2)
{
    const TProgressScope progress(image);
    if (os2)
        ReadOs2Body(stream, image);
    else
        ReadWindowsBody(stream, image);
}

void WriteBMPBody(TPGStream& stream, const TPixelGraphic& image)
{
    const int entries = image.PaletteCount();
    std::vector<std::uint8_t> head(InfoHeaderBytes + 4 * static_cast<std::size_t>(entries), 0);
    Put32(head.data(), InfoHeaderBytes);
    Put32(head.data() + 4, static_cast<std::uint32_t>(image.Width()));
    Put32(head.data() + 8, static_cast<std::uint32_t>(image.Height()));
    Put16(head.data() + 12, 1);
    Put16(head.data() + 14, static_cast<std::uint32_t>(image.BitCountNum()));
    Put32(head.data() + 20, static_cast<std::uint32_t>(image.ImageSize()));
    Put32(head.data() + 32, static_cast<std::uint32_t>(entries));
    for (int i = 0; i < entries; ++i) {
        const TColor c = image.PaletteEntry(i);
        std::uint8_t* e = head.data() + InfoHeaderBytes + 4 * static_cast<std::size_t>(i);
        e[0] = static_cast<std::uint8_t>(GetBValue(c));
        e[1] = static_cast<std::uint8_t>(GetGValue(c));
        e[2] = static_cast<std::uint8_t>(GetRValue(c));
    }
    stream.Write(head.data(), head.size());
    if (!image.Empty())
        stream.Write(image.PixelData(), image.ImageSize());
}

TBMPFileFormatReader::TBMPFileFormatReader(std::string className, std::string extension)
    : TFileFormatReader(std::move(className), std::move(extension), "Bitmap", true)
{
}

bool TBMPFileFormatReader::CanRead(const TFileHeader& header) const
{
    return header[0] == 'B' && header[1] == 'M';
}

void TBMPFileFormatReader::Read(TPGStream& stream, TPixelGraphic& image, int index) const
{
    if (index != 0)
        Fail(pgmInvalid, "Index");
    const std::uint32_t headerSize = ReadFileHeader(stream);
    if (headerSize == CoreHeaderBytes)
        ReadBMPBody(stream, image, true);
    else if (headerSize == InfoHeaderBytes)
        ReadBMPBody(stream, image, false);
    else
        Fail(pgmInvalidSize, "BitmapInfoHeader/BitmapCoreHeader");
}

void TBMPFileFormatReader::GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
    if (index != 0)
        Fail(pgmInvalidValue, "Index");
    const std::uint32_t headerSize = ReadFileHeader(stream);
    int bits = 0;
    if (headerSize == CoreHeaderBytes) {
        std::uint8_t h[CoreHeaderBytes];
        ReadAll(stream, h, sizeof h);
        if (Get16(h + 8) != 1)
            Fail(pgmInvalid, "BitmapCoreHeader.bcPlanes");
        bits = Get16(h + 10);
        if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
            Fail(pgmInvalid, "BitmapCoreHeader.bcBitCount");
        info.Width = Get16(h + 4);
        info.Height = Get16(h + 6);
        info.Subformat = "OS/2";
    } else if (headerSize == InfoHeaderBytes) {
        std::uint8_t raw[InfoHeaderBytes];
        ReadAll(stream, raw, sizeof raw);
        const TInfoHeader h = ParseInfoHeader(raw);
        CheckInfoHeader(h);
        bits = h.Bits;
        info.Width = h.Width;
        info.Height = Rows(h);
        info.Subformat = "Windows";
        if (h.Compression == biRGB)
            info.Subformat += ", RGB";
        else if (h.Compression == biRLE8)
            info.Subformat += ", RLE8";
        else if (h.Compression == biRLE4)
            info.Subformat += ", RLE4";
        if (h.Height < 0)
            info.Subformat += ", Top-Down";
    } else {
        Fail(pgmInvalidSize, "BitmapInfoHeader/BitmapCoreHeader");
    }
    info.BitsPerPixel = bits;
    switch (bits) {
    case 1:
        info.Colors = "2";
        break;
    case 4:
        info.Colors = "16";
        break;
    case 8:
        info.Colors = "256";
        break;
    case 16:
        info.Colors = "64K";
        break;
    default:
        info.Colors = "16.7M";
        break;
    }
}

TBMPFileFormatWriter::TBMPFileFormatWriter(std::string className, std::string extension)
    : TFileFormatWriter(std::move(className), std::move(extension), "Bitmap", AllColorResolutions)
{
}

void TBMPFileFormatWriter::Write(TPGStream& stream, TPixelGraphic& image) const
{
    const std::uint64_t offset = 54 + std::uint64_t{4} * image.PaletteCount();
    const std::uint64_t size = offset + image.ImageSize();
    std::uint8_t header[FileHeaderBytes] = {'B', 'M'};
    Put32(header + 2, static_cast<std::uint32_t>(size));
    Put32(header + 10, static_cast<std::uint32_t>(offset));
    stream.Write(header, sizeof header);
    WriteBMPBody(stream, image);
}

} // namespace scenaria
