#include "monitor/ie_close_delay.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "forms/fixed_pitch_text.h"
#include "forms/region.h"
#include "settings/language_class.h"
#include "support/sim_scenario.h"

namespace qm {
namespace {

using testing::SimScenario;

const std::string kRegionPath = "C:\\Program Files\\Quillmere\\ieclosedelay.wr";

std::vector<std::uint8_t> RegionAsset() {
    std::ifstream in(std::string(QM_FIXTURES_DIR) + "/../../assets/ieclosedelay.wr", std::ios::binary);
    EXPECT_TRUE(in.good());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A started program with the region file beside it.
class CloseDelayTest : public ::testing::Test, protected SimScenario {
  protected:
    void SetUp() override {
        sim.files.SetFile(kRegionPath, RegionAsset());
        app.Main();
    }

    // A countdown window as the popup decision makes one, with the address arriving right after Execute.
    std::shared_ptr<IECloseDelay> Block(const std::string& url) {
        auto delay = std::make_shared<IECloseDelay>(app);
        delay->Load();
        delay->Execute();
        delay->TextURL.SetText(url);
        return delay;
    }

    // The user clicks an image button of a window with the mouse.
    void ClickOn(const Control& button) {
        sim.renderer.UserMovePointer(sim.desktop, sim::SimRenderer::CentreOf(button));
        sim.renderer.UserPressLeft(sim.desktop);
        sim.renderer.UserReleaseLeft(sim.desktop);
    }

    std::vector<std::string>& Killed() { return app.Hub().KilledPopups; }
    std::vector<std::shared_ptr<IECloseDelay>>& Row() { return app.Hub().IECloseDelays; }
};

class ExpiryTest : public CloseDelayTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ExpiryTest, ClosesAtExactlyTheTenthTickWithItsAddressKilledOnce) {
    const bool blockedBefore = GetParam();
    if (blockedBefore) {
        app.Hub().AddKilledPopup("http://ads.example/pop");
    }
    const auto delay = Block("http://ads.example/pop");
    ASSERT_TRUE(delay->Visible());
    EXPECT_EQ(sim.renderer.RecordOf(*delay)->lastShow, ShowStyle::TopmostNoActivate);
    EXPECT_EQ(delay->labelTime.Caption(), "10");

    sim.loop.Advance(1000);
    EXPECT_EQ(delay->labelTime.Caption(), "9");
    sim.loop.Advance(8999);
    EXPECT_EQ(delay->labelTime.Caption(), "1");
    EXPECT_TRUE(delay->Loaded());
    EXPECT_EQ(Killed().size(), blockedBefore ? 1u : 0u);

    sim.loop.Advance(1);
    EXPECT_EQ(delay->labelTime.Caption(), "0");
    EXPECT_FALSE(delay->Loaded());
    EXPECT_FALSE(delay->Visible());
    EXPECT_TRUE(Row().empty());
    EXPECT_EQ(Killed(), std::vector<std::string>{"http://ads.example/pop"});
    EXPECT_TRUE(sim.desktop.ShellExecutes().empty());

    sim.loop.Advance(5000);
    EXPECT_EQ(delay->CountSoFar(), 10);
}

INSTANTIATE_TEST_SUITE_P(BlockedBefore, ExpiryTest, ::testing::Bool());

TEST_F(CloseDelayTest, OpenOpensTheAddressAndRecordsNothing) {
    const auto delay = Block("http://ads.example/pop?a=1 b");
    sim.loop.Advance(4000);
    ClickOn(delay->buttonOpen);

    ASSERT_EQ(sim.desktop.ShellExecutes().size(), 1u);
    const auto& start = sim.desktop.ShellExecutes()[0];
    EXPECT_EQ(start.verb, "");
    EXPECT_EQ(start.file, "iexplore.exe");
    EXPECT_EQ(start.parameters, "http://ads.example/pop?a=1 b");
    EXPECT_EQ(start.showCommand, 1);
    EXPECT_EQ(sim.loop.Sleeps(), std::vector<int>{150});
    EXPECT_FALSE(delay->Loaded());
    EXPECT_TRUE(Row().empty());

    sim.loop.Advance(10000);
    EXPECT_TRUE(Killed().empty());
    EXPECT_EQ(sim.desktop.ShellExecutes().size(), 1u);
}

TEST_F(CloseDelayTest, CloseRecordsAtOnceAndNoTickFollows) {
    const auto delay = Block("http://ads.example/pop");
    sim.loop.Advance(3000);
    ClickOn(delay->buttonClose);

    EXPECT_EQ(Killed(), std::vector<std::string>{"http://ads.example/pop"});
    EXPECT_FALSE(delay->Loaded());
    EXPECT_TRUE(Row().empty());
    sim.loop.Advance(10000);
    EXPECT_EQ(delay->CountSoFar(), 3);
    EXPECT_EQ(delay->labelTime.Caption(), "7");
    EXPECT_EQ(Killed().size(), 1u);
    EXPECT_TRUE(sim.desktop.ShellExecutes().empty());

    // A window that has closed does not come back.
    delay->Execute();
    EXPECT_FALSE(delay->Visible());
    EXPECT_TRUE(Row().empty());
}

TEST_F(CloseDelayTest, TwoWindowsStandSideBySideWithTheirOwnCountdowns) {
    const auto first = Block("http://ads.example/one");
    sim.loop.Advance(500);
    const auto second = Block("http://ads.example/two");
    ASSERT_EQ(Row(), (std::vector<std::shared_ptr<IECloseDelay>>{first, second}));

    // The screen is 1024 pixels, 15360 twips; each window 3195 twips: gaps of (15360 - 6390) / 3.
    EXPECT_FLOAT_EQ(first->Left(), 2990);
    EXPECT_FLOAT_EQ(second->Left(), 2 * 2990 + 3195);
    EXPECT_FLOAT_EQ(first->Top(), 90);
    EXPECT_FLOAT_EQ(second->Top(), 90);
    // They do not cover each other on the screen.
    EXPECT_LE(sim::SimRenderer::ScreenRectOf(*first).right, sim::SimRenderer::ScreenRectOf(*second).left);

    sim.loop.Advance(9500);
    EXPECT_FALSE(first->Loaded());
    EXPECT_EQ(second->labelTime.Caption(), "1");
    EXPECT_EQ(Killed(), std::vector<std::string>{"http://ads.example/one"});
    EXPECT_FLOAT_EQ(second->Left(), 2 * 2990 + 3195) << "the row is laid out again only when a window joins";

    ClickOn(second->buttonOpen);
    EXPECT_EQ(sim.desktop.ShellExecutes().at(0).parameters, "http://ads.example/two");
    EXPECT_EQ(Killed().size(), 1u);
    EXPECT_TRUE(Row().empty());
}

TEST_F(CloseDelayTest, QuittingDuringACountdownNeitherOpensNorKills) {
    const auto delay = Block("http://ads.example/pop");
    sim.loop.Advance(2000);
    app.QuitProgram();
    sim.loop.Advance(20000);
    EXPECT_TRUE(Killed().empty());
    EXPECT_TRUE(sim.desktop.ShellExecutes().empty());
}

TEST_F(CloseDelayTest, TheFaceIsCutToTheRegionFileAndStartUpKeepsOneHidden) {
    const auto region = Region::FromRegionData(RegionAsset());
    ASSERT_TRUE(region.has_value());
    IECloseDelay* hidden = app.DefaultCloseDelay();
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(hidden->Loaded());
    EXPECT_FALSE(hidden->Counting());
    EXPECT_EQ(hidden->Shape(), region);
    EXPECT_TRUE(sim.renderer.VisibleForms().empty());

    const auto delay = Block("http://ads.example/pop");
    EXPECT_EQ(sim.renderer.RecordOf(*delay)->region, region);
    EXPECT_EQ(Row(), std::vector<std::shared_ptr<IECloseDelay>>{delay}) << "the hidden one never joins";
    // The cut-away corner is not the window's: the pointer there finds nothing of the program.
    const auto rect = sim::SimRenderer::ScreenRectOf(*delay);
    const ScreenPoint corner{static_cast<std::int32_t>(rect.left), static_cast<std::int32_t>(rect.top)};
    EXPECT_EQ(sim.renderer.WindowFromPoint(corner).form, nullptr);
    EXPECT_EQ(sim.renderer.WindowFromPoint(sim::SimRenderer::CentreOf(delay->TextURL)).form, delay.get());
}

// A region file that cannot give the window its outline.
enum class BadRegion { Missing, Empty, Unreadable, Damaged };

class BadRegionTest : public CloseDelayTest, public ::testing::WithParamInterface<BadRegion> {
  protected:
    void SetUp() override {
        switch (GetParam()) {
            case BadRegion::Missing:
                break;
            case BadRegion::Empty:
                sim.files.SetFile(kRegionPath, {});
                break;
            case BadRegion::Unreadable:
                sim.files.SetFile(kRegionPath, RegionAsset());
                sim.files.Lock(kRegionPath);
                break;
            case BadRegion::Damaged: {
                auto data = RegionAsset();
                data.resize(40);  // the header promises more rectangles than follow
                sim.files.SetFile(kRegionPath, data);
                break;
            }
        }
        app.Main();
    }
};

TEST_P(BadRegionTest, StartUpCompletesAndTheWindowWorksUnshaped) {
    ASSERT_TRUE(app.Running());
    ASSERT_NE(app.DefaultCloseDelay(), nullptr);
    EXPECT_TRUE(app.DefaultCloseDelay()->Loaded());
    EXPECT_FALSE(app.DefaultCloseDelay()->Shape().has_value());

    const auto delay = Block("http://ads.example/pop");
    EXPECT_TRUE(delay->Visible());
    EXPECT_FALSE(delay->Shape().has_value());
    EXPECT_FALSE(sim.renderer.RecordOf(*delay)->region.has_value());
    EXPECT_FLOAT_EQ(delay->Left(), (15360.0f - 3195.0f) / 2);
    sim.loop.Advance(10000);
    EXPECT_FALSE(delay->Loaded());
    EXPECT_EQ(Killed(), std::vector<std::string>{"http://ads.example/pop"});
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    BadRegionTest,
    ::testing::Values(BadRegion::Missing, BadRegion::Empty, BadRegion::Unreadable, BadRegion::Damaged));

class ChineseCloseDelayTest : public CloseDelayTest {
  protected:
    void SetUp() override {
        CloseDelayTest::SetUp();
        app.AppLanguage().Language = "Chinese";
    }
};

TEST_F(ChineseCloseDelayTest, ChineseTextsAndFontsWithTheLineInOrderAndEachTextOnOneLine) {
    const auto delay = Block("http://ads.example/pop");
    EXPECT_EQ(delay->buttonOpen.Caption(), "打开");
    EXPECT_EQ(delay->buttonClose.Caption(), "关闭");
    for (const Control* control : delay->Controls()) {
        EXPECT_EQ(control->Font(), (FontSpec{.name = "宋体", .size = 9, .charset = 134})) << control->Name();
    }
    // The buttons were fitted to their captions before the font changed, and stay so.
    EXPECT_DOUBLE_EQ(delay->buttonOpen.Height(), 195);

    // "在", the number, then the trailing text: each after the one before, within the address field's
    // span, each on one line of its label.
    const std::vector<std::pair<const Control*, std::string>> line{
        {&delay->labelTimeRight, "在"},
        {&delay->labelTime, "10"},
        {&delay->labelTimeLeft, "秒钟后本窗口将自动关闭"}};
    double previousLeft = delay->TextURL.Left() - 1;
    for (const auto& [label, text] : line) {
        EXPECT_EQ(label->Caption(), text);
        const auto widthPixels = static_cast<std::int32_t>(label->Width() / 15);
        EXPECT_EQ(FixedPitchText::LineCount(text, label->Font(), widthPixels), 1) << text;
        EXPECT_GT(label->Left(), previousLeft) << text;
        EXPECT_LE(label->Left() + label->Width(), delay->TextURL.Left() + delay->TextURL.Width()) << text;
        previousLeft = label->Left();
    }
    EXPECT_EQ(delay->labelTimeRight.Alignment(), TextAlignment::Right);
    EXPECT_EQ(delay->labelTimeLeft.Alignment(), TextAlignment::Left);
    sim.loop.Advance(1000);
    EXPECT_EQ(delay->labelTime.Caption(), "9");
}

}  // namespace
}  // namespace qm
