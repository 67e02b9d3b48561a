#include "platform/sim/sim_renderer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "forms/form.h"
#include "forms/timer.h"
#include "platform/sim/sim_platform.h"

namespace qm {
namespace {

// A window of 3000 x 1500 twips (200 x 100 pixels) with a label and a text box side by side.
class PanelForm final : public Form {
  public:
    explicit PanelForm(sim::SimPlatform& sim)
        : Form(sim.loop, &sim.renderer),
          labelName(*this, "labelName", ControlKind::Label),
          textName(*this, "textName", ControlKind::TextBox) {
        SetDesign(ScaleUnit::Twips, BorderStyle::None, 3000, 1500);
        labelName.Move(150, 150, 1200, 300);
        textName.Move(1500, 150, 1200, 300);
    }

    Control labelName;
    Control textName;
};

class SimRendererTest : public ::testing::Test {
  protected:
    std::shared_ptr<PanelForm> NewPanel(float left, float top) {
        auto panel = std::make_shared<PanelForm>(sim);
        panel->Move(left, top);
        return panel;
    }

    sim::SimPlatform sim;
};

TEST_F(SimRendererTest, WindowFromPointFindsTheTopmostWindowAndItsWindowedControl) {
    const auto below = NewPanel(0, 0);
    const auto above = NewPanel(1500, 0);  // overlaps pixels 100 to 199 across
    const auto topmost = NewPanel(2250, 0);
    topmost->Show(ShowStyle::TopmostNoActivate);
    below->Show();
    above->Show();

    EXPECT_EQ(sim.renderer.WindowFromPoint({50, 50}).form, below.get());
    EXPECT_EQ(sim.renderer.WindowFromPoint({120, 50}).form, above.get()) << "shown later";
    EXPECT_EQ(sim.renderer.WindowFromPoint({160, 50}).form, topmost.get()) << "topmost, though shown first";
    EXPECT_EQ(sim.renderer.WindowFromPoint({400, 50}).form, nullptr);

    // The label draws into its window; the text box has a window of its own.
    const WindowAtPoint onLabel = sim.renderer.WindowFromPoint(sim::SimRenderer::CentreOf(below->labelName));
    EXPECT_EQ(onLabel.form, below.get());
    EXPECT_EQ(onLabel.control, nullptr);
    EXPECT_EQ(sim.renderer.WindowFromPoint({20, 15}).control, nullptr);
    EXPECT_EQ(sim.renderer.WindowFromPoint(sim::SimRenderer::CentreOf(below->textName)).control, nullptr)
        << "covered by the window above";
    EXPECT_EQ(sim.renderer.WindowFromPoint(sim::SimRenderer::CentreOf(topmost->textName)).control,
              &topmost->textName);

    topmost->Hide();
    EXPECT_EQ(sim.renderer.WindowFromPoint({160, 50}).form, above.get());
    above->Unload();
    EXPECT_EQ(sim.renderer.WindowFromPoint({250, 50}).form, nullptr);
    EXPECT_EQ(sim.renderer.WindowFromPoint({160, 50}).form, below.get());
}

TEST_F(SimRendererTest, ASleepBlocksTimersWhichThenTickOnceAndKeepTheirPeriod) {
    std::vector<std::int64_t> ticks;
    Timer timer(sim.loop, [&] { ticks.push_back(sim.loop.Elapsed()); });
    timer.SetInterval(100);
    timer.SetEnabled(true);
    sim.loop.Advance(50);
    sim.loop.Sleep(370);  // 420: the ticks due at 100, 200, 300 and 400 were never delivered
    EXPECT_TRUE(ticks.empty());
    EXPECT_EQ(sim.loop.Elapsed(), 420);
    sim.loop.Advance(80);
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{420, 500}));
    EXPECT_EQ(sim.loop.Sleeps(), std::vector<int>{370});
}

}  // namespace
}  // namespace qm
