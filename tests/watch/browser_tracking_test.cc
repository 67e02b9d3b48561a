#include <gtest/gtest.h>

#include "support/sim_scenario.h"

namespace qm {
namespace {

using testing::SimScenario;

class BrowserTrackingTest : public ::testing::Test, protected SimScenario {};

TEST_F(BrowserTrackingTest, StartUpGivesEachVisibleOpenBrowserOneMonitorInShellOrder) {
    auto first = sim.world.OpenBrowser("http://news.example/", true, false);
    auto hidden = sim.world.OpenBrowser("http://news.example/", false, false);
    auto second = sim.world.OpenBrowser("http://news.example/", true, false);
    for (const auto& b : {first, hidden, second}) {
        sim.world.Shell().Add(b);
    }

    app.Main();

    ASSERT_EQ(MonitorCount(), 2u);
    EXPECT_TRUE(SameObject<Browser>(app.Hub().IEMonitors[0]->IE, first));
    EXPECT_TRUE(SameObject<Browser>(app.Hub().IEMonitors[1]->IE, second));
}

TEST_F(BrowserTrackingTest, NoBrowserAtStartUpLeavesTheListEmptyUntilAnAnnouncement) {
    app.Main();
    EXPECT_EQ(MonitorCount(), 0u);
    sim.loop.Advance(5000);
    EXPECT_EQ(MonitorCount(), 0u);

    auto browser = sim.world.OpenBrowser("http://news.example/");
    ASSERT_EQ(MonitorCount(), 1u);
    EXPECT_EQ(MonitorOf(browser), app.Hub().IEMonitors[0]);
}

TEST_F(BrowserTrackingTest, InvisibleBrowserWaitsForTheNextAnnouncement) {
    app.Main();
    auto late = sim.world.OpenBrowser("http://news.example/", /*visible=*/false);
    EXPECT_EQ(MonitorCount(), 0u);

    late->SetVisible(true);
    EXPECT_EQ(MonitorCount(), 0u) << "nothing looks again without an announcement";

    auto other = sim.world.OpenBrowser("http://news.example/");
    // The announcement of `other` gives a monitor to the last browser without one: `other` itself.
    EXPECT_NE(MonitorOf(other), nullptr);
    EXPECT_EQ(MonitorOf(late), nullptr);
    sim.world.Shell().FireWindowRegistered();
    EXPECT_NE(MonitorOf(late), nullptr);
}

TEST_F(BrowserTrackingTest, EachAnnouncementAddsAtMostOneMonitorStartingFromTheLast) {
    app.Main();
    auto a = sim.world.OpenBrowser("http://news.example/", true, false);
    auto b = sim.world.OpenBrowser("http://news.example/", true, false);
    sim.world.Shell().Add(a);
    sim.world.Shell().Add(b);

    sim.world.Shell().FireWindowRegistered();
    ASSERT_EQ(MonitorCount(), 1u);
    EXPECT_NE(MonitorOf(b), nullptr);

    sim.world.Shell().FireWindowRegistered();
    ASSERT_EQ(MonitorCount(), 2u);
    EXPECT_NE(MonitorOf(a), nullptr);

    sim.world.Shell().FireWindowRegistered();
    EXPECT_EQ(MonitorCount(), 2u) << "a browser with a monitor never gets a second one";
}

TEST_F(BrowserTrackingTest, ClosedBrowserLosesItsMonitorAtTheNextPollNotAtTheRevoke) {
    app.Main();
    auto browser = sim.world.OpenBrowser("http://news.example/");
    auto keep = sim.world.OpenBrowser("http://news.example/");
    auto monitor = MonitorOf(browser);
    ASSERT_NE(monitor, nullptr);
    std::weak_ptr<IEMonitor> watch = monitor;
    monitor.reset();

    sim.loop.Advance(300);
    browser->Close();  // OnQuit, then the shell revokes the window
    ASSERT_EQ(MonitorCount(), 2u);
    EXPECT_TRUE(watch.lock()->Quited);

    sim.loop.Advance(699);  // the poll runs every 1000 ms from the monitor's creation
    EXPECT_EQ(MonitorCount(), 2u);
    sim.loop.Advance(1);
    EXPECT_EQ(MonitorCount(), 1u);
    EXPECT_TRUE(watch.expired()) << "the monitor ends once its entry is gone";
    EXPECT_NE(MonitorOf(keep), nullptr);
}

TEST_F(BrowserTrackingTest, BrowserWhoseProcessVanishesIsDroppedWithinASecond) {
    app.Main();
    auto browser = sim.world.OpenBrowser("http://news.example/");
    const auto probes = sim.world.Probes();
    ASSERT_EQ(probes.size(), 1u);

    browser->Vanish();
    sim.loop.Advance(1000);
    EXPECT_EQ(MonitorCount(), 0u);
    EXPECT_EQ(probes[0]->StopWatchCalls(), 1) << "the ended monitor stops its input watch";
}

TEST_F(BrowserTrackingTest, BrowserThatGoesAwayWhileItsMonitorIsAttachedIsSkippedAndTheHubGoesOn) {
    // At start-up: the browser qualifies, then is gone by the time its monitor connects to it.
    auto early = sim.world.OpenBrowser("http://news.example/", true, false);
    auto steady = sim.world.OpenBrowser("http://news.example/", true, false);
    sim.world.Shell().Add(early);
    sim.world.Shell().Add(steady);
    early->VanishOnConnect();
    ASSERT_NO_THROW(app.Main());
    ASSERT_EQ(MonitorCount(), 1u);
    EXPECT_NE(MonitorOf(steady), nullptr);

    // Later, announced: the last browser without a monitor goes away as it is attached; the next one
    // back in the shell's list is taken instead, and later announcements still work.
    auto waiting = sim.world.OpenBrowser("http://news.example/", true, false);
    auto doomed = sim.world.OpenBrowser("http://news.example/", true, false);
    sim.world.Shell().Add(waiting);
    sim.world.Shell().Add(doomed);
    doomed->VanishOnConnect();
    ASSERT_NO_THROW(sim.world.Shell().FireWindowRegistered());
    EXPECT_EQ(MonitorOf(doomed), nullptr);
    EXPECT_NE(MonitorOf(waiting), nullptr);
    EXPECT_EQ(MonitorCount(), 2u);
    EXPECT_EQ(doomed->SinkCount(), 0u);
    EXPECT_EQ(sim.desktop.MessageBoxes().size(), 0u) << "skipped without any message";

    auto later = sim.world.OpenBrowser("http://news.example/");
    EXPECT_NE(MonitorOf(later), nullptr);
    sim.loop.Advance(2000);
    EXPECT_EQ(MonitorCount(), 3u) << "the skipped browsers' monitors never joined the list";
}

TEST_F(BrowserTrackingTest, IsIEValidAnswersFalseWithoutErrorForAnythingButALiveBrowser) {
    app.Main();
    auto browser = sim.world.OpenBrowser("http://news.example/");
    EXPECT_TRUE(app.Hub().IsIEValid(browser));
    EXPECT_FALSE(app.Hub().IsIEValid(nullptr));
    browser->Vanish();
    EXPECT_FALSE(app.Hub().IsIEValid(browser));
}

TEST_F(BrowserTrackingTest, HubUnloadEndsEveryMonitorAndLeavesTheBrowsersOpen) {
    app.Main();
    auto a = sim.world.OpenBrowser("http://news.example/");
    auto b = sim.world.OpenBrowser("http://news.example/");
    std::weak_ptr<IEMonitor> watchA = MonitorOf(a);
    std::weak_ptr<IEMonitor> watchB = MonitorOf(b);

    app.QuitProgram();

    EXPECT_EQ(MonitorCount(), 0u);
    EXPECT_TRUE(watchA.expired());
    EXPECT_TRUE(watchB.expired());
    EXPECT_TRUE(a->Alive());
    EXPECT_TRUE(b->Alive());
    EXPECT_EQ(a->SinkCount(), 0u) << "nothing listens to the browsers any more";
    for (const auto& probe : sim.world.Probes()) {
        EXPECT_EQ(probe->StopWatchCalls(), 1);
    }
    // Announcements after the end reach nobody.
    sim.world.OpenBrowser("http://news.example/");
    EXPECT_EQ(MonitorCount(), 0u);
}

}  // namespace
}  // namespace qm
