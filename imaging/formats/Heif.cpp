#include "imaging/formats/Heif.h"
#include "imaging/formats/CodecInput.h"

#include "imaging/Messages.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace scenaria {

namespace {

// libheif refuses every image it meets with a side longer than this: the file's own sizes while
// it parses them, and each grid tile and decoder output before it reserves a plane for it. A
// hostile tile can claim a size the file's own sizes do not show (a 24 x 528 grid whose HEVC
// tile decodes as 55 015 x 65 519 did so in fuzzing), so this limit, not only the pixel budget
// of the whole picture (imaging/formats/CodecInput.h), bounds what one plane may take: 16 384
// is the side of the budget's square. Pictures with a longer side are refused.
constexpr int MaxSide = 16384;

struct TContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct THandleRelease {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct TImageRelease {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct TOptionsFree {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
using TContext = std::unique_ptr<heif_context, TContextFree>;
using THandle = std::unique_ptr<heif_image_handle, THandleRelease>;
using TImage = std::unique_ptr<heif_image, TImageRelease>;

// What the file says about its primary image, before anything is decoded.
struct THeifHeader {
    int Width = 0;
    int Height = 0;
    bool Alpha = false;
    int Bits = 8;
};

// A file whose primary image libheif has found, with the tag of the reader that opened it.
struct THeifFile {
    const std::string& Tag;
    std::vector<std::uint8_t> Data;
    TContext Context;
    THandle Handle;

    [[noreturn]] void Fail(const std::string& text) const
    {
        throw EPGHEIFFileFormatReader(Tag + ": " + text);
    }
    void Check(const heif_error& error) const
    {
        if (error.code == heif_error_Ok)
            return;
        std::string text = error.message ? error.message : "";
        // Some of libheif's messages end in a line break.
        while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        Fail(text.empty() ? PGMessage(pgmFailed, "libheif") : text);
    }
};

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
}

void Open(THeifFile& file, TPGStream& stream)
{
    if (!ReadCodecInput(stream, file.Data))
        throw EPGInvalidSize(file.Tag + ": " + PGMessage(pgmInvalidSize, "file"));
    InitLibrary();
    file.Context.reset(heif_context_alloc());
    if (!file.Context)
        file.Fail(PGMessage(pgmFailed, "heif_context_alloc"));
    heif_context_set_maximum_image_size_limit(file.Context.get(), MaxSide);
    heif_context_set_max_decoding_threads(file.Context.get(), 0);
    file.Check(heif_context_read_from_memory_without_copy(file.Context.get(), file.Data.data(),
                                                          file.Data.size(), nullptr));
    heif_image_handle* handle = nullptr;
    file.Check(heif_context_get_primary_image_handle(file.Context.get(), &handle));
    file.Handle.reset(handle);
}

THeifHeader HeaderOf(const THeifFile& file)
{
    THeifHeader header;
    const heif_image_handle* handle = file.Handle.get();
    header.Width = heif_image_handle_get_width(handle);
    header.Height = heif_image_handle_get_height(handle);
    header.Alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    header.Bits = heif_image_handle_get_luma_bits_per_pixel(handle);
    return header;
}

void CheckBudget(const THeifFile& file, const THeifHeader& header)
{
    if (header.Width <= 0 || header.Height <= 0)
        file.Fail(PGMessage(pgmZeroSize));
    if (!WithinPixelBudget(static_cast<std::uint64_t>(header.Width),
                           static_cast<std::uint64_t>(header.Height)))
        throw EPGInvalidSize(file.Tag + ": " + PGMessage(pgmInvalidSize, "image"));
}

// The primary image as 8-bit interleaved RGB or RGBA, turned as the file says.
TImage Decode(const THeifFile& file, const THeifHeader& header)
{
    const std::unique_ptr<heif_decoding_options, TOptionsFree> options(
        heif_decoding_options_alloc());
    if (!options)
        file.Fail(PGMessage(pgmFailed, "heif_decoding_options_alloc"));
    options->convert_hdr_to_8bit = 1;
    heif_image* image = nullptr;
    file.Check(heif_decode_image(
        file.Handle.get(), &image, heif_colorspace_RGB,
        header.Alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
    TImage decoded(image);
    if (!decoded)
        file.Fail(PGMessage(pgmFailed, "heif_decode_image"));
    return decoded;
}

// The decoded plane, checked to be what was asked for before a row of it is read.
const std::uint8_t* PlaneOf(const THeifFile& file, const heif_image* image,
                            const THeifHeader& header, int& stride)
{
    const heif_channel channel = heif_channel_interleaved;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image, channel, &stride);
    const int channels = header.Alpha ? 4 : 3;
    if (!plane || heif_image_get_width(image, channel) != header.Width ||
        heif_image_get_height(image, channel) != header.Height ||
        heif_image_get_bits_per_pixel(image, channel) != 8 * channels ||
        stride < header.Width * channels)
        file.Fail(PGMessage(pgmFailed, "heif_decode_image"));
    return plane;
}

std::string CompressionName(const THeifFile& file)
{
    const heif_brand2 brand =
        heif_read_main_brand(file.Data.data(), static_cast<int>(file.Data.size()));
    if (brand == heif_fourcc('a', 'v', 'i', 'f') || brand == heif_fourcc('a', 'v', 'i', 's'))
        return "AV1";
    if (brand == heif_fourcc('m', 'i', 'f', '1') || brand == heif_fourcc('m', 's', 'f', '1'))
        return "HEIF";
    return "HEVC";
}

} // namespace

THEIFFamilyReader::THEIFFamilyReader(std::string className, std::string extension,
                                     std::string description, std::string tag,
                                     std::vector<std::string> brands)
    : TFileFormatReader(std::move(className), std::move(extension), std::move(description), true),
      tag_(std::move(tag)), brands_(std::move(brands))
{
}

bool THEIFFamilyReader::CanRead(const TFileHeader& header) const
{
    if (std::memcmp(header.data() + 4, "ftyp", 4) != 0)
        return false;
    const std::string brand(reinterpret_cast<const char*>(header.data()) + 8, 4);
    return std::find(brands_.begin(), brands_.end(), brand) != brands_.end();
}

void THEIFFamilyReader::Read(TPGStream& stream, TPixelGraphic& image, int index) const
{
    THeifFile file{tag_, {}, nullptr, nullptr};
    if (index != 0)
        file.Fail(PGMessage(pgmInvalid, "Index"));
    image.Gamma = DisplayGamma;
    Open(file, stream);
    const THeifHeader header = HeaderOf(file);
    CheckBudget(file, header);
    const TImage decoded = Decode(file, header);
    int stride = 0;
    const std::uint8_t* plane = PlaneOf(file, decoded.get(), header, stride);
    image.SetSize(header.Width, header.Height, bc24Bit);
    image.Orientation = 1;
    StoreCodecRows(image, plane, static_cast<std::size_t>(stride), header.Alpha ? 4 : 3);
}

void THEIFFamilyReader::GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
    THeifFile file{tag_, {}, nullptr, nullptr};
    if (index != 0)
        file.Fail(PGMessage(pgmInvalidValue, "Index"));
    Open(file, stream);
    const THeifHeader header = HeaderOf(file);
    info.ImageCount = heif_context_get_number_of_top_level_images(file.Context.get());
    info.Width = header.Width;
    info.Height = header.Height;
    info.BitsPerPixel = (header.Alpha ? 4 : 3) * std::max(header.Bits, 0);
    info.Colors = header.Bits > 8 ? "1073.7M" : "16.7M";
    info.Subformat = CompressionName(file) + ", " + std::to_string(header.Bits) + " bit";
    if (header.Alpha)
        info.Subformat += ", alpha";
    const heif_image_handle* handle = file.Handle.get();
    if (heif_image_handle_get_ispe_width(handle) != header.Width ||
        heif_image_handle_get_ispe_height(handle) != header.Height)
        info.Remark = "(turned or cropped by the file)";
}

THEICFileFormatReader::THEICFileFormatReader()
    : THEIFFamilyReader("THEICFileFormatReader", "heic", "High Efficiency Image (HEVC)", "HEIF",
                        {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs"})
{
}

THEIFFileFormatReader::THEIFFileFormatReader()
    : THEIFFamilyReader("THEIFFileFormatReader", "heif", "High Efficiency Image File", "HEIF",
                        {"mif1", "msf1", "mif2"})
{
}

TAVIFFileFormatReader::TAVIFFileFormatReader()
    : THEIFFamilyReader("TAVIFFileFormatReader", "avif", "AV1 Image File", "AVIF", {"avif", "avis"})
{
}

} // namespace scenaria
