#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "forms/bitmap.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_shape_target.h"
#include "system/color_key_form.h"

namespace qm {
namespace {

const std::string kAssets = std::string(QM_FIXTURES_DIR) + "/../../assets/";

std::vector<std::uint8_t> ReadAsset(const std::string& name) {
    std::ifstream in(kAssets + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bitmap LoadPicture(const std::string& name) {
    const auto picture = Bitmap::FromBmp(ReadAsset(name));
    EXPECT_TRUE(picture.has_value()) << name;
    return picture.value_or(Bitmap());
}

constexpr std::uint32_t kKeyRed = Bitmap::Rgb(255, 0, 0);

TEST(AssetsTest, RegionFileIsTheShapeOfTheFace) {
    const Bitmap face = LoadPicture("ieclosedelay.bmp");
    sim::SimFiles files;
    sim::SimShapeTarget window(ShapeTargetKind::Form, face);
    ColorKeyForm(files).ShapeMe(window, kKeyRed, false, "ieclosedelay.wr");
    EXPECT_EQ(files.Contents("ieclosedelay.wr"), ReadAsset("ieclosedelay.wr"));
}

TEST(AssetsTest, FaceIsDrawnInFourColoursWithItsCornersCutAway) {
    const Bitmap face = LoadPicture("ieclosedelay.bmp");
    ASSERT_EQ(face.Width(), 214);
    ASSERT_EQ(face.Height(), 71);
    const std::set<std::uint32_t> colours(face.Pixels().begin(), face.Pixels().end());
    EXPECT_EQ(colours, (std::set<std::uint32_t>{Bitmap::Rgb(0, 0, 0), Bitmap::Rgb(255, 255, 255),
                                                Bitmap::Rgb(138, 137, 137), kKeyRed}));
    for (const auto& [x, y] : {std::pair{0, 0}, {213, 0}, {0, 70}, {213, 70}}) {
        EXPECT_EQ(face.Pixel(x, y), kKeyRed) << x << "," << y;
    }
    // The middle of the face, where the address stands, is kept.
    EXPECT_NE(face.Pixel(107, 35), kKeyRed);
}

TEST(AssetsTest, LightsAreTenByTenInBlueTones) {
    for (const char* name : {"light_out.bmp", "light_over.bmp", "light_down.bmp"}) {
        const Bitmap light = LoadPicture(name);
        ASSERT_EQ(light.Width(), 10) << name;
        ASSERT_EQ(light.Height(), 10) << name;
        int blue = 0;
        for (const std::uint32_t c : light.Pixels()) {
            const std::uint32_t r = c & 0xFF;
            const std::uint32_t b = (c >> 16) & 0xFF;
            if (c != 0xFFFFFF) {
                EXPECT_GT(b, r) << name;
                ++blue;
            }
        }
        EXPECT_GT(blue, 50) << name;
    }
    EXPECT_NE(LoadPicture("light_out.bmp"), LoadPicture("light_over.bmp"));
    EXPECT_NE(LoadPicture("light_over.bmp"), LoadPicture("light_down.bmp"));
}

TEST(AssetsTest, WindowPicturesHaveTheSizesTheirWindowsExpect) {
    const Bitmap background = LoadPicture("ieset.bmp");
    EXPECT_EQ(background.Width(), 720);
    EXPECT_EQ(background.Height(), 510);
    // The title and the program's name are white text: the picture must be dark where they stand.
    for (const auto& [x, y] : {std::pair{30, 25}, {100, 460}}) {
        EXPECT_LT(background.Pixel(x, y) & 0xFF, 128u) << x << "," << y;
    }
    // Check boxes and other labels stand on white.
    EXPECT_EQ(background.Pixel(130, 85), Bitmap::Rgb(255, 255, 255));
    const Bitmap message = LoadPicture("msgpopup.bmp");
    EXPECT_EQ(message.Width(), 90);
    EXPECT_EQ(message.Height(), 53);
}

}  // namespace
}  // namespace qm
