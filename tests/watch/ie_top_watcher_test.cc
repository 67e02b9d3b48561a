#include "watch/ie_top_watcher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "forms/form.h"
#include "monitor/ie_close_delay.h"
#include "ports/desktop.h"
#include "support/sim_scenario.h"

namespace qm {
namespace {

using testing::SimScenario;

// The hub of a started program on the simulated platform.
class HubTest : public ::testing::Test, protected SimScenario {
  protected:
    void SetUp() override { app.Main(); }

    IETopWatcher& Hub() { return app.Hub(); }
};

// ---------------------------------------------------------------------------------------------------------
// The pointer test.
//
// A browser's page window has its client area at (0, 100), 1000 x 700 pixels, with a 16-pixel vertical
// scroll bar on the right; the browser's toolbars stand above it and its status bar below it.

class InputEffectiveTest : public HubTest {
  protected:
    std::shared_ptr<sim::SimDocument> Show(const std::string& url) {
        browsers_.push_back(sim.world.OpenBrowser(url, /*visible=*/true, /*announce=*/false));
        return browsers_.back()->Page();
    }

    // A frames page: its left frame shows a page of its own site, its right frame the markets site's
    // ticker. Neither the frames page nor a frameset inside it has a body of its own.
    std::shared_ptr<sim::SimDocument> ShowFramesPage(const std::string& url) {
        sim.world.AddFixturePage(url, "frameset_page.html");
        auto doc = Show(url);
        const auto frames = doc->FrameDocuments();
        frames.at(0)->Window()->SetClientArea(0, 100, 300, 700);
        frames.at(1)->Window()->SetClientArea(300, 100, 700, 700);
        return doc;
    }

    bool PointerAt(const std::shared_ptr<sim::SimDocument>& doc, std::int32_t x, std::int32_t y) {
        sim.desktop.MovePointer(x, y);
        return Hub().IsInputEffective(doc);
    }

  private:
    std::vector<std::shared_ptr<sim::SimBrowser>> browsers_;
};

struct PointerCase {
    const char* where;
    std::int32_t x;
    std::int32_t y;
    bool effective;
};

std::ostream& operator<<(std::ostream& out, const PointerCase& c) {
    return out << c.where << " (" << c.x << ", " << c.y << ")";
}

class PointerOverPlainPageTest : public InputEffectiveTest,
                                 public ::testing::WithParamInterface<PointerCase> {};

TEST_P(PointerOverPlainPageTest, CountsOnlyThePageContent) {
    const auto doc = Show("http://news.example/");
    EXPECT_EQ(PointerAt(doc, GetParam().x, GetParam().y), GetParam().effective);
}

INSTANTIATE_TEST_SUITE_P(Places,
                         PointerOverPlainPageTest,
                         ::testing::Values(PointerCase{"body", 500, 400, true},
                                           PointerCase{"top left corner of the content", 0, 100, true},
                                           PointerCase{"last column before the scroll bar", 983, 400, true},
                                           PointerCase{"bottom row of the content", 500, 799, true},
                                           PointerCase{"scroll bar", 984, 400, false},
                                           PointerCase{"scroll bar, right edge", 999, 400, false},
                                           PointerCase{"toolbar above the content", 500, 50, false},
                                           PointerCase{"address bar, just above", 500, 99, false},
                                           PointerCase{"status bar below", 500, 800, false},
                                           PointerCase{"window frame on the left", -1, 400, false},
                                           PointerCase{"elsewhere on the screen", 1100, 900, false}));

struct FramesCase {
    const char* pageUrl;
    const char* where;
    std::int32_t x;
    std::int32_t y;
    bool effective;
};

std::ostream& operator<<(std::ostream& out, const FramesCase& c) {
    return out << c.pageUrl << ", " << c.where;
}

class PointerOverFramesPageTest : public InputEffectiveTest,
                                  public ::testing::WithParamInterface<FramesCase> {};

TEST_P(PointerOverFramesPageTest, CountsTheContentOfReadableFramesOnly) {
    const auto doc = ShowFramesPage(GetParam().pageUrl);
    EXPECT_EQ(PointerAt(doc, GetParam().x, GetParam().y), GetParam().effective);
}

INSTANTIATE_TEST_SUITE_P(
    Places,
    PointerOverFramesPageTest,
    ::testing::Values(
        FramesCase{"http://news.example/frames.html", "first frame's content", 100, 400, true},
        FramesCase{"http://news.example/frames.html", "first frame's scroll bar", 290, 400, false},
        FramesCase{"http://news.example/frames.html", "second frame, another site", 600, 400, false},
        FramesCase{"http://news.example/frames.html", "above the frames", 600, 50, false},
        FramesCase{"http://markets.example/frames.html", "second frame, same site", 600, 400, true},
        FramesCase{"http://markets.example/frames.html", "second frame's scroll bar", 990, 400, false}));

TEST_F(InputEffectiveTest, FramesInsideFramesAreNeverTested) {
    // The left frame is a frameset of its own, so its content lies wholly in frames of the second level.
    sim.world.AddFixturePage("http://news.example/sections.html", "sections_frameset.html");
    const auto doc = ShowFramesPage("http://news.example/frames.html");
    const auto nested = doc->FrameDocuments().at(0)->FrameDocuments();
    ASSERT_EQ(nested.size(), 2u);
    nested[0]->Window()->SetClientArea(0, 100, 300, 200);
    nested[1]->Window()->SetClientArea(0, 300, 300, 500);
    // Asked on their own, the nested frames would claim both points.
    ASSERT_EQ(nested[0]->BodyElement()->ComponentFromPoint(100, 50), "");
    ASSERT_EQ(nested[1]->BodyElement()->ComponentFromPoint(100, 200), "");

    EXPECT_FALSE(PointerAt(doc, 100, 150));
    EXPECT_FALSE(PointerAt(doc, 100, 500));
}

TEST_F(InputEffectiveTest, WindowWithoutBodyIsSkipped) {
    const auto plain = Show("http://news.example/");
    plain->SetHasBody(false);
    EXPECT_FALSE(PointerAt(plain, 500, 400));

    // A frame that is still without a body is passed over and the next one is still asked.
    const auto frames = ShowFramesPage("http://markets.example/frames.html");
    frames->FrameDocuments().at(0)->SetHasBody(false);
    EXPECT_FALSE(PointerAt(frames, 100, 400));
    EXPECT_TRUE(PointerAt(frames, 600, 400));
}

TEST_F(InputEffectiveTest, WindowPlacedAtTheEndsOfTheCoordinateRangeIsOutside) {
    const auto doc = Show("http://news.example/");
    constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kHighest = std::numeric_limits<std::int32_t>::max();
    doc->Window()->SetClientArea(kLowest + 10, kHighest - 10, 1000, 700);
    EXPECT_FALSE(PointerAt(doc, 500, -400));
    doc->Window()->SetClientArea(kHighest - 10, kLowest + 10, 1000, 700);
    EXPECT_FALSE(PointerAt(doc, -500, 400));
}

TEST_F(InputEffectiveTest, FailsWhenThePageHasGone) {
    auto browser = sim.world.OpenBrowser("http://news.example/", true, false);
    const auto doc = browser->Page();
    browser->Vanish();
    sim.desktop.MovePointer(500, 400);
    EXPECT_THROW(Hub().IsInputEffective(doc), PlatformError);
    EXPECT_THROW(Hub().IsInputEffective(nullptr), PlatformError);
}

TEST_F(InputEffectiveTest, FrameAccessIsRefusedForAnotherSiteAndNeverThrows) {
    auto browser = sim.world.OpenBrowser("http://news.example/", true, false);
    sim.world.AddFixturePage("http://news.example/framed.html", "framed_page.html");
    browser->ShowPage("http://news.example/framed.html");
    const auto doc = browser->Page();
    const std::shared_ptr<PageWindow> weather = doc->FramesItem(0);
    const std::shared_ptr<PageWindow> markets = doc->FramesItem(1);

    EXPECT_TRUE(Hub().CanFrameAccess(weather));
    EXPECT_FALSE(Hub().CanFrameAccess(markets));
    EXPECT_FALSE(Hub().CanFrameAccess(nullptr));
    browser->Vanish();
    EXPECT_FALSE(Hub().CanFrameAccess(weather));
}

TEST_F(HubTest, IsAdJudgesAddressesByTheAdRule) {
    EXPECT_TRUE(Hub().IsAd("http://w.abc.com/ad/468x60.gif"));
    EXPECT_FALSE(Hub().IsAd("http://w.abc.com/download/ads/x.gif"));
    EXPECT_FALSE(Hub().IsAd(""));
}

// ---------------------------------------------------------------------------------------------------------
// The Ctrl key.

struct KeyStateCase {
    std::uint16_t state;
    bool disabled;
};

std::ostream& operator<<(std::ostream& out, const KeyStateCase& c) {
    return out << "0x" << std::hex << c.state;
}

class CtrlStateTest : public HubTest, public ::testing::WithParamInterface<KeyStateCase> {};

TEST_P(CtrlStateTest, OnlyTheKeyDownBitCounts) {
    sim.desktop.SetKeyState(kVkControl, static_cast<std::int16_t>(GetParam().state));
    EXPECT_EQ(Hub().IsAllFeaturesDisabled(), GetParam().disabled);
}

INSTANTIATE_TEST_SUITE_P(States,
                         CtrlStateTest,
                         ::testing::Values(KeyStateCase{0x0000, false},
                                           KeyStateCase{0x0001, false},
                                           KeyStateCase{0x8000, true},
                                           KeyStateCase{0x8001, true},
                                           KeyStateCase{0xFFFF, true},
                                           KeyStateCase{0x7FFF, false}));

TEST_F(HubTest, CtrlDisablesEverythingWhileHeldOnly) {
    EXPECT_FALSE(Hub().IsAllFeaturesDisabled());

    sim.desktop.HoldKey(kVkControl);
    EXPECT_TRUE(Hub().IsAllFeaturesDisabled());  // 0x8001
    EXPECT_TRUE(Hub().IsAllFeaturesDisabled());  // 0x8000
    sim.desktop.ReleaseKey(kVkControl);
    EXPECT_FALSE(Hub().IsAllFeaturesDisabled());

    // A press that ended before the question leaves only the "pressed since" bit.
    sim.desktop.HoldKey(kVkControl);
    sim.desktop.ReleaseKey(kVkControl);
    EXPECT_FALSE(Hub().IsAllFeaturesDisabled());

    // Other keys do not count.
    sim.desktop.HoldKey(0x10);  // Shift
    EXPECT_FALSE(Hub().IsAllFeaturesDisabled());
}

// ---------------------------------------------------------------------------------------------------------
// The killed list and the counters.

TEST_F(HubTest, KilledListKeepsEachAddressOnceInOrderOfFirstArrival) {
    Hub().AddKilledPopup("http://pop.example/a");
    Hub().AddKilledPopup("http://pop.example/b");
    Hub().AddKilledPopup("http://pop.example/a");
    Hub().AddKilledPopup("HTTP://POP.EXAMPLE/A");
    Hub().AddKilledPopup("");
    Hub().AddKilledPopup("http://pop.example/b");
    Hub().AddKilledPopup("");

    EXPECT_EQ(Hub().KilledPopups, (std::vector<std::string>{"http://pop.example/a", "http://pop.example/b",
                                                            "HTTP://POP.EXAMPLE/A", ""}));
}

struct CounterCase {
    std::int32_t before;
    std::int32_t amount;
    std::int32_t after;
};

std::ostream& operator<<(std::ostream& out, const CounterCase& c) {
    return out << c.before << " + " << c.amount;
}

class CounterTest : public ::testing::TestWithParam<CounterCase> {};

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST_P(CounterTest, GrowsAndHoldsAtTheMaximum) {
    std::int32_t counter = GetParam().before;
    IETopWatcher::AddToCounter(counter, GetParam().amount);
    EXPECT_EQ(counter, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Sums,
                         CounterTest,
                         ::testing::Values(CounterCase{0, 1, 1},
                                           CounterCase{41, 7, 48},
                                           CounterCase{kMax - 1, 1, kMax},
                                           CounterCase{kMax, 1, kMax},
                                           CounterCase{kMax - 5, 10, kMax},
                                           CounterCase{1000, kMax, kMax},
                                           CounterCase{5, 0, 5},
                                           CounterCase{5, -3, 5}));

// ---------------------------------------------------------------------------------------------------------
// The row of countdown windows. The simulated screen is 1024 pixels wide at 15 twips a pixel: 15360 twips.

class DelayRowTest : public HubTest {
  protected:
    std::shared_ptr<IECloseDelay> NewDelay(float width = 4500) {
        auto delay = std::make_shared<IECloseDelay>(app);
        delay->Resize(width, 1500);
        return delay;
    }

    static std::vector<float> Lefts(const std::vector<std::shared_ptr<IECloseDelay>>& delays) {
        std::vector<float> lefts;
        for (const auto& delay : delays) {
            lefts.push_back(delay->Left());
        }
        return lefts;
    }
};

TEST_F(DelayRowTest, OneWindowIsCentredNearTheTop) {
    const auto delay = NewDelay();
    Hub().AddDelay(delay);
    EXPECT_FLOAT_EQ(delay->Left(), (15360.0f - 4500.0f) / 2);
    EXPECT_FLOAT_EQ(delay->Top(), 90.0f);
}

TEST_F(DelayRowTest, WindowsStandSideBySideWithEqualGaps) {
    const auto first = NewDelay();
    const auto second = NewDelay();
    Hub().AddDelay(first);
    Hub().AddDelay(second);

    const float gap = (15360.0f - 2 * 4500.0f) / 3;  // 2120
    EXPECT_FLOAT_EQ(first->Left(), gap);
    EXPECT_FLOAT_EQ(second->Left() - (first->Left() + 4500), gap);
    EXPECT_FLOAT_EQ(15360.0f - (second->Left() + 4500), gap);
    EXPECT_FLOAT_EQ(second->Top(), 90.0f);
}

TEST_F(DelayRowTest, GapsFollowTheScreenWidthWithoutRounding) {
    sim.desktop.SetScreenSize(1000, 700);  // 15000 twips
    const auto first = NewDelay(4000);
    const auto second = NewDelay(4000);
    Hub().AddDelay(first);
    Hub().AddDelay(second);

    const double gap = (15000.0 - 8000.0) / 3;  // not a whole number of twips
    EXPECT_FLOAT_EQ(first->Left(), static_cast<float>(gap));
    EXPECT_FLOAT_EQ(second->Left(), static_cast<float>(2 * gap + 4000));
}

TEST_F(DelayRowTest, TooManyWindowsOverlapAndStartLeftOfTheScreen) {
    std::vector<std::shared_ptr<IECloseDelay>> delays;
    for (int i = 0; i < 4; ++i) {
        delays.push_back(NewDelay());
        Hub().AddDelay(delays.back());
    }
    // (15360 - 4 * 4500) / 5 = -528: a negative gap, which nothing clamps.
    EXPECT_EQ(Lefts(delays), (std::vector<float>{-528, 3444, 7416, 11388}));
}

TEST_F(DelayRowTest, ClosingAMiddleWindowLeavesTheOthersUntilTheNextArrives) {
    const auto first = NewDelay(4000);
    const auto middle = NewDelay(4000);
    const auto last = NewDelay(4000);
    for (const auto& delay : {first, middle, last}) {
        Hub().AddDelay(delay);
    }
    ASSERT_EQ(Lefts(Hub().IECloseDelays), (std::vector<float>{840, 5680, 10520}));

    Hub().RemoveDelay(middle);
    EXPECT_EQ(Hub().IECloseDelays, (std::vector<std::shared_ptr<IECloseDelay>>{first, last}));
    EXPECT_EQ(Lefts(Hub().IECloseDelays), (std::vector<float>{840, 10520}));

    const auto newcomer = NewDelay(4000);
    Hub().AddDelay(newcomer);
    EXPECT_EQ(Hub().IECloseDelays, (std::vector<std::shared_ptr<IECloseDelay>>{first, last, newcomer}));
    EXPECT_EQ(Lefts(Hub().IECloseDelays), (std::vector<float>{840, 5680, 10520}));
}

TEST_F(DelayRowTest, RemovingAStrangerChangesNothing) {
    const auto delay = NewDelay();
    Hub().AddDelay(delay);
    Hub().RemoveDelay(NewDelay());
    Hub().RemoveDelay(nullptr);
    EXPECT_EQ(Hub().IECloseDelays, (std::vector<std::shared_ptr<IECloseDelay>>{delay}));

    // A window that joined twice leaves once per call, the first entry first.
    Hub().AddDelay(delay);
    Hub().RemoveDelay(delay);
    EXPECT_EQ(Hub().IECloseDelays, (std::vector<std::shared_ptr<IECloseDelay>>{delay}));
}

TEST_F(DelayRowTest, AnAbsentWindowIsRefusedBeforeTheRowChanges) {
    const auto delay = NewDelay();
    Hub().AddDelay(delay);
    EXPECT_THROW(Hub().AddDelay(nullptr), PlatformError);
    EXPECT_EQ(Hub().IECloseDelays, (std::vector<std::shared_ptr<IECloseDelay>>{delay}));
    Hub().AddDelay(NewDelay());
    EXPECT_EQ(Hub().IECloseDelays.size(), 2u);
}

// ---------------------------------------------------------------------------------------------------------
// Opening an address in a new browser.

TEST_F(HubTest, OpenURLStartsTheBrowserWithTheAddressUnchanged) {
    const std::string url = "http://w.abc.com/a page.html?q=two words&x=\"1\"";
    Hub().OpenURL(url);

    ASSERT_EQ(sim.desktop.ShellExecutes().size(), 1u);
    const auto& call = sim.desktop.ShellExecutes()[0];
    EXPECT_EQ(call.verb, "");
    EXPECT_EQ(call.file, "iexplore.exe");
    EXPECT_EQ(call.parameters, url);
    EXPECT_EQ(call.directory, "");
    EXPECT_EQ(call.showCommand, 1);
}

class OpenURLResultTest : public HubTest, public ::testing::WithParamInterface<std::intptr_t> {};

TEST_P(OpenURLResultTest, ReportsAFailedStartWithAStopBox) {
    sim.desktop.SetShellExecuteResult(GetParam());
    Hub().OpenURL("http://w.abc.com/");

    if (GetParam() > 32) {
        EXPECT_TRUE(sim.desktop.MessageBoxes().empty());
        return;
    }
    ASSERT_EQ(sim.desktop.MessageBoxes().size(), 1u);
    const auto& box = sim.desktop.MessageBoxes()[0];
    EXPECT_EQ(box.text, "Browser error!");
    EXPECT_EQ(box.title, "Varrow Quillmere 4.13");
    EXPECT_EQ(box.style, mb::kIconStop | mb::kOk);
}

INSTANTIATE_TEST_SUITE_P(Results, OpenURLResultTest, ::testing::Values(0, 2, 31, 32, 33, 42));

}  // namespace
}  // namespace qm
