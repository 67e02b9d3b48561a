#include "forms/d_option_button.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "forms/fixed_pitch_text.h"
#include "forms/form.h"
#include "forms/property_bag.h"
#include "platform/sim/sim_platform.h"

namespace qm {
namespace {

// A shown window with one image button, "Open", 735 x 195 twips at (600, 300) inside it. The window
// stands at (100, 100) on the screen, so the button covers pixels 140 to 188 across and 120 to 132 down.
class ButtonForm final : public Form {
  public:
    explicit ButtonForm(Platform& platform)
        : Form(platform.loop, &platform.renderer), button(*this, "buttonTest", platform) {
        SetDesign(ScaleUnit::Twips, BorderStyle::None, 3000, 1500);
        button.Move(600, 300, 735, 195);
        button.SetCaption("Open");
        button.Click = [this, &platform] { clicks.push_back(platform.loop.GetTickCount()); };
    }

    DOptionButton button;
    std::vector<Tick> clicks;  // when each Click was raised
};

class DOptionButtonTest : public ::testing::Test {
  protected:
    DOptionButtonTest() {
        form->Move(1500, 1500);
        form->Show();
    }

    DOptionButton& Button() { return form->button; }
    ScreenPoint OnButton() const { return sim::SimRenderer::CentreOf(form->button); }
    static constexpr ScreenPoint kElsewhere{50, 50};

    void MoveTo(ScreenPoint p) { sim.renderer.UserMovePointer(sim.desktop, p); }
    void Press() { sim.renderer.UserPressLeft(sim.desktop); }
    void Release() { sim.renderer.UserReleaseLeft(sim.desktop); }

    sim::SimPlatform sim;
    std::shared_ptr<ButtonForm> form = std::make_shared<ButtonForm>(sim.platform);
};

TEST_F(DOptionButtonTest, LightsUpAtOnceAndRestsWithinOnePollOfLeaving) {
    EXPECT_EQ(Button().Picture(), kLightOutPicture);
    EXPECT_EQ(Button().Pointer(), MousePointer::Hand);

    MoveTo(OnButton());
    EXPECT_EQ(Button().Picture(), kLightOverPicture);
    EXPECT_TRUE(Button().Polling());

    sim.loop.Advance(350);  // the poll finds the pointer still on the button
    EXPECT_EQ(Button().Picture(), kLightOverPicture);

    MoveTo(kElsewhere);  // the button hears nothing of this move
    EXPECT_EQ(Button().Picture(), kLightOverPicture);
    sim.loop.Advance(100);
    EXPECT_EQ(Button().Picture(), kLightOutPicture);
    EXPECT_FALSE(Button().Polling());
    EXPECT_TRUE(form->clicks.empty());
}

TEST_F(DOptionButtonTest, PressAndReleaseOnTheButtonClicksAfterAShortWait) {
    MoveTo(OnButton());
    Press();
    EXPECT_EQ(Button().Picture(), kLightDownPicture);
    const Tick released = sim.loop.GetTickCount();
    Release();

    ASSERT_EQ(form->clicks.size(), 1u);
    EXPECT_EQ(TickDiff(form->clicks[0], released), 150) << "the wait blocks the thread before Click";
    EXPECT_EQ(sim.loop.Sleeps(), std::vector<int>{150});
    EXPECT_EQ(Button().Picture(), kLightOverPicture);
}

TEST_F(DOptionButtonTest, DraggingOffWhileHeldStaysPressedAndReleasingOutsideDoesNotClick) {
    MoveTo(OnButton());
    Press();
    sim.loop.Advance(100);  // one poll on the button reads the fresh press
    MoveTo(kElsewhere);     // reaches the button, which holds the mouse, with the left button down
    sim.loop.Advance(500);
    EXPECT_EQ(Button().Picture(), kLightDownPicture) << "held: the poll waits";
    EXPECT_TRUE(Button().Polling());

    Release();
    EXPECT_EQ(Button().Picture(), kLightOverPicture) << "button up";
    EXPECT_TRUE(form->clicks.empty());
    sim.loop.Advance(100);
    EXPECT_EQ(Button().Picture(), kLightOutPicture);
    EXPECT_FALSE(Button().Polling());
    EXPECT_TRUE(sim.loop.Sleeps().empty());
}

// The poll counts the left button as held only when its state is exactly 0x8000.
struct KeyStateCase {
    std::uint16_t state;
    bool staysLit;
};

class LeftButtonStateTest : public DOptionButtonTest, public ::testing::WithParamInterface<KeyStateCase> {};

TEST_P(LeftButtonStateTest, OnlyAButtonHeldWithoutAFreshPressKeepsTheLight) {
    MoveTo(OnButton());
    sim.desktop.MovePointer(kElsewhere.x, kElsewhere.y);
    sim.desktop.SetKeyState(kVkLeftButton, static_cast<std::int16_t>(GetParam().state));
    sim.loop.Advance(100);
    EXPECT_EQ(Button().Picture(), GetParam().staysLit ? kLightOverPicture : kLightOutPicture);
    EXPECT_EQ(Button().Polling(), GetParam().staysLit);
}

INSTANTIATE_TEST_SUITE_P(States,
                         LeftButtonStateTest,
                         ::testing::Values(KeyStateCase{0x8000, true},
                                           KeyStateCase{0x8001, false},
                                           KeyStateCase{0x0001, false},
                                           KeyStateCase{0x0000, false}));

// The control's height is the height of its wrapped caption. The caption column is 735 - 240 = 495
// twips, 33 pixels: five characters of 6 pixels at 8.25 points; a line is 13 pixels, 195 twips.
struct CaptionCase {
    std::string caption;
    int lines;
};

class CaptionHeightTest : public DOptionButtonTest, public ::testing::WithParamInterface<CaptionCase> {};

TEST_P(CaptionHeightTest, HeightFollowsTheWrappedCaptionInWholeLines) {
    Button().SetCaption(GetParam().caption);
    EXPECT_DOUBLE_EQ(Button().Height(), 195.0 * GetParam().lines);
    EXPECT_EQ(Button().Caption(), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(Captions,
                         CaptionHeightTest,
                         ::testing::Values(CaptionCase{"Open", 1},
                                           CaptionCase{"", 1},
                                           CaptionCase{"Go on", 1},
                                           CaptionCase{"Go on now", 2},
                                           CaptionCase{"Go on, go on, now", 5},
                                           CaptionCase{"Opening", 2},  // broken inside the word
                                           CaptionCase{"a\nb", 2},
                                           CaptionCase{"\xE6\x89\xFF",
                                                       1},  // broken UTF-8: three narrow characters
                                           CaptionCase{"打开打开打开", 3}));  // 12 pixels each, two a line

TEST_F(DOptionButtonTest, ResizingRefitsTheCaption) {
    Button().SetCaption("Go on now");
    ASSERT_DOUBLE_EQ(Button().Height(), 390);
    Button().Move(600, 300, 1200, 100);  // a column of 64 pixels holds the whole caption
    EXPECT_DOUBLE_EQ(Button().Height(), 195);
    EXPECT_DOUBLE_EQ(Button().ButtonTextWidth(), 960);
    Button().Move(600, 300, 100, 195);  // narrower than the light's column: the caption gets no room
    EXPECT_DOUBLE_EQ(Button().ButtonTextWidth(), 0);
    EXPECT_DOUBLE_EQ(Button().Height(), 195.0 * 7);  // one character a line, no spaces
}

TEST_F(DOptionButtonTest, AFontChangeWaitsForTheNextCaptionToRefit) {
    Button().SetCaption("Go");
    FontSpec large = Button().Font();
    large.size = 18;  // 24 pixels: lines of 26 pixels, 390 twips; "Go" still fits on one
    Button().SetFont(large);
    EXPECT_EQ(Button().Font().size, 18);
    EXPECT_DOUBLE_EQ(Button().Height(), 195) << "no re-fit on a font change";

    Button().SetCaption("Go");
    EXPECT_DOUBLE_EQ(Button().Height(), 390);
    Button().SetCaption("Open");  // 48 pixels: two lines at this size
    EXPECT_DOUBLE_EQ(Button().Height(), 780);
}

// Stored properties.
class MapBag final : public PropertyBag {
  public:
    PropertyValue ReadProperty(const std::string& name) override {
        const auto it = values.find(name);
        if (it == values.end() || unreadable) {
            throw PlatformError("Property not found", 327);
        }
        return it->second;
    }
    void WriteProperty(const std::string& name, const PropertyValue& value) override { values[name] = value; }

    std::map<std::string, PropertyValue> values;
    bool unreadable = false;
};

TEST_F(DOptionButtonTest, StoredCaptionAndFontComeBackAndBadValuesAreIgnored) {
    FontSpec font;
    font.name = "Tahoma";
    Button().SetFont(font);
    Button().SetCaption("Go on now");
    MapBag bag;
    Button().WriteProperties(bag);

    auto other = std::make_shared<ButtonForm>(sim.platform);
    other->button.InitProperties();
    EXPECT_EQ(other->button.Caption(), "buttonTest");
    other->button.ReadProperties(bag);
    EXPECT_EQ(other->button.Caption(), "Go on now");
    EXPECT_EQ(other->button.Font(), font);
    EXPECT_DOUBLE_EQ(other->button.Height(), 390);

    // A value of the wrong kind, or a bag that cannot be read, leaves the property; the other is read.
    bag.values["Caption"] = FontSpec{};
    bag.values["Font"] = FontSpec{};
    other->button.ReadProperties(bag);
    EXPECT_EQ(other->button.Caption(), "Go on now");
    EXPECT_EQ(other->button.Font(), FontSpec{});
    bag.unreadable = true;
    other->button.SetFont(font);
    other->button.ReadProperties(bag);
    EXPECT_EQ(other->button.Font(), font);
}

}  // namespace
}  // namespace qm
