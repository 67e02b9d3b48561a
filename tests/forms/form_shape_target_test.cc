#include "forms/form_shape_target.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "base/platform_error.h"
#include "forms/form.h"
#include "forms/pixel_rows.h"
#include "platform/sim/sim_platform.h"

namespace qm {
namespace {

class ShapedForm final : public Form {
  public:
    ShapedForm(sim::SimPlatform& sim, float widthTwips, float heightTwips) : Form(sim.loop, &sim.renderer) {
        SetDesign(ScaleUnit::Twips, BorderStyle::None, widthTwips, heightTwips);
        SetCaption("Countdown");
        SetBackColor(kWhite);
    }
};

struct SizeCase {
    float widthTwips;
    float heightTwips;
    std::int32_t twipsPerPixel;
    std::int32_t pixelWidth;
    std::int32_t pixelHeight;
};

class FormShapeTargetSizeTest : public ::testing::TestWithParam<SizeCase> {
  protected:
    sim::SimPlatform sim;
};

TEST_P(FormShapeTargetSizeTest, MeasuresTheWholeWindowInRoundedPixels) {
    const SizeCase& c = GetParam();
    auto form = std::make_shared<ShapedForm>(sim, c.widthTwips, c.heightTwips);
    FormShapeTarget target(*form, c.twipsPerPixel);
    EXPECT_EQ(target.PixelWidth(), c.pixelWidth);
    EXPECT_EQ(target.PixelHeight(), c.pixelHeight);
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         FormShapeTargetSizeTest,
                         ::testing::Values(SizeCase{3000, 1500, 15, 200, 100},  // the common screen
                                           SizeCase{3000, 1500, 12, 250, 125},  // large fonts
                                           SizeCase{3007, 3008, 15, 200, 201},  // 200.47 down, 200.53 up
                                           SizeCase{3007.5f, 22.5f, 15, 201,
                                                    2},  // halves round away from zero
                                           SizeCase{0, 7, 15, 0, 0},
                                           SizeCase{120, 45, 1, 120, 45},
                                           // A screen that reports no sensible scale is taken as one twip to
                                           // a pixel rather than divided by.
                                           SizeCase{120, 45, 0, 120, 45},
                                           SizeCase{120, 45, -15, 120, 45}));

class FormShapeTargetTest : public ::testing::Test {
  protected:
    FormShapeTargetTest() { form->Show(); }

    sim::SimPlatform sim;
    std::shared_ptr<ShapedForm> form = std::make_shared<ShapedForm>(sim, 3000, 1500);
    FormShapeTarget target{*form, 15};
};

TEST_F(FormShapeTargetTest, TheRegionBecomesTheShapeOfTheShownWindow) {
    const Region outline = Region::FromRect(0, 5, 200, 100);
    target.SetWindowRegion(outline);
    ASSERT_TRUE(form->Shape().has_value());
    EXPECT_EQ(*form->Shape(), outline);
    ASSERT_TRUE(sim.renderer.RecordOf(*form)->region.has_value());
    EXPECT_EQ(*sim.renderer.RecordOf(*form)->region, outline) << "the native window is shaped too";

    target.SetWindowRegion(std::nullopt);
    EXPECT_FALSE(form->Shape().has_value());
    EXPECT_FALSE(sim.renderer.RecordOf(*form)->region.has_value());
}

TEST_F(FormShapeTargetTest, HasNoPixelsToReadAndKeepsTheWindowAsItWas) {
    EXPECT_THROW(target.OpenPixels(), PlatformError);
    EXPECT_FALSE(form->Shape().has_value());
}

TEST_F(FormShapeTargetTest, LeavesTheWindowsLookAlone) {
    // The shaper blanks the caption and paints the key colour of the buttons it shapes; a form keeps its
    // own.
    EXPECT_EQ(target.Kind(), ShapeTargetKind::Form);
    target.PrepareForScan();
    target.SetParentScaleMode(kScaleModePixels);
    target.SetCaption("");
    target.SetBackColor(Rgb(255, 0, 255));
    target.Refresh();
    EXPECT_EQ(target.ParentScaleMode(), kScaleModeTwips);
    EXPECT_EQ(form->Caption(), "Countdown");
    EXPECT_EQ(form->BackColor(), kWhite);
    EXPECT_EQ(form->Width(), 3000);
    EXPECT_EQ(form->Scale(), ScaleUnit::Twips);
}

}  // namespace
}  // namespace qm
