// The LZW decoder's bit reader, table and interlacing, and the encoder that must produce data
// any decoder reads back.

#include "GifTestSupport.h"

#include "imaging/gif/GifImage.h"
#include "imaging/gif/GifLzw.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace scenaria {
namespace {

using testing::FramePixels;
using testing::LoadGif;
using testing::PackCodes;
using testing::SubBlocks;
using testing::TBytes;
using testing::TGifBuilder;
using testing::TGifEvents;

using TCodes = std::vector<std::pair<int, int>>;

// Loads one frame of the given size made of the given data and returns its pixels.
struct TDecoded {
    std::string Error;
    std::vector<std::string> Warnings;
    TBytes Pixels;
    int Frames = 0;
};

TDecoded DecodeFrame(int width, int height, const TBytes& data, int packed = 0,
                     const TBytes& after = {0x3B})
{
    TGifBuilder gif;
    gif.Header(width, height, 8).Descriptor(0, 0, width, height, packed).Raw(data).Raw(after);
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    TDecoded result;
    result.Error = LoadGif(image, gif.Bytes);
    result.Warnings = events.Warnings;
    result.Frames = image.Images().Count();
    if (result.Frames > 0)
        result.Pixels = FramePixels(image.Images()[0]);
    return result;
}

TBytes CodeData(int initialCodeSize, const TCodes& codes, int blockSize = 255)
{
    TBytes data{static_cast<std::uint8_t>(initialCodeSize)};
    const TBytes blocks = SubBlocks(PackCodes(codes), blockSize);
    data.insert(data.end(), blocks.begin(), blocks.end());
    data.push_back(0);
    return data;
}

// The width at which a decoder reads each code: one entry is added per code after the first
// that follows a clear code, and the width grows when the next free code reaches 2^width.
TCodes WithWidths(int initialCodeSize, const std::vector<int>& codes)
{
    const int clear = 1 << initialCodeSize;
    int width = initialCodeSize + 1, next = clear + 2;
    bool first = true;
    TCodes out;
    for (int code : codes) {
        out.emplace_back(code, width);
        if (code == clear) {
            width = initialCodeSize + 1;
            next = clear + 2;
            first = true;
        } else if (first) {
            first = false;
        } else if (next < 4096) {
            ++next;
            if (next >= (1 << width) && width < 12)
                ++width;
        }
    }
    return out;
}

TEST(GifDecoder, DataWithoutLeadingClearCodeDecodes)
{
    const auto r = DecodeFrame(2, 2, CodeData(2, WithWidths(2, {1, 2, 3, 0, 5})));
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Pixels, (TBytes{1, 2, 3, 0}));
    EXPECT_TRUE(r.Warnings.empty());
}

TEST(GifDecoder, SeveralClearCodesAreAllConsumedBeforeTheFirstPixel)
{
    const auto r = DecodeFrame(2, 2, CodeData(2, WithWidths(2, {4, 4, 4, 3, 4, 4, 2, 1, 0, 5})));
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Pixels, (TBytes{3, 2, 1, 0}));
    EXPECT_TRUE(r.Warnings.empty());
}

TEST(GifDecoder, CodeOfTheNextFreeEntryIsPreviousStringPlusItsFirstCharacter)
{
    // 6 is not in the table when it arrives: "1" + "1". Then 7 = "11" + "1" likewise.
    const auto r = DecodeFrame(8, 1, CodeData(2, WithWidths(2, {4, 1, 6, 7, 2, 5})));
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Pixels, (TBytes{1, 1, 1, 1, 1, 1, 2, 0}));
}

TEST(GifDecoder, CodesStraddlingSubBlocksAreReadWithTheCarryBytes)
{
    std::vector<int> codes{256};
    TBytes expected;
    for (int i = 0; i < 40; ++i) {
        codes.push_back((i * 37) % 256);
        expected.push_back(static_cast<std::uint8_t>((i * 37) % 256));
    }
    codes.push_back(257);
    for (int blockSize : {1, 2, 3, 7, 254, 255}) {
        const auto r = DecodeFrame(8, 5, CodeData(8, WithWidths(8, codes), blockSize));
        EXPECT_EQ(r.Error, "") << blockSize;
        EXPECT_EQ(r.Pixels, expected) << blockSize;
        EXPECT_TRUE(r.Warnings.empty()) << blockSize;
    }
}

TEST(GifDecoder, FullTableIsReadAtTwelveBitsUntilTheNextClear)
{
    // 3839 literal codes fill entries 258 to 4095; then more literals at 12 bits, a code for
    // the last entry, a clear code and literals at 9 bits again.
    std::vector<int> codes{256};
    TBytes expected;
    std::mt19937 random(7);
    for (int i = 0; i < 3839 + 50; ++i) {
        const int literal = int(random() % 256);
        codes.push_back(literal);
        expected.push_back(static_cast<std::uint8_t>(literal));
    }
    const TCodes widths = WithWidths(8, codes);
    EXPECT_EQ(widths.back().second, 12);
    // Entry 4095 = code 3838's string + code 3839's first character.
    codes.push_back(4095);
    expected.push_back(expected[3837]);
    expected.push_back(expected[3838]);
    codes.insert(codes.end(), {256, 9, 8, 257});
    expected.insert(expected.end(), {9, 8});
    const TCodes all = WithWidths(8, codes);
    EXPECT_EQ(all[all.size() - 4].second, 12); // the clear code
    EXPECT_EQ(all.back().second, 9);

    const int width = 64;
    const int height = int(expected.size()) / width + 1;
    expected.resize(std::size_t(width * height), 0);
    const auto r = DecodeFrame(width, height, CodeData(8, all));
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Pixels, expected);
}

TEST(GifDecoder, InterlacedFramesFillEveryRowOnceInPassOrder)
{
    const std::map<int, std::vector<int>> order = {
        {1, {0}},          {2, {0, 1}},          {3, {0, 2, 1}},
        {4, {0, 2, 1, 3}}, {5, {0, 4, 2, 1, 3}}, {9, {0, 8, 4, 2, 6, 1, 3, 5, 7}},
    };
    for (const auto& [height, rows] : order) {
        TGIFInterlacedRows visit(height);
        std::vector<int> seen;
        for (int i = 0; i < height; ++i) {
            seen.push_back(visit.Row());
            visit.Next();
        }
        EXPECT_EQ(seen, rows) << height;

        // Each stream row carries its number in pass order (two pixels a row).
        TBytes pixels;
        for (int i = 0; i < height; ++i)
            pixels.insert(pixels.end(), {std::uint8_t(i), std::uint8_t(i)});
        TGifBuilder data;
        data.LiteralData(pixels, 4);
        const auto r = DecodeFrame(2, height, data.Bytes, 0x40);
        ASSERT_EQ(r.Error, "") << height;
        TBytes expected(std::size_t(2 * height));
        for (int i = 0; i < height; ++i)
            expected[std::size_t(2 * rows[std::size_t(i)])] =
                expected[std::size_t(2 * rows[std::size_t(i)] + 1)] = std::uint8_t(i);
        EXPECT_EQ(r.Pixels, expected) << height;
    }
    // Rows of larger frames are each visited exactly once.
    for (int height = 1; height < 70; ++height) {
        TGIFInterlacedRows visit(height);
        std::set<int> seen;
        for (int i = 0; i < height; ++i) {
            ASSERT_LT(visit.Row(), height);
            seen.insert(visit.Row());
            visit.Next();
        }
        EXPECT_EQ(int(seen.size()), height);
    }
}

TEST(GifDecoder, EarlyEndWarnsOnceOnlyWhenTheLastCodeUsedEveryBit)
{
    // Eight 3-bit codes: exactly three bytes, then the terminator; nine pixels wanted.
    const TCodes exact = {{4, 3}, {1, 3}, {2, 3}, {4, 3}, {3, 3}, {1, 3}, {4, 3}, {2, 3}};
    auto r = DecodeFrame(3, 3, CodeData(2, exact));
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Pixels, (TBytes{1, 2, 3, 1, 2, 0, 0, 0, 0}));
    EXPECT_EQ(r.Warnings, (std::vector<std::string>{"Decoder bit buffer under-run"}));

    // Five codes leave one bit over: no warning; the pixels decoded so far stay.
    const TCodes leftover = {{4, 3}, {1, 3}, {2, 3}, {4, 3}, {3, 3}};
    r = DecodeFrame(3, 3, CodeData(2, leftover));
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(TBytes(r.Pixels.begin(), r.Pixels.begin() + 3), (TBytes{1, 2, 3}));
    EXPECT_TRUE(r.Warnings.empty());
}

TEST(GifDecoder, EarlyEndLeavesTheStreamAfterTheEmptySubBlock)
{
    TGifBuilder gif;
    gif.Header(3, 3, 2)
        .Descriptor(0, 0, 3, 3)
        .Codes(2, {{4, 3}, {1, 3}, {2, 3}, {4, 3}, {3, 3}, {1, 3}, {4, 3}, {2, 3}});
    gif.Descriptor(0, 0, 1, 1).LiteralData({3}).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    ASSERT_EQ(image.Images().Count(), 2);
    EXPECT_EQ(FramePixels(image.Images()[1]), (TBytes{3}));
}

TEST(GifDecoder, EndCodeBeforeTheLastPixelKeepsTheRestAtZeroAndReadsNoFurther)
{
    // Two pixels of four, then the end code with bits to spare in its sub-block: the next
    // block must be read as the next frame, not as more data.
    TGifBuilder gif;
    gif.Header(2, 2, 2).Descriptor(0, 0, 2, 2).Codes(2, {{4, 3}, {1, 3}, {3, 3}, {5, 3}});
    gif.Descriptor(0, 0, 1, 1).LiteralData({2}).Trailer();
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    ASSERT_EQ(image.Images().Count(), 2);
    EXPECT_EQ(FramePixels(image.Images()[0]), (TBytes{1, 3, 0, 0}));
    EXPECT_EQ(FramePixels(image.Images()[1]), (TBytes{2}));
    EXPECT_TRUE(events.Warnings.empty());
}

TEST(GifDecoder, SubBlocksAfterTheEndCodeAreSkipped)
{
    TBytes data = CodeData(2, WithWidths(2, {4, 1, 2, 3, 0, 5}));
    data.pop_back();
    data.insert(data.end(), {3, 0x2C, 0x21, 0x3B, 1, 0xFF, 0});
    TGifBuilder gif;
    gif.Header(2, 2, 2).Descriptor(0, 0, 2, 2).Raw(data);
    gif.Descriptor(1, 1, 1, 1).LiteralData({1}).Trailer();
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    ASSERT_EQ(image.Images().Count(), 2);
    EXPECT_EQ(FramePixels(image.Images()[0]), (TBytes{1, 2, 3, 0}));
    EXPECT_EQ(FramePixels(image.Images()[1]), (TBytes{1}));
    EXPECT_TRUE(events.Warnings.empty());
}

TEST(GifDecoder, SubBlockLongerThanTheStreamWarnsAndUsesWhatIsThere)
{
    TBytes data = {2};
    const TBytes packed = PackCodes(WithWidths(2, {4, 1, 2, 3, 0, 5}));
    data.push_back(200);
    data.insert(data.end(), packed.begin(), packed.end());
    const auto r = DecodeFrame(2, 2, data, 0, {});
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Pixels, (TBytes{1, 2, 3, 0}));
    EXPECT_EQ(r.Warnings, (std::vector<std::string>{"Premature end of data"}));
}

TEST(GifDecoder, StreamEndingInsideTheDataEndsDecodingSilently)
{
    // The first of several one-byte sub-blocks, and then nothing.
    TBytes data = CodeData(2, WithWidths(2, {4, 1, 2, 3, 0, 5}), 1);
    auto r = DecodeFrame(2, 2, TBytes(data.begin(), data.begin() + 3), 0, {});
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Frames, 1);
    EXPECT_EQ(r.Pixels[0], 1);
    EXPECT_TRUE(r.Warnings.empty());

    // Without even the code size byte the frame keeps a cleared buffer.
    r = DecodeFrame(2, 2, {}, 0, {});
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Pixels, (TBytes{0, 0, 0, 0}));
}

TEST(GifDecoder, InitialCodeSizeAboveElevenIsInvalid)
{
    // Size 11: the clear code is 2048 and codes start at 12 bits.
    const auto r = DecodeFrame(2, 1, CodeData(11, {{2048, 12}, {300, 12}, {5, 12}, {2049, 12}}));
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Pixels, (TBytes{300 & 0xFF, 5}));

    const auto bad = DecodeFrame(2, 1, CodeData(12, {{4096, 13}}));
    EXPECT_EQ(bad.Error, "Invalid GIF data");
    EXPECT_EQ(bad.Frames, 0);
}

TEST(GifDecoder, SelfReferringEntryIsCircular)
{
    // After the clear code, 6 is taken as it is and becomes the previous code; the next code
    // then stores entry 6 with prefix 6.
    const auto r = DecodeFrame(4, 4, CodeData(2, {{4, 3}, {6, 3}, {1, 3}, {6, 3}, {5, 3}}));
    EXPECT_EQ(r.Error, "Circular decoder table entry");
    EXPECT_EQ(r.Frames, 0);
}

TEST(GifDecoder, LongerCycleIsCaughtByTheStackBound)
{
    // Entries 6 -> 7 -> 6: no entry refers to itself, yet the chain never ends.
    const auto r = DecodeFrame(8, 8, CodeData(2, {{4, 3}, {7, 3}, {6, 3}, {1, 3}, {6, 4}}));
    EXPECT_EQ(r.Error, "Circular decoder table entry");
}

TEST(GifDecoder, FrameLargerThanTheStreamCanEncodeIsRefusedBeforeAllocating)
{
    auto r = DecodeFrame(65535, 65535, CodeData(2, WithWidths(2, {4, 1, 5})));
    EXPECT_EQ(r.Error, "Premature end of data");
    EXPECT_EQ(r.Frames, 0);

    // Frames share what the stream can encode: each of these would fit alone, two do not.
    const auto build = [](int height) {
        TGifBuilder gif;
        gif.Header(1000, 65535, 1);
        for (int i = 0; i < 10; ++i)
            gif.Descriptor(0, 0, 1000, height).LiteralData({1});
        return gif.Bytes;
    };
    const std::int64_t budget = std::int64_t(build(1).size()) * GIFMaxPixelsPerByte;
    TGIFImage image;
    EXPECT_EQ(LoadGif(image, build(int(budget * 6 / 10 / 1000))), "Premature end of data");
    EXPECT_EQ(image.Images().Count(), 1);
    EXPECT_EQ(LoadGif(image, build(int(budget / 10 / 1000))), "");
    EXPECT_EQ(image.Images().Count(), 10);
}

// Encoder

TBytes RandomPixels(std::size_t count, int colors, unsigned seed)
{
    std::mt19937 random(seed);
    TBytes pixels(count);
    for (auto& p : pixels)
        p = static_cast<std::uint8_t>(random() % unsigned(colors));
    return pixels;
}

TBytes RoundTrip(const TBytes& pixels, int width, int height, bool interlaced, int codeSize,
                 TBytes* written = nullptr)
{
    TPGMemoryStream stream;
    EncodeGIFPixels(stream, pixels.data(), width, height, interlaced, codeSize);
    if (written)
        *written = stream.Data();
    TGIFSubImage sender(nullptr);
    TBytes decoded(pixels.size(), 0);
    stream.Seek(0);
    DecodeGIFPixels(stream, decoded.data(), width, height, interlaced, sender);
    EXPECT_EQ(stream.Position(), stream.Size()) << "the decoder stops at the terminator";
    return decoded;
}

TEST(GifEncoder, WhatItWritesDecodesToTheSamePixels)
{
    struct TCase {
        int Width, Height, Colors, CodeSize;
        bool Interlaced;
    };
    for (const TCase c : {TCase{1, 1, 2, 2, false}, TCase{7, 5, 4, 2, true},
                          TCase{320, 80, 256, 8, false}, TCase{300, 300, 256, 8, true},
                          TCase{500, 200, 16, 4, false}, TCase{97, 61, 3, 2, true}}) {
        const TBytes pixels =
            RandomPixels(std::size_t(c.Width) * c.Height, c.Colors, unsigned(c.Width));
        TBytes written;
        EXPECT_EQ(RoundTrip(pixels, c.Width, c.Height, c.Interlaced, c.CodeSize, &written), pixels)
            << c.Width << "x" << c.Height;
        // Sub-blocks of at most 254 bytes.
        std::size_t at = 1;
        while (written[at] != 0) {
            EXPECT_LE(written[at], 254);
            at += std::size_t(written[at]) + 1;
        }
        EXPECT_EQ(at, written.size() - 1);
    }
}

TEST(GifEncoder, LongRunsAndRepeatedPatternsFillTheTableAndStartOver)
{
    TBytes flat(1000 * 1000, 3);
    EXPECT_EQ(RoundTrip(flat, 1000, 1000, false, 2), flat);
    TBytes stripes(640 * 480);
    for (std::size_t i = 0; i < stripes.size(); ++i)
        stripes[i] = static_cast<std::uint8_t>((i / 7) % 5 + (i % 640 < 320 ? 0 : 100));
    EXPECT_EQ(RoundTrip(stripes, 640, 480, true, 8), stripes);
}

TEST(GifEncoder, HashTableProbesByDoublingAndReportsAFullCycle)
{
    EXPECT_EQ(THashTable::NextSlot(0), 8008);
    EXPECT_EQ(THashTable::NextSlot(100), 200);
    EXPECT_EQ(THashTable::NextSlot(5000), 1991);

    THashTable table;
    EXPECT_EQ(table.Lookup(0x12345), -1);
    EXPECT_TRUE(table.Insert(0x12345, 300));
    EXPECT_EQ(table.Lookup(0x12345), 300);

    // Doubling modulo 8009 reaches only half of the slots from any slot; keys that all start
    // in that half fill it, after which an insert says so instead of probing for ever.
    std::set<int> cycle;
    for (int slot = 1; cycle.insert(slot).second;)
        slot = THashTable::NextSlot(slot);
    EXPECT_EQ(cycle.size(), 4004u);
    table.Clear();
    int inserted = 0;
    std::uint32_t key = 0;
    for (; inserted < 4004; ++key)
        if (cycle.count(THashTable::FirstSlot(key)) && table.Insert(key, inserted % 4096))
            ++inserted;
    for (; !cycle.count(THashTable::FirstSlot(key)); ++key) {
    }
    EXPECT_FALSE(table.Insert(key, 1));
    EXPECT_EQ(table.Lookup(key), -1);
}

} // namespace
} // namespace scenaria
