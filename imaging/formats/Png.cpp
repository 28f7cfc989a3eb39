#include "imaging/formats/Png.h"
#include "imaging/ProgressScope.h"
#include "imaging/formats/Exif.h"

#include "imaging/MessageBox.h"
#include "imaging/Messages.h"
#include "imaging/RowSink.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace scenaria {

bool PNGUseFileBackground = true;
bool PNGWriteGamma = true;

// The structures that cross the interface by value have the same layout in every libpng.
static_assert(sizeof(png_color) == 3);
static_assert(sizeof(png_color_8) == 5);
static_assert(sizeof(png_color_16) == 10);
static_assert(sizeof(png_time) == 8);

namespace {

// How libpng's calls are kept apart from C++: every call that may end in png_error runs
// inside one small "fenced" function that owns the setjmp and holds nothing with a
// destructor. The callbacks record what went wrong in the context (plain data plus the
// exception of a stream or of the message-box hook) and jump back there; the C++ caller then
// raises. No exception ever travels through libpng's C frames.

constexpr std::size_t MessageCapacity = 400;

enum TPngFailure : int { pfNone, pfMessage, pfAborted, pfException };

struct TPngContext {
    TPGStream* Stream = nullptr;
    TPGWarningAction WarningAction = pgwaRaise;
    TPngFailure Failure = pfNone;
    char Message[MessageCapacity] = {};
    std::exception_ptr Exception;
};

[[noreturn]] void Fail(const std::string& text)
{
    throw EPGPNGFileFormatReaderWriter("PNG: " + text);
}

void Record(TPngContext& context, TPngFailure failure, const char* message) noexcept
{
    if (context.Failure != pfNone)
        return;
    context.Failure = failure;
    std::snprintf(context.Message, sizeof context.Message, "%s", message ? message : "");
}

void RecordException(TPngContext& context) noexcept
{
    if (context.Failure != pfNone)
        return;
    context.Failure = pfException;
    context.Exception = std::current_exception();
}

[[noreturn]] void Raise(const TPngContext& context)
{
    switch (context.Failure) {
    case pfException:
        std::rethrow_exception(context.Exception);
    case pfAborted:
        Fail(PGMessage(pgmAborted));
    case pfMessage:
        Fail(context.Message);
    default:
        Fail(PGMessage(pgmFailed, "libpng"));
    }
}

TPngContext& ContextOf(png_structp png)
{
    return *static_cast<TPngContext*>(png_get_error_ptr(png));
}

void OnError(png_structp png, png_const_charp message)
{
    Record(ContextOf(png), pfMessage, message);
    png_longjmp(png, 1);
}

// Whether reading may go on after a warning. Everything it makes is gone when it returns, so
// that the caller may jump out of libpng afterwards.
bool WarningLetsGoOn(TPngContext& context, const char* message) noexcept
{
    try {
        switch (context.WarningAction) {
        case pgwaIgnore:
            return true;
        case pgwaOKBox:
            PGMessageBox("PNG " + PGMessage(pgmWarning), message, pgmbOK, pgmiWarning);
            return true;
        case pgwaOKCancelBox:
            if (PGMessageBox("PNG " + PGMessage(pgmWarning), message, pgmbOKCancel, pgmiWarning) ==
                pgmaOK)
                return true;
            Record(context, pfAborted, "");
            return false;
        default:
            Record(context, pfMessage, message);
            return false;
        }
    } catch (...) {
        RecordException(context);
        return false;
    }
}

void OnWarning(png_structp png, png_const_charp message)
{
    TPngContext& context = ContextOf(png);
    if (context.Failure != pfNone || !WarningLetsGoOn(context, message))
        png_longjmp(png, 1);
}

bool ReadFromStream(TPngContext& context, png_bytep data, std::size_t length) noexcept
{
    try {
        if (context.Stream->Read(data, length) == length)
            return true;
        Record(context, pfMessage, PGMessage(pgmUnexpectedEndOfFile).c_str());
    } catch (...) {
        RecordException(context);
    }
    return false;
}

// False, with the reason recorded, when the chunk whose 8-byte header was just read declares
// more data than the stream still holds. libpng reserves an ancillary chunk whole at its
// declared length before reading it, even one it has just called too large in a warning that
// the caller lets through; so a few bytes could make it reserve two gigabytes. Image data are
// read piecemeal and may end early on their own terms.
bool ChunkFitsInStream(TPngContext& context, png_const_bytep header) noexcept
{
    try {
        const png_uint_32 declared = png_get_uint_32(header);
        if (std::memcmp(header + 4, "IDAT", 4) == 0 ||
            std::uint64_t{declared} + 4 <= context.Stream->Remaining())
            return true;
        Record(context, pfMessage, PGMessage(pgmUnexpectedEndOfFile).c_str());
    } catch (...) {
        RecordException(context);
    }
    return false;
}

void OnRead(png_structp png, png_bytep data, std::size_t length)
{
    TPngContext& context = *static_cast<TPngContext*>(png_get_io_ptr(png));
    if (!ReadFromStream(context, data, length))
        png_longjmp(png, 1);
    if (length == 8 && (png_get_io_state(png) & PNG_IO_MASK_LOC) == PNG_IO_CHUNK_HDR &&
        !ChunkFitsInStream(context, data))
        png_longjmp(png, 1);
}

bool WriteToStream(TPngContext& context, png_bytep data, std::size_t length) noexcept
{
    try {
        context.Stream->Write(data, length);
        return true;
    } catch (...) {
        RecordException(context);
    }
    return false;
}

void OnWrite(png_structp png, png_bytep data, std::size_t length)
{
    if (!WriteToStream(*static_cast<TPngContext*>(png_get_io_ptr(png)), data, length))
        png_longjmp(png, 1);
}

void OnFlush(png_structp)
{
}

std::string VersionText(unsigned number)
{
    return std::to_string(number / 10000) + "." + std::to_string(number / 100 % 100) + "." +
           std::to_string(number % 100);
}

void CheckLinkedLibraries()
{
    CheckPNGStructureSizes(png_access_version_number(), PNG_LIBPNG_VER);
    CheckPNGLibraryVersions(png_get_libpng_ver(nullptr), zlibVersion());
}

// What the header chunks say, copied out of libpng's structures.
struct TPngHeader {
    png_uint_32 Width = 0;
    png_uint_32 Height = 0;
    int BitDepth = 0;
    int ColorType = 0;
    int Interlace = 0;
    int Channels = 0;
    png_uint_32 Valid = 0; // PNG_INFO_* bits of the chunks seen
    bool HasBackground = false;
    png_color_16 Background{};
    bool HasGamma = false;
    double FileGamma = 0;
    int Orientation = 1;
};

struct TPngTransforms {
    bool Compose = false;
    png_color_16 Background{};
    int GammaCode = PNG_BACKGROUND_GAMMA_SCREEN;
    bool Strip16 = false;
    bool Bgr = false;
};

struct TPngLayout {
    int Passes = 1;
    std::size_t RowBytes = 0;
    int PaletteCount = 0;
    png_color Palette[PNG_MAX_PALETTE_LENGTH] = {};
};

struct TPngWriteHeader {
    png_uint_32 Width = 0;
    png_uint_32 Height = 0;
    int BitDepth = 8;
    int ColorType = PNG_COLOR_TYPE_RGB;
    int PaletteCount = 0;
    png_color Palette[PNG_MAX_PALETTE_LENGTH] = {};
    bool WriteGamma = false;
    double Gamma = 0;
    bool Bgr = false;
};

// The fenced functions.

bool FencedReadInfo(png_structp png, png_infop info, TPngHeader& header)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    header.Width = png_get_image_width(png, info);
    header.Height = png_get_image_height(png, info);
    header.BitDepth = png_get_bit_depth(png, info);
    header.ColorType = png_get_color_type(png, info);
    header.Interlace = png_get_interlace_type(png, info);
    header.Channels = png_get_channels(png, info);
    header.Valid = png_get_valid(png, info, 0xFFFFFFFFu);
    png_color_16p background = nullptr;
    if (png_get_bKGD(png, info, &background) != 0 && background) {
        header.HasBackground = true;
        header.Background = *background;
    }
    double gamma = 0;
    if (png_get_gAMA(png, info, &gamma) != 0) {
        header.HasGamma = true;
        header.FileGamma = gamma;
    }
    png_bytep exif = nullptr;
    png_uint_32 exifSize = 0;
    if (png_get_eXIf_1(png, info, &exifSize, &exif) != 0 && exif)
        header.Orientation = ExifOrientation(exif, exifSize);
    return true;
}

bool FencedPrepareRead(png_structp png, png_infop info, const TPngTransforms& transforms,
                       TPngLayout& layout)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    if (transforms.Compose)
        png_set_background(png, &transforms.Background, transforms.GammaCode, 0, 1.0);
    if (transforms.Strip16)
        png_set_strip_16(png);
    if (transforms.Bgr)
        png_set_bgr(png);
    layout.Passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout.RowBytes = png_get_rowbytes(png, info);
    // Taken after the update: composing with a background rewrites the palette entries.
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &palette, &count) != 0 && palette && count > 0) {
        layout.PaletteCount = std::min(count, PNG_MAX_PALETTE_LENGTH);
        std::memcpy(layout.Palette, palette, sizeof(png_color) * layout.PaletteCount);
    }
    return true;
}

bool FencedReadRow(png_structp png, png_bytep row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_rows(png, &row, nullptr, 1);
    return true;
}

bool FencedReadEnd(png_structp png)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_end(png, nullptr);
    return true;
}

bool FencedWriteInfo(png_structp png, png_infop info, const TPngWriteHeader& header)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, header.Width, header.Height, header.BitDepth, header.ColorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (header.ColorType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, header.Palette, header.PaletteCount);
    if (header.WriteGamma)
        png_set_gAMA(png, info, header.Gamma);
    png_write_info(png, info);
    if (header.Bgr)
        png_set_bgr(png);
    return true;
}

bool FencedWriteRow(png_structp png, png_bytep row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_write_rows(png, &row, 1);
    return true;
}

bool FencedWriteEnd(png_structp png, png_infop info)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_write_end(png, info);
    return true;
}

// libpng's read or write structures for one operation, destroyed however it ends.
class TPngSession {
public:
    TPngSession(TPGStream& stream, TPGWarningAction warnings, bool writing) : writing_(writing)
    {
        context_.Stream = &stream;
        context_.WarningAction = warnings;
        png_ = writing
                   ? png_create_write_struct(PNG_LIBPNG_VER_STRING, &context_, OnError, OnWarning)
                   : png_create_read_struct(PNG_LIBPNG_VER_STRING, &context_, OnError, OnWarning);
        if (!png_) {
            if (context_.Failure != pfNone)
                Raise(context_);
            Fail(PGMessage(pgmFailed,
                           writing ? "png_create_write_struct" : "png_create_read_struct"));
        }
        info_ = png_create_info_struct(png_);
        if (!info_) {
            Destroy();
            Fail(PGMessage(pgmFailed, "png_create_info_struct"));
        }
        if (writing) {
            png_set_write_fn(png_, &context_, OnWrite, OnFlush);
        } else {
            png_set_read_fn(png_, &context_, OnRead);
            // Newer libpng also warns about colour profiles it knows to be slightly wrong,
            // which many cameras and editors embed. Pictures are read with warnings raised,
            // so that check alone would turn countless good wallpapers away; the profile is
            // never used here anyway.
            png_set_option(png_, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
        }
    }
    ~TPngSession() { Destroy(); }
    TPngSession(const TPngSession&) = delete;
    TPngSession& operator=(const TPngSession&) = delete;

    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }

    // Raises what the callbacks recorded when a fenced call failed.
    void Check(bool succeeded) const
    {
        if (!succeeded)
            Raise(context_);
    }

private:
    void Destroy()
    {
        if (!png_)
            return;
        if (writing_)
            png_destroy_write_struct(&png_, info_ ? &info_ : nullptr);
        else
            png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
        png_ = nullptr;
        info_ = nullptr;
    }

    TPngContext context_;
    bool writing_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// A sample of the file's depth as an 8-bit channel.
int Channel8(unsigned value, int bitDepth)
{
    if (bitDepth == 16)
        return static_cast<int>(value >> 8);
    if (bitDepth >= 8)
        return static_cast<int>(value & 0xFF);
    const unsigned top = (1u << bitDepth) - 1;
    return static_cast<int>(std::min(value, top) * 255 / top);
}

// The image's fill colour as libpng wants a background given in the depth of its output: 8
// bits per channel (it composes 16-bit samples before reducing them and widens the colour
// itself), or the file's own depth for grey below 8 bits, whose pixels stay packed.
png_color_16 FillBackground(TColor fill, int bitDepth, bool grayFile)
{
    png_color_16 background{};
    background.red = static_cast<png_uint_16>(GetRValue(fill));
    background.green = static_cast<png_uint_16>(GetGValue(fill));
    background.blue = static_cast<png_uint_16>(GetBValue(fill));
    const int gray = (GetRValue(fill) + GetGValue(fill) + GetBValue(fill)) / 3;
    background.gray = static_cast<png_uint_16>(gray);
    if (grayFile && bitDepth < 8) {
        const int top = (1 << bitDepth) - 1;
        background.gray = static_cast<png_uint_16>((gray * top + 127) / 255);
        background.red = background.green = background.blue = background.gray;
    }
    return background;
}

void WidenTwoBitRows(TPixelGraphic& image)
{
    const int width = image.Width();
    std::vector<std::uint8_t> packed((static_cast<std::size_t>(width) + 3) / 4);
    for (int y = 0; y < image.Height(); ++y) {
        std::uint8_t* row = image.ScanLine(y);
        std::memcpy(packed.data(), row, packed.size());
        for (int x = width - 1; x >= 0; --x) {
            const int value = packed[x / 4] >> (6 - 2 * (x % 4)) & 3;
            std::uint8_t& byte = row[x / 2];
            byte = x % 2 ? static_cast<std::uint8_t>((byte & 0xF0) | value)
                         : static_cast<std::uint8_t>((byte & 0x0F) | value << 4);
        }
    }
}

// Deflate cannot expand data more than about 1032 times; an image that needs more than that
// from what is left of the file cannot be in it, so nothing is reserved for it.
constexpr std::uint64_t MaxDeflateRatio = 1032;

std::string ColorsText(int pixelDepth)
{
    switch (pixelDepth) {
    case 1:
        return "2";
    case 2:
        return "4";
    case 4:
        return "16";
    case 8:
        return "256";
    case 16:
        return "64K?";
    case 24:
        return "16.7M";
    case 32:
        return "16.7M?";
    default:
        return "?";
    }
}

} // namespace

void CheckPNGStructureSizes(unsigned linkedVersionNumber, unsigned builtVersionNumber)
{
    if (linkedVersionNumber / 100 != builtVersionNumber / 100)
        throw EPixelGraphic("The sizes of png_info, png_color, png_color_8, png_color_16, "
                            "png_text and png_time are different in libpng " +
                            VersionText(linkedVersionNumber) + " from those of libpng " +
                            VersionText(builtVersionNumber) + " that the program was built for");
}

void CheckPNGLibraryVersions(std::string_view libpngVersion, std::string_view zlibVersion)
{
    static const std::string libpngPrefix =
        std::to_string(PNG_LIBPNG_VER_MAJOR) + "." + std::to_string(PNG_LIBPNG_VER_MINOR) + ".";
    static const std::string zlibPrefix = [] {
        const std::string built = ZLIB_VERSION;
        return built.substr(0, built.find('.') + 1);
    }();
    if (!libpngVersion.starts_with(libpngPrefix) || !zlibVersion.starts_with(zlibPrefix))
        Fail("Invalid library version");
}

TPNGFileFormatReader::TPNGFileFormatReader()
    : TFileFormatReader("TPNGFileFormatReader", "png", "Portable Network Graphics", true)
{
}

bool TPNGFileFormatReader::CanRead(const TFileHeader& header) const
{
    static constexpr std::uint8_t Signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    return std::equal(std::begin(Signature), std::end(Signature), header.begin());
}

namespace {

void ReadRowsToSink(const TPngSession& session, const TPngHeader& header, const TPngLayout& layout,
                    TPixelGraphic& image, bool gray)
{
    const int width = static_cast<int>(header.Width);
    const int height = static_cast<int>(header.Height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (gray ? 1 : 3);
    if (layout.RowBytes > rowBytes)
        Fail(PGMessage(pgmInvalidSize, "row"));
    std::vector<std::uint8_t> row(rowBytes);
    TRowSink& sink = *image.RowSink;
    sink.Begin(width, height, gray);
    {
        const TProgressScope progress(image);
        for (int y = 0; y < height; ++y) {
            session.Check(FencedReadRow(session.Png(), row.data()));
            sink.Row(row.data());
            if (image.DoProgress(y, height))
                return;
        }
    }
    sink.End();
    session.Check(FencedReadEnd(session.Png()));
}

} // namespace

void TPNGFileFormatReader::Read(TPGStream& stream, TPixelGraphic& image, int index) const
{
    if (index != 0)
        Fail(PGMessage(pgmInvalid, "Index"));
    CheckLinkedLibraries();
    image.Gamma = DisplayGamma;

    const TPngSession session(stream, image.ReadWarningAction, false);
    TPngHeader header;
    session.Check(FencedReadInfo(session.Png(), session.Info(), header));

    const bool paletteFile = header.ColorType == PNG_COLOR_TYPE_PALETTE;
    const bool grayFile = (header.ColorType & PNG_COLOR_MASK_COLOR) == 0;
    TBitCount bitCount = bc24Bit;
    TPaletteIdent grays = pTrueColor;
    bool widen = false;
    if (header.Channels <= 2) {
        switch (header.BitDepth) {
        case 1:
            bitCount = bc1Bit;
            grays = pBlackWhite;
            break;
        case 2:
            bitCount = bc4Bit;
            grays = pGray4;
            widen = true;
            break;
        case 4:
            bitCount = bc4Bit;
            grays = pGray16;
            break;
        default:
            bitCount = bc8Bit;
            grays = pGray256;
            break;
        }
    }

    TPngTransforms transforms;
    bool fileBackground = false;
    TColor backgroundColor = 0;
    if ((header.Valid & PNG_INFO_tRNS) != 0 || (header.ColorType & PNG_COLOR_MASK_ALPHA) != 0) {
        transforms.Compose = true;
        if (header.HasBackground && PNGUseFileBackground) {
            const png_color_16& b = header.Background;
            fileBackground = true;
            transforms.GammaCode = PNG_BACKGROUND_GAMMA_FILE;
            if (paletteFile) {
                // libpng has filled in the entry's colour for the index.
                transforms.Background = b;
                backgroundColor = RGB(b.red & 0xFF, b.green & 0xFF, b.blue & 0xFF);
            } else {
                // Grey below 8 bits stays packed, so its background keeps the file's depth.
                const auto output = [&header](unsigned value) {
                    return static_cast<png_uint_16>(header.BitDepth == 16 ? value >> 8 : value);
                };
                png_color_16& out = transforms.Background;
                if (grayFile) {
                    out.red = out.green = out.blue = out.gray = output(b.gray);
                    const int gray = Channel8(b.gray, header.BitDepth);
                    backgroundColor = RGB(gray, gray, gray);
                } else {
                    out.red = output(b.red);
                    out.green = output(b.green);
                    out.blue = output(b.blue);
                    out.gray = static_cast<png_uint_16>((out.red + out.green + out.blue) / 3);
                    backgroundColor =
                        RGB(Channel8(b.red, header.BitDepth), Channel8(b.green, header.BitDepth),
                            Channel8(b.blue, header.BitDepth));
                }
            }
        } else {
            transforms.Background = FillBackground(image.FillColor(), header.BitDepth, grayFile);
            transforms.GammaCode = PNG_BACKGROUND_GAMMA_SCREEN;
        }
    }
    if (header.HasGamma && header.FileGamma > 0)
        image.Gamma = 1.0 / header.FileGamma;
    transforms.Strip16 = header.BitDepth == 16;
    transforms.Bgr = !grayFile && !paletteFile;

    TPngLayout layout;
    session.Check(FencedPrepareRead(session.Png(), session.Info(), transforms, layout));

    const std::uint64_t leastData = std::uint64_t{header.Width} * header.Height *
                                    static_cast<std::uint64_t>(header.BitDepth) *
                                    static_cast<std::uint64_t>(header.Channels) / 8;
    if (leastData / MaxDeflateRatio > stream.Remaining())
        Fail(PGMessage(pgmUnexpectedEndOfFile));

    // Rows of blue, green, red or of 8-bit gray, in one pass and needing no gamma correction
    // afterwards, can go to a sink as they are read.
    const bool plainRows = (bitCount == bc24Bit || (bitCount == bc8Bit && !paletteFile)) &&
                           layout.Passes == 1 && !GammaCorrectionNeeded(image.Gamma);
    if (plainRows && image.RowSink &&
        image.RowSink->Reduction(static_cast<int>(header.Width), static_cast<int>(header.Height),
                                 header.Orientation) > 0) {
        ReadRowsToSink(session, header, layout, image, bitCount == bc8Bit);
        return;
    }

    image.SetSize(static_cast<int>(header.Width), static_cast<int>(header.Height), bitCount);
    image.Orientation = header.Orientation;
    if (!image.Empty() && layout.RowBytes > static_cast<std::size_t>(image.RowStride()))
        Fail(PGMessage(pgmInvalidSize, "row"));
    if (paletteFile) {
        // A palette longer than the depth can address keeps only the entries pixels can use.
        const int count = std::min(layout.PaletteCount, image.PaletteCapacity());
        image.SetPaletteCount(count);
        for (int i = 0; i < count; ++i)
            image.SetPaletteEntry(
                i, RGB(layout.Palette[i].red, layout.Palette[i].green, layout.Palette[i].blue));
    } else {
        image.SetPaletteIdent(grays);
    }
    if (fileBackground) {
        // The fill value of a palette image is an index; the file names the entry itself.
        if (paletteFile && header.Background.index < image.PaletteCount())
            image.SetFillValue(header.Background.index);
        else if (!paletteFile)
            image.SetFillColor(backgroundColor);
    }

    bool aborted = false;
    {
        const TProgressScope progress(image);
        const int height = image.Height();
        if (!image.Empty()) {
            const int total = static_cast<int>(
                std::min<std::int64_t>(std::int64_t{height} * layout.Passes, INT32_MAX));
            for (int pass = 0; pass < layout.Passes && !aborted; ++pass) {
                for (int y = 0; y < height; ++y) {
                    session.Check(FencedReadRow(session.Png(), image.ScanLine(y)));
                    const std::int64_t step = std::int64_t{height} * pass + y;
                    if (image.DoProgress(static_cast<int>(std::min<std::int64_t>(step, total)),
                                         total)) {
                        aborted = true;
                        break;
                    }
                }
            }
            if (!aborted && widen)
                WidenTwoBitRows(image);
        }
    }
    if (!aborted)
        session.Check(FencedReadEnd(session.Png()));
}

void TPNGFileFormatReader::GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
    if (index != 0)
        Fail(PGMessage(pgmInvalidValue, "Index"));
    CheckLinkedLibraries();
    const TPngSession session(stream, pgwaRaise, false);
    TPngHeader header;
    session.Check(FencedReadInfo(session.Png(), session.Info(), header));

    info.Width = static_cast<int>(header.Width);
    info.Height = static_cast<int>(header.Height);
    info.Orientation = header.Orientation;
    info.BitsPerPixel = header.BitDepth * header.Channels;
    info.Colors = ColorsText(info.BitsPerPixel);
    if ((header.ColorType & PNG_COLOR_MASK_PALETTE) != 0)
        info.Subformat = "palette";
    else if ((header.ColorType & PNG_COLOR_MASK_COLOR) != 0)
        info.Subformat = "RGB";
    else
        info.Subformat = "GrayScale";
    if ((header.ColorType & PNG_COLOR_MASK_ALPHA) != 0)
        info.Subformat += ", alpha";
    if (header.Interlace == PNG_INTERLACE_ADAM7)
        info.Subformat += ", interlaced";

    static constexpr struct {
        png_uint_32 Flag;
        const char* Name;
    } Chunks[] = {{PNG_INFO_gAMA, "gama"}, {PNG_INFO_sBIT, "sbit"}, {PNG_INFO_cHRM, "chrm"},
                  {PNG_INFO_PLTE, "plte"}, {PNG_INFO_tRNS, "trns"}, {PNG_INFO_bKGD, "bkgd"},
                  {PNG_INFO_hIST, "hist"}, {PNG_INFO_pHYs, "phys"}, {PNG_INFO_oFFs, "offs"},
                  {PNG_INFO_tIME, "time"}};
    std::string remark;
    for (const auto& chunk : Chunks) {
        if ((header.Valid & chunk.Flag) == 0)
            continue;
        remark += remark.empty() ? "(" : ", ";
        remark += chunk.Name;
    }
    if (!remark.empty())
        info.Remark = remark + ")";
}

TPNGFileFormatWriter::TPNGFileFormatWriter()
    : TFileFormatWriter("TPNGFileFormatWriter", "png", "Portable Network Graphics",
                        AllColorResolutions)
{
}

void TPNGFileFormatWriter::Write(TPGStream& stream, TPixelGraphic& image) const
{
    CheckLinkedLibraries();
    const TPngSession session(stream, image.ReadWarningAction, true);

    TPngWriteHeader header;
    header.Width = static_cast<png_uint_32>(image.Width());
    header.Height = static_cast<png_uint_32>(image.Height());
    if (image.BitCount() == bc24Bit) {
        header.BitDepth = 8;
        header.ColorType = PNG_COLOR_TYPE_RGB;
        header.Bgr = true;
    } else {
        header.BitDepth = image.BitCountNum();
        header.ColorType =
            image.PaletteIdent() == pGray256 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
        header.PaletteCount = std::min(image.PaletteCount(), PNG_MAX_PALETTE_LENGTH);
        for (int i = 0; i < header.PaletteCount; ++i) {
            const TColor c = image.PaletteEntry(i);
            header.Palette[i] = {static_cast<png_byte>(GetRValue(c)),
                                 static_cast<png_byte>(GetGValue(c)),
                                 static_cast<png_byte>(GetBValue(c))};
        }
    }
    // A gamma that libpng cannot store (zero, negative, not a number) is left out rather than
    // written wrong.
    const float fileGamma = static_cast<float>(1.0 / image.Gamma);
    header.WriteGamma = PNGWriteGamma && std::isfinite(fileGamma) && fileGamma > 0;
    header.Gamma = fileGamma;
    session.Check(FencedWriteInfo(session.Png(), session.Info(), header));

    {
        const TProgressScope progress(image);
        const int height = image.Height();
        for (int y = 0; y < height; ++y) {
            session.Check(FencedWriteRow(session.Png(), image.ScanLine(y)));
            // Stopping half-way would leave a broken file, so an abort is not honoured.
            image.DoProgress(y, height - 1);
        }
    }
    session.Check(FencedWriteEnd(session.Png(), session.Info()));
}

} // namespace scenaria
