#include "platform/sim/sim_selector.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/sim/sim_document.h"
#include "platform/sim/sim_platform.h"

namespace qm::sim {
namespace {

// One page for every case: a picture three levels inside a two-class div, and a span whose class names
// are separated by a tab and a line feed, as markup allows.
constexpr char kPage[] =
    "<body><div id=outer class='ad box'><p id=para class=note><a id=link href=x>"
    "<img id=pic class='banner  wide'></a></p></div>"
    "<span id=lone class='ad\tbanner\nside'></span></body>";

struct MatchCase {
    const char* selector;
    const char* elementId;
    bool matches;
};

class SimSelectorMatchTest : public ::testing::TestWithParam<MatchCase> {
  protected:
    SimPlatform sim;
    std::shared_ptr<SimDocument> page =
        SimDocument::Create(sim.world, std::make_shared<Liveness>(), "http://news.example/", kPage);
};

TEST_P(SimSelectorMatchTest, MatchesTheElementsABrowserWould) {
    const MatchCase& c = GetParam();
    const auto element = page->ElementById(c.elementId);
    ASSERT_NE(element, nullptr) << c.elementId;
    EXPECT_EQ(SimSelector(c.selector).Matches(*element), c.matches)
        << '"' << c.selector << "\" on #" << c.elementId;
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    SimSelectorMatchTest,
    ::testing::Values(
        // Tags, whatever their case; the universal selector.
        MatchCase{"img", "pic", true},
        MatchCase{"IMG", "pic", true},
        MatchCase{"Img", "pic", true},
        MatchCase{"a", "pic", false},
        MatchCase{"*", "pic", true},
        // Ids match exactly.
        MatchCase{"#pic", "pic", true},
        MatchCase{"#PIC", "pic", false},
        MatchCase{"img#pic", "pic", true},
        MatchCase{"a#pic", "pic", false},
        // Class names are whole names, any of the element's, each one that the selector asks for.
        MatchCase{".banner", "pic", true},
        MatchCase{".wide.banner", "pic", true},
        MatchCase{".banner.tall", "pic", false},
        MatchCase{".ban", "pic", false},
        MatchCase{".Banner", "pic", false},
        MatchCase{"*.wide", "pic", true},
        // Any white space of markup separates class names.
        MatchCase{".banner", "lone", true},
        MatchCase{".side", "lone", true},
        MatchCase{"span.ad.banner.side", "lone", true},
        // Descendants: every earlier part on an ancestor, in order, at any depth.
        MatchCase{"div img", "pic", true},
        MatchCase{"body div p a img", "pic", true},
        MatchCase{"div.ad p a img", "pic", true},
        MatchCase{"#outer .note", "para", true},
        MatchCase{"img div", "outer", false},
        MatchCase{"p div img", "pic", false},
        MatchCase{"div div img", "pic", false},
        MatchCase{"span img", "pic", false},
        MatchCase{"div.box  \n a   img", "pic", true},
        MatchCase{"div img", "lone", false},
        // What the engine does not know never matches, rather than matching too widely.
        MatchCase{"a > img", "pic", false},
        MatchCase{"a>img", "pic", false},
        MatchCase{"a:hover", "link", false},
        MatchCase{"img[src]", "pic", false},
        MatchCase{".banner:first-child", "pic", false},
        MatchCase{"", "pic", false},
        MatchCase{"   ", "pic", false}));

struct SpecificityCase {
    const char* selector;
    int specificity;
};

class SimSelectorSpecificityTest : public ::testing::TestWithParam<SpecificityCase> {};

TEST_P(SimSelectorSpecificityTest, WeighsIdsOverClassesOverTags) {
    EXPECT_EQ(SimSelector(GetParam().selector).Specificity(), GetParam().specificity) << GetParam().selector;
}

INSTANTIATE_TEST_SUITE_P(Cases,
                         SimSelectorSpecificityTest,
                         ::testing::Values(SpecificityCase{"", 0},
                                           SpecificityCase{"*", 0},
                                           SpecificityCase{"img", 1},
                                           SpecificityCase{".ad", 10},
                                           SpecificityCase{"*.ad", 10},
                                           SpecificityCase{"#x", 100},
                                           SpecificityCase{"a img", 2},
                                           SpecificityCase{"div.ad p a img", 14},
                                           SpecificityCase{"#outer .note a", 111},
                                           SpecificityCase{"div#outer.box.ad", 121}));

}  // namespace
}  // namespace qm::sim
