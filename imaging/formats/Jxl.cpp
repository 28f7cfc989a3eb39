#include "imaging/formats/Jxl.h"
#include "imaging/formats/CodecInput.h"

#include "imaging/Messages.h"

#include <jxl/decode.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace scenaria {

namespace {

[[noreturn]] void Fail(const std::string& text)
{
    throw EPGJXLFileFormatReader("JXL: " + text);
}

struct TDecoderDestroy {
    void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};
using TDecoder = std::unique_ptr<JxlDecoder, TDecoderDestroy>;

// One decoding session over the whole file: the basic information only, or the pixels of the
// first frame too.
struct TJxlJob {
    std::vector<std::uint8_t> Data;
    bool WantPixels = false;
    JxlBasicInfo Info{};
    bool HaveInfo = false;
    std::vector<std::uint8_t> Pixels; // RGBA rows, top down, as stored (not turned)
};

void CheckStatus(JxlDecoderStatus status, const char* call)
{
    if (status != JXL_DEC_SUCCESS)
        Fail(PGMessage(pgmFailed, call));
}

TDecoder StartDecoder(const TJxlJob& job)
{
    TDecoder decoder(JxlDecoderCreate(nullptr));
    if (!decoder)
        Fail(PGMessage(pgmFailed, "JxlDecoderCreate"));
    const int events = JXL_DEC_BASIC_INFO | (job.WantPixels ? JXL_DEC_FULL_IMAGE : 0);
    CheckStatus(JxlDecoderSubscribeEvents(decoder.get(), events), "JxlDecoderSubscribeEvents");
    CheckStatus(JxlDecoderSetKeepOrientation(decoder.get(), JXL_TRUE),
                "JxlDecoderSetKeepOrientation");
    CheckStatus(JxlDecoderSetInput(decoder.get(), job.Data.data(), job.Data.size()),
                "JxlDecoderSetInput");
    JxlDecoderCloseInput(decoder.get());
    return decoder;
}

constexpr JxlPixelFormat OutputFormat{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};

void TakeBasicInfo(JxlDecoder* decoder, TJxlJob& job)
{
    CheckStatus(JxlDecoderGetBasicInfo(decoder, &job.Info), "JxlDecoderGetBasicInfo");
    job.HaveInfo = true;
    if (job.WantPixels && !WithinPixelBudget(job.Info.xsize, job.Info.ysize))
        throw EPGInvalidSize("JXL: " + PGMessage(pgmInvalidSize, "image"));
}

// The decoder asks for the frame's buffer once it knows the frame; its size must be what the
// basic information, already checked against the budget, promised.
void GiveBuffer(JxlDecoder* decoder, TJxlJob& job)
{
    std::size_t size = 0;
    CheckStatus(JxlDecoderImageOutBufferSize(decoder, &OutputFormat, &size),
                "JxlDecoderImageOutBufferSize");
    const std::uint64_t expected =
        std::uint64_t{job.Info.xsize} * job.Info.ysize * CodecBytesPerPixel;
    if (!job.HaveInfo || size != expected)
        Fail(PGMessage(pgmInvalidSize, "image"));
    job.Pixels.resize(size);
    CheckStatus(JxlDecoderSetImageOutBuffer(decoder, &OutputFormat, job.Pixels.data(), size),
                "JxlDecoderSetImageOutBuffer");
}

// Runs the decoder until it has what the job wants; every other outcome is an error.
void RunDecoder(TJxlJob& job)
{
    const TDecoder decoder = StartDecoder(job);
    for (;;) {
        switch (JxlDecoderProcessInput(decoder.get())) {
        case JXL_DEC_BASIC_INFO:
            TakeBasicInfo(decoder.get(), job);
            if (!job.WantPixels)
                return;
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            GiveBuffer(decoder.get(), job);
            break;
        case JXL_DEC_FULL_IMAGE:
            return; // the first frame; an animation's others are not needed
        case JXL_DEC_NEED_MORE_INPUT:
            Fail(PGMessage(pgmUnexpectedEndOfFile));
        case JXL_DEC_SUCCESS:
            Fail(PGMessage(pgmIsEmpty, "Image"));
        default:
            Fail(PGMessage(pgmInvalid, "Codestream"));
        }
    }
}

void Decode(TPGStream& stream, TJxlJob& job)
{
    if (!ReadCodecInput(stream, job.Data))
        throw EPGInvalidSize("JXL: " + PGMessage(pgmInvalidSize, "file"));
    const JxlSignature signature = JxlSignatureCheck(job.Data.data(), job.Data.size());
    if (signature != JXL_SIG_CODESTREAM && signature != JXL_SIG_CONTAINER)
        Fail(PGMessage(pgmNotAFile, "JPEG XL"));
    RunDecoder(job);
}

int OrientationOf(const JxlBasicInfo& info)
{
    const int orientation = static_cast<int>(info.orientation);
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

} // namespace

TJXLFileFormatReader::TJXLFileFormatReader()
    : TFileFormatReader("TJXLFileFormatReader", "jxl", "JPEG XL", true)
{
}

bool TJXLFileFormatReader::CanRead(const TFileHeader& header) const
{
    static constexpr std::uint8_t Container[12] = {0,   0,   0,    12,   'J',  'X',
                                                   'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    return (header[0] == 0xFF && header[1] == 0x0A) ||
           std::memcmp(header.data(), Container, sizeof Container) == 0;
}

void TJXLFileFormatReader::Read(TPGStream& stream, TPixelGraphic& image, int index) const
{
    if (index != 0)
        Fail(PGMessage(pgmInvalid, "Index"));
    image.Gamma = DisplayGamma;
    TJxlJob job;
    job.WantPixels = true;
    Decode(stream, job);
    const int width = static_cast<int>(job.Info.xsize);
    image.SetSize(width, static_cast<int>(job.Info.ysize), bc24Bit);
    image.Orientation = OrientationOf(job.Info);
    StoreCodecRows(image, job.Pixels.data(), static_cast<std::size_t>(width) * 4, 4);
}

void TJXLFileFormatReader::GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
    if (index != 0)
        Fail(PGMessage(pgmInvalidValue, "Index"));
    TJxlJob job;
    Decode(stream, job);
    const JxlBasicInfo& basic = job.Info;
    info.Width = static_cast<int>(std::min<std::uint32_t>(basic.xsize, 0x7FFFFFFF));
    info.Height = static_cast<int>(std::min<std::uint32_t>(basic.ysize, 0x7FFFFFFF));
    info.Orientation = OrientationOf(basic);
    const bool alpha = basic.alpha_bits > 0;
    const int channels = static_cast<int>(basic.num_color_channels) + (alpha ? 1 : 0);
    info.BitsPerPixel = channels * static_cast<int>(basic.bits_per_sample);
    info.Colors = basic.num_color_channels == 1 ? "256" : "16.7M";
    info.Subformat = std::string(basic.num_color_channels == 1 ? "GrayScale" : "RGB") + ", " +
                     std::to_string(basic.bits_per_sample) + " bit";
    if (alpha)
        info.Subformat += ", alpha";
    if (basic.have_animation)
        info.Subformat += ", animated";
}

} // namespace scenaria
