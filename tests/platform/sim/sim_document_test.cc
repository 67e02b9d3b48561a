#include "platform/sim/sim_document.h"

#include <gtest/gtest.h>

#include "base/platform_error.h"
#include "platform/sim/sim_platform.h"

namespace qm::sim {
namespace {

class SimDomTest : public ::testing::Test {
  protected:
    std::shared_ptr<SimDocument> Page(const std::string& html,
                                      const std::string& url = "http://news.example/") {
        return SimDocument::Create(sim.world, liveness, url, html);
    }

    SimPlatform sim;
    std::shared_ptr<Liveness> liveness = std::make_shared<Liveness>();
};

TEST_F(SimDomTest, OuterHtmlReplacesTheElementInItsParent) {
    auto page =
        Page("<body><p id=a>x</p><a id=l href='/go'><img src=b.gif width=468 height=60></a><p>y</p></body>");
    auto link = page->ElementById("l");
    link->SetOuterHTML("<a style=\"color:grey\" href=\"/go\">Ad</a>");
    EXPECT_FALSE(link->Attached());
    EXPECT_EQ(page->BodyElement()->OuterHTML(),
              "<body><p id=\"a\">x</p><a style=\"color:grey\" href=\"/go\">Ad</a><p>y</p></body>");
    EXPECT_THROW(page->Root()->SetOuterHTML("<p></p>"), PlatformError) << "the root has no parent";
}

TEST_F(SimDomTest, InlineStyleBeatsSheetRulesAndHiddenAncestorsHideDescendants) {
    auto page = Page(
        "<head><style>a img { visibility: hidden } .off { display: none }</style></head>"
        "<body><a href=x><img id=i1><img id=i2 style='visibility:visible'></a>"
        "<div class=off><img id=i3 style='visibility:visible'></div><img id=i4></body>");
    EXPECT_FALSE(page->ElementById("i1")->IsVisible());
    EXPECT_TRUE(page->ElementById("i2")->IsVisible());
    EXPECT_FALSE(page->ElementById("i3")->IsVisible());
    EXPECT_TRUE(page->ElementById("i4")->IsVisible());

    // A sheet put first loses ties to the page's own later sheet.
    auto sheet = page->CreateStyleSheet("", 0);
    sheet->AddRule("IMG", "visibility:hidden;", 0);
    EXPECT_FALSE(page->ElementById("i4")->IsVisible());
    EXPECT_EQ(page->Sheets().front().get(), sheet.get());
    EXPECT_EQ(page->Sheets().front()->Owner()->Parent()->Tag(), "HEAD");
}

TEST_F(SimDomTest, AWeightierRuleBeatsALaterOneAndTheLaterWinsATie) {
    auto page = Page(
        "<head><style>#a { visibility: visible } img { visibility: hidden } .x { visibility: hidden }"
        " img.x { visibility: visible } .y { visibility: visible } .z { visibility: hidden }</style></head>"
        "<body><img id=a><img id=b class=x><img id=c class='y z'><img id=d class='z y'><img id=e></body>");
    EXPECT_TRUE(page->ElementById("a")->IsVisible()) << "an id outweighs a later tag";
    EXPECT_TRUE(page->ElementById("b")->IsVisible()) << "a tag and a class outweigh a class";
    EXPECT_FALSE(page->ElementById("c")->IsVisible()) << "of two classes the later rule wins";
    EXPECT_FALSE(page->ElementById("d")->IsVisible()) << "the order of the element's classes does not count";
    EXPECT_FALSE(page->ElementById("e")->IsVisible());
}

TEST_F(SimDomTest, SheetsReadEverySelectorOfAListAndSkipComments) {
    auto page = Page(
        "<head><style>/* img { display: none } */ h1, .ad img ,, { display: none }\n"
        "/* p { display: none } </style></head>"
        "<body><h1 id=h>t</h1><div class=ad><img id=i></div><img id=j><p id=p>x</p></body>");
    ASSERT_EQ(page->Sheets().size(), 1u);
    ASSERT_EQ(page->Sheets()[0]->Rules().size(), 2u);
    EXPECT_EQ(page->Sheets()[0]->Rules()[1].selector, ".ad img");
    EXPECT_FALSE(page->ElementById("h")->IsVisible());
    EXPECT_FALSE(page->ElementById("i")->IsVisible());
    EXPECT_TRUE(page->ElementById("j")->IsVisible()) << "the rule in a comment does not count";
    EXPECT_TRUE(page->ElementById("p")->IsVisible()) << "nor does one in a comment left open";
}

TEST_F(SimDomTest, DimensionsComeFromTheMarkupAsABrowserReportsThem) {
    auto page = Page(
        "<body><img id=i width=468 height='60'><img id=n><iframe id=f width='100%' "
        "height=90></iframe></body>");
    EXPECT_EQ(page->ElementById("i")->Width(), Variant(468));
    EXPECT_EQ(page->ElementById("n")->Height(), Variant(0));
    EXPECT_EQ(page->ElementById("f")->Width(), Variant("100%"));
    EXPECT_EQ(page->ElementById("f")->Height(), Variant("90"));
}

TEST_F(SimDomTest, FramesOfAnotherSiteRefuseTheirDocument) {
    sim.world.AddFixturePage("http://news.example/weather.html", "weather.html");
    auto page = Page(
        "<body><iframe src='/weather.html'></iframe><iframe src='http://ads.example/b.html'></iframe>"
        "<iframe></iframe></body>");
    ASSERT_EQ(page->FramesLength(), 3);
    EXPECT_NE(page->FramesItem(0)->Document(), nullptr);
    EXPECT_THROW(page->FramesItem(1)->Document(), PlatformError);
    EXPECT_NE(page->FramesItem(2)->Document(), nullptr) << "about:blank belongs to its parent's site";
    // The weather page's own frame is not a first-level frame of the top page.
    EXPECT_EQ(page->FrameDocuments()[0]->FramesLength(), 1);
}

TEST_F(SimDomTest, AFrameOfAPageItStandsInStaysBlank) {
    // Without this the frames would nest without end, as they would in a browser that did not stop them.
    sim.world.AddPage("http://news.example/loop.html",
                      "<body><iframe src='/loop.html'></iframe><iframe src='/outer.html'></iframe></body>");
    sim.world.AddPage("http://news.example/outer.html", "<body><iframe src='loop.html'></iframe></body>");
    auto page = Page(sim.world.PageHtml("http://news.example/loop.html"), "http://news.example/loop.html");
    ASSERT_EQ(page->FramesLength(), 2);
    EXPECT_EQ(page->FrameDocuments()[0]->Url(), "about:blank") << "the page in itself";
    const auto outer = page->FrameDocuments()[1];
    EXPECT_EQ(outer->Url(), "http://news.example/outer.html");
    ASSERT_EQ(outer->FramesLength(), 1);
    EXPECT_EQ(outer->FrameDocuments()[0]->Url(), "about:blank") << "the page in a frame of itself";

    page->BodyElement()->children.front().element->SetOuterHTML("<iframe src='loop.html'></iframe>");
    EXPECT_EQ(page->FrameDocuments()[0]->Url(), "about:blank") << "a frame put in later too";
}

TEST_F(SimDomTest, EveryCallFailsOnceTheBrowserHasGone) {
    auto page = Page("<body><p>x</p></body>");
    auto all = page->All();
    liveness->alive = false;
    EXPECT_THROW(page->All(), PlatformError);
    EXPECT_THROW(all->Length(), PlatformError);
    EXPECT_THROW(page->Root()->GetAttribute("id"), PlatformError);
    EXPECT_THROW(page->Window()->ScreenLeft(), PlatformError);
}

TEST_F(SimDomTest, ComponentFromPointSeparatesContentScrollBarAndOutside) {
    auto page = Page("<body><p>x</p></body>");
    page->Window()->SetClientArea(0, 0, 800, 600, 16);
    auto body = page->BodyElement();
    EXPECT_EQ(body->ComponentFromPoint(10, 10), "");
    EXPECT_EQ(body->ComponentFromPoint(783, 10), "");
    EXPECT_NE(body->ComponentFromPoint(784, 10), "");
    EXPECT_EQ(body->ComponentFromPoint(-1, 10), "outside");
    EXPECT_EQ(body->ComponentFromPoint(10, 600), "outside");
}

}  // namespace
}  // namespace qm::sim
