#include "imaging/formats/Pnm.h"

#include "imaging/Messages.h"
#include "imaging/RowSink.h"
#include "imaging/formats/ByteIO.h"

#include <array>
#include <charconv>
#include <vector>

namespace scenaria {

bool PxMWriteBinary = false;

namespace {

constexpr std::string_view Tag = "PBM, PGM, PPM: ";
// Header numbers and samples stop growing here, so that a run of digits cannot overflow.
constexpr std::uint32_t LargestNumber = 0x7FFFFFFF;

enum TFamily : int { famBitmap, famGraymap, famPixmap };

[[noreturn]] void Fail(int record, std::string_view what = {})
{
    throw EPGPxMFileFormatReader(std::string(Tag) + PGMessage(record, what));
}

[[noreturn]] void FailEnd()
{
    Fail(pgmUnexpectedEndOfFile);
}

[[noreturn]] void FailWriter(std::string_view tag, int record, std::string_view what = {})
{
    throw EPGPxMFileFormatWriter(std::string(tag) + PGMessage(record, what));
}

bool IsDigit(std::uint8_t c)
{
    return c >= '0' && c <= '9';
}

// The header and the ASCII kinds as characters, with comments ("#" to the end of the line)
// taken out wherever they stand; the binary kinds' samples as plain bytes.
class TTextInput {
public:
    explicit TTextInput(TPGStream& stream) : input_(stream, FailEnd) {}

    bool TryChar(std::uint8_t& c)
    {
        if (!input_.TryGet(c))
            return false;
        if (c == '#') {
            do {
                if (!input_.TryGet(c))
                    return false;
            } while (c != '\n' && c != '\r');
        }
        return true;
    }

    std::uint8_t Char()
    {
        std::uint8_t c = 0;
        if (!TryChar(c))
            FailEnd();
        return c;
    }

    std::uint8_t Digit()
    {
        std::uint8_t c = Char();
        while (!IsDigit(c))
            c = Char();
        return c;
    }

    // A decimal number after anything that is not a digit; the character that ends it is
    // used up. A number may also end the data: the last sample of a file needs nothing after
    // it.
    std::uint32_t Number()
    {
        std::uint8_t c = Digit();
        std::uint64_t value = 0;
        while (IsDigit(c)) {
            value = std::min<std::uint64_t>(value * 10 + (c - '0'), LargestNumber);
            if (!TryChar(c))
                break;
        }
        return static_cast<std::uint32_t>(value);
    }

    void Bytes(std::uint8_t* target, std::size_t count) { input_.Read(target, count); }
    std::uint64_t Available() const { return input_.Available(); }

private:
    TByteInput input_;
};

// The kind digit 1..6 after the "P".
int ReadKind(TTextInput& input)
{
    if (input.Char() != 'P')
        Fail(pgmNotAFile, "PBM, PGM, PPM");
    const std::uint8_t kind = input.Char();
    if (kind < '1' || kind > '6')
        Fail(pgmUnknownSubformat);
    return kind - '0';
}

TFamily FamilyOf(int kind)
{
    return static_cast<TFamily>((kind - 1) % 3);
}

// A sample scaled from 0..maxval to 0..255; samples above maxval count as maxval.
std::uint8_t Scale(std::uint32_t value, std::uint32_t maxval)
{
    if (value >= maxval)
        return 255;
    return static_cast<std::uint8_t>(std::uint64_t{value} * 255 / maxval);
}

// Into the image's rows, or one row at a time to the sink when there is one (gray levels and
// true colour only).
void ReadPixels(TTextInput& input, TPixelGraphic& image, int kind, std::uint32_t maxval, int width,
                int height, TRowSink* sink)
{
    const std::size_t packed = (static_cast<std::size_t>(width) + 7) / 8;
    std::array<std::uint8_t, 256> scale{};
    for (std::uint32_t v = 0; v < 256; ++v)
        scale[v] = Scale(v, maxval);
    std::vector<std::uint8_t> bytes(
        kind == 5 || kind == 6 ? static_cast<std::size_t>(width) * (kind == 6 ? 3 : 1) : 0);
    std::vector<std::uint8_t> line(sink ? static_cast<std::size_t>(width) * (kind % 3 == 0 ? 3 : 1)
                                        : 0);
    if (sink)
        sink->Begin(width, height, kind % 3 == 2);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = sink ? line.data() : image.ScanLine(y);
        switch (kind) {
        case 1:
            // One digit a pixel, as netpbm writes them: runs of digits need no spaces.
            std::fill(row, row + packed, 0);
            for (int x = 0; x < width; ++x)
                if (input.Digit() == '0')
                    row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            break;
        case 2:
            for (int x = 0; x < width; ++x)
                row[x] = Scale(input.Number(), maxval);
            break;
        case 3:
            for (int x = 0; x < width; ++x) {
                row[3 * x + 2] = Scale(input.Number(), maxval);
                row[3 * x + 1] = Scale(input.Number(), maxval);
                row[3 * x] = Scale(input.Number(), maxval);
            }
            break;
        case 4:
            input.Bytes(row, packed);
            for (std::size_t i = 0; i < packed; ++i)
                row[i] = static_cast<std::uint8_t>(~row[i]);
            if (width % 8 != 0)
                row[packed - 1] &= static_cast<std::uint8_t>(0xFF << (8 - width % 8));
            break;
        case 5:
            input.Bytes(bytes.data(), bytes.size());
            for (int x = 0; x < width; ++x)
                row[x] = scale[bytes[x]];
            break;
        default:
            input.Bytes(bytes.data(), bytes.size());
            for (int x = 0; x < width; ++x) {
                row[3 * x + 2] = scale[bytes[3 * x]];
                row[3 * x + 1] = scale[bytes[3 * x + 1]];
                row[3 * x] = scale[bytes[3 * x + 2]];
            }
            break;
        }
        if (sink)
            sink->Row(row);
        if (image.DoProgress(y, height))
            return;
    }
    if (sink)
        sink->End();
}

void PutNumber(TByteOutput& output, unsigned value)
{
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    output.Write(text, static_cast<std::size_t>(end - text));
}

} // namespace

TPxMFileFormatReader::TPxMFileFormatReader(std::string className, std::string extension,
                                           std::string description, char asciiKind, char binaryKind)
    : TFileFormatReader(std::move(className), std::move(extension), std::move(description), true),
      asciiKind_(asciiKind), binaryKind_(binaryKind)
{
}

bool TPxMFileFormatReader::CanRead(const TFileHeader& header) const
{
    return header[0] == 'P' && (header[1] == asciiKind_ || header[1] == binaryKind_);
}

void TPxMFileFormatReader::Read(TPGStream& stream, TPixelGraphic& image, int index) const
{
    if (index != 0)
        throw EPGPxMFileFormatReader("PxM: " + PGMessage(pgmInvalid, "Index"));
    image.Gamma = DisplayGamma;
    TTextInput input(stream);
    const int kind = ReadKind(input);
    const TFamily family = FamilyOf(kind);
    const bool binary = kind >= 4;
    static constexpr TBitCount BitCounts[] = {bc1Bit, bc8Bit, bc24Bit};
    image.SetSize(0, 0, BitCounts[family]);
    static constexpr TPaletteIdent Palettes[] = {pBlackWhite, pGray256, pTrueColor};
    image.SetPaletteIdent(Palettes[family]);

    const std::uint32_t width = input.Number();
    const std::uint32_t height = input.Number();
    const std::uint32_t maxval = family == famBitmap ? 1 : input.Number();
    // A maxval of 0 leaves nothing to scale by.
    if (width < 1 || height < 1 || maxval == 0 || (binary && maxval >= 256))
        Fail(pgmNotSupportedSubformat);

    // The fewest bytes the pixels take: binary samples are stored whole, ASCII ones need a
    // character each and a separator between them (P1 digits need none).
    const std::uint64_t pixels = std::uint64_t{width} * height;
    const std::uint64_t samples = pixels * (family == famPixmap ? 3 : 1);
    std::uint64_t least = 0;
    if (binary)
        least = family == famBitmap ? (std::uint64_t{width} + 7) / 8 * height : samples;
    else
        least = family == famBitmap ? pixels : SaturatingMultiply(2, samples) - 1;
    if (least > input.Available())
        FailEnd();

    const int w = static_cast<int>(width), h = static_cast<int>(height);
    TRowSink* sink = family != famBitmap && SinkTakesRows(image, w, h) ? image.RowSink : nullptr;
    if (!sink) {
        image.SetSize(w, h, BitCounts[family]);
        image.SetPaletteIdent(Palettes[family]);
    }
    const TProgressScope progress(image);
    ReadPixels(input, image, kind, maxval, w, h, sink);
}

void TPxMFileFormatReader::GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
    if (index != 0)
        Fail(pgmInvalidValue, "Index");
    TTextInput input(stream);
    const int kind = ReadKind(input);
    info.Width = static_cast<int>(input.Number());
    info.Height = static_cast<int>(input.Number());
    info.Subformat = kind <= 3 ? "ASCII" : "Binary";
    switch (FamilyOf(kind)) {
    case famBitmap:
        info.BitsPerPixel = 1;
        info.Colors = "2";
        break;
    case famGraymap:
        info.BitsPerPixel = 8;
        info.Colors = "256";
        break;
    case famPixmap:
        info.BitsPerPixel = 24;
        info.Colors = "16.7M";
        break;
    }
}

TPXMFileFormatWriter::TPXMFileFormatWriter(std::string className, std::string extension,
                                           std::string description,
                                           TColorResolutions canWriteResolutions)
    : TFileFormatWriter(std::move(className), std::move(extension), std::move(description),
                        canWriteResolutions)
{
}

void TPXMFileFormatWriter::Write(TPGStream& stream, TPixelGraphic& image) const
{
    TFamily family = famBitmap;
    if (Extension() == "pgm")
        family = famGraymap;
    else if (Extension() == "ppm")
        family = famPixmap;
    else if (Extension() != "pbm")
        FailWriter(Tag, pgmUnknownExtension, Extension());
    const int width = image.Width();
    const int height = image.Height();
    if (width < 1 || height < 1)
        FailWriter(Tag, pgmZeroSize);
    if (family == famBitmap && image.BitCount() != bc1Bit && image.PaletteIdent() != pBlackWhite)
        FailWriter("PBM: ", pgmInvalidColorResolution);
    if (family == famGraymap && image.BitCount() != bc8Bit && image.PaletteIdent() != pGray256)
        FailWriter("PGM: ", pgmInvalidColorResolution);
    if (family == famPixmap && image.BitCount() != bc24Bit)
        FailWriter("PPM: ", pgmInvalidColorResolution);

    // What each palette index shows: black or white, or a grey level. For the palettes the
    // framework hands over (black and white, 256 greys) this is the index itself.
    std::array<TColor, 256> colors{};
    image.GetColorTable(colors);
    std::array<bool, 256> black{};
    std::array<std::uint8_t, 256> gray{};
    for (int i = 0; i < 256; ++i) {
        const int luminance = image.Luminance(colors[i]);
        black[i] = luminance < 383;
        gray[i] = static_cast<std::uint8_t>((luminance + 1) / 3);
    }

    const bool binary = PxMWriteBinary;
    TByteOutput output(stream);
    output.Put('P');
    output.Put(static_cast<std::uint8_t>('1' + family + (binary ? 3 : 0)));
    output.Put('\n');
    PutNumber(output, static_cast<unsigned>(width));
    output.Put(' ');
    PutNumber(output, static_cast<unsigned>(height));
    output.Put('\n');
    if (family != famBitmap)
        output.Write("255\n", 4);

    const TProgressScope progress(image);
    const std::size_t packed = (static_cast<std::size_t>(width) + 7) / 8;
    std::vector<std::uint8_t> bits(binary && family == famBitmap ? packed : 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = image.ScanLine(y);
        const auto index = [&](int x) -> std::uint32_t {
            if (image.BitCount() != bc24Bit)
                return RowIndex(row, x, image.BitCount());
            return image.GetPixel(x, y) & 0xFF;
        };
        if (family == famPixmap) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
                if (binary) {
                    const std::uint8_t rgb[3] = {p[2], p[1], p[0]};
                    output.Write(rgb, 3);
                } else {
                    if (x > 0)
                        output.Put(' ');
                    PutNumber(output, p[2]);
                    output.Put(' ');
                    PutNumber(output, p[1]);
                    output.Put(' ');
                    PutNumber(output, p[0]);
                }
            }
        } else if (family == famGraymap) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t level = gray[index(x)];
                if (binary) {
                    output.Put(level);
                } else {
                    if (x > 0)
                        output.Put(' ');
                    PutNumber(output, level);
                }
            }
        } else if (binary) {
            std::fill(bits.begin(), bits.end(), 0);
            for (int x = 0; x < width; ++x)
                if (black[index(x)])
                    bits[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            output.Write(bits.data(), bits.size());
        } else {
            for (int x = 0; x < width; ++x) {
                if (x > 0)
                    output.Put(' ');
                output.Put(black[index(x)] ? '1' : '0');
            }
        }
        if (!binary)
            output.Put('\n');
        image.DoProgress(y, height);
    }
    output.Flush();
}

} // namespace scenaria
