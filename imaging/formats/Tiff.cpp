#include "imaging/formats/Tiff.h"
#include "imaging/ProgressScope.h"
#include "imaging/formats/ByteIO.h"
#include "imaging/formats/Exif.h"

#include "imaging/MessageBox.h"
#include "imaging/Messages.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace scenaria {

bool TIFFCountImages = false;
int TIFFMaxDirectories = 1000;
int TIFFWriteCompression = 1;
bool TIFFWriteCMYK = false;
bool TIFFWriteWhiteIsZero = false;
bool TIFFWriteMotorola = false;
int TIFFWriteResolutionUnit = 1;
TTIFFRational TIFFWriteXResolution{300, 1};
TTIFFRational TIFFWriteYResolution{300, 1};

namespace {

enum TTag : std::uint16_t {
    tagNewSubfileType = 254,
    tagImageWidth = 256,
    tagImageLength = 257,
    tagBitsPerSample = 258,
    tagCompression = 259,
    tagPhotometric = 262,
    tagStripOffsets = 273,
    tagOrientation = ExifOrientationTag,
    tagSamplesPerPixel = 277,
    tagRowsPerStrip = 278,
    tagStripByteCounts = 279,
    tagXResolution = 282,
    tagYResolution = 283,
    tagPlanarConfiguration = 284,
    tagResolutionUnit = 296,
    tagColorMap = 320,
};

enum TFieldType : std::uint16_t { ftByte = 1, ftShort = 3, ftLong = 4, ftRational = 5 };

enum TPhotometric : std::uint32_t {
    phWhiteIsZero = 0,
    phBlackIsZero = 1,
    phRGB = 2,
    phPalette = 3,
    phSeparated = 5,
};

constexpr std::uint32_t CompressionNone = 1;
constexpr std::uint32_t CompressionPackBits = 32773;
constexpr std::size_t EntryBytes = 12;
constexpr std::size_t PackBitsWindow = 4096;

const std::string StripCountMessage =
    "NumStripOffsets<>(ImageLength+RowsPerStrip-1) div RowsPerStrip";

[[noreturn]] void FailRead(const std::string& text)
{
    throw EPGTIFFileFormatReader("TIFF: " + text);
}

[[noreturn]] void FailWrite(const std::string& text)
{
    throw EPGTIFFileFormatWriter("TIFF: " + text);
}

// Data the file declares but does not hold is a short stream, as for every reader.
[[noreturn]] void ShortStream()
{
    throw EReadError("Stream read error");
}

struct TByteOrder {
    bool Motorola = false;

    std::uint16_t Get16(const std::uint8_t* p) const
    {
        return Motorola ? Get16Motorola(p) : scenaria::Get16(p);
    }
    std::uint32_t Get32(const std::uint8_t* p) const
    {
        return Motorola ? Get32Motorola(p) : scenaria::Get32(p);
    }
    void Put16(std::uint8_t* p, std::uint32_t v) const
    {
        if (Motorola)
            Put16Motorola(p, v);
        else
            scenaria::Put16(p, v);
    }
    void Put32(std::uint8_t* p, std::uint32_t v) const
    {
        if (Motorola)
            Put32Motorola(p, v);
        else
            scenaria::Put32(p, v);
    }
};

// The TIFF data in a stream: offsets count from Base, and nothing lies beyond Size bytes.
struct TTiffSource {
    TPGStream& Stream;
    std::uint64_t Base = 0;
    std::uint64_t Size = 0;
    TByteOrder Order;

    bool Holds(std::uint64_t offset, std::uint64_t count) const
    {
        return offset <= Size && count <= Size - offset;
    }
    // Checked before the stream is even positioned.
    void ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const
    {
        if (!Holds(offset, count))
            ShortStream();
        Stream.Seek(Base + offset);
        Stream.ReadBuffer(buffer, count);
    }
};

struct TTiffDirectory {
    bool Motorola = false;
    int ImageCount = 1;
    std::uint32_t NewSubfileType = 0;
    std::uint32_t Width = 0;
    std::uint32_t Length = 0;
    std::uint32_t Compression = CompressionNone;
    std::uint32_t Photometric = 0;
    std::uint32_t SamplesPerPixel = 1;
    std::uint32_t RowsPerStrip = 0;
    std::uint32_t Planar = 0;
    int Orientation = 1;
    std::vector<std::uint32_t> BitsPerSample;
    std::vector<std::uint32_t> StripOffsets;
    std::vector<std::uint32_t> StripByteCounts;
    std::vector<std::uint32_t> ColorMap;

    std::uint64_t TotalBits() const
    {
        std::uint64_t bits = 0;
        for (const std::uint32_t b : BitsPerSample)
            bits += b;
        return bits;
    }
};

// The values of one directory entry of an interpreted tag. Values that fit in the 4-byte
// value field sit there, as TIFF 6.0 has it; longer ones at the offset it holds, which must
// lie inside the data. With firstOnly only the first value is read.
std::vector<std::uint32_t> EntryValues(const TTiffSource& source, const std::uint8_t* entry,
                                       bool firstOnly)
{
    const TByteOrder& order = source.Order;
    const std::uint16_t type = order.Get16(entry + 2);
    if (type != ftByte && type != ftShort && type != ftLong)
        FailRead("Unsupported field Type: " + std::to_string(type));
    const std::uint32_t count = order.Get32(entry + 4);
    const std::size_t size = type == ftByte ? 1 : type == ftShort ? 2 : 4;
    const std::uint64_t total = std::uint64_t{count} * size;
    const std::uint32_t wanted = firstOnly ? std::min<std::uint32_t>(count, 1) : count;
    const std::uint32_t offset = order.Get32(entry + 8);
    if (total > 4 && !source.Holds(offset, std::uint64_t{wanted} * size))
        ShortStream();
    std::vector<std::uint8_t> raw(std::size_t{wanted} * size);
    if (raw.empty())
        return {};
    if (total <= 4)
        std::memcpy(raw.data(), entry + 8, raw.size());
    else
        source.ReadAt(offset, raw.data(), raw.size());
    std::vector<std::uint32_t> values(wanted);
    for (std::uint32_t i = 0; i < wanted; ++i) {
        const std::uint8_t* p = raw.data() + std::size_t{i} * size;
        values[i] = size == 1 ? p[0] : size == 2 ? order.Get16(p) : order.Get32(p);
    }
    return values;
}

std::uint32_t EntryValue(const TTiffSource& source, const std::uint8_t* entry)
{
    const std::vector<std::uint32_t> values = EntryValues(source, entry, true);
    return values.empty() ? 0 : values[0];
}

// The offset of the directory an index selects, and how many directories there are. The
// chain is walked only when images are counted; a chain that leaves the data or runs too long
// counts as one image.
std::uint32_t SelectDirectory(const TTiffSource& source, std::uint32_t first, int index, int& count)
{
    count = 1;
    if (!TIFFCountImages)
        return first;
    std::uint32_t selected = first;
    int walked = 0;
    for (std::uint32_t offset = first; offset != 0;) {
        std::uint8_t head[2];
        if (walked >= TIFFMaxDirectories || !source.Holds(offset, 2))
            return first;
        source.ReadAt(offset, head, 2);
        const std::uint64_t entries = source.Order.Get16(head);
        const std::uint64_t next = offset + 2 + entries * EntryBytes;
        std::uint8_t link[4];
        if (!source.Holds(next, 4))
            return first;
        if (walked == index)
            selected = offset;
        ++walked;
        source.ReadAt(next, link, 4);
        offset = source.Order.Get32(link);
    }
    count = std::max(walked, 1);
    return selected;
}

bool AcceptedCombination(const TTiffDirectory& d)
{
    const auto all8 = [&d] {
        return std::all_of(d.BitsPerSample.begin(), d.BitsPerSample.end(),
                           [](std::uint32_t b) { return b == 8; });
    };
    switch (d.Photometric) {
    case phWhiteIsZero:
    case phBlackIsZero:
    case phPalette:
        return d.SamplesPerPixel == 1 &&
               (d.BitsPerSample[0] == 1 || d.BitsPerSample[0] == 4 || d.BitsPerSample[0] == 8);
    case phRGB:
        return (d.SamplesPerPixel == 3 || d.SamplesPerPixel == 4) && all8();
    case phSeparated:
        return d.SamplesPerPixel == 4 && all8();
    default:
        return false;
    }
}

TTiffDirectory ReadDirectory(TTiffSource& source, int index)
{
    std::uint8_t header[8] = {};
    const std::size_t got = source.Stream.Read(header, sizeof header);
    TTiffDirectory d;
    if (header[0] == 'M' && header[1] == 'M')
        d.Motorola = true;
    else if (header[0] != 'I' || header[1] != 'I')
        FailRead(PGMessage(pgmNotAFile, "TIF"));
    source.Order.Motorola = d.Motorola;
    if (got < 4 || source.Order.Get16(header + 2) != 42)
        FailRead(PGMessage(pgmNotAFile, "TIF"));
    if (got < sizeof header)
        ShortStream();

    const std::uint32_t offset =
        SelectDirectory(source, source.Order.Get32(header + 4), index, d.ImageCount);
    if (index < 0 || index >= d.ImageCount)
        FailRead(PGMessage(pgmInvalid, "Index"));

    std::uint8_t countBytes[2];
    source.ReadAt(offset, countBytes, 2);
    const std::size_t entries = source.Order.Get16(countBytes);
    if (!source.Holds(std::uint64_t{offset} + 2, entries * EntryBytes))
        ShortStream();
    std::vector<std::uint8_t> table(entries * EntryBytes);
    source.ReadAt(std::uint64_t{offset} + 2, table.data(), table.size());

    bool haveSamples = false, haveBits = false, haveCompression = false;
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint8_t* entry = table.data() + i * EntryBytes;
        switch (source.Order.Get16(entry)) {
        case tagNewSubfileType:
            d.NewSubfileType = EntryValue(source, entry);
            break;
        case tagImageWidth:
            d.Width = EntryValue(source, entry);
            break;
        case tagImageLength:
            d.Length = EntryValue(source, entry);
            break;
        case tagBitsPerSample:
            d.BitsPerSample = EntryValues(source, entry, false);
            haveBits = true;
            break;
        case tagCompression:
            d.Compression = EntryValue(source, entry);
            haveCompression = true;
            break;
        case tagPhotometric:
            d.Photometric = EntryValue(source, entry);
            break;
        case tagStripOffsets:
            d.StripOffsets = EntryValues(source, entry, false);
            break;
        case tagSamplesPerPixel:
            d.SamplesPerPixel = EntryValue(source, entry);
            haveSamples = true;
            break;
        case tagRowsPerStrip:
            d.RowsPerStrip = EntryValue(source, entry);
            break;
        case tagStripByteCounts:
            d.StripByteCounts = EntryValues(source, entry, false);
            break;
        case tagPlanarConfiguration:
            d.Planar = EntryValue(source, entry);
            break;
        case tagColorMap:
            d.ColorMap = EntryValues(source, entry, false);
            break;
        case tagOrientation:
            d.Orientation =
                OrientationEntryValue(source.Order.Get16(entry + 2), source.Order.Get32(entry + 4),
                                      source.Order.Get16(entry + 8));
            break;
        default:
            break;
        }
    }
    // TIFF 6.0 gives these three defaults, and common writers rely on them for bilevel, grey
    // and palette pictures (one sample of one bit, uncompressed).
    if (!haveCompression)
        d.Compression = CompressionNone;
    if (!haveSamples)
        d.SamplesPerPixel = 1;
    if (!haveBits)
        d.BitsPerSample.assign(std::min<std::uint32_t>(d.SamplesPerPixel, 4), 1);

    if (d.Planar > 1)
        FailRead(PGMessage(pgmInvalid, "PlanarConfiguration"));
    if (d.SamplesPerPixel != 1 && d.SamplesPerPixel != 3 && d.SamplesPerPixel != 4)
        FailRead("Invalid SamplesPerPixel");
    if (d.BitsPerSample.size() != d.SamplesPerPixel)
        FailRead("Invalid count of SamplesPerPixel");
    if (!AcceptedCombination(d))
        FailRead("Invalid SamplesPerPixel");
    if (d.RowsPerStrip == 0) {
        if (d.StripOffsets.size() != 1)
            FailRead("Invalid RowsPerStrip");
        d.RowsPerStrip = d.Length;
    }
    return d;
}

TTiffSource SourceAt(TPGStream& stream)
{
    TTiffSource source{stream, 0, 0, {}};
    source.Base = stream.Position();
    source.Size = stream.Remaining();
    return source;
}

std::uint64_t ExpectedStrips(const TTiffDirectory& d)
{
    if (d.RowsPerStrip == 0)
        return 0;
    return (std::uint64_t{d.Length} + d.RowsPerStrip - 1) / d.RowsPerStrip;
}

// Decides on a one-strip file whose strip count disagrees with RowsPerStrip.
void StripCountWarning(TPGWarningAction action)
{
    const std::string text = "TIFF: " + StripCountMessage;
    switch (action) {
    case pgwaIgnore:
        return;
    case pgwaOKBox:
        PGMessageBox("TIFF-Warning", text, pgmbOK, pgmiWarning);
        break;
    case pgwaOKCancelBox:
        if (PGMessageBox("TIFF-Warning", text, pgmbOKCancel, pgmiWarning) == pgmaOK)
            return;
        break;
    default:
        break;
    }
    FailRead(StripCountMessage);
}

// PackBits data comes through a window of the stream, refilled as it empties.
class TPackBitsInput {
public:
    explicit TPackBitsInput(const TTiffSource& source) : source_(source) {}

    void Start(std::uint64_t offset)
    {
        position_ = offset;
        at_ = filled_ = 0;
    }
    std::uint8_t Next()
    {
        if (at_ == filled_) {
            if (position_ >= source_.Size)
                ShortStream();
            filled_ = static_cast<std::size_t>(
                std::min<std::uint64_t>(PackBitsWindow, source_.Size - position_));
            source_.ReadAt(position_, window_.data(), filled_);
            position_ += filled_;
            at_ = 0;
        }
        return window_[at_++];
    }

private:
    const TTiffSource& source_;
    std::array<std::uint8_t, PackBitsWindow> window_{};
    std::uint64_t position_ = 0;
    std::size_t at_ = 0;
    std::size_t filled_ = 0;
};

void DecodePackBitsRow(TPackBitsInput& input, std::uint8_t* row, std::size_t count, int y)
{
    std::size_t done = 0;
    while (done < count) {
        const int n = static_cast<std::int8_t>(input.Next());
        if (n == -128)
            continue;
        const std::size_t length =
            n >= 0 ? static_cast<std::size_t>(n) + 1 : static_cast<std::size_t>(1 - n);
        if (length > count - done)
            throw EPGTIFFileFormatReader("TIFF (PackBits): " +
                                         PGMessage(pgmInvalidRowByteCount, std::to_string(y)));
        if (n >= 0) {
            for (std::size_t i = 0; i < length; ++i)
                row[done++] = input.Next();
        } else {
            std::memset(row + done, input.Next(), length);
            done += length;
        }
    }
}

void ConvertRow(const TTiffDirectory& d, const std::uint8_t* source, std::uint8_t* target,
                std::size_t rowBytes, int width)
{
    const bool inverted = d.Photometric == phWhiteIsZero;
    const std::uint64_t bits = d.TotalBits();
    if (bits <= 8) {
        // 1, 4 and 8 bits: the samples as they are, every one inverted for WhiteIsZero.
        for (std::size_t i = 0; i < rowBytes; ++i)
            target[i] = inverted ? static_cast<std::uint8_t>(~source[i]) : source[i];
        return;
    }
    const std::size_t step = bits == 24 ? 3 : 4;
    for (int x = 0; x < width; ++x) {
        const std::uint8_t* s = source + static_cast<std::size_t>(x) * step;
        std::uint8_t* t = target + static_cast<std::size_t>(x) * 3;
        if (step == 4 && d.Photometric == phSeparated) {
            const int k = s[3];
            t[0] = static_cast<std::uint8_t>(std::max(0, 255 - s[2] - k));
            t[1] = static_cast<std::uint8_t>(std::max(0, 255 - s[1] - k));
            t[2] = static_cast<std::uint8_t>(std::max(0, 255 - s[0] - k));
        } else {
            t[0] = s[2];
            t[1] = s[1];
            t[2] = s[0];
        }
    }
}

void SetColorMap(TPixelGraphic& image, const std::vector<std::uint32_t>& map)
{
    // A map longer than the depth can address keeps only the entries pixels can use.
    const std::size_t n = map.size() / 3;
    const int kept = static_cast<int>(std::min<std::size_t>(n, image.PaletteCapacity()));
    image.SetPaletteCount(kept);
    const auto level = [](std::uint32_t v) {
        return static_cast<int>(std::min<std::uint32_t>(v / 256, 255));
    };
    for (int i = 0; i < kept; ++i)
        image.SetPaletteEntry(i, RGB(level(map[i]), level(map[n + i]), level(map[2 * n + i])));
}

std::string CompressionName(std::uint32_t compression)
{
    switch (compression) {
    case 1:
        return "Uncompr.";
    case 2:
        return "CCITT 1D";
    case 3:
        return "Group 3 F.";
    case 4:
        return "Group 4 F.";
    case 5:
        return "LZW";
    case 6:
        return "JPEG";
    case CompressionPackBits:
        return "PackBits";
    default:
        return "Compression " + std::to_string(compression);
    }
}

} // namespace

// ---- Reader ------------------------------------------------------------------------------------

TTIFFileFormatReader::TTIFFileFormatReader(std::string className, std::string extension)
    : TFileFormatReader(std::move(className), std::move(extension), "Tagged Image File Format",
                        true)
{
}

bool TTIFFileFormatReader::CanRead(const TFileHeader& header) const
{
    return (header[0] == 'I' && header[1] == 'I' && header[2] == 42 && header[3] == 0) ||
           (header[0] == 'M' && header[1] == 'M' && header[2] == 0 && header[3] == 42);
}

void TTIFFileFormatReader::Read(TPGStream& stream, TPixelGraphic& image, int index) const
{
    TTiffSource source = SourceAt(stream);
    TTiffDirectory d = ReadDirectory(source, index);

    switch (d.Compression) {
    case CompressionNone:
    case CompressionPackBits:
        break;
    case 2:
        FailRead("Unsupported compression CCITT 1D");
    case 3:
        FailRead("Unsupported compression Group 3 Fax");
    case 4:
        FailRead("Unsupported compression Group 4 Fax");
    case 5:
        FailRead("Unsupported compression LZW");
    case 6:
        FailRead("Unsupported compression JPEG");
    default:
        FailRead("Unsupported compression " + std::to_string(d.Compression));
    }

    if (ExpectedStrips(d) != d.StripOffsets.size()) {
        if (d.StripOffsets.size() != 1)
            FailRead(StripCountMessage);
        StripCountWarning(image.ReadWarningAction);
        d.RowsPerStrip = d.Length;
    }

    const std::uint64_t bits = d.TotalBits();
    const int width = static_cast<int>(d.Width);
    const std::uint64_t rowBytes = (bits * d.Width + 7) / 8;
    if (d.Width > INT_MAX || d.Length > INT_MAX)
        throw EPGInvalidSize(PGMessage(pgmInvalidSize, "image"));
    // Every strip's data must be there before anything is reserved for the picture; PackBits
    // needs at least two bytes for every 128 bytes of a row.
    const bool packBits = d.Compression == CompressionPackBits;
    const std::uint64_t leastRowData = packBits ? (rowBytes + 127) / 128 * 2 : rowBytes;
    for (std::uint64_t strip = 0, firstRow = 0; firstRow < d.Length;
         ++strip, firstRow += d.RowsPerStrip) {
        const std::uint64_t rows = std::min<std::uint64_t>(d.RowsPerStrip, d.Length - firstRow);
        if ((leastRowData > 0 && rows > source.Size / leastRowData) ||
            !source.Holds(d.StripOffsets[strip], rows * leastRowData))
            ShortStream();
    }

    const TBitCount bitCount =
        d.SamplesPerPixel == 1 ? NumToBitCount(static_cast<int>(bits)) : bc24Bit;
    image.SetSize(width, static_cast<int>(d.Length), bitCount);
    image.Orientation = d.Orientation;
    const bool gray = d.Photometric == phWhiteIsZero || d.Photometric == phBlackIsZero;
    switch (bitCount) {
    case bc1Bit:
        // The bilevel palette, unless a palette file brings its own two colours.
        if (d.Photometric == phPalette && d.ColorMap.size() >= 6)
            SetColorMap(image, d.ColorMap);
        else
            image.SetPaletteIdent(pBlackWhite);
        break;
    case bc4Bit:
    case bc8Bit:
        if (gray)
            image.SetPaletteIdent(bitCount == bc4Bit ? pGray16 : pGray256);
        else if (d.Photometric == phPalette)
            SetColorMap(image, d.ColorMap);
        else
            FailRead(std::string("Unsupported ") + (bitCount == bc4Bit ? "4" : "8") +
                     " Bits/Pixel");
        break;
    default:
        break;
    }

    // A picture without columns or rows has no pixels, however many of the other it claims,
    // and needs no row buffer: one for its claimed width alone could be gigabytes.
    const int height = image.Empty() ? 0 : image.Height();
    std::vector<std::uint8_t> row(height > 0 ? static_cast<std::size_t>(rowBytes) : 0);
    TPackBitsInput packed(source);
    const TProgressScope progress(image);
    for (int y = 0; y < height; ++y) {
        if (y % d.RowsPerStrip == 0) {
            const std::uint32_t offset = d.StripOffsets[y / d.RowsPerStrip];
            if (packBits)
                packed.Start(offset);
            else
                stream.Seek(source.Base + offset);
        }
        if (packBits)
            DecodePackBitsRow(packed, row.data(), row.size(), y);
        else
            stream.ReadBuffer(row.data(), row.size());
        ConvertRow(d, row.data(), image.ScanLine(y), row.size(), width);
        if (image.DoProgress(y, height))
            break;
    }
}

void TTIFFileFormatReader::GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
    TTiffSource source = SourceAt(stream);
    const TTiffDirectory d = ReadDirectory(source, index);
    info.Width = static_cast<int>(std::min<std::uint32_t>(d.Width, INT_MAX));
    info.Height = static_cast<int>(std::min<std::uint32_t>(d.Length, INT_MAX));
    info.ImageCount = d.ImageCount;
    info.Orientation = d.Orientation;
    const std::uint64_t bits = d.TotalBits();
    info.BitsPerPixel = static_cast<int>(bits);
    info.Colors = bits > 23 ? "16.7 M" : std::to_string(1u << bits);
    info.Subformat = std::string(d.Motorola ? "M, " : "I, ") + CompressionName(d.Compression);
    switch (d.Photometric) {
    case phWhiteIsZero:
        info.Subformat += ", WhiteIsZero";
        break;
    case phBlackIsZero:
        info.Subformat += ", BlackIsZero";
        break;
    case phRGB:
        info.Subformat += ", RGB";
        break;
    case phPalette:
        info.Subformat += ", RGB Palette";
        break;
    case phSeparated:
        info.Subformat += ", CMYK";
        break;
    default:
        FailRead("Unsupported photometric interpretation " + std::to_string(d.Photometric));
    }
    if (d.Compression != CompressionNone && d.Compression != CompressionPackBits)
        info.Remark = "(Unsupported compression)";
}

// ---- Writer ------------------------------------------------------------------------------------

std::vector<std::uint8_t> PackBitsEncode(const std::uint8_t* row, std::size_t count)
{
    // The length of the run of equal bytes each byte belongs to.
    std::vector<std::size_t> run(count);
    for (std::size_t i = 0; i < count;) {
        std::size_t end = i + 1;
        while (end < count && row[end] == row[i])
            ++end;
        std::fill(run.begin() + static_cast<std::ptrdiff_t>(i),
                  run.begin() + static_cast<std::ptrdiff_t>(end), end - i);
        i = end;
    }
    // Single bytes go into literal packets; a run of two beside them costs as much either way
    // and would only split the literal, so it joins it.
    std::vector<bool> literal(count);
    for (std::size_t i = 0; i < count; ++i)
        literal[i] = run[i] == 1;
    for (std::size_t i = 0; i < count; i += run[i])
        if (run[i] == 2 && i > 0 && literal[i - 1])
            literal[i] = literal[i + 1] = true;
    for (std::size_t end = count; end > 0;) {
        const std::size_t start = end - run[end - 1];
        if (run[start] == 2 && end < count && literal[end])
            literal[start] = literal[start + 1] = true;
        end = start;
    }

    std::vector<std::uint8_t> packed;
    packed.reserve(count + count / 128 + 2);
    for (std::size_t i = 0; i < count;) {
        std::size_t end = i + 1;
        if (literal[i]) {
            while (end < count && literal[end] && end - i < 128)
                ++end;
            packed.push_back(static_cast<std::uint8_t>(end - i - 1));
            packed.insert(packed.end(), row + i, row + end);
        } else {
            while (end < count && !literal[end] && row[end] == row[i] && end - i < 128)
                ++end;
            packed.push_back(static_cast<std::uint8_t>(-static_cast<int>(end - i - 1)));
            packed.push_back(row[i]);
        }
        i = end;
    }
    return packed;
}

namespace {

// One directory entry as it is written: the value field, or the values stored after the
// directory when they do not fit in it.
struct TOutEntry {
    std::uint16_t Tag;
    std::uint16_t Type;
    std::uint32_t Count;
    std::vector<std::uint8_t> Values; // already in the file's byte order
};

std::size_t TypeSize(std::uint16_t type)
{
    return type == ftByte ? 1 : type == ftShort ? 2 : type == ftRational ? 8 : 4;
}

TOutEntry MakeEntry(const TByteOrder& order, std::uint16_t tag, std::uint16_t type,
                    const std::vector<std::uint32_t>& values)
{
    TOutEntry entry{tag, type, static_cast<std::uint32_t>(values.size()), {}};
    entry.Values.resize(values.size() * TypeSize(type));
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint8_t* p = entry.Values.data() + i * TypeSize(type);
        if (type == ftShort)
            order.Put16(p, values[i]);
        else
            order.Put32(p, values[i]);
    }
    return entry;
}

TOutEntry MakeRational(const TByteOrder& order, std::uint16_t tag, const TTIFFRational& value)
{
    TOutEntry entry{tag, ftRational, 1, std::vector<std::uint8_t>(8)};
    order.Put32(entry.Values.data(), value.Numerator);
    order.Put32(entry.Values.data() + 4, value.Denominator);
    return entry;
}

void WriteAt(TPGStream& stream, std::uint64_t position, const void* data, std::size_t count)
{
    const std::uint64_t end = stream.Position();
    stream.Seek(position);
    stream.Write(data, count);
    stream.Seek(end);
}

// A row as the file stores it, from the image's row.
void FileRow(const TPixelGraphic& image, int y, bool invert, bool cmyk,
             std::vector<std::uint8_t>& out)
{
    const std::uint8_t* source = image.ScanLine(y);
    const int width = image.Width();
    if (image.BitCount() != bc24Bit) {
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = invert ? static_cast<std::uint8_t>(~source[i]) : source[i];
        return;
    }
    for (int x = 0; x < width; ++x) {
        const std::uint8_t blue = source[3 * x], green = source[3 * x + 1], red = source[3 * x + 2];
        if (cmyk) {
            const int c = 255 - red, m = 255 - green, ye = 255 - blue;
            const int k = std::min({c, m, ye});
            std::uint8_t* t = out.data() + 4 * static_cast<std::size_t>(x);
            t[0] = static_cast<std::uint8_t>(c - k);
            t[1] = static_cast<std::uint8_t>(m - k);
            t[2] = static_cast<std::uint8_t>(ye - k);
            t[3] = static_cast<std::uint8_t>(k);
        } else {
            std::uint8_t* t = out.data() + 3 * static_cast<std::size_t>(x);
            t[0] = red;
            t[1] = green;
            t[2] = blue;
        }
    }
}

// How an image is laid out in the file: its samples, its rows and its strips.
struct TImageLayout {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint32_t Samples = 1;
    std::uint32_t Photometric = phBlackIsZero;
    std::uint32_t Bits = 8;
    bool ColorMap = false;
    bool Invert = false;
    bool Cmyk = false;
    bool PackBits = false;
    std::uint64_t RowSize = 0;
    std::uint32_t RowsPerStrip = 0;
    std::uint32_t Strips = 0;
};

TImageLayout LayoutOf(const TPixelGraphic& image, bool packBits)
{
    TImageLayout l;
    l.Width = static_cast<std::uint32_t>(image.Width());
    l.Height = static_cast<std::uint32_t>(image.Height());
    l.PackBits = packBits;
    // Only the grey scale that fills the depth is stored as grey; sixteen greys in an 8-bit
    // picture are a palette like any other.
    const bool gray = (image.BitCount() == bc4Bit && image.PaletteIdent() == pGray16) ||
                      (image.BitCount() == bc8Bit && image.PaletteIdent() == pGray256);
    l.Cmyk = image.BitCount() == bc24Bit && TIFFWriteCMYK;
    switch (image.BitCount()) {
    case bc1Bit:
        l.RowSize = (std::uint64_t{l.Width} + 7) / 8;
        l.Bits = 1;
        break;
    case bc4Bit:
        l.RowSize = (std::uint64_t{l.Width} + 1) / 2;
        l.Bits = 4;
        l.ColorMap = !gray;
        break;
    case bc8Bit:
        l.RowSize = l.Width;
        l.ColorMap = !gray;
        break;
    default:
        l.Samples = l.Cmyk ? 4 : 3;
        l.RowSize = std::uint64_t{l.Width} * l.Samples;
        l.Photometric = l.Cmyk ? phSeparated : phRGB;
        break;
    }
    l.Invert = TIFFWriteWhiteIsZero && image.BitCount() != bc24Bit && !l.ColorMap;
    if (l.ColorMap)
        l.Photometric = phPalette;
    else if (l.Invert)
        l.Photometric = phWhiteIsZero;

    const std::uint64_t perStrip = 32767 / (l.RowSize * (packBits ? 2 : 1));
    l.RowsPerStrip = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(perStrip, 1, l.Height));
    l.Strips = (l.Height + l.RowsPerStrip - 1) / l.RowsPerStrip;
    return l;
}

// Pads to the word boundary a directory must start on, and links the directory into the
// chain through the offset field of the header or of the previous directory. Returns the
// directory's position in the stream.
std::uint64_t StartDirectory(TPGStream& stream, const TTIFFWriteState& state,
                             const TByteOrder& order)
{
    std::uint64_t position = stream.Position();
    if ((position - state.Start) % 2 != 0) {
        const std::uint8_t zero = 0;
        stream.Write(&zero, 1);
        ++position;
    }
    std::uint8_t link[4];
    order.Put32(link, static_cast<std::uint32_t>(position - state.Start));
    WriteAt(stream, state.NextOffsetField, link, sizeof link);
    return position;
}

// The entries in tag order; the strip arrays hold zeros until the strips are written.
std::vector<TOutEntry> DirectoryEntries(const TByteOrder& order, const TPixelGraphic& image,
                                        const TImageLayout& l, int compression)
{
    const std::uint32_t unit = TIFFWriteResolutionUnit == 0   ? 1
                               : TIFFWriteResolutionUnit == 2 ? 3
                                                              : 2;
    std::vector<TOutEntry> entries;
    entries.push_back(MakeEntry(order, tagNewSubfileType, ftLong, {0}));
    entries.push_back(MakeEntry(order, tagImageWidth, ftLong, {l.Width}));
    entries.push_back(MakeEntry(order, tagImageLength, ftLong, {l.Height}));
    entries.push_back(
        MakeEntry(order, tagBitsPerSample, ftShort, std::vector<std::uint32_t>(l.Samples, l.Bits)));
    entries.push_back(
        MakeEntry(order, tagCompression, ftShort, {static_cast<std::uint32_t>(compression)}));
    entries.push_back(MakeEntry(order, tagPhotometric, ftShort, {l.Photometric}));
    entries.push_back(
        MakeEntry(order, tagStripOffsets, ftLong, std::vector<std::uint32_t>(l.Strips, 0)));
    entries.push_back(MakeEntry(order, tagSamplesPerPixel, ftShort, {l.Samples}));
    entries.push_back(MakeEntry(order, tagRowsPerStrip, ftLong, {l.RowsPerStrip}));
    entries.push_back(
        MakeEntry(order, tagStripByteCounts, ftLong, std::vector<std::uint32_t>(l.Strips, 0)));
    entries.push_back(MakeRational(order, tagXResolution, TIFFWriteXResolution));
    entries.push_back(MakeRational(order, tagYResolution, TIFFWriteYResolution));
    entries.push_back(MakeEntry(order, tagResolutionUnit, ftShort, {unit}));
    if (l.ColorMap) {
        const std::size_t n = std::size_t{1} << l.Bits;
        std::vector<std::uint32_t> map(3 * n, 0);
        for (int i = 0; i < std::min<int>(image.PaletteCount(), static_cast<int>(n)); ++i) {
            const TColor c = image.PaletteEntry(i);
            map[i] = static_cast<std::uint32_t>(GetRValue(c)) * 256;
            map[n + i] = static_cast<std::uint32_t>(GetGValue(c)) * 256;
            map[2 * n + i] = static_cast<std::uint32_t>(GetBValue(c)) * 256;
        }
        entries.push_back(MakeEntry(order, tagColorMap, ftShort, map));
    }
    return entries;
}

// Where the written directory left the places that are filled in later.
struct TWrittenDirectory {
    std::uint64_t StripOffsetsAt = 0;
    std::uint64_t StripCountsAt = 0;
    std::uint64_t NextOffsetField = 0;
};

// The directory at position (start being where the file begins), the next-directory offset,
// then the values that do not fit in their entries: the colour map, the samples' bits, the
// resolutions, the strip arrays.
TWrittenDirectory WriteDirectory(TPGStream& stream, const TByteOrder& order,
                                 const std::vector<TOutEntry>& entries, std::uint64_t position,
                                 std::uint64_t start)
{
    const auto directory = static_cast<std::uint32_t>(position - start);
    const std::size_t tableBytes = 2 + entries.size() * EntryBytes + 4;
    std::vector<std::uint8_t> block(tableBytes);
    order.Put16(block.data(), static_cast<std::uint32_t>(entries.size()));
    const auto valueOrder = {tagColorMap,    tagBitsPerSample, tagXResolution,
                             tagYResolution, tagStripOffsets,  tagStripByteCounts};
    std::vector<std::uint32_t> outOfLine(entries.size(), 0);
    for (const std::uint16_t tag : valueOrder) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].Tag != tag || entries[i].Values.size() <= 4)
                continue;
            outOfLine[i] = static_cast<std::uint32_t>(directory + block.size());
            block.insert(block.end(), entries[i].Values.begin(), entries[i].Values.end());
        }
    }
    TWrittenDirectory written;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::uint8_t* e = block.data() + 2 + i * EntryBytes;
        order.Put16(e, entries[i].Tag);
        order.Put16(e + 2, entries[i].Type);
        order.Put32(e + 4, entries[i].Count);
        if (entries[i].Values.size() <= 4)
            std::memcpy(e + 8, entries[i].Values.data(), entries[i].Values.size());
        else
            order.Put32(e + 8, outOfLine[i]);
        const std::uint64_t valuesAt = entries[i].Values.size() <= 4
                                           ? position + 2 + i * EntryBytes + 8
                                           : start + outOfLine[i];
        if (entries[i].Tag == tagStripOffsets)
            written.StripOffsetsAt = valuesAt;
        else if (entries[i].Tag == tagStripByteCounts)
            written.StripCountsAt = valuesAt;
    }
    stream.Write(block.data(), block.size());
    written.NextOffsetField = position + 2 + entries.size() * EntryBytes;
    return written;
}

// The image's rows strip by strip, each strip on a word boundary; notes where each strip
// starts (from the file's start) and how many bytes it holds.
void WriteStrips(TPGStream& stream, TPixelGraphic& image, const TImageLayout& l,
                 std::uint64_t start, std::vector<std::uint32_t>& offsets,
                 std::vector<std::uint32_t>& counts)
{
    std::vector<std::uint8_t> fileRow(static_cast<std::size_t>(l.RowSize));
    const TProgressScope progress(image);
    std::uint64_t at = stream.Position();
    for (std::uint32_t strip = 0; strip < l.Strips; ++strip) {
        if ((at - start) % 2 != 0) {
            const std::uint8_t zero = 0;
            stream.Write(&zero, 1);
            ++at;
        }
        offsets[strip] = static_cast<std::uint32_t>(at - start);
        const std::uint32_t first = strip * l.RowsPerStrip;
        const std::uint32_t last = std::min(l.Height, first + l.RowsPerStrip);
        for (std::uint32_t y = first; y < last; ++y) {
            FileRow(image, static_cast<int>(y), l.Invert, l.Cmyk, fileRow);
            if (l.PackBits) {
                const std::vector<std::uint8_t> packed =
                    PackBitsEncode(fileRow.data(), fileRow.size());
                stream.Write(packed.data(), packed.size());
                at += packed.size();
            } else {
                stream.Write(fileRow.data(), fileRow.size());
                at += fileRow.size();
            }
            // Stopping half-way would leave a broken file, so an abort is not honoured.
            image.DoProgress(static_cast<int>(y), static_cast<int>(l.Height) - 1);
        }
        counts[strip] = static_cast<std::uint32_t>(at - start - offsets[strip]);
    }
}

void WriteStripArray(TPGStream& stream, const TByteOrder& order, std::uint64_t at,
                     const std::vector<std::uint32_t>& values)
{
    std::vector<std::uint8_t> bytes(values.size() * 4);
    for (std::size_t i = 0; i < values.size(); ++i)
        order.Put32(bytes.data() + 4 * i, values[i]);
    WriteAt(stream, at, bytes.data(), bytes.size());
}

} // namespace

TTIFFileFormatWriter::TTIFFileFormatWriter(std::string className, std::string extension)
    : TFileFormatWriter(std::move(className), std::move(extension), "Tagged Image File Format",
                        ColorResolutions({crBlackWhite, cr16Grays, cr16SysColors, cr16Colors,
                                          cr256Grays, cr256Colors, crTrueColor}))
{
}

void TTIFFileFormatWriter::Write(TPGStream& stream, TPixelGraphic& image) const
{
    TTIFFWriteState state;
    StartFile(stream, state);
    WriteImage(stream, image, state);
    FinishFile(stream, state);
}

void TTIFFileFormatWriter::StartFile(TPGStream& stream, TTIFFWriteState& state) const
{
    state.Start = stream.Position();
    state.Motorola = TIFFWriteMotorola;
    const TByteOrder order{state.Motorola};
    std::uint8_t header[8] = {};
    header[0] = header[1] = state.Motorola ? 'M' : 'I';
    order.Put16(header + 2, 42);
    stream.Write(header, sizeof header);
    state.NextOffsetField = state.Start + 4;
}

void TTIFFileFormatWriter::WriteImage(TPGStream& stream, TPixelGraphic& image,
                                      TTIFFWriteState& state) const
{
    const int compression = TIFFWriteCompression;
    if (compression != static_cast<int>(CompressionNone) &&
        compression != static_cast<int>(CompressionPackBits))
        FailWrite("Internal Error");
    // TIFF has no picture without pixels; other readers refuse one.
    if (image.Empty())
        FailWrite(PGMessage(pgmZeroSize));
    const TByteOrder order{state.Motorola};
    const TImageLayout layout =
        LayoutOf(image, compression == static_cast<int>(CompressionPackBits));

    const std::uint64_t position = StartDirectory(stream, state, order);
    const std::vector<TOutEntry> entries = DirectoryEntries(order, image, layout, compression);
    const TWrittenDirectory written = WriteDirectory(stream, order, entries, position, state.Start);

    std::vector<std::uint32_t> stripOffsets(layout.Strips), stripCounts(layout.Strips);
    WriteStrips(stream, image, layout, state.Start, stripOffsets, stripCounts);
    WriteStripArray(stream, order, written.StripOffsetsAt, stripOffsets);
    WriteStripArray(stream, order, written.StripCountsAt, stripCounts);
    state.NextOffsetField = written.NextOffsetField;
}

void TTIFFileFormatWriter::FinishFile(TPGStream&, TTIFFWriteState&) const
{
}

} // namespace scenaria
