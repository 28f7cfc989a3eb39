#include "imaging/formats/WebP.h"
#include "imaging/formats/CodecInput.h"
#include "imaging/formats/Exif.h"

#include "imaging/Messages.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace scenaria {

namespace {

[[noreturn]] void Fail(const std::string& text)
{
    throw EPGWebPFileFormatReader("WEBP: " + text);
}

std::string StatusText(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        return "Out of memory";
    case VP8_STATUS_INVALID_PARAM:
        return PGMessage(pgmInvalidValue, "parameter");
    case VP8_STATUS_BITSTREAM_ERROR:
        return PGMessage(pgmInvalid, "Bitstream");
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return PGMessage(pgmNotSupportedSubformat);
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return PGMessage(pgmUnexpectedEndOfFile);
    default:
        return PGMessage(pgmFailed, "WebPDecode");
    }
}

// What the file's headers say, before any pixel is decoded.
struct TWebPHeader {
    int Width = 0; // of the canvas for an animation
    int Height = 0;
    bool Alpha = false;
    bool Animated = false;
    bool Lossless = false;
    int Frames = 1;
    int Orientation = 1;
};

struct TDemuxDelete {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct TAnimDelete {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
using TDemux = std::unique_ptr<WebPDemuxer, TDemuxDelete>;

int ChunkOrientation(const WebPChunkIterator& chunk)
{
    const std::uint8_t* bytes = chunk.chunk.bytes;
    const std::size_t size = chunk.chunk.size;
    // Some writers keep JPEG's "Exif\0\0" in front of the TIFF structure.
    if (size >= 6 && std::memcmp(bytes, "Exif\0\0", 6) == 0)
        return JpegApp1Orientation(bytes, size);
    return ExifOrientation(bytes, size);
}

// The demuxer checks the container (chunk sizes against the data) without decoding. A still
// picture cut short is left to the decoder, which says so; an animation must be whole.
TDemux OpenDemux(const std::vector<std::uint8_t>& data, bool whole)
{
    const WebPData input{data.data(), data.size()};
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    TDemux demux(WebPDemuxPartial(&input, &state));
    if (!demux || state == WEBP_DEMUX_PARSE_ERROR)
        Fail(PGMessage(pgmNotAFile, "WebP"));
    if (whole && state != WEBP_DEMUX_DONE)
        Fail(PGMessage(pgmUnexpectedEndOfFile));
    return demux;
}

TWebPHeader ReadHeader(const std::vector<std::uint8_t>& data)
{
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(data.data(), data.size(), &features);
    if (status != VP8_STATUS_OK)
        Fail(StatusText(status));
    TWebPHeader header;
    header.Width = features.width;
    header.Height = features.height;
    header.Alpha = features.has_alpha != 0;
    header.Animated = features.has_animation != 0;
    header.Lossless = features.format == 2;

    const TDemux demux = OpenDemux(data, header.Animated);
    if (header.Animated) {
        header.Width = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
        header.Height = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
        header.Frames = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT));
    }
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux.get(), "EXIF", 1, &chunk)) {
        header.Orientation = ChunkOrientation(chunk);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    return header;
}

void CheckBudget(const TWebPHeader& header)
{
    if (!WithinPixelBudget(static_cast<std::uint64_t>(header.Width),
                           static_cast<std::uint64_t>(header.Height)))
        throw EPGInvalidSize("WEBP: " + PGMessage(pgmInvalidSize, "image"));
}

// The still picture as RGBA rows, in a buffer of the budget's size.
std::vector<std::uint8_t> DecodeStill(const std::vector<std::uint8_t>& data,
                                      const TWebPHeader& header)
{
    const std::size_t stride = static_cast<std::size_t>(header.Width) * CodecBytesPerPixel;
    std::vector<std::uint8_t> rgba(stride * static_cast<std::size_t>(header.Height));
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        Fail(PGMessage(pgmFailed, "WebPInitDecoderConfig"));
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rgba.data();
    config.output.u.RGBA.stride = static_cast<int>(stride);
    config.output.u.RGBA.size = rgba.size();
    const VP8StatusCode status = WebPDecode(data.data(), data.size(), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        Fail(StatusText(status));
    return rgba;
}

// The first frame of an animation, composed on its canvas by libwebp, handed to `store` while
// the decoder still owns it: libwebp keeps two canvases already, so no third is made.
void DecodeFirstFrame(const std::vector<std::uint8_t>& data, const TWebPHeader& header,
                      const std::function<void(const std::uint8_t*)>& store)
{
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        Fail(PGMessage(pgmFailed, "WebPAnimDecoderOptionsInit"));
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData input{data.data(), data.size()};
    const std::unique_ptr<WebPAnimDecoder, TAnimDelete> decoder(
        WebPAnimDecoderNew(&input, &options));
    if (!decoder)
        Fail(PGMessage(pgmInvalid, "Animation"));
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info) ||
        info.canvas_width != static_cast<std::uint32_t>(header.Width) ||
        info.canvas_height != static_cast<std::uint32_t>(header.Height))
        Fail(PGMessage(pgmInvalid, "Animation"));
    std::uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp) || !frame)
        Fail(PGMessage(pgmFailed, "WebPAnimDecoderGetNext"));
    store(frame);
}

std::vector<std::uint8_t> ReadInput(TPGStream& stream)
{
    std::vector<std::uint8_t> data;
    if (!ReadCodecInput(stream, data))
        throw EPGInvalidSize("WEBP: " + PGMessage(pgmInvalidSize, "file"));
    return data;
}

} // namespace

TWEBPFileFormatReader::TWEBPFileFormatReader()
    : TFileFormatReader("TWEBPFileFormatReader", "webp", "WebP", true)
{
}

bool TWEBPFileFormatReader::CanRead(const TFileHeader& header) const
{
    return std::memcmp(header.data(), "RIFF", 4) == 0 &&
           std::memcmp(header.data() + 8, "WEBP", 4) == 0;
}

void TWEBPFileFormatReader::Read(TPGStream& stream, TPixelGraphic& image, int index) const
{
    if (index != 0)
        Fail(PGMessage(pgmInvalid, "Index"));
    image.Gamma = DisplayGamma;
    const std::vector<std::uint8_t> data = ReadInput(stream);
    const TWebPHeader header = ReadHeader(data);
    CheckBudget(header);
    const auto store = [&image, &header](const std::uint8_t* rgba) {
        image.SetSize(header.Width, header.Height, bc24Bit);
        image.Orientation = header.Orientation;
        StoreCodecRows(image, rgba, static_cast<std::size_t>(header.Width) * 4, 4);
    };
    if (header.Animated)
        DecodeFirstFrame(data, header, store);
    else
        store(DecodeStill(data, header).data());
}

void TWEBPFileFormatReader::GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const
{
    info = TPGImageInfo{};
    if (index != 0)
        Fail(PGMessage(pgmInvalidValue, "Index"));
    const TWebPHeader header = ReadHeader(ReadInput(stream));
    info.Width = header.Width;
    info.Height = header.Height;
    info.BitsPerPixel = header.Alpha ? 32 : 24;
    info.Colors = "16.7M";
    info.Orientation = header.Orientation;
    info.Subformat = header.Animated ? "animated" : header.Lossless ? "lossless" : "lossy";
    if (header.Alpha)
        info.Subformat += ", alpha";
    if (header.Animated)
        info.Remark = "(" + std::to_string(header.Frames) + " frames, the first is shown)";
}

} // namespace scenaria
