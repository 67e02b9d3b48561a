#include "platform/chromium/cdp_connection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "base/platform_error.h"
#include "support/fake_browser.h"
#include "support/handler_failure_log.h"

namespace qm::cr {
namespace {

using namespace std::string_literals;
using testing::FakeBrowser;

// A connection to a fake browser, with the events it hands on collected.
class CdpConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        connection_ = std::make_unique<CdpConnection>(browser_.TakeProgramPipe());
        connection_->Start({[this](Json&& event) {
                                const std::lock_guard<std::mutex> lock(mutex_);
                                events_.push_back(std::move(event));
                            },
                            [this] { ++closedCalls_; }});
    }
    void TearDown() override { connection_.reset(); }

    std::vector<Json> Events() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    bool WaitFor(const std::function<bool()>& done, int ms = 2000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    FakeBrowser browser_;
    std::unique_ptr<CdpConnection> connection_;
    std::mutex mutex_;
    std::vector<Json> events_;
    std::atomic<int> closedCalls_{0};
};

TEST_F(CdpConnectionTest, CallGetsItsOwnReplyWhileEventsAndOtherRepliesComeFirst) {
    browser_.SetResponder([this](const Json& m) -> std::optional<Json> {
        // Before answering: an event, a reply to nobody, and a reply with the wrong id type.
        browser_.WriteMessage({{"method", "Page.loadEventFired"}, {"params", {{"timestamp", 1}}}});
        browser_.WriteMessage({{"id", 999999}, {"result", {{"wrong", true}}}});
        browser_.WriteMessage({{"id", "1"}, {"result", {}}});
        return Json{{"echo", m["params"]["value"]}};
    });
    const Json result = connection_->Call("Test.echo", {{"value", 42}}, "SESSION");
    EXPECT_EQ(result, (Json{{"echo", 42}}));
    ASSERT_TRUE(WaitFor([&] { return !Events().empty(); }));
    EXPECT_EQ(Events()[0]["method"], "Page.loadEventFired");
    EXPECT_EQ(connection_->UnmatchedReplyCount(), 1u);
    EXPECT_EQ(connection_->MalformedCount(), 1u);

    const Json sent = browser_.Received().at(0);
    EXPECT_EQ(sent["method"], "Test.echo");
    EXPECT_EQ(sent["sessionId"], "SESSION");
}

TEST_F(CdpConnectionTest, ErrorReplyBecomesPlatformErrorWithTheBrowsersMessageAndCode) {
    browser_.SetResponder([](const Json&) -> std::optional<Json> {
        return Json{{"error", {{"code", -32000}, {"message", "Cannot find context with specified id"}}}};
    });
    try {
        connection_->Call("Runtime.evaluate");
        FAIL() << "an error reply must throw";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.Number(), -32000);
        EXPECT_NE(e.Description().find("Cannot find context"), std::string::npos);
    }
}

TEST_F(CdpConnectionTest, RepliesOfAnyShapeAreReadSafelyAndTheReaderGoesOn) {
    struct Case {
        const char* what;
        Json fields;  // the reply without its id
        bool ok;
        std::int32_t code;
        const char* text;
    };
    const Case cases[] = {
        {"error message a number", {{"error", {{"message", 5}}}}, false, 0, "The browser refused the call"},
        {"error message an object",
         {{"error", {{"message", {{"text", "x"}}}, {"code", -32000}}}},
         false,
         -32000,
         "The browser refused the call"},
        {"error code beyond 32 bits",
         {{"error", {{"message", "m"}, {"code", 1099511627776LL}}}},
         false,
         0,
         "m"},
        {"error code huge", {{"error", {{"message", "m"}, {"code", 1e300}}}}, false, 0, "m"},
        {"error code a text", {{"error", {{"message", "m"}, {"code", "-32000"}}}}, false, 0, "m"},
        {"error a text", {{"error", "no"}}, false, 0, "The browser refused the call"},
        {"error null", {{"error", nullptr}}, false, 0, "The browser refused the call"},
        {"result a number", {{"result", 5}}, false, 0, "no result"},
        {"result an array", {{"result", Json::array({1})}}, false, 0, "no result"},
        {"no result at all", Json::object(), true, 0, ""},
    };
    for (const Case& c : cases) {
        browser_.SetResponder([&](const Json& m) -> std::optional<Json> {
            Json reply = c.fields;
            reply["id"] = m["id"];
            browser_.WriteMessage(reply);
            return std::nullopt;
        });
        try {
            const Json result = connection_->Call("Runtime.evaluate");
            EXPECT_TRUE(c.ok) << c.what;
            EXPECT_EQ(result, Json::object()) << c.what;
        } catch (const PlatformError& e) {
            EXPECT_FALSE(c.ok) << c.what;
            EXPECT_EQ(e.Number(), c.code) << c.what;
            EXPECT_NE(e.Description().find(c.text), std::string::npos) << c.what << ": " << e.Description();
        }
    }
    // The reader survived every one of them.
    browser_.SetResponder([](const Json&) -> std::optional<Json> { return Json{{"ok", true}}; });
    EXPECT_EQ(connection_->Call("Browser.getVersion")["ok"], true);
    EXPECT_FALSE(connection_->Closed());
}

TEST_F(CdpConnectionTest, ReplyThatNeverComesFailsTheCallAfterItsTimeoutAndTheLateReplyIsDropped) {
    std::atomic<std::int64_t> lastId{0};
    browser_.SetResponder([&](const Json& m) -> std::optional<Json> {
        lastId = m["id"].get<std::int64_t>();
        return std::nullopt;
    });
    const auto start = std::chrono::steady_clock::now();
    try {
        connection_->Call("Page.navigate", Json::object(), {}, 150);
        FAIL() << "a call without a reply must time out";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.Number(), kErrorTimeout);
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(140));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));

    browser_.WriteMessage({{"id", lastId.load()}, {"result", {}}});
    ASSERT_TRUE(WaitFor([&] { return connection_->UnmatchedReplyCount() == 1; }));
    // The connection still works.
    browser_.SetResponder([](const Json&) -> std::optional<Json> { return Json{{"ok", true}}; });
    EXPECT_EQ(connection_->Call("Browser.getVersion")["ok"], true);
}

TEST_F(CdpConnectionTest, MalformedInputIsCountedAndDroppedAndLaterMessagesStillArrive) {
    const std::string garbage[] = {
        "not json at all"s,   "[1,2,3]"s,        "{\"id\":1.5,\"result\":{}}"s,
        "{\"params\":{}}"s,   "{\"method\":7}"s,
        "{\"method\":\"X\""s,  // cut short
        "\"just a string\""s, "{\"id\":true}"s,
    };
    for (const auto& g : garbage) {
        browser_.WriteRaw(g + '\0');
    }
    browser_.WriteMessage({{"method", "Target.targetCreated"}, {"params", {{"targetInfo", {}}}}});
    ASSERT_TRUE(WaitFor([&] { return Events().size() == 1; }));
    EXPECT_EQ(Events()[0]["method"], "Target.targetCreated");
    EXPECT_EQ(connection_->MalformedCount(), std::size(garbage));
    EXPECT_FALSE(connection_->Closed());
}

TEST_F(CdpConnectionTest, BrowserGoingAwayFailsTheWaitingCallAtOnceAndEveryLaterOne) {
    browser_.SetResponder([](const Json&) -> std::optional<Json> { return std::nullopt; });
    std::thread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        browser_.CloseBrowserEnd();
    });
    const auto start = std::chrono::steady_clock::now();
    try {
        connection_->Call("Runtime.evaluate", Json::object(), {}, 5000);
        ADD_FAILURE() << "a call must fail when the browser goes";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.Number(), kErrorDisconnected);
    }
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    ASSERT_TRUE(WaitFor([&] { return closedCalls_ == 1; }));
    EXPECT_TRUE(connection_->Closed());

    EXPECT_THROW(connection_->Call("Browser.getVersion"), PlatformError);
    EXPECT_FALSE(connection_->Send("Browser.getVersion"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(closedCalls_, 1) << "the end is reported once";
}

TEST_F(CdpConnectionTest, PageThatWentAwayFailsOnlyTheCallsWaitingForIt) {
    browser_.SetResponder([](const Json& m) -> std::optional<Json> {
        if (m.value("sessionId", std::string()) == "CRASHED") {
            return std::nullopt;  // a crashed page never answers
        }
        return Json{{"ok", true}};
    });
    std::thread failer([this] {
        browser_.WaitForMessages(1);
        connection_->FailSession("CRASHED");
    });
    const auto start = std::chrono::steady_clock::now();
    try {
        connection_->Call("Runtime.evaluate", Json::object(), "CRASHED", 5000);
        ADD_FAILURE() << "the call must fail";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.Number(), kErrorDisconnected);
    }
    failer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_EQ(connection_->Call("Runtime.evaluate", Json::object(), "HEALTHY")["ok"], true);
    EXPECT_FALSE(connection_->Closed());
}

TEST_F(CdpConnectionTest, CallsFromSeveralThreadsEachGetTheirOwnAnswer) {
    browser_.SetResponder([](const Json& m) -> std::optional<Json> { return Json{{"n", m["params"]["n"]}}; });
    constexpr int kThreads = 4;
    constexpr int kCalls = 50;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                const int n = t * 1000 + i;
                if (connection_->Call("Echo", {{"n", n}})["n"] != n) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(wrong, 0);
}

TEST(CdpConnectionBoundaryTest, HandlersThatThrowOnTheReaderThreadAreReportedAndTheReaderGoesOn) {
    const qm::testing::HandlerFailureLog log;
    FakeBrowser browser;
    CdpConnection connection(browser.TakeProgramPipe());
    std::atomic<int> events{0};
    std::atomic<bool> closed{false};
    connection.Start({[&](Json&& event) {
                          ++events;
                          if (event["method"] == "Bad.event") {
                              throw PlatformError("the handler failed", 5, "Test");
                          }
                      },
                      [&] {
                          closed = true;
                          throw std::runtime_error("the end failed");
                      }});
    browser.WriteMessage({{"method", "Bad.event"}});
    browser.WriteMessage({{"method", "Good.event"}});
    const auto waitFor = [](const std::function<bool()>& done) {
        for (int i = 0; i < 1000 && !done(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    };
    ASSERT_TRUE(waitFor([&] { return events == 2; }));
    EXPECT_EQ(connection.Call("Browser.getVersion"), Json::object()) << "calls are still answered";
    browser.CloseBrowserEnd();
    ASSERT_TRUE(waitFor([&] { return closed.load() && log.Lines().size() == 2; }));
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  "quillmere: protocol event failed: run-time error 5 (Test): the handler failed\n",
                  "quillmere: protocol end failed: the end failed\n"}));
    EXPECT_EQ(connection.MalformedCount(), 0u);
}

}  // namespace
}  // namespace qm::cr
