#include "GifTestSupport.h"

#include <algorithm>

namespace scenaria::testing {

TBytes PackCodes(const std::vector<std::pair<int, int>>& codes)
{
    TBytes out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const auto& [code, width] : codes) {
        bits |= std::uint32_t(code) << count;
        count += width;
        while (count >= 8) {
            out.push_back(static_cast<std::uint8_t>(bits));
            bits >>= 8;
            count -= 8;
        }
    }
    if (count > 0)
        out.push_back(static_cast<std::uint8_t>(bits));
    return out;
}

TBytes SubBlocks(const TBytes& data, int blockSize)
{
    TBytes out;
    for (std::size_t at = 0; at < data.size(); at += std::size_t(blockSize)) {
        const std::size_t n = std::min<std::size_t>(std::size_t(blockSize), data.size() - at);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    return out;
}

TGifBuilder& TGifBuilder::Codes(int initialCodeSize, const std::vector<std::pair<int, int>>& codes,
                                int blockSize, bool terminate)
{
    Raw({initialCodeSize});
    Raw(SubBlocks(PackCodes(codes), blockSize));
    if (terminate)
        Raw({0});
    return *this;
}

TGifBuilder& TGifBuilder::LiteralData(const TBytes& pixels, int initialCodeSize)
{
    // After a clear code the decoder adds one entry per code from the second on; the width
    // grows when the next free code reaches 2^width. Sending a clear code before that happens
    // keeps every code at the first width.
    const int clear = 1 << initialCodeSize;
    const int width = initialCodeSize + 1;
    // codes a run may hold so that the end code still goes out at the first width
    const int perRun = std::max(1, (1 << width) - clear - 2);
    std::vector<std::pair<int, int>> codes;
    int inRun = 0;
    for (std::uint8_t pixel : pixels) {
        if (inRun == 0)
            codes.emplace_back(clear, width);
        codes.emplace_back(pixel, width);
        if (++inRun == perRun)
            inRun = 0;
    }
    codes.emplace_back(clear + 1, width);
    return Codes(initialCodeSize, codes);
}

void TGifEvents::Attach(TGIFImage& image)
{
    image.WarningHandler = [this](const TGIFItem*, int severity, const std::string& message) {
        Warnings.push_back(
            severity == 1 ? message : message + " (severity " + std::to_string(severity) + ")");
    };
    image.OnProgress = [this](const TGIFItem*, TGIFProgressStage stage, int percent,
                              const std::string& message) {
        const char* name = stage == gpsStarting ? "start" : stage == gpsRunning ? "run" : "end";
        Progress.push_back(std::string(name) + " " + std::to_string(percent) + " " + message);
    };
}

std::string LoadGif(TGIFImage& image, const TBytes& bytes)
{
    TGIFMemoryReader stream(bytes.data(), bytes.size());
    try {
        image.LoadFromStream(stream);
    } catch (const GIFException& e) {
        return e.what();
    }
    return "";
}

TBytes FramePixels(const TGIFSubImage& frame)
{
    return TBytes(frame.Data(), frame.Data() + frame.DataSize());
}

} // namespace scenaria::testing
