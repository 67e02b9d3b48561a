#include "monitor/ie_monitor.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/sim_scenario.h"

namespace qm {
namespace {

using testing::SimScenario;

class IEMonitorTest : public ::testing::Test, protected SimScenario {
  protected:
    void SetUp() override {
        app.Main();
        browser = sim.world.OpenBrowser("http://news.example/");
        monitor = MonitorOf(browser);
        ASSERT_NE(monitor, nullptr);
        probe = sim.world.Probes().back();
    }

    std::shared_ptr<sim::SimBrowser> browser;
    std::shared_ptr<IEMonitor> monitor;
    std::shared_ptr<sim::SimUiProbe> probe;
};

TEST_F(IEMonitorTest, NewMonitorIsBoundWithEveryTickAtZero) {
    EXPECT_TRUE(monitor->Bound());
    EXPECT_FALSE(monitor->Quited);
    for (Tick t : {monitor->BeforeNavigateTick(), monitor->BeforeUnloadTick(), monitor->DownloadBeginTick(),
                   monitor->UserInputTick(), monitor->MarkerSeenTick(), monitor->ConsumedTick()}) {
        EXPECT_EQ(t, 0);
    }
    EXPECT_TRUE(probe->Watching());
    EXPECT_EQ(probe->WatchedThread(), browser->ThreadId());
    EXPECT_TRUE(SameObject<PageDocument>(monitor->CurrentDocument(), browser->Page()));
}

TEST_F(IEMonitorTest, NonHtmlPageLeavesTheMonitorUnbound) {
    auto folder = std::make_shared<sim::SimBrowser>(sim.world, sim.world.NextThreadId());
    folder->ShowNonHtml("file:///C:/Documents");
    sim.world.Shell().Add(folder);
    sim.world.Shell().FireWindowRegistered();
    auto folderMonitor = MonitorOf(folder);
    ASSERT_NE(folderMonitor, nullptr);
    EXPECT_FALSE(folderMonitor->Bound());
    EXPECT_EQ(sim.world.Probes().back()->StartWatchCalls(), 0);

    // A status change on it ends quietly at the missing document and schedules nothing.
    folder->FireStatusTextChange();
    EXPECT_FALSE(folderMonitor->AdPassScheduled());
    EXPECT_EQ(folderMonitor->StatusChangeCount(), 1);
}

TEST_F(IEMonitorTest, StatusChangesWithTheSameUrlAndCountOnlyCount) {
    browser->FireStatusTextChange();  // the first change sees the page's elements for the first time
    sim.loop.Advance(1);
    const Tick consumed = monitor->ConsumedTick();
    const int starts = probe->StartWatchCalls();

    sim.loop.Advance(50);
    browser->FireStatusTextChange();
    browser->FireStatusTextChange();
    EXPECT_EQ(monitor->ConsumedTick(), consumed);
    EXPECT_FALSE(monitor->AdPassScheduled());
    EXPECT_EQ(probe->StartWatchCalls(), starts) << "no rebind";
    EXPECT_EQ(monitor->StatusChangeCount(), 3);
}

TEST_F(IEMonitorTest, ElementCountChangeSchedulesExactlyOneAdPass) {
    browser->FireStatusTextChange();
    EXPECT_TRUE(monitor->AdPassScheduled());
    // More changes before the timer message keep the one pass scheduled.
    browser->Page()->BodyElement()->children.push_back(
        {std::make_shared<sim::SimElement>(browser->Page(), "P"), {}});
    browser->FireStatusTextChange();
    EXPECT_TRUE(monitor->AdPassScheduled());
    sim.loop.Advance(1);
    EXPECT_FALSE(monitor->AdPassScheduled());
    sim.loop.Advance(100);
    EXPECT_FALSE(monitor->AdPassScheduled());
}

TEST_F(IEMonitorTest, UrlComparisonIsExactSoAnotherLetterCaseIsANewPage) {
    browser->FireStatusTextChange();
    sim.loop.Advance(10);
    const int starts = probe->StartWatchCalls();

    browser->ShowPage("http://news.example/", nullptr);  // same address: new document, same URL
    sim.loop.Advance(10);
    browser->FireStatusTextChange();
    EXPECT_EQ(probe->StartWatchCalls(), starts + 1) << "a new document object rebinds";
    EXPECT_TRUE(SameObject<PageDocument>(monitor->CurrentDocument(), browser->Page()));

    sim.loop.Advance(10);
    const std::string upper = "http://NEWS.example/";
    sim.world.AddFixturePage(upper, "plain_article.html");
    browser->ShowPage(upper);
    browser->FireStatusTextChange();
    EXPECT_EQ(monitor->ConsumedTick(), Now());
    EXPECT_EQ(probe->StartWatchCalls(), starts + 2);
}

TEST_F(IEMonitorTest, EmptyPageAtAStatusChangeConsumesInputAndKeepsTheMarkerOwed) {
    browser->FireStatusTextChange();
    sim.loop.Advance(10);
    browser->Page()->SetLoading(true);

    sim.world.UserInput(*browser);
    sim.loop.Advance(5);
    EXPECT_TRUE(monitor->MarkerPending());
    browser->FireStatusTextChange();
    EXPECT_EQ(monitor->ConsumedTick(), Now());
    EXPECT_TRUE(monitor->MarkerPending());

    // Once the page has elements, the next status change delivers the owed marker.
    browser->Page()->SetLoading(false);
    browser->FireStatusTextChange();
    EXPECT_FALSE(monitor->MarkerPending());
}

TEST_F(IEMonitorTest, MarkerRoundTripStampsTheMomentThePageFinishedItsWork) {
    browser->FireStatusTextChange();
    sim.loop.Advance(100);
    const Tick input = Now();
    sim.world.UserInput(*browser);
    EXPECT_EQ(monitor->UserInputTick(), input);
    EXPECT_TRUE(monitor->MarkerPending());

    sim.loop.Advance(1);  // the deferred injection
    EXPECT_FALSE(monitor->MarkerPending());
    ASSERT_TRUE(browser->Page()->ScriptsRun().empty()) << "the page runs it after its current work";
    EXPECT_EQ(monitor->MarkerSeenTick(), 0);

    sim.loop.Advance(1);
    ASSERT_EQ(browser->Page()->ScriptsRun().size(), 1u);
    EXPECT_EQ(browser->Page()->ScriptsRun()[0], kInputMarkerScript);
    EXPECT_EQ(monitor->MarkerSeenTick(), Now());
    EXPECT_EQ(browser->Page()->Root()->Attribute("ut"), Variant(false));
}

TEST_F(IEMonitorTest, OtherPropertyChangesLeaveTheMarkerStampAlone) {
    browser->Page()->FirePropertyChange();
    EXPECT_EQ(monitor->MarkerSeenTick(), 0);
    // An engine that keeps attributes as texts reports the marker as "true".
    browser->Page()->Root()->SetAttributeRaw("ut", Variant("true"));
    sim.loop.Advance(3);
    browser->Page()->FirePropertyChange();
    EXPECT_EQ(monitor->MarkerSeenTick(), Now());
    browser->Page()->Root()->SetAttributeRaw("ut", Variant("1"));
    sim.loop.Advance(3);
    browser->Page()->FirePropertyChange();
    EXPECT_NE(monitor->MarkerSeenTick(), Now());
}

TEST_F(IEMonitorTest, UnloadWithin500MsOfANavigationKeepsInputUnspent) {
    struct Case {
        int gap;
        bool consumes;
    };
    for (const Case c : {Case{499, false}, Case{500, false}, Case{501, true}, Case{5000, true}}) {
        sim.loop.Advance(10000);
        browser->FireBeforeNavigate2("http://news.example/next");
        const Tick before = monitor->ConsumedTick();
        sim.loop.Advance(c.gap);
        browser->Page()->Window()->FireBeforeUnload();
        EXPECT_EQ(monitor->ConsumedTick(), c.consumes ? Now() : before) << "gap " << c.gap;
        EXPECT_EQ(monitor->BeforeUnloadTick(), Now());
    }
}

TEST_F(IEMonitorTest, DownloadDuringNavigationConsumesAtTheSecondStatusChangeOnly) {
    browser->FireStatusTextChange();
    sim.loop.Advance(1000);
    browser->FireBeforeNavigate2("http://news.example/next");
    sim.loop.Advance(20);
    browser->FireDownloadBegin();
    sim.loop.Advance(20);
    browser->Page()->Window()->FireBeforeUnload();
    EXPECT_TRUE(monitor->DownloadInNavigation());
    EXPECT_EQ(monitor->StatusChangeCount(), 0);

    const Tick afterUnload = monitor->ConsumedTick();
    sim.loop.Advance(100);
    browser->FireStatusTextChange();
    EXPECT_EQ(monitor->ConsumedTick(), afterUnload) << "first change";
    sim.loop.Advance(100);
    browser->FireStatusTextChange();
    EXPECT_EQ(monitor->ConsumedTick(), Now()) << "second change";
    const Tick second = Now();
    sim.loop.Advance(100);
    browser->FireStatusTextChange();
    EXPECT_EQ(monitor->ConsumedTick(), second) << "third change";
}

TEST_F(IEMonitorTest, DownloadOutsideTheNavigationIsNotCounted) {
    sim.loop.Advance(1000);
    browser->FireDownloadBegin();
    sim.loop.Advance(10);
    browser->FireBeforeNavigate2("http://news.example/next");
    sim.loop.Advance(10);
    browser->Page()->Window()->FireBeforeUnload();
    EXPECT_FALSE(monitor->DownloadInNavigation());
}

TEST_F(IEMonitorTest, BodyUnloadWarningMovesToUnloadWhenTheElementCountChanges) {
    auto body = browser->Page()->BodyElement();
    ASSERT_EQ(body->Attribute("onbeforeunload"), Variant("return 'Leave the article?'"));
    browser->FireStatusTextChange();
    EXPECT_TRUE(body->Attribute("onbeforeunload").IsNull());
    EXPECT_EQ(body->Attribute("onunload"), Variant("return 'Leave the article?'"));

    // A body without one is left alone.
    const std::string plain = "<html><body><p>x</p></body></html>";
    browser->ShowPage("http://news.example/plain", &plain);
    browser->FireStatusTextChange();
    EXPECT_TRUE(browser->Page()->BodyElement()->Attribute("onunload").IsNull());
}

TEST_F(IEMonitorTest, QuitKeepsTheMonitorUntilThePollFindsTheBrowserGone) {
    bool cancel = false;
    monitor->IE_OnQuit();
    EXPECT_TRUE(monitor->Quited);
    monitor->IE_BeforeNavigate2("http://x.example/", cancel);
    EXPECT_FALSE(cancel) << "the monitor never cancels a navigation";
    sim.loop.Advance(5000);
    EXPECT_EQ(MonitorCount(), 1u) << "the browser is still valid";
}

TEST_F(IEMonitorTest, NewDocumentEndsTheEventsOfTheOldOne) {
    auto oldPage = browser->Page();
    browser->GoTo("http://news.example/second");
    EXPECT_EQ(oldPage->SinkCount(), 0u);
    EXPECT_EQ(browser->Page()->SinkCount(), 1u);
    EXPECT_EQ(browser->Page()->Window()->Foreign(), false);
}

TEST_F(IEMonitorTest, HandlersEndQuietlyWhenTheBrowserIsGone) {
    browser->FireStatusTextChange();
    auto page = browser->Page();
    browser->Vanish();
    sim.world.UserInput(*browser);  // the probe still reports
    browser->FireStatusTextChange();
    page->FirePropertyChange();
    page->FireActivate();
    page->Window()->FireBeforeUnload();
    sim.loop.Advance(1);
    EXPECT_TRUE(monitor->MarkerPending()) << "the injection failed and the marker stays owed";
    sim.loop.Advance(1000);
    EXPECT_EQ(MonitorCount(), 0u);
}

TEST_F(IEMonitorTest, MonitorEndedWhileOneOfItsOwnHandlersWaitsOnThePageIsNotFreedUnderIt) {
    // The browser dies while the monitor waits on a page call; the wait lets the poll run, which ends
    // the monitor and drops its entry. The waiting handler must finish on a live object.
    browser->FireStatusTextChange();
    std::weak_ptr<IEMonitor> watch = monitor;
    monitor.reset();
    bool fired = false;
    sim.world.SetCallHook([&] {
        if (fired) {
            return;
        }
        fired = true;
        browser->Vanish();
        sim.loop.Advance(1000);
    });
    browser->FireStatusTextChange();
    sim.world.SetCallHook(nullptr);
    EXPECT_TRUE(fired);
    EXPECT_EQ(MonitorCount(), 0u);
    EXPECT_TRUE(watch.expired()) << "freed once its handler returned";
}

TEST_F(IEMonitorTest, StatusChangeCountHoldsAtItsMaximum) {
    for (int i = 0; i < 40000; ++i) {
        monitor->IE_StatusTextChange("x");
    }
    EXPECT_EQ(monitor->StatusChangeCount(), std::numeric_limits<std::int16_t>::max());
    sim.loop.Advance(1);
    sim.world.UserInput(*browser);
    monitor->IE_StatusTextChange("x");
    EXPECT_FALSE(monitor->MarkerPending()) << "the handler still does its work";
}

class IEMonitorWrapTest : public ::testing::Test {
  protected:
    // The tick counter passes its signed maximum a moment after the test starts.
    sim::SimPlatform sim{std::numeric_limits<Tick>::max() - 200};
    WinSystem app{sim.platform};
};

TEST_F(IEMonitorWrapTest, UnloadRuleHoldsAcrossTheTickWrap) {
    sim.world.AddFixturePage("http://news.example/", "plain_article.html");
    app.Main();
    auto browser = sim.world.OpenBrowser("http://news.example/");
    auto monitor = app.Hub().IEMonitors.front();

    sim.loop.Advance(100);
    browser->FireBeforeNavigate2("http://news.example/next");
    const Tick before = monitor->ConsumedTick();
    sim.loop.Advance(400);  // the counter wraps in between
    ASSERT_LT(sim.loop.GetTickCount(), monitor->BeforeNavigateTick());
    browser->Page()->Window()->FireBeforeUnload();
    EXPECT_EQ(monitor->ConsumedTick(), before);

    sim.loop.Advance(1);
    browser->FireBeforeNavigate2("http://news.example/next");
    sim.loop.Advance(501);
    browser->Page()->Window()->FireBeforeUnload();
    EXPECT_EQ(monitor->ConsumedTick(), sim.loop.GetTickCount());
}

}  // namespace
}  // namespace qm
