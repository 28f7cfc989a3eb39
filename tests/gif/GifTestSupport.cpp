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
    TPGBufferStream stream(bytes.data(), bytes.size());
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

void MakeBanner(TGIFImage& image)
{
    image.Clear();
    for (int i = 0; i < 256; ++i)
        image.Header().ColorMap().Add(
            TGIFColor{std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t((i * 7) & 0xFF)});
    image.Header().Descriptor.BackgroundColorIndex = 0;
    const int delays[4] = {50, 100, 100, 200};
    for (int n = 0; n < 4; ++n) {
        TGIFSubImage frame(nullptr);
        const bool small = n == 3;
        frame.SetLeft(small ? 20 : 0);
        frame.SetTop(small ? 10 : 0);
        frame.SetSize(small ? 100 : 320, small ? 40 : 80);
        frame.SetInterlaced(small);
        if (n == 0) {
            auto loop = std::make_unique<TGIFAppExtNSLoop>(&frame);
            loop->Loops = 0;
            frame.Extensions().Add(std::move(loop));
        }
        auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
        control->SetDisposal(1);
        control->Delay = static_cast<std::uint16_t>(delays[n]);
        control->TransparentColorIndex = 255;
        control->SetTransparent(true);
        frame.Extensions().Add(std::move(control));
        for (int y = 0; y < frame.Height(); ++y) {
            for (int x = 0; x < frame.Width(); ++x) {
                // Bands that move from frame to frame, with transparent holes.
                const int value = ((x + 16 * n) / 8 + y / 4) % 255;
                const bool hole = ((x / 10 + y / 10 + n) % 5) == 0;
                frame.Data()[std::size_t(y) * frame.Width() + x] =
                    static_cast<std::uint8_t>(hole ? 255 : value);
            }
        }
        image.Add(frame);
    }
    TGIFSubImage closing(nullptr);
    auto comment = std::make_unique<TGIFCommentExtension>(&closing);
    comment->Text = {"Scenaria banner"};
    closing.Extensions().Add(std::move(comment));
    image.Add(closing);
}

} // namespace scenaria::testing
