#include "FormatTestSupport.h"

#include "imaging/FileFormats.h"
#include "imaging/MessageBox.h"
#include "imaging/Stream.h"
#include "imaging/formats/Jpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <jpeglib.h>

namespace scenaria {
namespace {

using testing::DataFile;
using testing::ReadFile;
using testing::TSettingScope;
using testing::TTempDir;

std::string JpegData(const std::string& name)
{
    return DataFile("jpeg/" + name);
}

std::string LoadError(TPixelGraphic& image, const std::string& bytes)
{
    TPGBufferStream stream(bytes.data(), bytes.size());
    try {
        image.LoadFromStream(stream);
    } catch (const EPixelGraphic& e) {
        return e.what();
    }
    return "(loaded)";
}

TPGImageInfo InfoOf(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    TPGBufferStream stream(bytes.data(), bytes.size());
    TPGImageInfo info;
    TJPGFileFormatReader().GetInfo(stream, 0, info);
    return info;
}

class THookScope {
public:
    explicit THookScope(TPGMessageBoxHook hook)
    {
        previous_ = SetPGMessageBoxHook(std::move(hook));
    }
    ~THookScope() { SetPGMessageBoxHook(std::move(previous_)); }

private:
    TPGMessageBoxHook previous_;
};

TEST(JpegReaderTest, DecodesLikeDjpeg)
{
    for (const char* name : {"color.jpg", "progressive.jpg", "rgb.jpg", "gray.jpg"}) {
        SCOPED_TRACE(name);
        TPixelGraphic image;
        image.ReadWarningAction = pgwaRaise;
        image.LoadFromFile(JpegData(name));
        EXPECT_EQ(image.Width(), 48);
        EXPECT_EQ(image.Height(), 32);
        const std::string pnm = testing::ToolOutput({"djpeg", "-pnm", JpegData(name)});
        ASSERT_FALSE(pnm.empty());
        EXPECT_EQ(testing::MaxDifference(testing::RgbOf(image), testing::ParsePnm(pnm)), 0);
    }
    // The fast transform when the image asks for it.
    TPixelGraphic fast;
    fast.FastDecoding = true;
    fast.LoadFromFile(JpegData("color.jpg"));
    const std::string pnm =
        testing::ToolOutput({"djpeg", "-dct", "fast", "-pnm", JpegData("color.jpg")});
    EXPECT_EQ(testing::MaxDifference(testing::RgbOf(fast), testing::ParsePnm(pnm)), 0);
}

TEST(JpegReaderTest, GreyFilesLoadAsGray256AndSaveAsOneComponent)
{
    TTempDir dir;
    TPixelGraphic image;
    image.LoadFromFile(JpegData("gray.jpg"));
    EXPECT_EQ(image.BitCount(), bc8Bit);
    EXPECT_EQ(image.PaletteIdent(), pGray256);

    // pgwaRaise: saving must not need any conversion.
    image.SaveColorResWarningAction = pgwaRaise;
    const std::string out = dir / "again.jpg";
    image.SaveToFile(out);
    const TPGImageInfo info = InfoOf(out);
    EXPECT_EQ(info.BitsPerPixel, 8);
    EXPECT_EQ(info.Colors, "256");
    EXPECT_EQ(info.Subformat, "JFIF, GrayScale");
    const auto decoded = testing::ParsePnm(testing::ToolOutput({"djpeg", "-pnm", out}));
    EXPECT_LE(testing::MaxDifference(testing::RgbOf(image), decoded), 24);
}

TEST(JpegReaderTest, CmykIsNotSupported)
{
    TPixelGraphic image;
    image.ReadWarningAction = pgwaIgnore;
    EXPECT_EQ(LoadError(image, ReadFile(JpegData("cmyk.jpg"))), "JPG: Not supported subformat");
    const TPGImageInfo info = InfoOf(JpegData("cmyk.jpg"));
    EXPECT_EQ(info.BitsPerPixel, 32);
    EXPECT_EQ(info.Colors, "4294.9M");
    EXPECT_EQ(info.Subformat, "Adope, YCbCrK"); // ImageMagick stores CMYK as YCCK
}

TEST(JpegReaderTest, AbortFromTheProgressHandlerIsACodecError)
{
    TPixelGraphic image;
    int steps = 0, ends = 0;
    image.OnProgress = [&](TPixelGraphic&, int step, int max, bool& abort) {
        EXPECT_EQ(max, 32);
        EXPECT_EQ(step, ++steps);
        abort = step == 5;
    };
    image.OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
    EXPECT_EQ(LoadError(image, ReadFile(JpegData("color.jpg"))),
              "JPG: Application transferred too few scanlines");
    EXPECT_EQ(steps, 5);
    EXPECT_EQ(ends, 1);
    // The image keeps its size and the rows decoded so far.
    EXPECT_EQ(image.Width(), 48);
    EXPECT_EQ(image.Height(), 32);

    // Whatever a handler throws arrives as it was thrown.
    image.OnProgress = [](TPixelGraphic&, int step, int, bool&) {
        if (step == 3)
            throw std::runtime_error("handler failed");
    };
    try {
        image.LoadFromFile(JpegData("progressive.jpg"));
        ADD_FAILURE() << "loaded";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "handler failed");
    }
    EXPECT_EQ(ends, 2);
}

TEST(JpegReaderTest, TruncatedFilesFollowTheWarningAction)
{
    const std::string whole = ReadFile(JpegData("color.jpg"));
    const std::string cut = whole.substr(0, whole.size() / 2);
    TPixelGraphic image;

    image.ReadWarningAction = pgwaRaise;
    EXPECT_EQ(LoadError(image, cut), "JPG: Premature end of JPEG file");

    image.ReadWarningAction = pgwaIgnore;
    EXPECT_EQ(LoadError(image, cut), "(loaded)");
    EXPECT_EQ(image.Width(), 48);
    EXPECT_EQ(image.Height(), 32);

    struct TCall {
        std::string Caption, Text;
        TPGMessageButtons Buttons;
        TPGMessageIcon Icon;
    };
    std::vector<TCall> calls;
    TPGMessageAnswer answer = pgmaOK;
    {
        const THookScope hook([&](const std::string& caption, const std::string& text,
                                  TPGMessageButtons buttons, TPGMessageIcon icon) {
            calls.push_back({caption, text, buttons, icon});
            return answer;
        });
        image.ReadWarningAction = pgwaOKBox;
        answer = pgmaCancel; // an OK box goes on whatever
        EXPECT_EQ(LoadError(image, cut), "(loaded)");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].Caption, "JPG Warning");
        EXPECT_EQ(calls[0].Text, "Premature end of JPEG file");
        EXPECT_EQ(calls[0].Buttons, pgmbOK);
        EXPECT_EQ(calls[0].Icon, pgmiWarning);

        image.ReadWarningAction = pgwaOKCancelBox;
        answer = pgmaOK;
        EXPECT_EQ(LoadError(image, cut), "(loaded)");
        answer = pgmaCancel;
        EXPECT_EQ(LoadError(image, cut), "JPG: Operation aborted on user request");
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[2].Buttons, pgmbOKCancel);
    }
    // Nobody to ask: the default OK/Cancel question is answered with Cancel.
    image.ReadWarningAction = pgwaOKCancelBox;
    EXPECT_EQ(LoadError(image, cut), "JPG: Operation aborted on user request");

    // Data that is no JPEG beyond its signature fails in the codec's words.
    EXPECT_EQ(LoadError(image, std::string("\xff\xd8", 2)).rfind("JPG: ", 0), 0u);
    EXPECT_EQ(LoadError(image, std::string("\xff\xd8\xff\xd9", 4)),
              "JPG: JPEG datastream contains no image");
}

TEST(JpegReaderTest, EndlesslyRepeatedScansAreCutShort)
{
    // The last scan of a progressive file, repeated: every copy costs a pass over the picture.
    const std::string file = ReadFile(JpegData("progressive.jpg"));
    const std::size_t last = file.rfind("\xff\xda");
    ASSERT_NE(last, std::string::npos);
    const std::string scan = file.substr(last, file.size() - 2 - last);
    std::string repeated = file.substr(0, file.size() - 2);
    for (int i = 0; i < 500; ++i)
        repeated += scan;
    TPixelGraphic image;
    image.ReadWarningAction = pgwaIgnore;
    EXPECT_EQ(LoadError(image, repeated + "\xff\xd9"),
              "JPG: Scan number 501 exceeds maximum scans (500)");
    // A few repeats are only a warning.
    EXPECT_EQ(LoadError(image, file.substr(0, file.size() - 2) + scan + scan + "\xff\xd9"),
              "(loaded)");
}

TEST(JpegReaderTest, IndexAndInfo)
{
    const std::string bytes = ReadFile(JpegData("color.jpg"));
    TPixelGraphic image;
    TPGBufferStream stream(bytes.data(), bytes.size());
    try {
        TJPGFileFormatReader().Read(stream, image, 1);
        ADD_FAILURE() << "read index 1";
    } catch (const EPGJPGFileFormatReaderWriter& e) {
        EXPECT_STREQ(e.what(), "JPG: Index invalid");
    }
    TPGImageInfo info;
    try {
        TJPGFileFormatReader().GetInfo(stream, 1, info);
        ADD_FAILURE() << "described index 1";
    } catch (const EPGJPGFileFormatReaderWriter& e) {
        EXPECT_STREQ(e.what(), "JPG: Invalid value for Index");
    }
    info = InfoOf(JpegData("color.jpg"));
    EXPECT_EQ(info.Width, 48);
    EXPECT_EQ(info.Height, 32);
    EXPECT_EQ(info.BitsPerPixel, 24);
    EXPECT_EQ(info.Colors, "16.7M");
    EXPECT_EQ(info.Subformat, "JFIF, YCbCr");
    EXPECT_EQ(info.ImageCount, 1);
    EXPECT_EQ(InfoOf(JpegData("progressive.jpg")).Subformat, "JFIF, YCbCr, Progressive");
    EXPECT_EQ(InfoOf(JpegData("rgb.jpg")).Subformat, "Adope, RGB");
    // Header warnings are errors here.
    const std::string cut = bytes.substr(0, 100);
    TPGBufferStream shortStream(cut.data(), cut.size());
    EXPECT_THROW(TJPGFileFormatReader().GetInfo(shortStream, 0, info),
                 EPGJPGFileFormatReaderWriter);
}

TEST(JpegFrameworkTest, ContentWinsOverTheExtension)
{
    TTempDir dir;
    const std::string disguised = dir.Write("photo.bmp", ReadFile(JpegData("color.jpg")));
    TPixelGraphic image;
    image.LoadFromFile(disguised);
    EXPECT_EQ(image.BitCount(), bc24Bit);
    EXPECT_EQ(image.Width(), 48);

    // An upper-case extension chooses the JPEG writer.
    const std::string upper = dir / "PHOTO.JPG";
    image.SaveToFile(upper);
    EXPECT_EQ(ReadFile(upper).substr(0, 2), "\xff\xd8");
    for (const char* ext : {"jpeg", "jif", "JPEG"}) {
        TPGMemoryStream stream;
        image.SaveToStreamAs(stream, ext);
        EXPECT_EQ(stream.Data()[0], 0xFF) << ext;
        EXPECT_EQ(stream.Data()[1], 0xD8) << ext;
    }
}

TEST(JpegWriterTest, PaletteImagesGoThroughTheNegotiation)
{
    TTempDir dir;
    // 16 colours: code 4, then 6, then 7 (24 bits).
    TPixelGraphic image;
    image.SetSize(16, 8, bc4Bit);
    image.SetPaletteCount(16);
    for (int i = 0; i < 16; ++i)
        image.SetPaletteEntry(i, RGB(i * 16, 255 - i * 16, (i * 97) & 0xFF));
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 8; ++y)
            image.SetPixel(x, y, x);
    const std::string out = dir / "sixteen.jpg";

    image.SaveColorResWarningAction = pgwaRaise;
    try {
        image.SaveToFile(out);
        ADD_FAILURE() << "saved";
    } catch (const EPGCannotWriteColorRes& e) {
        EXPECT_STREQ(e.what(), "The graphic cannot be saved with to a JPEG (JFIF compliant) file "
                               "with the current color resolution (16 colors)");
    }
    EXPECT_FALSE(std::filesystem::exists(out));

    image.SaveColorResWarningAction = pgwaIgnore;
    image.SaveToFile(out);
    EXPECT_EQ(InfoOf(out).BitsPerPixel, 24);
    EXPECT_EQ(image.BitCount(), bc4Bit); // the image itself is unchanged

    // Black and white (code 0) and 16 greys (code 2) are written as 256 greys.
    TPixelGraphic bw;
    bw.SetSize(8, 8, bc1Bit);
    bw.SetPaletteIdent(pBlackWhite);
    bw.SetPixel(3, 3, 1);
    bw.SaveColorResWarningAction = pgwaIgnore;
    bw.SaveToFile(out);
    EXPECT_EQ(InfoOf(out).BitsPerPixel, 8);
    TPixelGraphic grays;
    grays.SetSize(8, 8, bc4Bit);
    grays.SetPaletteIdent(pGray16);
    grays.SaveColorResWarningAction = pgwaIgnore;
    grays.SaveToFile(out);
    EXPECT_EQ(InfoOf(out).BitsPerPixel, 8);

    // A refused conversion leaves an existing file as it was.
    image.SaveColorResWarningAction = pgwaRaise;
    const std::string existing = dir.Write("existing.jpg", "the user's file");
    EXPECT_THROW(image.SaveToFile(existing), EPGCannotWriteColorRes);
    EXPECT_EQ(ReadFile(existing), "the user's file");

    // The writer itself refuses what the negotiation would never hand it.
    TPGMemoryStream stream;
    try {
        TJPGFileFormatWriter().Write(stream, image);
        ADD_FAILURE() << "wrote 4 bits";
    } catch (const EPGJPGFileFormatReaderWriter& e) {
        EXPECT_STREQ(e.what(), "JPG: Invalid value for BitCount");
    }
}

TEST(JpegWriterTest, QualityProgressionAndPixels)
{
    TPixelGraphic image;
    image.LoadFromFile(JpegData("color.jpg"));
    auto encode = [&image](int quality, bool progressive) {
        const TSettingScope q(JPEGQuality, quality);
        const TSettingScope p(JPEGProgressive, progressive);
        TPGMemoryStream stream;
        image.SaveToStreamAs(stream, "jpg");
        return std::string(stream.Data().begin(), stream.Data().end());
    };
    const std::string q50 = encode(50, false);
    const std::string q95 = encode(95, false);
    EXPECT_LT(q50.size(), q95.size());
    EXPECT_EQ(JPEGQuality, 80);

    TTempDir dir;
    const std::string file = dir.Write("q95.jpg", q95);
    EXPECT_EQ(InfoOf(file).Subformat, "JFIF, YCbCr");
    // Colours survive in the right order (blue stays blue).
    const auto decoded = testing::ParsePnm(testing::ToolOutput({"djpeg", "-pnm", file}));
    EXPECT_LE(testing::MaxDifference(testing::RgbOf(image), decoded), 24);

    const std::string progressive = dir.Write("p.jpg", encode(80, true));
    EXPECT_EQ(InfoOf(progressive).Subformat, "JFIF, YCbCr, Progressive");

    // Progress per row while writing.
    std::vector<int> steps;
    image.OnProgress = [&](TPixelGraphic&, int step, int max, bool& abort) {
        EXPECT_EQ(max, 32);
        steps.push_back(step);
        abort = true; // not honoured: writing goes on
    };
    TPGMemoryStream stream;
    image.SaveToStreamAs(stream, "jpg");
    EXPECT_EQ(steps.size(), 32u);
    EXPECT_EQ(steps.back(), 32);
}

TEST(JpegWriterTest, FailuresLeaveNoFileAndReachTheCaller)
{
    TTempDir dir;
    TPixelGraphic empty;
    const std::string out = dir / "empty.jpg";
    try {
        empty.SaveToFile(out);
        ADD_FAILURE() << "saved an empty image";
    } catch (const EPGJPGFileFormatReaderWriter& e) {
        EXPECT_EQ(std::string(e.what()).rfind("JPG: ", 0), 0u);
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 0);

    // A stream that cannot take the data fails with its own error.
    TPixelGraphic image;
    image.SetSize(300, 300, bc24Bit);
    TPGBufferStream readOnly("", 0);
    EXPECT_THROW(image.SaveToStreamAs(readOnly, "jpg"), EWriteError);
}

TEST(JpegCodecTest, MismatchedCodecsAreRefused)
{
    EXPECT_NO_THROW(CheckJPEGCodec());
    EXPECT_NO_THROW(CheckJPEGCodec(JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct),
                                   sizeof(jpeg_compress_struct)));
    const int otherVersion = JPEG_LIB_VERSION == 80 ? 62 : 80;
    try {
        CheckJPEGCodec(otherVersion, sizeof(jpeg_decompress_struct), sizeof(jpeg_compress_struct));
        ADD_FAILURE() << "accepted interface " << otherVersion;
    } catch (const EPGJPGFileFormatReaderWriter& e) {
        EXPECT_STREQ(e.what(), "JPG: Invalid library version");
    }
    try {
        CheckJPEGCodec(JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct) + 8,
                       sizeof(jpeg_compress_struct));
        ADD_FAILURE() << "accepted a bigger decompression object";
    } catch (const EPixelGraphic& e) {
        EXPECT_EQ(std::string(e.what()).rfind("jpeg_decompress_struct: the sizes are different", 0),
                  0u)
            << e.what();
    }
    try {
        CheckJPEGCodec(JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct),
                       sizeof(jpeg_compress_struct) - 8);
        ADD_FAILURE() << "accepted a smaller compression object";
    } catch (const EPixelGraphic& e) {
        EXPECT_EQ(std::string(e.what()).rfind("jpeg_compress_struct: the sizes are different", 0),
                  0u)
            << e.what();
    }
}

} // namespace
} // namespace scenaria
