#include "platform/chromium/request_gate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm::cr {
namespace {

class RequestGateTest : public ::testing::Test {
  protected:
    std::vector<std::string> sent;
    RequestGate gate{[this](const std::string& method, const std::string& requestId) {
        sent.push_back(method + " " + requestId);
    }};
};

TEST_F(RequestGateTest, RequestsOfOtherPagesGoOnAtOnce) {
    gate.Paused("PAGE", "R1");
    EXPECT_EQ(sent, std::vector<std::string>{"Fetch.continueRequest R1"});
}

TEST_F(RequestGateTest, NewWindowsRequestsWaitForTheDecisionAndFollowIt) {
    gate.Expect("POP");
    gate.Paused("POP", "R1");
    gate.Paused("POP", "R2");
    EXPECT_TRUE(sent.empty());
    gate.Decide("POP", false);
    EXPECT_EQ(sent, (std::vector<std::string>{"Fetch.failRequest R1", "Fetch.failRequest R2"}));
    // Later requests of a refused window fail too, and it is not held again by a second announcement.
    gate.Expect("POP");
    gate.Paused("POP", "R3");
    EXPECT_EQ(sent.back(), "Fetch.failRequest R3");
}

TEST_F(RequestGateTest, AllowedWindowGoesOnAndAGoneOneIsForgotten) {
    gate.Expect("POP");
    gate.Paused("POP", "R1");
    gate.Decide("POP", true);
    gate.Paused("POP", "R2");
    EXPECT_EQ(sent, (std::vector<std::string>{"Fetch.continueRequest R1", "Fetch.continueRequest R2"}));

    gate.Expect("GONE");
    gate.Paused("GONE", "R3");
    gate.Forget("GONE");
    EXPECT_EQ(sent.back(), "Fetch.failRequest R3");
    gate.Paused("GONE", "R4");  // the id means nothing any more
    EXPECT_EQ(sent.back(), "Fetch.continueRequest R4");
}

}  // namespace
}  // namespace qm::cr
