#include <gtest/gtest.h>

#include "monitor/ie_close_delay.h"
#include "settings/settings.h"
#include "support/sim_scenario.h"
#include "watch/temp_explorer.h"

namespace qm {
namespace {

using testing::SimScenario;
using Kind = sim::NewWindowOutcome::Kind;

constexpr char kPopup[] = "http://popups.example/offer.html";

class PopupDecisionTest : public ::testing::Test, protected SimScenario {
  protected:
    void SetUp() override {
        app.Main();
        browser = sim.world.OpenBrowser("http://news.example/");
        monitor = MonitorOf(browser);
        ASSERT_NE(monitor, nullptr);
        browser->FireStatusTextChange();  // the page has loaded
        sim.loop.Advance(100);
        PointAt(500, 400);  // over the page's content
    }

    void PointAt(int x, int y) { sim.desktop.MovePointer(x, y); }

    // A real click on the page: the input component reports it at once.
    void Click() { sim.world.UserInput(*browser); }

    std::size_t BrowserCount() const { return sim.world.Shell().Browsers().size(); }

    std::shared_ptr<IECloseDelay> OnlyCountdown() const {
        const auto& row = app.Hub().IECloseDelays;
        EXPECT_EQ(row.size(), 1u);
        return row.empty() ? nullptr : row.front();
    }

    std::shared_ptr<sim::SimBrowser> browser;
    std::shared_ptr<IEMonitor> monitor;
};

TEST_F(PopupDecisionTest, PopupOnLoadIsCaughtAndShownInTheCountdownWindow) {
    const auto outcome = browser->RequestNewWindow(kPopup);
    ASSERT_EQ(outcome.kind, Kind::Captured);
    EXPECT_EQ(outcome.captured->Cancelled(), std::vector<std::string>{kPopup}) << "its page never loads";
    EXPECT_TRUE(outcome.captured->Loaded().empty());
    EXPECT_EQ(BrowserCount(), 1u);

    auto countdown = OnlyCountdown();
    ASSERT_NE(countdown, nullptr);
    EXPECT_EQ(countdown->TextURL.Text(), kPopup);
    EXPECT_TRUE(countdown->Visible());
    EXPECT_TRUE(app.Hub().KilledPopups.empty()) << "recorded only when the countdown ends";
    EXPECT_EQ(monitor->ConsumedTick(), Now() - 100) << "an unrequested window spends nothing";
}

TEST_F(PopupDecisionTest, WithoutNoticeTheAddressGoesStraightToTheKilledList) {
    app.AppSettings().SetPopupNotify(false);
    browser->RequestNewWindow(kPopup);
    browser->RequestNewWindow(kPopup);
    EXPECT_EQ(app.Hub().KilledPopups, std::vector<std::string>{kPopup});
    EXPECT_TRUE(app.Hub().IECloseDelays.empty());
}

TEST_F(PopupDecisionTest, OneClickOpensOneWindowAndTheSecondIsBlocked) {
    Click();
    const auto first = browser->RequestNewWindow("http://news.example/gallery.html");
    const auto second = browser->RequestNewWindow(kPopup);
    EXPECT_EQ(first.kind, Kind::Opened);
    EXPECT_EQ(monitor->ConsumedTick(), Now());
    EXPECT_EQ(second.kind, Kind::Captured);
    EXPECT_EQ(BrowserCount(), 2u);
}

TEST_F(PopupDecisionTest, WindowOpenedFromATimerAfterTheMarkerCameBackIsBlocked) {
    Click();
    sim.loop.Advance(2);  // the marker is injected and runs
    ASSERT_EQ(monitor->MarkerSeenTick(), Now());
    sim.loop.Advance(3000);
    EXPECT_EQ(browser->RequestNewWindow(kPopup).kind, Kind::Captured);
}

TEST_F(PopupDecisionTest, WindowOpenedAtTheMomentTheMarkerCameBackStillCounts) {
    Click();
    sim.loop.Advance(2);
    EXPECT_TRUE(monitor->IsWithinUserAction()) << "not a millisecond has passed since";
    EXPECT_EQ(browser->RequestNewWindow("http://news.example/a.html").kind, Kind::Opened);
}

TEST_F(PopupDecisionTest, ClickOutsideThePageContentEarnsNoWindow) {
    struct Case {
        int x, y;
        const char* where;
    };
    for (const Case c :
         {Case{990, 400, "scroll bar"}, Case{500, 50, "toolbar"}, Case{1200, 400, "outside"}}) {
        PointAt(c.x, c.y);
        sim.loop.Advance(1000);
        Click();
        EXPECT_EQ(browser->RequestNewWindow(kPopup).kind, Kind::Captured) << c.where;
    }
}

TEST_F(PopupDecisionTest, CtrlHeldLetsEverythingOpenAndRecordsNothing) {
    sim.desktop.HoldKey(kVkControl);
    const Tick consumed = monitor->ConsumedTick();
    Click();
    EXPECT_EQ(browser->RequestNewWindow("http://news.example/a.html").kind, Kind::Opened);
    EXPECT_EQ(browser->RequestNewWindow(kPopup).kind, Kind::Opened);
    EXPECT_EQ(monitor->ConsumedTick(), consumed);
    EXPECT_TRUE(app.Hub().KilledPopups.empty());
    EXPECT_TRUE(app.Hub().IECloseDelays.empty());
}

TEST_F(PopupDecisionTest, RecognitionOffLetsUnrequestedWindowsOpen) {
    app.AppSettings().SetRecogEnable(false);
    EXPECT_EQ(browser->RequestNewWindow(kPopup).kind, Kind::Opened);
    EXPECT_TRUE(app.Hub().KilledPopups.empty());
}

TEST_F(PopupDecisionTest, OneWindowBrowsingLoadsTheLinkInTheSameWindow) {
    app.AppSettings().SetWindowFixed(true);
    Click();
    const auto outcome = browser->RequestNewWindow("http://news.example/a.html");
    EXPECT_EQ(outcome.kind, Kind::Captured);
    EXPECT_EQ(browser->Navigations(), std::vector<std::string>{"http://news.example/a.html"});
    EXPECT_EQ(monitor->ConsumedTick(), Now());
    EXPECT_EQ(BrowserCount(), 1u);
    EXPECT_TRUE(app.Hub().KilledPopups.empty());
    sim.loop.Advance(1);
    EXPECT_EQ(browser->LocationURL(), "http://news.example/a.html");
}

TEST_F(PopupDecisionTest, OneWindowBrowsingDoesNothingOnceTheBrowserHasQuit) {
    app.AppSettings().SetWindowFixed(true);
    Click();
    const auto outcome = browser->RequestNewWindow("about:blank");
    monitor->IE_OnQuit();
    EXPECT_TRUE(outcome.captured->Navigate("http://news.example/a.html")) << "cancelled all the same";
    EXPECT_TRUE(browser->Navigations().empty());
}

TEST_F(PopupDecisionTest, BlankPopupIsLetThroughUntilItsRealAddressWhichIsCapturedOnce) {
    const auto outcome = browser->RequestNewWindow("about:blank");
    EXPECT_EQ(outcome.captured->Loaded(), std::vector<std::string>{"about:blank"});
    EXPECT_TRUE(outcome.captured->Navigate(kPopup));
    EXPECT_EQ(outcome.captured->Cancelled(), std::vector<std::string>{kPopup});
    EXPECT_EQ(OnlyCountdown()->TextURL.Text(), kPopup);
    EXPECT_FALSE(outcome.captured->Navigate("res://ieframe.dll/navcancl.htm")) << "the browser's own page";
}

TEST_F(PopupDecisionTest, CountdownRunsOutIntoTheKilledListOnce) {
    browser->RequestNewWindow(kPopup);
    sim.loop.Advance(60000);
    browser->RequestNewWindow(kPopup);
    sim.loop.Advance(9999);
    EXPECT_EQ(app.Hub().IECloseDelays.size(), 1u);
    sim.loop.Advance(1);
    EXPECT_EQ(app.Hub().KilledPopups, std::vector<std::string>{kPopup});
    EXPECT_TRUE(app.Hub().IECloseDelays.empty());
}

TEST_F(PopupDecisionTest, OpenFromTheCountdownGivesANewWatchedBrowser) {
    browser->RequestNewWindow(kPopup);
    auto countdown = OnlyCountdown();
    sim::SimRenderer::Click(*countdown, "buttonOpen");
    sim.loop.Advance(200);
    ASSERT_EQ(BrowserCount(), 2u);
    auto opened = sim.world.Shell().Browsers().back();
    EXPECT_EQ(opened->LocationURL(), kPopup);
    EXPECT_NE(MonitorOf(opened), nullptr);
    EXPECT_TRUE(app.Hub().KilledPopups.empty());
    EXPECT_TRUE(app.Hub().IECloseDelays.empty());
}

TEST_F(PopupDecisionTest, AddressArrivingAfterItsCountdownClosedIsDropped) {
    const auto outcome = browser->RequestNewWindow("about:blank");
    auto countdown = OnlyCountdown();
    sim::SimRenderer::Click(*countdown, "buttonClose");
    sim.loop.Advance(200);
    countdown.reset();
    EXPECT_TRUE(outcome.captured->Navigate(kPopup)) << "cancelled, so the popup never shows";
    EXPECT_EQ(app.Hub().KilledPopups, std::vector<std::string>{""}) << "Close recorded the empty address";
}

TEST_F(PopupDecisionTest, AddressArrivingAfterItsMonitorEndedIsDropped) {
    app.AppSettings().SetWindowFixed(true);
    Click();
    const auto outcome = browser->RequestNewWindow("about:blank");
    browser->Vanish();
    sim.loop.Advance(1000);
    ASSERT_EQ(MonitorCount(), 0u);
    monitor.reset();
    EXPECT_TRUE(outcome.captured->Navigate("http://news.example/a.html"));
}

TEST_F(PopupDecisionTest, HiddenBrowserRefusesWindowsAndEndsAfterThirtySeconds) {
    const auto outcome = browser->RequestNewWindow("about:blank");
    EXPECT_TRUE(outcome.captured->RequestNewWindow());
    EXPECT_EQ(app.KeptWindowCount(), 1u);
    sim.loop.Advance(29999);
    EXPECT_EQ(app.KeptWindowCount(), 1u);
    sim.loop.Advance(1);
    EXPECT_EQ(app.KeptWindowCount(), 0u);
    EXPECT_FALSE(outcome.captured->Navigate(kPopup)) << "nobody listens any more";
}

TEST_F(PopupDecisionTest, DecisionThatCannotBeMadeLetsTheWindowOpen) {
    sim.settings.SetFailReads(true);
    EXPECT_EQ(browser->RequestNewWindow(kPopup).kind, Kind::Opened);
    sim.settings.SetFailReads(false);
    EXPECT_EQ(app.KeptWindowCount(), 0u);
    EXPECT_EQ(browser->RequestNewWindow(kPopup).kind, Kind::Captured);
}

TEST_F(PopupDecisionTest, UnboundMonitorStillDecides) {
    auto folder = std::make_shared<sim::SimBrowser>(sim.world, sim.world.NextThreadId());
    folder->ShowNonHtml("file:///C:/Documents");
    sim.world.Shell().Add(folder);
    sim.world.Shell().FireWindowRegistered();
    ASSERT_NE(MonitorOf(folder), nullptr);
    // Without a page there is nothing to judge the input against: the decision cannot be made, and the
    // window opens as the browser wants.
    EXPECT_EQ(folder->RequestNewWindow(kPopup).kind, Kind::Opened);
}

class PopupDecisionWrapTest : public ::testing::Test {
  protected:
    // The tick counter is negative, as it is after about 25 days of uptime.
    sim::SimPlatform sim{-2000000000};
    WinSystem app{sim.platform};
};

TEST_F(PopupDecisionWrapTest, NoInputMeansNoRequestedWindowWhateverTheCounterReads) {
    sim.world.AddFixturePage("http://news.example/", "plain_article.html");
    app.Main();
    auto browser = sim.world.OpenBrowser("http://news.example/");
    browser->FireStatusTextChange();
    sim.loop.Advance(100);
    sim.desktop.MovePointer(500, 400);
    EXPECT_EQ(browser->RequestNewWindow(kPopup).kind, Kind::Captured);
}

}  // namespace
}  // namespace qm
