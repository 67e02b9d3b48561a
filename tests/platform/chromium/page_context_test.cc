// When a document's writes reach the browser: a pass that writes element by element and yields between
// them sends its writes in a few calls, a lone write still goes out at once, and a read takes the writes
// made before it along, ahead of itself.

#include "platform/chromium/page_context.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/poll_event_loop.h"
#include "support/fake_browser.h"

namespace qm::cr {
namespace {

using testing::FakeBrowser;

class PageContextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        browser_.SetResponder([](const Json& m) -> std::optional<Json> {
            if (m.value("method", std::string()) == "Runtime.evaluate" &&
                m["params"].value("returnByValue", false)) {
                return Json{{"result", {{"type", "object"}, {"value", Json::array({1, Json::array({7})})}}}};
            }
            return Json::object();
        });
        connection_ = std::make_shared<CdpConnection>(browser_.TakeProgramPipe());
        connection_->Start({});
        context_ = std::make_shared<PageContext>(connection_, loop_, loop_, "S1", 5, "F1");
    }
    void TearDown() override {
        context_.reset();
        connection_->Stop();
    }

    // The expressions of the evaluations sent so far: writes and reads.
    std::vector<std::string> Evaluations() {
        std::vector<std::string> texts;
        for (const Json& m : browser_.Received()) {
            if (m.value("method", std::string()) == "Runtime.evaluate") {
                texts.push_back(m["params"].value("expression", std::string()));
            }
        }
        return texts;
    }
    static int Occurrences(const std::string& text, const std::string& part) {
        int n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++n;
        }
        return n;
    }

    FakeBrowser browser_;
    posix::PollEventLoop loop_;
    std::shared_ptr<CdpConnection> connection_;
    std::shared_ptr<PageContext> context_;
};

TEST_F(PageContextTest, WritesOfAPassThatYieldsAfterEveryElementGoOutInAFewCalls) {
    constexpr int kElements = 3000;
    for (int i = 0; i < kElements; ++i) {
        context_->Write({"setstyle", 100 + i, "visibility", "visible"});
        loop_.DoEvents();
    }
    // The browser stand-in reads on its own thread: wait for what it has been sent, not for a time.
    const auto writesReceived = [&] {
        int ops = 0;
        for (const auto& text : Evaluations()) {
            ops += Occurrences(text, "\"setstyle\"");
        }
        return ops;
    };
    loop_.RunUntil([&] { return writesReceived() >= kElements; }, 10000);
    const auto sent = Evaluations();
    EXPECT_EQ(writesReceived(), kElements) << "every write arrives";
    EXPECT_LE(sent.size(), static_cast<std::size_t>(kElements / 100)) << "not one call per element";
    EXPECT_EQ(context_->WriteBatchCount(), static_cast<int>(sent.size()));
    // In the order they were made.
    ASSERT_FALSE(sent.empty());
    EXPECT_LT(sent.front().find("[\"setstyle\",100,"), sent.front().find("[\"setstyle\",101,"));
}

TEST_F(PageContextTest, LoneWriteGoesOutWithoutAReadAndAReadNeverOvertakesOne) {
    context_->Write({"setattr", 3, "id", "QMV"});
    EXPECT_TRUE(loop_.RunUntil([&] { return Evaluations().size() == 1; }, 500)) << "a lone write is not held";

    context_->Write({"setstyle", 4, "display", "none"});
    EXPECT_EQ(context_->RunOne({"tag", 4}), 7);
    loop_.RunUntil([] { return false; }, 30);
    const auto sent = Evaluations();
    ASSERT_EQ(sent.size(), 2u) << "the write goes with the read";
    EXPECT_LT(sent[1].find("__qm.write("), sent[1].find("__qm.run(")) << "and is made first";
    EXPECT_EQ(context_->WriteBatchCount(), 1);
}

TEST_F(PageContextTest, WritesOfADocumentThatHasGoneAreDropped) {
    context_->Write({"setstyle", 4, "display", "none"});
    context_->MarkGone();
    loop_.RunUntil([] { return false; }, 30);
    EXPECT_TRUE(Evaluations().empty());
}

}  // namespace
}  // namespace qm::cr
