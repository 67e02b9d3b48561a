#include <gtest/gtest.h>

#include "settings/language_class.h"
#include "support/sim_scenario.h"

namespace qm {
namespace {

using testing::SimScenario;

class StartupTest : public ::testing::Test, protected SimScenario {};

TEST_F(StartupTest, SecondCopyEndsSilentlyAndTouchesNothing) {
    sim.process.SetPrevInstance(true);
    sim.world.OpenBrowser("http://news.example/");
    app.Main();
    EXPECT_FALSE(app.Running());
    EXPECT_TRUE(sim.process.Mutexes().empty());
    EXPECT_EQ(sim.process.CommonControlsCalls(), 0);
    EXPECT_FALSE(app.HasHub());
    EXPECT_TRUE(sim.desktop.MessageBoxes().empty());
    EXPECT_EQ(sim.loop.RunningTimerCount(), 0);
}

TEST_F(StartupTest, StartUpMarksTheRunAndStartsWatching) {
    auto browser = sim.world.OpenBrowser("http://news.example/");
    app.Main();
    EXPECT_TRUE(app.Running());
    EXPECT_EQ(sim.process.Mutexes(), std::vector<std::string>{"Tarnwick Quillmere"});
    EXPECT_EQ(sim.process.CommonControlsCalls(), 1);
    EXPECT_EQ(sim.process.CommonControlsSize(), 8u);
    EXPECT_EQ(sim.process.CommonControlsFlags(), 0x200u);
    EXPECT_EQ(app.AppTitle(), "Varrow Quillmere 4.13");
    EXPECT_EQ(MonitorCount(), 1u);
    EXPECT_TRUE(sim.desktop.MessageBoxes().empty());
}

TEST_F(StartupTest, TheLanguageChosenForTheRunNamesTheProgramAndItsStoredOptions) {
    app.SetStartupLanguage("Chinese");
    app.Main();
    EXPECT_EQ(app.AppLanguage().Language, "Chinese");
    EXPECT_EQ(app.AppTitle(), "米瑞尔之IE助手");
    EXPECT_EQ(sim.tray.Tooltip(), "米瑞尔之IE助手");
    EXPECT_EQ(sim.settings.Value("米瑞尔之IE助手", "米瑞尔之IE助手", "Ready"), "True")
        << "the Chinese options are kept under the Chinese title";
    EXPECT_FALSE(sim.settings.Value(kAppTitle, kAppTitle, "Ready").has_value());
}

TEST_F(StartupTest, QuitEndsTheProcessAndNothingFiresAgain) {
    auto browser = sim.world.OpenBrowser("http://news.example/");
    app.Main();
    app.QuitProgram();
    EXPECT_FALSE(app.Running());
    EXPECT_TRUE(sim.process.Ended());
    EXPECT_TRUE(browser->Alive()) << "browsers stay open, unwatched";
    const auto before = sim.loop.Elapsed();
    sim.loop.Advance(10000);
    EXPECT_EQ(sim.loop.Elapsed(), before + 10000);
    EXPECT_EQ(MonitorCount(), 0u);
}

TEST_F(StartupTest, RightAfterStartUpOnlyTheTrayIconShows) {
    sim.world.OpenBrowser("http://news.example/");
    app.Main();
    EXPECT_TRUE(sim.tray.Shown());
    EXPECT_EQ(sim.tray.Tooltip(), app.AppTitle());
    EXPECT_TRUE(sim.renderer.VisibleForms().empty());
    EXPECT_FALSE(sim.renderer.LoadedForms().empty()) << "the working windows are loaded, never shown";
}

TEST_F(StartupTest, QuitDuringACountdownNeitherOpensNorLogsItsPopup) {
    auto browser = sim.world.OpenBrowser("http://news.example/");
    app.Main();
    browser->FireStatusTextChange();
    sim.loop.Advance(100);
    sim.desktop.MovePointer(500, 400);
    browser->RequestNewWindow("http://ads.example/pop.html");
    ASSERT_EQ(app.Hub().IECloseDelays.size(), 1u);

    app.QuitProgram();
    sim.loop.Advance(40000);
    EXPECT_TRUE(app.Hub().KilledPopups.empty());
    EXPECT_EQ(sim.world.Shell().Browsers().size(), 1u);
    EXPECT_TRUE(sim.desktop.ShellExecutes().empty());
}

}  // namespace
}  // namespace qm
