#include "platform/chromium/message_framer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm::cr {
namespace {

using namespace std::string_literals;

struct FramerCase {
    const char* name;
    std::vector<std::string> reads;
    std::vector<std::string> messages;
    std::size_t limit = MessageFramer::kDefaultLimit;
    std::size_t dropped = 0;
};

class MessageFramerTest : public ::testing::TestWithParam<FramerCase> {};

TEST_P(MessageFramerTest, CutsTheStreamAtEachNulByte) {
    const FramerCase& c = GetParam();
    MessageFramer framer(c.limit);
    std::vector<std::string> got;
    for (const auto& read : c.reads) {
        framer.Feed(read, [&](std::string_view m) { got.emplace_back(m); });
    }
    EXPECT_EQ(got, c.messages);
    EXPECT_EQ(framer.Dropped(), c.dropped);
}

INSTANTIATE_TEST_SUITE_P(
    Streams,
    MessageFramerTest,
    ::testing::Values(
        FramerCase{"OneMessageOneRead", {"{\"a\":1}\0"s}, {"{\"a\":1}"}},
        FramerCase{"SeveralMessagesInOneRead", {"a\0b\0c\0"s}, {"a", "b", "c"}},
        FramerCase{"MessageSplitOverReads", {"{\"a\"", ":1", "}\0{"s, "}\0"s}, {"{\"a\":1}", "{}"}},
        FramerCase{"NulAloneEndsTheBufferedMessage", {"abc", "\0"s}, {"abc"}},
        FramerCase{"EmptyMessagesAreMessages", {"\0\0"s}, {"", ""}},
        FramerCase{"UnfinishedMessageIsHeldBack", {"abc"}, {}},
        FramerCase{"OversizedMessageIsDroppedAndTheNextOneKept",
                   {"0123456789", "0123456789\0ok\0"s},
                   {"ok"},
                   16,
                   1},
        FramerCase{"OversizedMessageInOneReadIsDropped", {"01234567890123456789\0ok\0"s}, {"ok"}, 16, 1},
        FramerCase{"MessageExactlyAtTheLimitIsKept", {"0123456789ABCDEF\0"s}, {"0123456789ABCDEF"}, 16, 0}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace qm::cr
