// Decoding and encoding large GIFs with the codec and with giflib (libgif) in the same run.
// Two pictures of 4000 x 3000: "photo" (noisy gradients in 256 colours: short strings, the
// table fills and clears often) and "graphic" (flat areas and bands: long strings). Each is
// encoded once by giflib and once by the codec, and both decoders read both files, so neither
// decoder meets only its own encoder's habits. bench/compare_giflib.py prints the ratios.

#include "imaging/gif/GifImage.h"
#include "imaging/gif/GifLzw.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

using namespace scenaria;
using TBytes = std::vector<std::uint8_t>;

constexpr int Width = 4000;
constexpr int Height = 3000;

TBytes MakePixels(bool photo)
{
    TBytes pixels(std::size_t(Width) * Height);
    std::mt19937 random(1);
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            int value;
            if (photo)
                value = (x / 16 + y / 12 + int(random() % 9)) % 256;
            else
                value = ((x / 200) * 7 + (y / 150) * 13 + ((x + y) % 97 < 3 ? 100 : 0)) % 256;
            pixels[std::size_t(y) * Width + x] = static_cast<std::uint8_t>(value);
        }
    }
    return pixels;
}

std::vector<GifColorType> Palette()
{
    std::vector<GifColorType> colors(256);
    for (int i = 0; i < 256; ++i)
        colors[std::size_t(i)] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 3)};
    return colors;
}

int WriteToVector(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<TBytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

TBytes EncodeWithGiflib(const TBytes& pixels)
{
    TBytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    std::vector<GifColorType> colors = Palette();
    ColorMapObject* map = GifMakeMapObject(256, colors.data());
    bool ok = gif && EGifPutScreenDesc(gif, Width, Height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, Width, Height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < Height; ++y)
        ok = EGifPutLine(gif, const_cast<GifByteType*>(&pixels[std::size_t(y) * Width]), Width) ==
             GIF_OK;
    GifFreeMapObject(map);
    if (!gif || EGifCloseFile(gif, &error) != GIF_OK || !ok)
        throw std::runtime_error("giflib could not encode the picture");
    return out;
}

TBytes EncodeWithCodec(const TBytes& pixels)
{
    TGIFImage image;
    const std::vector<GifColorType> colors = Palette();
    for (const auto& c : colors)
        image.Header().ColorMap().Add(TGIFColor{c.Red, c.Green, c.Blue});
    TGIFSubImage frame(nullptr);
    frame.SetSize(Width, Height);
    std::memcpy(frame.Data(), pixels.data(), pixels.size());
    image.Add(frame);
    TPGMemoryStream stream;
    image.SaveToStream(stream);
    return stream.Data();
}

struct TInputs {
    TBytes PhotoPixels = MakePixels(true);
    TBytes GraphicPixels = MakePixels(false);
    TBytes PhotoByGiflib = EncodeWithGiflib(PhotoPixels);
    TBytes GraphicByGiflib = EncodeWithGiflib(GraphicPixels);
    TBytes PhotoByCodec = EncodeWithCodec(PhotoPixels);
    TBytes GraphicByCodec = EncodeWithCodec(GraphicPixels);
};

const TInputs& Inputs()
{
    static const TInputs inputs;
    return inputs;
}

const TBytes& Input(int which)
{
    const TInputs& in = Inputs();
    const TBytes* all[4] = {&in.PhotoByGiflib, &in.GraphicByGiflib, &in.PhotoByCodec,
                            &in.GraphicByCodec};
    return *all[which];
}

const TBytes& SourcePixels(int which)
{
    return which % 2 == 0 ? Inputs().PhotoPixels : Inputs().GraphicPixels;
}

struct TReader {
    const TBytes* Bytes;
    std::size_t At = 0;
};

int ReadFromVector(GifFileType* gif, GifByteType* data, int length)
{
    auto* reader = static_cast<TReader*>(gif->UserData);
    const std::size_t n =
        std::min<std::size_t>(std::size_t(length), reader->Bytes->size() - reader->At);
    std::memcpy(data, reader->Bytes->data() + reader->At, n);
    reader->At += n;
    return int(n);
}

void DecodeCodec(benchmark::State& state)
{
    const TBytes& bytes = Input(int(state.range(0)));
    for (auto _ : state) {
        TGIFImage image;
        TPGBufferStream stream(bytes.data(), bytes.size());
        image.LoadFromStream(stream);
        benchmark::DoNotOptimize(image.Images()[0].Data());
        if (image.Images()[0].DataSize() != Width * Height ||
            std::memcmp(image.Images()[0].Data(), SourcePixels(int(state.range(0))).data(),
                        std::size_t(Width) * Height) != 0)
            state.SkipWithError("the codec decoded other pixels");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * Width * Height);
}

void DecodeGiflib(benchmark::State& state)
{
    const TBytes& bytes = Input(int(state.range(0)));
    for (auto _ : state) {
        TReader reader{&bytes};
        int error = 0;
        GifFileType* gif = DGifOpen(&reader, ReadFromVector, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) {
            state.SkipWithError("giflib failed");
            break;
        }
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        if (std::memcmp(gif->SavedImages[0].RasterBits, SourcePixels(int(state.range(0))).data(),
                        std::size_t(Width) * Height) != 0)
            state.SkipWithError("giflib decoded other pixels");
        DGifCloseFile(gif, &error);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * Width * Height);
}

void EncodeCodec(benchmark::State& state)
{
    const TBytes& pixels = state.range(0) == 0 ? Inputs().PhotoPixels : Inputs().GraphicPixels;
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeWithCodec(pixels));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * Width * Height);
}

void EncodeGiflib(benchmark::State& state)
{
    const TBytes& pixels = state.range(0) == 0 ? Inputs().PhotoPixels : Inputs().GraphicPixels;
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeWithGiflib(pixels));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * Width * Height);
}

// Argument: 0 photo and 1 graphic encoded by giflib, 2 and 3 the same encoded by the codec.
BENCHMARK(DecodeCodec)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeGiflib)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
// Argument: 0 photo, 1 graphic.
BENCHMARK(EncodeCodec)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeGiflib)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
