// The About box's banner: the stored file is what the tool makes, and it is the picture the box
// is described with.

#include "RunProgram.h"
#include "TempDir.h"

#include "imaging/gif/GifImage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace scenaria {
namespace {

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(ToolGifBanner, StoredBannerIsWhatTheToolMakes)
{
    testing::TTempDir dir;
    const auto r = testing::RunTool({"gif-banner", dir / "banner.gif"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const std::string made = ReadBytes(dir / "banner.gif");
    const std::string stored =
        ReadBytes(scenaria::testing::SourceFolder() + "/ui/resources/about-banner.gif");
    ASSERT_FALSE(stored.empty());
    EXPECT_TRUE(made == stored) << "run ui/resources/make-banner.sh to bring the banner up to date";

    EXPECT_EQ(stored.substr(0, 6), "GIF89a");
    TGIFImage banner;
    banner.LoadFromFile(dir / "banner.gif");
    EXPECT_EQ(banner.Width(), 320);
    EXPECT_EQ(banner.Height(), 80);
    EXPECT_EQ(banner.Header().ColorMap().Count(), 256);
    ASSERT_EQ(banner.Images().Count(), 4);
    std::vector<int> delays;
    for (const auto& frame : banner.Images()) {
        const TGIFGraphicControlExtension* control = frame->GraphicControlExtension();
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(frame->Transparent());
        EXPECT_EQ(control->Disposal(), 1);
        delays.push_back(control->Delay);
    }
    EXPECT_EQ(delays, (std::vector<int>{50, 100, 100, 200}));
    const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(&banner.Images()[0].Extensions()[0]);
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->Loops, 0);
    // The frames after the first leave what does not change transparent, and do change it.
    const TGIFSubImage& noon = banner.Images()[1];
    const std::uint8_t transparent = noon.GraphicControlExtension()->TransparentColorIndex;
    std::set<std::uint8_t> used(noon.Data(), noon.Data() + noon.DataSize());
    EXPECT_TRUE(used.count(transparent));
    EXPECT_GT(used.size(), 20u);
}

} // namespace
} // namespace scenaria
