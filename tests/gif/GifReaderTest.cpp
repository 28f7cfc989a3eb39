// The block reader: signature, screen, frames, extensions, trailer, warnings and progress.

#include "GifTestSupport.h"

#include "imaging/gif/GifImage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace scenaria {
namespace {

using testing::FramePixels;
using testing::LoadGif;
using testing::TBytes;
using testing::TGifBuilder;
using testing::TGifEvents;

// A 2x2 frame at 0,0 with pixels 0 1 1 0.
TGifBuilder& Frame(TGifBuilder& gif, int left = 0, int top = 0)
{
    return gif.Descriptor(left, top, 2, 2).LiteralData({0, 1, 1, 0});
}

TEST(GifSignature, AcceptsAnyCaseAndAnyVersionButNoOtherLetters)
{
    for (const std::string signature : {"GIF89a", "gif89a", "GiF87a", "GIFxyz"}) {
        TGifBuilder gif;
        gif.Header(2, 2, 1, signature);
        Frame(gif).Trailer();
        TGIFImage image;
        EXPECT_EQ(LoadGif(image, gif.Bytes), "") << signature;
        EXPECT_EQ(image.Images().Count(), 1) << signature;
        EXPECT_EQ(image.Header().Version, signature.substr(3)) << signature;
    }
    for (const std::string signature : {"JIF89a", "GIX89a", "GI 89a", "\xC7IF89a"}) {
        TGifBuilder gif;
        gif.Header(2, 2, 1, signature);
        Frame(gif).Trailer();
        TGIFImage image;
        EXPECT_EQ(LoadGif(image, gif.Bytes), "Invalid GIF signature") << signature;
    }
}

TEST(GifScreen, StreamEndingAfterTheScreenIsAnEmptyPictureWithoutWarning)
{
    TGifBuilder gif;
    gif.Header(320, 80, 8);
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    EXPECT_EQ(LoadGif(image, gif.Bytes), "");
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.Width(), 320);
    EXPECT_EQ(image.Height(), 80);
    EXPECT_EQ(image.Header().ColorMap().Count(), 256);
    EXPECT_EQ(image.Header().ColorMap().Colors(7), (TGIFColor{7, 248, 3}));
    EXPECT_TRUE(events.Warnings.empty());
}

TEST(GifScreen, ShortStreamsFailWithPrematureEndOfData)
{
    TGifBuilder whole;
    whole.Header(4, 4, 2);
    // Inside the signature, the screen descriptor and the global table.
    for (std::size_t length : {3u, 6u, 12u, 13u + 11u}) {
        TGIFImage image;
        EXPECT_EQ(LoadGif(image, TBytes(whole.Bytes.begin(), whole.Bytes.begin() + long(length))),
                  "Premature end of data")
            << length;
    }
}

TEST(GifScreen, WithoutGlobalTableTheMapIsEmpty)
{
    TGifBuilder gif;
    gif.Header(2, 2, 0);
    gif.Descriptor(0, 0, 2, 2, 0x80).ColorTable(1).LiteralData({0, 1, 1, 0}).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    EXPECT_TRUE(image.Header().ColorMap().Empty());
    ASSERT_EQ(image.Images().Count(), 1);
    EXPECT_EQ(image.Images()[0].ColorMap().Count(), 2);
    EXPECT_EQ(&image.Images()[0].ActiveColorMap(), &image.Images()[0].ColorMap());
}

TEST(GifFrames, ZeroBytesBetweenBlocksAreSkipped)
{
    TGifBuilder gif;
    gif.Header(4, 2).Raw({0, 0});
    Frame(gif).Raw({0, 0, 0});
    Frame(gif, 2, 0).Raw({0}).Trailer();
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    ASSERT_EQ(image.Images().Count(), 2);
    EXPECT_EQ(FramePixels(image.Images()[1]), (TBytes{0, 1, 1, 0}));
    EXPECT_EQ(image.Images()[1].Left(), 2);
    EXPECT_TRUE(events.Warnings.empty());
}

TEST(GifFrames, ExtensionsAfterTheLastFrameMakeAnEmptyFrame)
{
    TGifBuilder gif;
    gif.Header(2, 2);
    Frame(gif).Comment({"after"}).Trailer();
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    ASSERT_EQ(image.Images().Count(), 2);
    const TGIFSubImage& last = image.Images()[1];
    EXPECT_TRUE(last.Empty());
    EXPECT_EQ(last.Width(), 0);
    EXPECT_EQ(last.DataSize(), 0);
    ASSERT_EQ(last.Extensions().Count(), 1);
    EXPECT_EQ(dynamic_cast<const TGIFCommentExtension&>(last.Extensions()[0]).Text,
              (TGIFStrings{"after"}));
    EXPECT_TRUE(events.Warnings.empty());
}

TEST(GifFrames, UnknownExtensionLabelFailsAndKeepsEarlierFrames)
{
    TGifBuilder gif;
    gif.Header(2, 2);
    Frame(gif).Raw({0x21, 0xFA, 3, 1, 2, 3, 0});
    Frame(gif).Trailer();
    TGIFImage image;
    EXPECT_EQ(LoadGif(image, gif.Bytes), "Unknown extension type");
    ASSERT_EQ(image.Images().Count(), 1);
    EXPECT_EQ(FramePixels(image.Images()[0]), (TBytes{0, 1, 1, 0}));
}

TEST(GifFrames, UnknownBlockTypeEndsTheFramesAndTheTrailerWarns)
{
    TGifBuilder gif;
    gif.Header(2, 2);
    Frame(gif).Raw({0x99});
    Frame(gif).Trailer();
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    EXPECT_EQ(image.Images().Count(), 1);
    EXPECT_EQ(events.Warnings,
              (std::vector<std::string>{"Unknown GIF block type", "Invalid Image trailer"}));
}

TEST(GifFrames, TrailerReadsTheByteBeforeAnUnknownBlock)
{
    // The global table's last byte is ";", so the trailer finds what it wants there.
    TGifBuilder gif;
    gif.Text("GIF89a").Word(2).Word(2).Raw({0x80, 0, 0, 1, 2, 3, 4, 5, 0x3B, 0x99});
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(events.Warnings, (std::vector<std::string>{"Unknown GIF block type"}));
}

TEST(GifFrames, MissingTrailerIsSilentAndAnythingAfterTheTrailerIsLeft)
{
    TGifBuilder gif;
    gif.Header(2, 2);
    Frame(gif);
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    EXPECT_EQ(LoadGif(image, gif.Bytes), "");
    EXPECT_EQ(image.Images().Count(), 1);
    EXPECT_TRUE(events.Warnings.empty());

    const std::size_t end = gif.Trailer().Bytes.size();
    gif.Raw({0x2C, 1, 2, 3});
    TPGBufferStream stream(gif.Bytes.data(), gif.Bytes.size());
    image.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), std::int64_t(end));
    EXPECT_TRUE(events.Warnings.empty());
}

TEST(GifFrames, InvalidIntroducerInAnExtensionListWarnsAndTheDescriptorIsTakenAsItStands)
{
    TGifBuilder gif;
    gif.Header(2, 2).GraphicControl(1, 10);
    // "+" instead of ","
    gif.Raw({0x2B}).Word(0).Word(0).Word(2).Word(2).Raw({0}).LiteralData({1, 1, 0, 0}).Trailer();
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    ASSERT_EQ(image.Images().Count(), 1);
    EXPECT_EQ(image.Images()[0].Descriptor().Separator, 0x2B);
    EXPECT_EQ(FramePixels(image.Images()[0]), (TBytes{1, 1, 0, 0}));
    EXPECT_EQ(events.Warnings, (std::vector<std::string>{"Invalid extension introducer"}));
}

TEST(GifFrames, LocalTableInterlaceAndSizesAreRead)
{
    TGifBuilder gif;
    gif.Header(10, 10);
    gif.Descriptor(3, 4, 2, 3, 0x80 | 0x40 | 0x20 | 1).ColorTable(2);
    gif.LiteralData({0, 1, 2, 3, 0, 1}).Trailer(); // stream rows 0, 2, 1
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    const TGIFSubImage& frame = image.Images()[0];
    EXPECT_EQ(frame.Left(), 3);
    EXPECT_EQ(frame.Top(), 4);
    EXPECT_EQ(frame.Width(), 2);
    EXPECT_EQ(frame.Height(), 3);
    EXPECT_TRUE(frame.Interlaced());
    EXPECT_EQ(frame.ColorMap().Count(), 4);
    EXPECT_TRUE(frame.ColorMap().Sorted());
    EXPECT_EQ(&frame.ActiveColorMap(), &frame.ColorMap());
    EXPECT_EQ(FramePixels(frame), (TBytes{0, 1, 0, 1, 2, 3}));
}

TEST(GifFrames, FrameWithoutPixelsIsEmpty)
{
    TGifBuilder gif;
    gif.Header(4, 4).Descriptor(0, 0, 0, 4).LiteralData({}).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    ASSERT_EQ(image.Images().Count(), 1);
    EXPECT_TRUE(image.Images()[0].Empty());
    EXPECT_EQ(image.Images()[0].Height(), 4);
}

TEST(GifExtensions, ApplicationBlockOfAnotherSizeWarnsOnceAndKeepsWhatFollows)
{
    // Sizes 9, 10 and 13, each with data sub-blocks: the block is read as it stands, the data
    // after it is passed over, and the frame after it loads.
    for (const std::string& block :
         {std::string("ABCDEFGHI"), std::string("ABCDEFGHIJ"), std::string("NETSCAPE2.0XY")}) {
        SCOPED_TRACE(block.size());
        TGifBuilder gif;
        gif.Header(2, 2).Raw({0x21, 0xFF, int(block.size())}).Text(block);
        gif.Raw({2, 7, 7, 1, 9, 0});
        Frame(gif).Trailer();
        TGIFImage image;
        TGifEvents events;
        events.Attach(image);
        ASSERT_EQ(LoadGif(image, gif.Bytes), "");
        ASSERT_EQ(image.Images().Count(), 1);
        EXPECT_FALSE(image.Images()[0].Empty());
        EXPECT_EQ(events.Warnings,
                  (std::vector<std::string>{"Unsupported Application Extension block size"}));
        const TGIFExtension& extension = image.Images()[0].Extensions()[0];
        // Not 11 bytes, so the identifier does not pick the looping class.
        EXPECT_EQ(&extension.ClassType(), &TGIFApplicationExtension::ExtensionClass);
        std::string identifier = block.substr(0, 11);
        identifier.resize(11, '\0');
        EXPECT_EQ(dynamic_cast<const TGIFApplicationExtension&>(extension).IdentifierText(),
                  identifier);
    }
}

TEST(GifExtensions, ApplicationBlockWithoutDataBeforeAnImageGivesTheFrame)
{
    // A ten-byte block with no sub-blocks, the image descriptor right after it.
    TGifBuilder gif;
    gif.Header(2, 2).Raw({0x21, 0xFF, 10}).Text("ABCDEFGHIJ");
    gif.Descriptor(0, 0, 2, 2).LiteralData({1, 0, 0, 1}).Trailer();
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    ASSERT_EQ(image.Images().Count(), 1);
    EXPECT_EQ(testing::FramePixels(image.Images()[0]), (TBytes{1, 0, 0, 1}));
    EXPECT_EQ(events.Warnings,
              (std::vector<std::string>{"Unsupported Application Extension block size"}));
}

TEST(GifWarnings, EveryWarningNamesTheItemThatGaveIt)
{
    // An unknown block type with and without a frame before it, and a bad trailer.
    TGifBuilder after;
    after.Header(2, 2);
    Frame(after).Raw({0x99});
    TGifBuilder first;
    first.Header(2, 2).Raw({0x99});
    for (const TBytes& bytes : {after.Bytes, first.Bytes}) {
        TGIFImage image;
        std::vector<const TGIFItem*> senders;
        image.WarningHandler = [&](const TGIFItem* sender, int severity, const std::string&) {
            EXPECT_EQ(severity, 1);
            senders.push_back(sender);
        };
        ASSERT_EQ(LoadGif(image, bytes), "");
        ASSERT_FALSE(senders.empty());
        for (const TGIFItem* sender : senders)
            EXPECT_NE(sender, nullptr);
        // The unknown block is reported by the frame before it, or by the header.
        if (image.Empty())
            EXPECT_EQ(senders[0], &image.Header());
        else
            EXPECT_EQ(senders[0], &image.Images()[0]);
    }
}

TEST(GifExtensions, LoopingExtensionIsReadAndBadBytesAreInvalidData)
{
    TGifBuilder good;
    good.Header(2, 2).Loop(513);
    Frame(good).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, good.Bytes), "");
    const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(&image.Images()[0].Extensions()[0]);
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->Loops, 513);
    EXPECT_EQ(loop->IdentifierText(), "NETSCAPE2.0");

    const std::vector<std::vector<int>> bad = {
        {4, 1, 0, 0, 0}, // sub-block of 4 bytes
        {3, 2, 0, 0, 0}, // sub-block id 2
        {3, 1, 0, 0, 5}, // a second sub-block where the terminator belongs
    };
    for (const auto& data : bad) {
        TGifBuilder gif;
        gif.Header(2, 2).Raw({0x21, 0xFF, 11}).Text("NETSCAPE2.0");
        for (int b : data)
            gif.Raw({b});
        Frame(gif).Trailer();
        EXPECT_EQ(LoadGif(image, gif.Bytes), "Invalid GIF data") << data[0] << data[1] << data[4];
    }
}

TEST(GifExtensions, UnknownApplicationKeepsItsBlocks)
{
    TGifBuilder gif;
    gif.Header(2, 2).Raw({0x21, 0xFF, 11}).Text("ANIMEXTS1.0").Raw({3, 1, 0, 0, 2, 9, 8, 0});
    Frame(gif).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    const auto* unknown =
        dynamic_cast<const TGIFUnknownAppExtension*>(&image.Images()[0].Extensions()[0]);
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(unknown->IdentifierText(), "ANIMEXTS1.0");
    ASSERT_EQ(unknown->Blocks.size(), 2u);
    EXPECT_EQ(unknown->Blocks[0].Data(), (TBytes{1, 0, 0}));
    EXPECT_EQ(unknown->Blocks[1].Data(), (TBytes{9, 8}));
}

TEST(GifExtensions, CommentsAndPlainTextKeepTheirSubBlocksAsStrings)
{
    TGifBuilder gif;
    gif.Header(2, 2).Comment({"Hello", std::string("a\0b", 3)});
    gif.Raw({0x21, 0x01, 12}).Word(1).Word(2).Word(30).Word(40).Raw({5, 6, 1, 0});
    gif.Raw({4}).Text("text").Raw({0});
    Frame(gif).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    const auto& extensions = image.Images()[0].Extensions();
    ASSERT_EQ(extensions.Count(), 2);
    EXPECT_EQ(dynamic_cast<const TGIFCommentExtension&>(extensions[0]).Text,
              (TGIFStrings{"Hello", std::string("a\0b", 3)}));
    const auto& text = dynamic_cast<const TGIFTextExtension&>(extensions[1]);
    EXPECT_EQ(text.Left, 1);
    EXPECT_EQ(text.Top, 2);
    EXPECT_EQ(text.GridWidth, 30);
    EXPECT_EQ(text.GridHeight, 40);
    EXPECT_EQ(text.CellWidth, 5);
    EXPECT_EQ(text.CellHeight, 6);
    EXPECT_EQ(text.ForegroundColorIndex, 1);
    EXPECT_EQ(text.Text, (TGIFStrings{"text"}));
}

TEST(GifExtensions, ShortExtensionDataIsPrematureEnd)
{
    TGifBuilder gce;
    gce.Header(2, 2).Raw({0x21, 0xF9, 4, 0, 0});
    TGifBuilder comment;
    comment.Header(2, 2).Raw({0x21, 0xFE, 5, 'a', 'b'});
    for (const auto* gif : {&gce, &comment}) {
        TGIFImage image;
        EXPECT_EQ(LoadGif(image, gif->Bytes), "Premature end of data");
    }
}

TEST(GifExtensions, InstanceChecksIntroducerAndLabel)
{
    TGIFSubImage frame(nullptr);
    TGIFGraphicControlExtension extension(&frame);
    const TBytes notIntroducer = {0x2C, 0xF9, 4, 0, 0, 0, 0, 0};
    TPGBufferStream first(notIntroducer.data(), notIntroducer.size());
    EXPECT_THROW(
        try { extension.LoadFromStream(first); } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Invalid extension introducer");
            throw;
        },
        GIFException);
    const TBytes otherLabel = {0x21, 0xFE, 4, 0, 0, 0, 0, 0};
    TPGBufferStream second(otherLabel.data(), otherLabel.size());
    EXPECT_THROW(
        try { extension.LoadFromStream(second); } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(),
                         "Internal error: Extension Instance does not match Extension Label");
            throw;
        },
        GIFException);
}

TEST(GifExtensions, GraphicControlLinksTheFirstAndKeepsTheTransparentFlag)
{
    TGifBuilder gif;
    gif.Header(2, 2).GraphicControl(2, 30).GraphicControl(1, 50, 1);
    Frame(gif).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    TGIFSubImage& frame = image.Images()[0];
    ASSERT_EQ(frame.Extensions().Count(), 2);
    auto* first = dynamic_cast<TGIFGraphicControlExtension*>(&frame.Extensions()[0]);
    ASSERT_EQ(frame.GraphicControlExtension(), first);
    EXPECT_EQ(first->Disposal(), 2);
    EXPECT_EQ(first->Delay, 30);
    // Loading any graphic control extension with the bit sets the flag.
    EXPECT_TRUE(frame.Transparent());

    // Freeing the transparent one clears the flag; freeing the linked one clears the link.
    frame.Extensions().Delete(1);
    EXPECT_FALSE(frame.Transparent());
    EXPECT_EQ(frame.GraphicControlExtension(), first);
    frame.Extensions().Delete(0);
    EXPECT_EQ(frame.GraphicControlExtension(), nullptr);

    // A new one becomes the link of a frame without one, and not of a frame with one.
    auto& made = dynamic_cast<TGIFGraphicControlExtension&>(
        frame.Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(&frame)));
    EXPECT_EQ(frame.GraphicControlExtension(), &made);
    EXPECT_EQ(made.BlockSize, 4);
    made.SetTransparent(true);
    EXPECT_TRUE(frame.Transparent());
    TGIFGraphicControlExtension another(&frame);
    EXPECT_EQ(frame.GraphicControlExtension(), &made);
}

TEST(GifRegistries, HoldTheCodecsClassesAndRefineApplicationBlocks)
{
    EXPECT_EQ(ExtensionList().Find(0x01), &TGIFTextExtension::ExtensionClass);
    EXPECT_EQ(ExtensionList().Find(0xF9), &TGIFGraphicControlExtension::ExtensionClass);
    EXPECT_EQ(ExtensionList().Find(0xFE), &TGIFCommentExtension::ExtensionClass);
    EXPECT_EQ(ExtensionList().Find(0xFF), &TGIFApplicationExtension::ExtensionClass);
    EXPECT_EQ(ExtensionList().Find(0xFA), nullptr);
    EXPECT_EQ(AppExtensionList().Find(TGIFAppExtNSLoop::NetscapeIdentifier),
              &TGIFAppExtNSLoop::ExtensionClass);

    const auto classAt = [](const TBytes& bytes) {
        TPGBufferStream stream(bytes.data(), bytes.size());
        const TGIFExtensionClass* found = FindExtensionClass(stream);
        EXPECT_EQ(stream.Position(), 0);
        return found;
    };
    TGifBuilder netscape, other, shortBlock, cut;
    netscape.Raw({0xFF, 11}).Text("NETSCAPE2.0").Raw({3, 1, 0, 0, 0});
    other.Raw({0xFF, 11}).Text("NETSCAPE2.1").Raw({0});
    shortBlock.Raw({0xFF, 10}).Text("NETSCAPE2.").Raw({0});
    cut.Raw({0xFF, 11}).Text("NETSC");
    EXPECT_EQ(classAt(netscape.Bytes), &TGIFAppExtNSLoop::ExtensionClass);
    EXPECT_EQ(classAt(other.Bytes), &TGIFUnknownAppExtension::ExtensionClass);
    EXPECT_EQ(classAt(shortBlock.Bytes), &TGIFApplicationExtension::ExtensionClass);
    EXPECT_EQ(classAt(cut.Bytes), &TGIFApplicationExtension::ExtensionClass);
    EXPECT_EQ(classAt({0xF9, 4}), &TGIFGraphicControlExtension::ExtensionClass);
    EXPECT_EQ(classAt({}), nullptr);

    // A later registration for the same label wins.
    TExtensionList list;
    list.Add(0xFE, TGIFCommentExtension::ExtensionClass);
    list.Add(0xFE, TGIFTextExtension::ExtensionClass);
    EXPECT_EQ(list.Find(0xFE), &TGIFTextExtension::ExtensionClass);
}

TEST(GifProgress, ReportsStartOneRunPerFrameAndEnd)
{
    TGifBuilder gif;
    gif.Header(2, 2);
    Frame(gif);
    const std::size_t afterFirst = gif.Bytes.size();
    gif.Comment({"x"});
    Frame(gif).Trailer();
    const std::size_t afterSecond = gif.Bytes.size() - 1;
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    const auto percent = [&](std::size_t at) {
        return std::to_string(at * 100 / gif.Bytes.size());
    };
    EXPECT_EQ(events.Progress,
              (std::vector<std::string>{
                  "start 0 Loading...", "run " + percent(afterFirst) + " Loading...",
                  "run " + percent(afterSecond) + " Loading...", "end 100 Loading..."}));

    events.Progress.clear();
    EXPECT_EQ(LoadGif(image, TBytes(gif.Bytes.begin(), gif.Bytes.begin() + 5)),
              "Premature end of data");
    EXPECT_EQ(events.Progress,
              (std::vector<std::string>{"start 0 Loading...", "end 0 Loading..."}));
}

TEST(GifPicture, StartsEmptyWithItsDefaults)
{
    TGIFImage image;
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.DrawOptions, 0x018F);
    EXPECT_EQ(image.DrawOptions,
              doThreaded | doTransparent | doAnimate | doLoop | doDither | doDitherLowColor);
    EXPECT_EQ(image.PainterPriority, tpNormal);
    EXPECT_EQ(image.BackgroundColor, 0x1FFFFFFFu);
    EXPECT_TRUE(image.Equals(image));
    TGIFImage other;
    EXPECT_FALSE(image.Equals(other));
}

TEST(GifPicture, ClearEmptiesFramesTableAndScreen)
{
    TGifBuilder gif;
    gif.Header(2, 2, 3);
    Frame(gif).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    image.Clear();
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    EXPECT_TRUE(image.Header().ColorMap().Empty());
    EXPECT_EQ(image.Header().Descriptor.Packed, 0);
    EXPECT_EQ(image.Header().Version, "");
}

TEST(GifPicture, SizeCannotShrinkBelowItsFrames)
{
    TGifBuilder gif;
    gif.Header(10, 10);
    Frame(gif, 5, 6).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    EXPECT_THROW(
        try { image.SetWidth(6); } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Image width too small for contained frames");
            throw;
        },
        GIFException);
    EXPECT_THROW(
        try { image.SetHeight(7); } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Image height too small for contained frames");
            throw;
        },
        GIFException);
    image.SetWidth(7);
    image.SetHeight(8);
    EXPECT_EQ(image.Width(), 7);
    EXPECT_EQ(image.Height(), 8);
}

TEST(GifPicture, AddingAFrameCopiesItAndEnlargesTheScreen)
{
    TGIFImage image;
    TGifEvents events;
    events.Attach(image);
    int changes = 0;
    image.OnChange = [&changes] { ++changes; };
    image.SetWidth(10);
    image.SetHeight(10);
    changes = 0;

    TGIFSubImage frame(nullptr);
    frame.SetLeft(8);
    frame.SetTop(2);
    frame.SetSize(4, 3);
    frame.Data()[0] = 7;
    auto& control = dynamic_cast<TGIFGraphicControlExtension&>(
        frame.Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(&frame)));
    control.SetTransparent(true);
    control.TransparentColorIndex = 7;

    TGIFSubImage& added = image.Add(frame);
    EXPECT_EQ(image.Width(), 12);
    EXPECT_EQ(image.Height(), 10);
    EXPECT_EQ(events.Warnings, (std::vector<std::string>{"Image exceeds Logical Screen size"}));
    EXPECT_GE(changes, 1);
    EXPECT_EQ(added.Image(), &image);
    EXPECT_EQ(added.Data()[0], 7);
    EXPECT_TRUE(added.Transparent());
    ASSERT_NE(added.GraphicControlExtension(), nullptr);
    EXPECT_NE(added.GraphicControlExtension(), &control);
    EXPECT_EQ(added.GraphicControlExtension()->SubImage(), &added);
    EXPECT_EQ(added.GraphicControlExtension()->TransparentColorIndex, 7);

    events.Warnings.clear();
    frame.SetLeft(0);
    image.Add(frame);
    EXPECT_TRUE(events.Warnings.empty());
    EXPECT_EQ(image.Images().Count(), 2);

    EXPECT_THROW(
        try { image.Add(image.Header()); } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Object type not supported for operation");
            throw;
        },
        GIFException);
    EXPECT_THROW(image.Add(control), GIFException);
}

TEST(GifPicture, AssignCopiesEverythingDeeply)
{
    TGifBuilder gif;
    gif.Header(4, 4, 2).Loop(0).GraphicControl(1, 50, 3).Comment({"c"});
    Frame(gif, 1, 1).Trailer();
    TGIFImage source;
    ASSERT_EQ(LoadGif(source, gif.Bytes), "");
    source.DrawOptions = doLoop;
    source.PainterPriority = tpHighest;
    source.BackgroundColor = 0x123456;
    int warnings = 0;
    source.WarningHandler = [&warnings](const TGIFItem*, int, const std::string&) { ++warnings; };

    TGIFImage copy;
    copy.Assign(source);
    source.Clear();
    EXPECT_EQ(copy.Width(), 4);
    EXPECT_EQ(copy.Header().ColorMap().Count(), 4);
    EXPECT_EQ(copy.DrawOptions, doLoop);
    EXPECT_EQ(copy.PainterPriority, tpHighest);
    EXPECT_EQ(copy.BackgroundColor, 0x123456u);
    ASSERT_EQ(copy.Images().Count(), 1);
    const TGIFSubImage& frame = copy.Images()[0];
    EXPECT_EQ(frame.Image(), &copy);
    EXPECT_EQ(FramePixels(frame), (TBytes{0, 1, 1, 0}));
    ASSERT_EQ(frame.Extensions().Count(), 3);
    EXPECT_EQ(frame.GraphicControlExtension(), &frame.Extensions()[1]);
    EXPECT_TRUE(frame.Transparent());
    frame.ColorMap().Colors(9);
    EXPECT_EQ(warnings, 1);
}

TEST(GifPicture, RefusesTheClipboard)
{
    TGIFImage image;
    std::uint16_t format = 8;
    std::vector<std::uint8_t> data;
    for (int i = 0; i < 2; ++i) {
        try {
            if (i == 0)
                image.LoadFromClipboardFormat(format, data);
            else
                image.SaveToClipboardFormat(format, data);
            ADD_FAILURE() << "no exception";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Clipboard operations not supported for GIF objects");
        }
    }
}

TEST(GifPicture, LoadingWaitsForAHolderOfThePictureLock)
{
    TGifBuilder gif;
    gif.Header(2, 2);
    Frame(gif).Trailer();
    TGIFImage image;
    std::atomic<bool> loaded = false;
    std::thread loader;
    {
        std::lock_guard guard(image.PictureLock());
        loader = std::thread([&] {
            LoadGif(image, gif.Bytes);
            loaded = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(image.Empty());
    }
    loader.join();
    EXPECT_TRUE(loaded);
    EXPECT_EQ(image.Images().Count(), 1);
}

} // namespace
} // namespace scenaria

namespace scenaria {
namespace {

using testing::TBytes;

// A colour map attached to a frame of a picture, so that warnings and changes reach the
// picture's handlers.
struct TColorMapFixture {
    TGIFImage Image;
    testing::TGifEvents Events;
    int Changes = 0;
    TGIFSubImage* Frame = nullptr;

    TColorMapFixture()
    {
        Events.Attach(Image);
        Image.Add(TGIFSubImage(nullptr));
        Frame = &Image.Images()[0];
        Image.OnChange = [this] { ++Changes; };
    }
    TGIFColorMap& Map() { return Frame->ColorMap(); }
};

TEST(GifColorMap, GrowsTo16ThenMultiplesOf32UpTo256)
{
    TGIFColorMap map;
    EXPECT_EQ(map.Capacity(), 0);
    const std::vector<std::pair<int, int>> steps = {{1, 16},    {15, 16},  {16, 16},   {17, 32},
                                                    {31, 32},   {33, 64},  {200, 224}, {100, 224},
                                                    {250, 256}, {256, 256}};
    for (const auto& [ask, capacity] : steps) {
        map.Reserve(ask);
        EXPECT_EQ(map.Capacity(), capacity) << ask;
    }
}

TEST(GifColorMap, BitDepthIsTheSmallestPowerThatHoldsTheEntries)
{
    const std::vector<std::pair<int, int>> depths = {{0, 0}, {1, 1},  {2, 1},  {3, 2},   {4, 2},
                                                     {5, 3}, {16, 4}, {17, 5}, {129, 8}, {256, 8}};
    for (const auto& [count, bits] : depths) {
        TBytes bytes(std::size_t(3 * count), 7);
        TPGBufferStream stream(bytes.data(), bytes.size());
        TGIFColorMap map;
        map.LoadFromStream(stream, count);
        EXPECT_EQ(map.Count(), count);
        EXPECT_EQ(map.BitsPerPixel(), bits) << count;
    }
}

TEST(GifColorMap, IndexOfSearchesSortedTablesFromTheFront)
{
    const TBytes bytes = {1, 1, 1, 9, 9, 9, 2, 2, 2, 9, 9, 9};
    TPGBufferStream stream(bytes.data(), bytes.size());
    TGIFColorMap map;
    map.LoadFromStream(stream, 4);
    EXPECT_EQ(map.IndexOf({9, 9, 9}), 3);
    EXPECT_EQ(map.IndexOf({5, 5, 5}), -1);
    map.SetSorted(true);
    EXPECT_EQ(map.IndexOf({9, 9, 9}), 1);
}

TEST(GifColorMap, AddAppendsOnlyNewColoursAndStopsAt256)
{
    TColorMapFixture f;
    f.Map().SetSorted(true);
    EXPECT_EQ(f.Map().Add({1, 2, 3}), 0);
    EXPECT_FALSE(f.Map().Sorted());
    EXPECT_EQ(f.Changes, 1);
    EXPECT_EQ(f.Map().Add({1, 2, 3}), 0);
    EXPECT_EQ(f.Changes, 1);
    for (int i = 1; i < 256; ++i)
        EXPECT_EQ(f.Map().Add({std::uint8_t(i), 0, 0}), i);
    EXPECT_EQ(f.Map().Count(), 256);
    EXPECT_EQ(f.Map().Capacity(), 256);
    EXPECT_EQ(f.Map().Add({5, 0, 0}), 5);
    try {
        f.Map().Add({0, 0, 1});
        ADD_FAILURE() << "no exception";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color table overflow");
    }
}

TEST(GifColorMap, ColourOutsideTheTableWarnsAndIsBlack)
{
    TColorMapFixture f;
    f.Map().Add({10, 20, 30});
    EXPECT_EQ(f.Map().Colors(0), (TGIFColor{10, 20, 30}));
    EXPECT_TRUE(f.Events.Warnings.empty());
    EXPECT_EQ(f.Map().Colors(1), TGIFColor{});
    EXPECT_EQ(f.Map().Colors(-1), TGIFColor{});
    EXPECT_EQ(f.Events.Warnings,
              (std::vector<std::string>{"Invalid color index", "Invalid color index"}));
}

TEST(GifColorMap, SavesBlackEntriesUpToItsBitDepth)
{
    TGIFColorMap map;
    const TBytes three = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    TPGBufferStream in(three.data(), three.size());
    map.LoadFromStream(in, 3);
    TPGMemoryStream out;
    map.SaveToStream(out);
    EXPECT_EQ(out.Data(), (TBytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));
    TPGMemoryStream wider;
    map.SaveToStream(wider, 3);
    EXPECT_EQ(wider.Data().size(), 24u);
    TGIFColorMap empty;
    TPGMemoryStream none;
    empty.SaveToStream(none);
    EXPECT_TRUE(none.Data().empty());
}

} // namespace
} // namespace scenaria
