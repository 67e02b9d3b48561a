#include "monitor/ad_remover.h"

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "support/sim_scenario.h"

namespace qm {
namespace {

using testing::SimScenario;

TEST(AdPlaceholderTest, BuildsTheGreyBoxPartByPart) {
    EXPECT_EQ(
        BuildAdPlaceholder(468, 60, "http://adserver.example/click?id=468"),
        "<a style=\"font:normal 10pt arial;color:#808080;border:solid 1px #808080;padding:0;width:468;"
        "height:60;padding-top:22;text-align:center\" href=\"http://adserver.example/click?id=468\">Ad</a>");

    struct Case {
        int height;
        const char* paddingTop;
    };
    for (const Case c : {Case{17, "padding-top:0;"}, Case{19, "padding-top:2;"}, Case{21, "padding-top:2;"},
                         Case{60, "padding-top:22;"}, Case{600, "padding-top:292;"}}) {
        const std::string html = BuildAdPlaceholder(120, c.height, "/x");
        EXPECT_NE(html.find(c.paddingTop), std::string::npos) << c.height << ": " << html;
        EXPECT_NE(html.find(";height:" + std::to_string(c.height) + ";"), std::string::npos);
    }
}

TEST(AdPlaceholderTest, AnAddressCannotBreakOutOfItsAttribute) {
    const std::string html =
        BuildAdPlaceholder(468, 60, "/go?a=1&b=2 onmouseover=\"alert(1)\"><script>x</script>");
    EXPECT_EQ(html.substr(html.find(" href=")),
              " href=\"/go?a=1&amp;b=2 "
              "onmouseover=&quot;alert(1)&quot;&gt;&lt;script&gt;x&lt;/script&gt;\">Ad</a>");
    const std::string script = BuildAdPlaceholder(468, 60, "javascript:open('a b')");
    EXPECT_EQ(script.substr(script.find(" href=")), " href=\"javascript:open('a b')\">Ad</a>");
}

TEST(AdShapeTest, ClassifiesSizes) {
    struct Case {
        int w, h;
        bool small, banner, bannerSizedFrame;
    };
    const Case cases[] = {
        {16, 300, true, false, false},  {17, 300, false, false, false},  {300, 16, true, false, false},
        {468, 60, false, true, true},   {400, 40, false, true, false},   {400, 134, false, false, false},
        {120, 600, false, true, false}, {100, 240, false, true, false},  {40, 240, false, true, false},
        {39, 600, false, false, false}, {300, 250, false, false, false}, {468, 100, false, true, false},
        {450, 45, false, true, true},   {450, 91, false, true, false},   {449, 60, false, true, false},
        {0, 0, true, false, false},     {-5, 400, true, false, false},
    };
    for (const Case& c : cases) {
        const AdShape shape{c.w, c.h};
        EXPECT_EQ(shape.IsSmall(), c.small) << c.w << "x" << c.h;
        EXPECT_EQ(shape.IsBanner(), c.banner) << c.w << "x" << c.h;
        EXPECT_EQ(shape.IsBannerSizedFrame(), c.bannerSizedFrame) << c.w << "x" << c.h;
    }
}

class AdRemovalTest : public ::testing::Test, protected SimScenario {
  protected:
    void SetUp() override {
        sim.world.AddFixturePage("http://lantern.example/", "news_with_ads.html");
        app.Main();
        SetOptions(true, true, true, true);
        browser = sim.world.OpenBrowser("http://lantern.example/");
        monitor = MonitorOf(browser);
        page = browser->Page();
    }

    void SetOptions(bool banner, bool flash, bool frame, bool floating) {
        Settings& settings = app.AppSettings();
        settings.SetKillBanner(banner);
        settings.SetKillFlash(flash);
        settings.SetKillIFrame(frame);
        settings.SetKillFloat(floating);
    }

    // The page is activated and finishes loading: the sheet goes in, then one pass runs.
    void ActivateAndLoad() {
        page->FireActivate();
        browser->FireStatusTextChange();
        sim.loop.Advance(1);
    }

    bool Visible(const std::string& id) const {
        auto element = page->ElementById(id);
        EXPECT_NE(element, nullptr) << id;
        return element && element->IsVisible();
    }

    std::shared_ptr<sim::SimBrowser> browser;
    std::shared_ptr<IEMonitor> monitor;
    std::shared_ptr<sim::SimDocument> page;
};

TEST_F(AdRemovalTest, HidingSheetGoesFirstWithTheRulesOfTheOptionsThatAreOn) {
    SetOptions(true, false, true, true);
    page->FireActivate();
    ASSERT_GE(page->Sheets().size(), 2u);
    const auto& sheet = page->Sheets().front();
    EXPECT_EQ(sheet->Owner()->Attribute("id"), Variant("QMV"));
    ASSERT_EQ(sheet->Rules().size(), 2u);
    EXPECT_EQ(sheet->Rules()[0].selector, "IFRAME");
    EXPECT_EQ(sheet->Rules()[1].selector, "A IMG");
    EXPECT_FALSE(Visible("top-banner"));
    EXPECT_FALSE(Visible("frame-own"));
    EXPECT_TRUE(Visible("flash-object"));

    // Activated again, even with other options: the page keeps the sheet it has.
    SetOptions(true, true, true, true);
    page->FireActivate();
    EXPECT_EQ(page->Sheets().size(), 2u);
    EXPECT_EQ(page->Sheets().front()->Rules().size(), 2u);
}

TEST_F(AdRemovalTest, FullPassReplacesBannersHidesFloatsCountsFramesAndFlash) {
    ActivateAndLoad();
    const IETopWatcher& hub = app.Hub();
    EXPECT_EQ(hub.KilledFloatNumber, 2);
    EXPECT_EQ(hub.KilledBannerNumber, 5);
    EXPECT_EQ(hub.KilledIFrameNumber, 2);
    EXPECT_EQ(hub.KilledFlashNumber, 2);

    const std::string markup = page->Markup();
    EXPECT_NE(
        markup.find("<a style=\"font:normal 10pt arial;color:#808080;border:solid 1px #808080;padding:0;"
                    "width:468;height:60;padding-top:22;text-align:center\" "
                    "href=\"http://adserver.example/click?id=468\">Ad</a>"),
        std::string::npos);
    EXPECT_NE(markup.find("width:120;height:600;padding-top:292;text-align:center\" "
                          "href=\"http://sponsor.example/\">Ad</a>"),
              std::string::npos);
    EXPECT_EQ(page->ElementById("top-banner"), nullptr);
    EXPECT_EQ(page->ElementById("box-adserver"), nullptr);
    EXPECT_EQ(page->ElementById("skyscraper"), nullptr);

    // Harmless elements are shown again; what the page hid itself stays hidden.
    for (const char* id : {"photo-link", "box-own", "plain-photo", "pixel", "rss-icon", "frame-own",
                           "frame-foreign-plain", "frame-tiny", "float-with-text", "float-two-spaces"}) {
        EXPECT_TRUE(Visible(id)) << id;
    }
    for (const char* id :
         {"hidden-by-page", "float-ad", "float-upper", "frame-foreign-banner", "frame-own-banner-sized",
          "frame-blank", "frame-percent", "flash-object", "flash-embed"}) {
        EXPECT_FALSE(Visible(id)) << id;
    }
}

TEST_F(AdRemovalTest, HostileLinkAddressStaysInsideTheAttribute) {
    ActivateAndLoad();
    const std::string markup = page->Markup();
    EXPECT_NE(markup.find("href=\"/go?a=1 onmouseover=&quot;alert(1)&quot;&gt;x\">Ad</a>"), std::string::npos)
        << markup;
    // The box is one link with the text "Ad" and no attribute smuggled in.
    for (const auto& link : page->ElementsByTag("A")) {
        EXPECT_TRUE(link->Attribute("onmouseover").IsNull());
    }
}

TEST_F(AdRemovalTest, PercentSizedFrameIsSkippedAndTheRestOfThePageStillHandled) {
    ActivateAndLoad();
    EXPECT_FALSE(Visible("frame-percent")) << "left as the sheet leaves it";
    EXPECT_TRUE(Visible("frame-foreign-plain")) << "a later frame is still revealed";
    EXPECT_EQ(app.Hub().KilledFlashNumber, 2) << "the Flash pass still runs";
}

TEST_F(AdRemovalTest, SecondElementCountChangeCountsFloatsFramesAndFlashAgain) {
    ActivateAndLoad();
    page->BodyElement()->children.push_back({std::make_shared<sim::SimElement>(page, "P"), {}});
    browser->FireStatusTextChange();
    sim.loop.Advance(1);
    const IETopWatcher& hub = app.Hub();
    // The floating layer whose linked image became the "Ad" box now holds text, so only the other one
    // counts again.
    EXPECT_EQ(hub.KilledFloatNumber, 3);
    EXPECT_EQ(hub.KilledBannerNumber, 5) << "replaced banners are gone";
    EXPECT_EQ(hub.KilledIFrameNumber, 4);
    EXPECT_EQ(hub.KilledFlashNumber, 4);
}

TEST_F(AdRemovalTest, LinkAroundTwoBannersBecomesOneBoxAndTheRestOfThePageIsHandledInTheSameRun) {
    sim.world.AddFixturePage("http://harbour.example/", "double_banner_link.html");
    browser->GoTo("http://harbour.example/");
    page = browser->Page();
    ActivateAndLoad();

    const IETopWatcher& hub = app.Hub();
    EXPECT_EQ(hub.KilledBannerNumber, 1) << "the link is one box, counted once";
    EXPECT_EQ(page->ElementById("double-link"), nullptr);
    const std::string markup = page->Markup();
    EXPECT_NE(markup.find("href=\"http://adserver.example/click?id=pair\">Ad</a>"), std::string::npos);
    EXPECT_EQ(markup.find("href=\"http://adserver.example/click?id=pair\">Ad</a>",
                          markup.find("click?id=pair") + 1),
              std::string::npos)
        << "one box, not two";
    // Everything after the link is handled by the same run.
    EXPECT_TRUE(Visible("photo-after"));
    EXPECT_TRUE(Visible("plain-after"));
    EXPECT_TRUE(Visible("frame-after"));
    EXPECT_EQ(hub.KilledIFrameNumber, 1);
    EXPECT_EQ(hub.KilledFlashNumber, 1);
}

TEST_F(AdRemovalTest, CtrlHeldSkipsTheSheetAndThePass) {
    sim.desktop.HoldKey(kVkControl);
    ActivateAndLoad();
    EXPECT_EQ(page->Sheets().size(), 1u) << "only the page's own sheet";
    EXPECT_EQ(app.Hub().KilledBannerNumber + app.Hub().KilledFloatNumber + app.Hub().KilledIFrameNumber +
                  app.Hub().KilledFlashNumber,
              0);
    EXPECT_NE(page->ElementById("top-banner"), nullptr);
    EXPECT_TRUE(page->ElementById("photo-link")->InlineStyle("visibility").empty());
}

TEST_F(AdRemovalTest, OptionsOffLeaveTheirKindAlone) {
    SetOptions(false, false, false, false);
    ActivateAndLoad();
    EXPECT_EQ(page->Sheets().front()->Rules().size(), 0u) << "an empty sheet still goes in";
    EXPECT_NE(page->ElementById("top-banner"), nullptr);
    EXPECT_TRUE(Visible("float-ad"));
    EXPECT_EQ(app.Hub().KilledBannerNumber + app.Hub().KilledFloatNumber + app.Hub().KilledIFrameNumber +
                  app.Hub().KilledFlashNumber,
              0);
}

TEST_F(AdRemovalTest, BannerOptionTurnedOffAfterTheSheetKeepsLinkedImagesHidden) {
    page->FireActivate();
    SetOptions(false, true, true, true);
    browser->FireStatusTextChange();
    sim.loop.Advance(1);
    EXPECT_FALSE(Visible("photo-link")) << "nobody reveals it until the page is loaded again";
    EXPECT_NE(page->ElementById("top-banner"), nullptr);
}

TEST_F(AdRemovalTest, MonitorEndedFromInsideAYieldStopsThePassSafely) {
    std::weak_ptr<IEMonitor> watch = monitor;
    monitor.reset();
    int yields = 0;
    sim.loop.SetDoEventsHook([&] {
        if (++yields == 3) {
            browser->Vanish();
            sim.loop.Advance(1000);  // the poll finds the browser gone and ends the monitor
        }
    });
    ActivateAndLoad();
    sim.loop.SetDoEventsHook(nullptr);
    EXPECT_EQ(yields, 3) << "the pass stopped at the yield that ended its monitor";
    EXPECT_EQ(MonitorCount(), 0u);
    EXPECT_TRUE(watch.expired());
}

TEST_F(AdRemovalTest, ProgramThatIsEndingStopsARunningPassAtItsNextYield) {
    // A page far larger than the fixture: a pass over it would yield thousands of times.
    for (int i = 0; i < 2000; ++i) {
        page->BodyElement()->children.push_back({std::make_shared<sim::SimElement>(page, "DIV"), {}});
    }
    int yields = 0;
    sim.loop.SetDoEventsHook([&] {
        if (++yields == 5) {
            sim.loop.BeginEnding();  // a stop signal arrives while the pass yields
        }
    });
    ActivateAndLoad();
    sim.loop.SetDoEventsHook(nullptr);
    EXPECT_EQ(yields, 5) << "the run stopped at the yield where the program began to end";
    EXPECT_EQ(app.Hub().KilledBannerNumber + app.Hub().KilledIFrameNumber + app.Hub().KilledFlashNumber, 0)
        << "no later pass started";
}

TEST_F(AdRemovalTest, SecondPassStartedInsideAYieldLeavesThePageConsistent) {
    int yields = 0;
    sim.loop.SetDoEventsHook([&] {
        if (++yields == 2) {
            page->BodyElement()->children.push_back({std::make_shared<sim::SimElement>(page, "P"), {}});
            browser->FireStatusTextChange();
            sim.loop.Advance(1);  // the second pass runs to its end inside the first one
        }
    });
    ActivateAndLoad();
    sim.loop.SetDoEventsHook(nullptr);
    EXPECT_EQ(page->ElementById("top-banner"), nullptr);
    EXPECT_EQ(page->ElementById("skyscraper"), nullptr);
    EXPECT_GE(app.Hub().KilledBannerNumber, 5);
    EXPECT_TRUE(Visible("photo-link"));
}

}  // namespace
}  // namespace qm
