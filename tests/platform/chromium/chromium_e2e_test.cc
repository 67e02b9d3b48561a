// The adapter in a real headless Chromium, with the program on top: what the monitors and the popup
// handling see when real pages run and a real user clicks.

#include <gtest/gtest.h>

#include "base/platform_error.h"
#include "chromium_harness.h"
#include "monitor/ad_remover.h"
#include "monitor/ie_close_delay.h"
#include "monitor/ie_monitor.h"
#include "platform/chromium/chromium_document.h"
#include "platform/chromium/page_context.h"
#include "ports/page_element.h"
#include "ports/page_window.h"
#include "settings/settings.h"
#include "watch/ie_top_watcher.h"

namespace qm::cr {
namespace {

using testing::ChromiumHarness;

// Stands in for the popup decision: it answers every new-window request of the browser it watches in
// one fixed way.
class NewWindowSink final : public BrowserEvents, public HiddenBrowserEvents {
  public:
    enum class Answer { LetOpen, Hide, Refuse };
    NewWindowSink(ChromiumWorld& world, Answer answer) : world_(world), answer_(answer) {}

    // BrowserEvents:
    void IE_BeforeNavigate2(const std::string&, bool&) override {}
    void IE_DownloadBegin() override {}
    void IE_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel) override {
        ++requests;
        if (answer_ == Answer::Refuse) {
            cancel = true;
        } else if (answer_ == Answer::Hide) {
            hidden = world_.CreateHiddenBrowser();
            hiddenConnection = hidden->Connect(self.lock());
            ppDisp = hidden;
        }
    }
    void IE_OnQuit() override {}
    void IE_StatusTextChange(const std::string&) override { ++statusChanges; }

    // HiddenBrowserEvents: captures an address with a dot, as the program's hidden browser does.
    void Browser_BeforeNavigate2(const std::string& url, bool& cancel) override {
        seen.push_back(url);
        if (url.find('.') != std::string::npos && url.find("res://") == std::string::npos) {
            captured.push_back(url);
            cancel = true;
        }
    }
    void Browser_NewWindow2(std::shared_ptr<HiddenBrowser>&, bool& cancel) override { cancel = true; }

    std::weak_ptr<NewWindowSink> self;
    int requests = 0;
    int statusChanges = 0;
    std::shared_ptr<HiddenBrowser> hidden;
    std::unique_ptr<EventConnection> hiddenConnection;
    std::vector<std::string> seen;
    std::vector<std::string> captured;

  private:
    ChromiumWorld& world_;
    Answer answer_;
};

class ChromiumEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!h.StartBrowser(why)) {
            GTEST_SKIP() << why;
        }
        first = h.FirstBrowser();
        ASSERT_NE(first, nullptr);
        driver = h.AttachDriver(first);
        ASSERT_FALSE(driver.empty());
    }

    std::shared_ptr<NewWindowSink> Sink(NewWindowSink::Answer answer) {
        auto sink = std::make_shared<NewWindowSink>(*h.world, answer);
        sink->self = sink;
        sinkConnection = first->Connect(sink);
        return sink;
    }

    // Opens the opener page in the first browser, with the program running.
    void OpenOpener() {
        h.StartProgram();
        ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_opener.html")));
        ASSERT_TRUE(h.RunUntil([&] {
            const auto monitor = h.MonitorOf(first);
            return monitor && monitor->Bound() && h.Evaluate(driver, "document.readyState") == "complete";
        }));
    }

    ChromiumHarness h;
    std::shared_ptr<ChromiumBrowser> first;
    std::string driver;
    std::unique_ptr<EventConnection> sinkConnection;
};

TEST_F(ChromiumEndToEndTest, EveryPageIsABrowserWithItsOwnMonitorAndALaterPageGetsOneToo) {
    h.StartProgram();
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_target.html")));
    ASSERT_TRUE(h.RunUntil([&] { return h.MonitorOf(first) && h.MonitorOf(first)->Bound(); }));
    EXPECT_EQ(h.app->Hub().IEMonitors.size(), 1u);

    // A page the user opens later (a new tab of the browser), and one the program opens itself.
    h.Call("Target.createTarget", {{"url", h.server.Url("/cr_late.html")}});
    h.app->Hub().OpenURL(h.server.Url("/cr_redirected.html"));
    ASSERT_TRUE(h.RunUntil([&] { return h.app->Hub().IEMonitors.size() == 3; }, 10000));
    const auto late = h.BrowserShowing("cr_late.html");
    const auto opened = h.BrowserShowing("cr_redirected.html");
    ASSERT_NE(late, nullptr);
    ASSERT_NE(opened, nullptr);
    EXPECT_NE(h.MonitorOf(late), nullptr);
    EXPECT_NE(h.MonitorOf(opened), nullptr);
    EXPECT_TRUE(h.RunUntil([&] { return h.MonitorOf(late)->Bound() && h.MonitorOf(opened)->Bound(); }));
}

TEST_F(ChromiumEndToEndTest, RealClickRoundTripsTheInputMarker) {
    OpenOpener();
    const auto monitor = h.MonitorOf(first);
    EXPECT_EQ(monitor->UserInputTick(), 0);

    h.Click(driver, 300, 300);  // on the page, away from the buttons
    ASSERT_TRUE(h.RunUntil([&] { return monitor->UserInputTick() != 0; }));
    ASSERT_TRUE(h.RunUntil([&] { return TickAfter(monitor->MarkerSeenTick(), monitor->UserInputTick()); }))
        << "the marker set after the input must come back from the page";
    EXPECT_FALSE(monitor->MarkerPending());
    // The marker ran in the page itself and was reset by the monitor.
    EXPECT_TRUE(h.RunUntil(
        [&] { return h.Evaluate(driver, "document.documentElement.getAttribute('ut')") == "false"; }));
}

TEST_F(ChromiumEndToEndTest, PageCannotFakeInputNorReachTheProbe) {
    h.StartProgram();
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_spoof.html")));
    ASSERT_TRUE(h.RunUntil([&] { return h.MonitorOf(first) && h.MonitorOf(first)->Bound(); }));
    h.RunFor(400);
    EXPECT_EQ(h.Evaluate(driver, "document.title"), "probe:undefined,undefined,undefined");
    EXPECT_EQ(h.MonitorOf(first)->UserInputTick(), 0) << "synthetic clicks earn no input";
    EXPECT_GE(h.platform->desktop.GetAsyncKeyState(kVkControl), 0) << "a synthetic Ctrl is not the user's";
}

TEST_F(ChromiumEndToEndTest, BodyOnBeforeUnloadMovesToOnUnload) {
    OpenOpener();
    ASSERT_TRUE(
        h.RunUntil([&] { return h.Evaluate(driver, "document.body.hasAttribute('onunload')") == true; }));
    EXPECT_EQ(h.Evaluate(driver, "document.body.getAttribute('onunload')"), "return 'stay'");
    EXPECT_EQ(h.Evaluate(driver, "document.body.getAttribute('onbeforeunload')"), nullptr);
    EXPECT_EQ(h.Evaluate(driver, "String(window.onbeforeunload)"), "null") << "the handler itself is gone";
}

TEST_F(ChromiumEndToEndTest, PopupTakenByAHiddenBrowserNeverRequestsItsPage) {
    auto sink = Sink(NewWindowSink::Answer::Hide);
    OpenOpener();
    h.Click(driver, 50, 30);  // "open"
    ASSERT_TRUE(h.RunUntil([&] { return !sink->captured.empty(); }));
    EXPECT_EQ(sink->captured, std::vector<std::string>{h.server.Url("/cr_target.html")});
    // The opener went on past window.open().
    ASSERT_TRUE(h.RunUntil([&] { return h.Evaluate(driver, "document.title") == "opened:yes"; }));
    ASSERT_TRUE(
        h.RunUntil([&] { return h.world->KilledPopupCount() == 1 && h.world->Browsers().size() == 1; }));
    h.RunFor(500);
    EXPECT_FALSE(h.server.WasRequested("/cr_target.html"));
    EXPECT_EQ(h.app->Hub().IEMonitors.size(), 1u);
}

TEST_F(ChromiumEndToEndTest, BlankPopupSentElsewhereIsCaughtWithItsRealAddress) {
    auto sink = Sink(NewWindowSink::Answer::Hide);
    OpenOpener();
    h.Click(driver, 50, 80);  // "blank"
    ASSERT_TRUE(h.RunUntil([&] { return !sink->captured.empty(); }));
    EXPECT_EQ(sink->captured, std::vector<std::string>{h.server.Url("/cr_redirected.html")});
    EXPECT_EQ(sink->seen.front(), "about:blank") << "the blank start is let through";
    ASSERT_TRUE(
        h.RunUntil([&] { return h.world->KilledPopupCount() == 1 && h.world->Browsers().size() == 1; }));
    h.RunFor(300);
    EXPECT_FALSE(h.server.WasRequested("/cr_redirected.html"));
    EXPECT_EQ(h.Evaluate(driver, "document.title"), "blank:yes");
}

// A popup opened blank whose opener writes into it makes no request: it is closed a moment after its
// opener has been let go, and the opener goes on without an error.
TEST_F(ChromiumEndToEndTest, BlankPopupItsOpenerWritesIntoIsClosedAndTheOpenerGoesOn) {
    auto sink = Sink(NewWindowSink::Answer::Hide);
    OpenOpener();
    h.Click(driver, 250, 30);  // "write"
    ASSERT_TRUE(h.RunUntil([&] { return sink->requests == 1; }));
    ASSERT_TRUE(
        h.RunUntil([&] { return h.world->KilledPopupCount() == 1 && h.world->Browsers().size() == 1; },
                   ChromiumWorld::kBlankPopupGraceMs + 3000));
    EXPECT_EQ(sink->seen, std::vector<std::string>{"about:blank"});
    EXPECT_TRUE(sink->captured.empty());
    ASSERT_TRUE(h.RunUntil([&] { return h.Evaluate(driver, "document.title") == "written:closed"; }, 5000))
        << h.Evaluate(driver, "document.title");
    EXPECT_EQ(h.app->Hub().IEMonitors.size(), 1u);
}

TEST_F(ChromiumEndToEndTest, RefusedPopupOpensNothing) {
    auto sink = Sink(NewWindowSink::Answer::Refuse);
    OpenOpener();
    h.Click(driver, 50, 30);
    ASSERT_TRUE(h.RunUntil([&] { return sink->requests == 1 && h.world->KilledPopupCount() == 1; }));
    ASSERT_TRUE(h.RunUntil([&] {
        return h.Evaluate(driver, "document.title").is_string() &&
               h.Evaluate(driver, "document.title").get<std::string>().rfind("opened:", 0) == 0;
    }));
    h.RunFor(300);
    EXPECT_EQ(h.world->Browsers().size(), 1u);
    EXPECT_FALSE(h.server.WasRequested("/cr_target.html"));
}

// A real click whose handler opens a window: the program's decision lets it open.
TEST_F(ChromiumEndToEndTest, PopupLetThroughOpensAndGetsItsOwnMonitor) {
    auto sink = Sink(NewWindowSink::Answer::LetOpen);
    OpenOpener();
    h.Click(driver, 50, 30);
    ASSERT_TRUE(h.RunUntil([&] { return h.BrowserShowing("cr_target.html") != nullptr; }, 10000));
    const auto popup = h.BrowserShowing("cr_target.html");
    ASSERT_TRUE(h.RunUntil([&] { return h.MonitorOf(popup) && h.MonitorOf(popup)->Bound(); }));
    EXPECT_EQ(sink->requests, 1);
    EXPECT_TRUE(h.server.WasRequested("/cr_target.html"));
    EXPECT_EQ(h.app->Hub().IEMonitors.size(), 2u);
    EXPECT_EQ(h.world->KilledPopupCount(), 0);
}

// The program's own decision, with its default options (block with notice): the page's windows that no
// real click asked for never load, and their addresses reach the countdown window.
TEST_F(ChromiumEndToEndTest, WindowThePageOpensWithoutRealInputIsBlockedByTheProgram) {
    h.StartProgram();
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_spoof.html")));
    IETopWatcher& hub = h.app->Hub();
    ASSERT_TRUE(h.RunUntil(
        [&] { return !hub.IECloseDelays.empty() && !hub.IECloseDelays.back()->TextURL.Text().empty(); }));
    EXPECT_EQ(hub.IECloseDelays.back()->TextURL.Text(), h.server.Url("/cr_target.html"));
    h.RunFor(300);
    EXPECT_FALSE(h.server.WasRequested("/cr_target.html"));
    EXPECT_EQ(h.world->Browsers().size(), 1u);
    EXPECT_EQ(hub.IEMonitors.size(), 1u);
}

TEST_F(ChromiumEndToEndTest, WindowOpenedAfterTheClicksWorkIsDoneIsBlockedByTheProgram) {
    OpenOpener();
    h.Click(driver, 50, 130);  // "later": the page opens its window 600 ms after the click
    IETopWatcher& hub = h.app->Hub();
    ASSERT_TRUE(h.RunUntil(
        [&] { return !hub.IECloseDelays.empty() && !hub.IECloseDelays.back()->TextURL.Text().empty(); }));
    EXPECT_EQ(hub.IECloseDelays.back()->TextURL.Text(), h.server.Url("/cr_late.html"));
    const auto monitor = h.MonitorOf(first);
    EXPECT_TRUE(TickAfter(monitor->MarkerSeenTick(), monitor->UserInputTick()))
        << "the marker came back first";
    h.RunFor(300);
    EXPECT_FALSE(h.server.WasRequested("/cr_late.html"));
    EXPECT_EQ(h.world->Browsers().size(), 1u);
}

// The program's own decision on a real click: the window the click asked for opens and is watched; a
// second window from the same click is not the user's and is blocked.
TEST_F(ChromiumEndToEndTest, RealClickOpensItsWindowButNotASecondOne) {
    OpenOpener();
    IETopWatcher& hub = h.app->Hub();
    h.Click(driver, 50, 180);  // "two"
    ASSERT_TRUE(h.RunUntil([&] { return h.BrowserShowing("cr_target.html") != nullptr; }, 10000));
    const auto popup = h.BrowserShowing("cr_target.html");
    ASSERT_TRUE(h.RunUntil([&] { return h.MonitorOf(popup) && h.MonitorOf(popup)->Bound(); }));
    ASSERT_TRUE(h.RunUntil(
        [&] { return !hub.IECloseDelays.empty() && !hub.IECloseDelays.back()->TextURL.Text().empty(); }));
    EXPECT_EQ(hub.IECloseDelays.back()->TextURL.Text(), h.server.Url("/cr_late.html"));
    h.RunFor(300);
    EXPECT_TRUE(h.server.WasRequested("/cr_target.html"));
    EXPECT_FALSE(h.server.WasRequested("/cr_late.html"));
    EXPECT_EQ(h.world->Browsers().size(), 2u);
}

// Without the countdown window the blocked address goes straight to the killed list.
TEST_F(ChromiumEndToEndTest, BlockedAddressGoesToTheKilledListWhenNoticesAreOff) {
    h.StartProgram();
    h.app->AppSettings().SetPopupNotify(false);
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_spoof.html")));
    IETopWatcher& hub = h.app->Hub();
    ASSERT_TRUE(h.RunUntil([&] { return !hub.KilledPopups.empty(); }));
    EXPECT_EQ(hub.KilledPopups, std::vector<std::string>{h.server.Url("/cr_target.html")});
    EXPECT_TRUE(hub.IECloseDelays.empty());
    h.RunFor(300);
    EXPECT_FALSE(h.server.WasRequested("/cr_target.html"));
}

// One-window browsing: the window a click asks for is loaded in the window that asked.
TEST_F(ChromiumEndToEndTest, OneWindowBrowsingLoadsTheClickedWindowInTheOpener) {
    OpenOpener();
    h.app->AppSettings().SetWindowFixed(true);
    h.Click(driver, 50, 30);  // "open"
    ASSERT_TRUE(h.RunUntil([&] { return h.server.WasRequested("/cr_target.html"); }, 10000));
    ASSERT_TRUE(h.RunUntil([&] { return h.BrowserShowing("cr_target.html") == first; }, 10000));
    h.RunFor(300);
    EXPECT_EQ(h.world->Browsers().size(), 1u);
    EXPECT_TRUE(h.app->Hub().KilledPopups.empty());
}

TEST_F(ChromiumEndToEndTest, KilledBrowserEndsEveryMonitorWithinASecondAndTheProgramGoesOn) {
    h.StartProgram();
    h.Call("Target.createTarget", {{"url", h.server.Url("/cr_late.html")}});
    ASSERT_TRUE(h.RunUntil([&] { return h.app->Hub().IEMonitors.size() == 2; }, 10000));
    const auto monitor = h.app->Hub().IEMonitors.front();

    h.process->Kill();
    const auto killedAt = posix::PollEventLoop::NowMs();
    ASSERT_TRUE(h.RunUntil([&] { return h.app->Hub().IEMonitors.empty(); }, 3000));
    EXPECT_LT(posix::PollEventLoop::NowMs() - killedAt, 1600);
    EXPECT_TRUE(monitor->Quited);
    EXPECT_TRUE(h.world->Disconnected());
    EXPECT_TRUE(h.app->Running());
    EXPECT_TRUE(h.app->Hub().Loaded());
    // Calls fail instead of hanging, and the loop keeps turning.
    EXPECT_THROW(first->Document(), PlatformError);
    EXPECT_EQ(h.platform->desktop.ShellExecute("", "iexplore.exe", "http://example.com/", "", kShowNormal),
              2);
    int ticks = 0;
    auto timer = h.loop.CreateTimer([&] { ++ticks; });
    timer->Start(10);
    EXPECT_TRUE(h.RunUntil([&] { return ticks >= 3; }));
}

TEST_F(ChromiumEndToEndTest, CrashedPageEndsItsMonitor) {
    h.StartProgram();
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_target.html")));
    ASSERT_TRUE(h.RunUntil([&] { return h.MonitorOf(first) != nullptr; }));
    h.world->Connection().Send("Page.crash", Json::object(), driver);
    ASSERT_TRUE(h.RunUntil([&] { return h.app->Hub().IEMonitors.empty(); }, 10000));
    EXPECT_FALSE(h.app->Hub().IsIEValid(first));
    EXPECT_TRUE(h.app->Running());
}

TEST_F(ChromiumEndToEndTest, DocumentsKeepTheirIdentityAndANewPageBringsNewOnes) {
    h.StartProgram();
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_target.html")));
    const auto doc = first->Document();
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(SameObject(doc, first->Document()));
    EXPECT_TRUE(SameObject(doc->ParentWindow(), first->Document()->ParentWindow()));
    EXPECT_TRUE(SameObject(doc->Body(), doc->All()->Tags("body")->Item(0)));

    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_late.html")));
    const auto next = first->Document();
    ASSERT_NE(next, nullptr);
    EXPECT_FALSE(SameObject(doc, next));
    EXPECT_THROW(doc->Body(), PlatformError) << "the old page's document has gone";
    EXPECT_EQ(first->LocationURL(), h.server.Url("/cr_late.html"));
}

TEST_F(ChromiumEndToEndTest, FramesOfAnotherSiteRefuseTheirDocument) {
    h.StartProgram();
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_frames.html")));
    ASSERT_TRUE(h.RunUntil([&] {
        return h.Evaluate(driver, "document.readyState") == "complete" &&
               h.server.WasRequested("/cr_target.html");
    }));
    h.RunFor(300);
    const auto doc = first->Document();
    ASSERT_EQ(doc->FramesLength(), 2);
    IETopWatcher& hub = h.app->Hub();
    EXPECT_TRUE(hub.CanFrameAccess(doc->FramesItem(0)));
    EXPECT_FALSE(hub.CanFrameAccess(doc->FramesItem(1)));
    EXPECT_EQ(doc->FramesItem(2), nullptr);
    const auto frameBody = doc->FramesItem(0)->Document()->Body();
    ASSERT_NE(frameBody, nullptr);
    EXPECT_EQ(frameBody->TagName(), "BODY");
}

TEST_F(ChromiumEndToEndTest, PointerOverTheContentIsEffectiveInputAndOutsideIsNot) {
    OpenOpener();
    const auto doc = first->Document();
    IETopWatcher& hub = h.app->Hub();
    EXPECT_FALSE(hub.IsInputEffective(doc)) << "before any pointer report the pointer is nowhere";

    h.Click(driver, 400, 300);
    ASSERT_TRUE(h.RunUntil([&] { return h.MonitorOf(first)->UserInputTick() != 0; }));
    EXPECT_TRUE(hub.IsInputEffective(doc));
    const auto body = doc->Body();
    EXPECT_EQ(body->ComponentFromPoint(400, 300), "");
    EXPECT_EQ(body->ComponentFromPoint(-1, 5), "outside");
    EXPECT_EQ(body->ComponentFromPoint(5, 100000), "outside");

    // The pointer leaves the page.
    h.world->Connection().Send("Input.dispatchMouseEvent", {{"type", "mouseMoved"}, {"x", -10}, {"y", -10}},
                               driver);
    EXPECT_TRUE(h.RunUntil([&] { return !hub.IsInputEffective(doc); }));
}

TEST_F(ChromiumEndToEndTest, CtrlHeldByTheUserDisablesEverythingUntilReleased) {
    OpenOpener();
    IETopWatcher& hub = h.app->Hub();
    EXPECT_FALSE(hub.IsAllFeaturesDisabled());
    h.Key(driver, "rawKeyDown", "Control", 17, 2);
    ASSERT_TRUE(h.RunUntil([&] { return hub.IsAllFeaturesDisabled(); }));
    h.Key(driver, "keyUp", "Control", 17, 0);
    EXPECT_TRUE(h.RunUntil([&] { return !hub.IsAllFeaturesDisabled(); }));
}

// The program's ad removal on a real page (banners switched on): the hiding sheet goes in when the
// document is activated, and the pass after the element count changed replaces the banner, hides the
// floating layer and shows the rest again.
TEST_F(ChromiumEndToEndTest, AdPassCleansARealPage) {
    h.StartProgram();
    h.app->AppSettings().SetKillBanner(true);
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_ads.html")));
    IETopWatcher& hub = h.app->Hub();
    ASSERT_TRUE(h.RunUntil([&] { return hub.KilledBannerNumber == 1 && hub.KilledFloatNumber >= 1; }));
    ASSERT_TRUE(
        h.RunUntil([&] { return h.Evaluate(driver, "document.getElementById('banner') === null") == true; }));
    EXPECT_EQ(h.Evaluate(driver, "document.styleSheets[0].ownerNode.id"), "QMV");
    const Json link = h.Evaluate(driver, "document.querySelector('a[href=\"/landing.html\"]').outerHTML");
    ASSERT_TRUE(link.is_string());
    EXPECT_NE(link.get<std::string>().find(">Ad</a>"), std::string::npos) << link;
    // The pass's last writes go out a moment after it ends.
    EXPECT_TRUE(h.RunUntil([&] {
        return h.Evaluate(driver, "document.querySelector('#small img').style.visibility") == "visible";
    }));
    EXPECT_EQ(h.Evaluate(driver, "document.getElementById('float').style.display"), "none");
}

TEST_F(ChromiumEndToEndTest, CollectionIsReadInOneCallAndWritesGoOutWithoutWaiting) {
    std::string html = "<!DOCTYPE html><html><head><title>Images</title></head><body>";
    for (int i = 0; i < 50; ++i) {
        html += "<a href=\"/go" + std::to_string(i) + "\"><img src=\"/img" + std::to_string(i) +
                ".png\" width=\"468\" height=\"60\"></a>";
    }
    html +=
        "<div style=\"position:absolute\"> </div><img src=\"/alone.png\" width=\"10\" "
        "height=\"10\"></body></html>";
    h.server.AddPage("/images.html", html);
    h.StartProgram();
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/images.html")));
    ASSERT_TRUE(h.RunUntil([&] { return h.Evaluate(driver, "document.readyState") == "complete"; }));

    const auto doc = std::static_pointer_cast<ChromiumDocument>(first->Document());
    const auto& context = doc->Context();
    // Lists the program's own ad pass read ahead are not this test's subject.
    context->ForgetReadAhead();
    const int before = context->CallCount();
    const auto images = doc->All()->Tags("img");
    ASSERT_EQ(images->Length(), 51);
    int ads = 0;
    for (int i = 0; i < images->Length(); ++i) {
        const auto image = images->Item(i);
        const auto parent = image->ParentElement();
        if (parent->TagName() == "A" && VariantToInt32(image->Width()) == 468 &&
            VariantToInt32(image->Height()) == 60) {
            EXPECT_EQ(VariantToText(image->GetAttribute("src")), "/img" + std::to_string(i) + ".png");
            EXPECT_EQ(VariantToText(parent->GetAttribute("href")), "/go" + std::to_string(i));
            EXPECT_EQ(image->GetStyle(StyleProperty::Visibility), "");
            image->SetStyle(StyleProperty::Visibility, "visible");
            ++ads;
        }
    }
    const auto divs = doc->All()->Tags("DIV");
    ASSERT_EQ(divs->Length(), 1);
    EXPECT_EQ(divs->Item(0)->GetStyle(StyleProperty::Position), "absolute");
    EXPECT_EQ(divs->Item(0)->InnerText(), " ");
    EXPECT_EQ(ads, 50);
    EXPECT_EQ(context->CallCount() - before, 2) << "one call for each list, whatever its length";
    // An image outside a link comes without its size (which costs the page a layout check for each) and
    // its address: asked for, they are read then.
    EXPECT_EQ(VariantToInt32(images->Item(50)->Width()), 10);
    EXPECT_EQ(VariantToInt32(images->Item(50)->Height()), 10);
    EXPECT_EQ(VariantToText(images->Item(50)->GetAttribute("src")), "/alone.png");

    // The writes went out together and are in the page before the next read is answered.
    EXPECT_EQ(doc->All()->Tags("IMG")->Item(0)->GetStyle(StyleProperty::Visibility), "visible");
    EXPECT_EQ(h.Evaluate(driver,
                         "Array.from(document.images).filter(i => i.style.visibility === 'visible').length"),
              50);
}

// The program's whole ad pass reads each list of the page in one call, whatever the page holds: the
// layers' text and images and the frames' documents come with their lists. What it decides from them
// is what the page really is: a layer without text is hidden with its images, a frame of another site
// that has a banner's shape is an ad, the same frame of the page's own site is not.
TEST_F(ChromiumEndToEndTest, WholeAdPassReadsEachListInOneCallAndDecidesRightly) {
    h.server.AddPage("/frame.html", "<!DOCTYPE html><html><body><p>A frame.</p></body></html>");
    std::string html =
        "<!DOCTYPE html><html><head><title>Everything</title></head><body>"
        "<div id='layer' style='position:absolute;left:0;top:0'><img id='i1' width='50' height='50'>"
        "<span><img id='i2' width='50' height='50'></span></div>"
        "<div id='note' style='position:absolute;left:0;top:100px'>Text</div>"
        "<div id='scripted'><img id='i3' width='50' height='50'></div>"
        "<script>document.getElementById('scripted').style.position = 'absolute';</script>"
        "<a href='/go'><img id='banner' width='468' height='60'><span><iframe id='inlink' src='" +
        h.server.Url("/frame.html", "localhost") +
        "' width='728' height='90'></iframe></span></a>"
        "<iframe id='own' src='/frame.html' width='728' height='200'></iframe>"
        "<iframe id='other' src='" +
        h.server.Url("/frame.html", "localhost") +
        "' width='728' height='200'></iframe>"
        "<embed id='e' type='application/x-nothing'><object id='o'></object>";
    for (int i = 0; i < 40; ++i) {
        html += "<div><p>Paragraph</p><img width='100' height='100'></div>";
    }
    h.server.AddPage("/everything.html", html + "</body></html>");
    h.StartProgram();
    Settings& settings = h.app->AppSettings();
    // Only this test's pass works on the page: the program's own monitors find nothing to do while the
    // options are off, and are let go once the page has loaded (the hub may have made a new one for it).
    const auto setAll = [&](bool on) {
        settings.SetKillBanner(on);
        settings.SetKillIFrame(on);
        settings.SetKillFlash(on);
        settings.SetKillFloat(on);
    };
    setAll(false);
    ASSERT_TRUE(h.RunUntil([&] { return h.MonitorOf(first) != nullptr; }));
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/everything.html")));
    ASSERT_TRUE(h.RunUntil([&] { return h.Evaluate(driver, "document.readyState") == "complete"; }));
    // The page's own last changes are counted (and reported) a moment after they are made.
    h.RunFor(400);
    for (const auto& monitor : h.app->Hub().IEMonitors) {
        monitor->Unload();
    }
    h.app->Hub().IEMonitors.clear();
    setAll(true);

    const auto doc = std::static_pointer_cast<ChromiumDocument>(first->Document());
    AdRemover remover(*h.app);
    remover.InstallHidingStyleSheet(doc);
    IETopWatcher& hub = h.app->Hub();
    const std::int32_t frames = hub.KilledIFrameNumber;
    const std::int32_t flash = hub.KilledFlashNumber;
    const int before = doc->Context()->CallCount();
    remover.RemoveAds(doc, [] { return true; });
    EXPECT_EQ(doc->Context()->CallCount() - before, 1)
        << "the list of DIV with those of IMG, IFRAME, EMBED and OBJECT read ahead; the frame that left "
           "with the banner's link is known without a question";
    // A read comes back once the page has run every write sent before it.
    doc->Context()->RunOne({"count", 1, ""});

    const auto visibility = [&](const std::string& id) {
        return h.Evaluate(driver, "document.getElementById('" + id + "').style.visibility");
    };
    EXPECT_EQ(visibility("i1"), "hidden");
    EXPECT_EQ(visibility("i2"), "hidden");
    EXPECT_EQ(visibility("i3"), "hidden") << "a position the page's script set is an inline style too";
    EXPECT_EQ(visibility("layer"), "hidden");
    EXPECT_EQ(h.Evaluate(driver, "document.getElementById('layer').style.display"), "none");
    EXPECT_EQ(visibility("note"), "");
    EXPECT_EQ(h.Evaluate(driver, "document.getElementById('banner')"), nullptr);
    EXPECT_EQ(visibility("own"), "visible");
    EXPECT_EQ(visibility("other"), "");
    EXPECT_EQ(hub.KilledIFrameNumber - frames, 1) << "the frame inside the replaced link is not counted";
    EXPECT_EQ(hub.KilledFlashNumber - flash, 2);
}

// The page reports a change of its element count to the program, which then runs an ad pass; the
// program's own replacements are no news to it, so a pass does not set off the next one.
TEST_F(ChromiumEndToEndTest, ProgramsOwnReplacementIsNoNewsButThePagesOwnChangeIs) {
    auto sink = Sink(NewWindowSink::Answer::LetOpen);
    ASSERT_TRUE(h.Navigate(first, driver, h.server.Url("/cr_ads.html")));
    ASSERT_TRUE(h.RunUntil([&] { return h.Evaluate(driver, "document.readyState") == "complete"; }));
    h.RunFor(300);
    const auto doc = std::static_pointer_cast<ChromiumDocument>(first->Document());
    const auto links = doc->All()->Tags("A");
    ASSERT_EQ(links->Length(), 2);

    const int before = sink->statusChanges;
    links->Item(0)->SetOuterHTML("<a href=\"/landing.html\">Ad</a>");
    links->Item(1)->SetOuterHTML("<span>gone</span>");
    ASSERT_TRUE(
        h.RunUntil([&] { return h.Evaluate(driver, "document.getElementById('banner') === null") == true; }));
    h.RunFor(400);
    EXPECT_EQ(sink->statusChanges, before);

    h.Evaluate(driver, "document.body.appendChild(document.createElement('p')), 0");
    EXPECT_TRUE(h.RunUntil([&] { return sink->statusChanges > before; }));
}

// The program started on a start page that opens a window as soon as it has loaded and carries ads, as
// a person starts it: the start page is watched from its first request every time, so its window is
// blocked before its page is asked for, and its ads are removed.
TEST(ChromiumStartUpTest, StartPageIsWatchedFromItsFirstRequestAtEveryStart) {
    constexpr int kStarts = 20;
    int blocked = 0;
    int cleaned = 0;
    int requested = 0;
    for (int start = 0; start < kStarts; ++start) {
        ChromiumHarness h;
        std::string why;
        if (!h.StartWatching(h.server.Url("/cr_startup.html"), why)) {
            GTEST_SKIP() << why;
        }
        Settings& settings = h.app->AppSettings();
        settings.SetKillBanner(true);
        settings.SetKillFloat(true);
        settings.SetKillIFrame(true);
        settings.SetKillFlash(true);
        IETopWatcher& hub = h.app->Hub();
        const bool done = h.RunUntil(
            [&] {
                return h.world->KilledPopupCount() >= 1 && hub.KilledBannerNumber >= 1 &&
                       hub.KilledFloatNumber >= 1;
            },
            15000);
        blocked += h.world->KilledPopupCount() >= 1 ? 1 : 0;
        cleaned += hub.KilledBannerNumber >= 1 && hub.KilledFloatNumber >= 1 ? 1 : 0;
        if (done) {
            h.RunFor(100);
        }
        requested += h.server.WasRequested("/cr_target.html?onload") ? 1 : 0;
        EXPECT_TRUE(h.server.WasRequested("/cr_startup.html")) << "start " << start;
        EXPECT_EQ(h.world->Browsers().size(), 1u) << "start " << start;
        // Ended at once, as a crash would: a polite end costs seconds at every start.
        h.process->Kill();
    }
    EXPECT_EQ(blocked, kStarts);
    EXPECT_EQ(requested, 0);
    EXPECT_EQ(cleaned, kStarts);
}

}  // namespace
}  // namespace qm::cr
