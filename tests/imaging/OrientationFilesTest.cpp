// The orientation tag of JPEG (APP1 Exif), PNG (eXIf) and TIFF (tag 274) files, with the tag
// written by exiftool: for each of the eight orientations the test picture is stored turned the
// opposite way by ImageMagick, tagged, and must come back upright after ApplyOrientation, while
// the reader itself leaves the pixels as stored.

#include "FormatOracles.h"
#include "FormatTestSupport.h"
#include "TempDir.h"

#include "imaging/FileFormats.h"
#include "imaging/Orientation.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"

#include <gtest/gtest.h>

#include <string>

namespace scenaria {
namespace {

using testing::MaxDifference;
using testing::RgbOf;
using testing::Shell;
using testing::TTempDir;

// ImageMagick's operation that stores an upright picture the way orientation k describes,
// which is the inverse of what a viewer does for k.
const char* const StoringTurn[9] = {"",          "",           "-flop",       "-rotate 180",
                                    "-flip",     "-transpose", "-rotate -90", "-transverse",
                                    "-rotate 90"};

struct TOrientationRow {
    const char* Format;
    const char* Extension;
    const char* Options; // of ImageMagick's writer
    int Tolerance;       // JPEG: the stored file is a lossy copy of the turned picture
};

struct TParam {
    TOrientationRow Row;
    int Orientation;
};

class OrientationFilesTest : public ::testing::TestWithParam<TParam> {};

TEST_P(OrientationFilesTest, ReportedAsStoredAndTurnedUpright)
{
    const TOrientationRow& row = GetParam().Row;
    const int k = GetParam().Orientation;
    TTempDir dir;
    dir.Write("upright.ppm", testing::TestPatternPpm(32, 16));
    const std::string stored = std::string("stored.") + row.Extension;
    Shell("cd '" + dir.Path().string() + "'; convert-im6.q16 upright.ppm " + StoringTurn[k] + " " +
          row.Options + " " + stored + " && exiftool -q -overwrite_original -n -Orientation=" +
          std::to_string(k) + " " + stored);

    TPGFileStream stream(dir / stored, TPGFileStream::fmOpenRead);
    const TFileFormatReader* reader = FileFormats().FindReader(stream, row.Extension);
    ASSERT_NE(reader, nullptr);
    TPGImageInfo info;
    reader->GetInfo(stream, 0, info);
    EXPECT_EQ(info.Orientation, k);

    TPixelGraphic image;
    image.ReadWarningAction = pgwaRaise;
    image.LoadFromFile(dir / stored);
    EXPECT_EQ(image.Orientation, k);
    const bool sideways = k >= 5;
    EXPECT_EQ(image.Width(), sideways ? 16 : 32) << "the reader does not turn";
    ApplyOrientation(image);
    EXPECT_EQ(image.Width(), 32);
    EXPECT_EQ(image.Height(), 16);
    // PNG and TIFF give the test picture back exactly; a JPEG is compared with ImageMagick's
    // decode of the same file, turned by its own reading of the tag.
    const testing::TRgbPicture expected =
        row.Tolerance == 0 ? testing::ParsePnm(testing::ReadFile(dir / "upright.ppm"))
                           : testing::ImageMagickRgb(dir / stored);
    EXPECT_LE(MaxDifference(RgbOf(image), expected), row.Tolerance);
}

const TOrientationRow Formats[] = {
    {"Jpeg", "jpg", "-quality 95 -sampling-factor 1x1", 1},
    // Without gAMA and cHRM, which would have the PNG reader correct the gamma.
    {"Png", "png", "-define png:exclude-chunks=gAMA,cHRM,bKGD", 0},
    {"Tiff", "tif", "-compress none", 0},
};

std::vector<TParam> Params()
{
    std::vector<TParam> params;
    for (const TOrientationRow& row : Formats)
        for (int k = 1; k <= 8; ++k)
            params.push_back({row, k});
    return params;
}

INSTANTIATE_TEST_SUITE_P(Files, OrientationFilesTest, ::testing::ValuesIn(Params()),
                         [](const auto& row) {
                             return std::string(row.param.Row.Format) + "Orientation" +
                                    std::to_string(row.param.Orientation);
                         });

TEST(OrientationFiles, AnXmpSegmentBesideTheExifOneDoesNotHideIt)
{
    TTempDir dir;
    dir.Write("upright.ppm", testing::TestPatternPpm(32, 16));
    Shell("cd '" + dir.Path().string() +
          "'; convert-im6.q16 upright.ppm -rotate 90 stored.jpg && exiftool -q "
          "-overwrite_original -n -Orientation=8 -XMP:Title=walls stored.jpg");
    TPixelGraphic image;
    image.LoadFromFile(dir / "stored.jpg");
    EXPECT_EQ(image.Orientation, 8);
}

} // namespace
} // namespace scenaria
