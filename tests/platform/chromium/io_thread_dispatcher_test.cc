// What the connection's I/O thread settles by itself (held page requests, calls of pages that have gone)
// and what it hands on to the user-interface thread.

#include "platform/chromium/io_thread_dispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/platform_error.h"
#include "platform/chromium/chromium_world.h"
#include "platform/chromium/request_gate.h"
#include "support/fake_browser.h"

namespace qm::cr {
namespace {

using testing::FakeBrowser;

// Keeps the tasks posted to the user-interface thread (from any thread) without running them.
class KeepingPoster final : public TaskPoster {
  public:
    void PostTask(std::function<void()> task) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    std::size_t Count() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return tasks_.size();
    }
    void RunAll() {
        std::vector<std::function<void()>> tasks;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            tasks.swap(tasks_);
        }
        for (const auto& task : tasks) {
            task();
        }
    }

  private:
    std::mutex mutex_;
    std::vector<std::function<void()>> tasks_;
};

Json Attached(const std::string& session,
              const std::string& target,
              bool waiting,
              const std::string& opener) {
    Json info = {{"targetId", target}, {"type", "page"}, {"url", ""}};
    if (!opener.empty()) {
        info["openerId"] = opener;
    }
    return {{"method", "Target.attachedToTarget"},
            {"params", {{"sessionId", session}, {"targetInfo", info}, {"waitingForDebugger", waiting}}}};
}

Json BrowserLevelRequest(const std::string& frame, const std::string& request) {
    return {{"method", "Fetch.requestPaused"}, {"params", {{"requestId", request}, {"frameId", frame}}}};
}

class IoThreadDispatcherTest : public ::testing::Test {
  protected:
    FakeBrowser browser_;
    KeepingPoster poster_;
    std::vector<std::string> sent_;
    std::shared_ptr<RequestGate> gate_ =
        std::make_shared<RequestGate>([this](const std::string& method, const std::string& requestId) {
            sent_.push_back(method + " " + requestId);
        });
    // Goes first, before what its I/O thread uses and before the fake browser, whose reader ends when
    // the program's end closes.
    CdpConnection connection_{browser_.TakeProgramPipe()};
    // No world: what is posted finds none and does nothing.
    std::shared_ptr<IoThreadDispatcher> dispatcher_ =
        std::make_shared<IoThreadDispatcher>(std::weak_ptr<ChromiumWorld>(), poster_, connection_, gate_);
};

TEST_F(IoThreadDispatcherTest, BrowserLevelPageRequestIsSettledAtOnceAndNotHandedOn) {
    dispatcher_->OnEvent(BrowserLevelRequest("PAGE", "R1"));
    EXPECT_EQ(sent_, std::vector<std::string>{"Fetch.continueRequest R1"});
    EXPECT_EQ(poster_.Count(), 0u);
}

TEST_F(IoThreadDispatcherTest, NewWindowsRequestsWaitForTheProgramsDecision) {
    dispatcher_->OnEvent(Attached("P1", "TP", /*waiting=*/true, "T1"));
    dispatcher_->OnEvent(BrowserLevelRequest("TP", "R2"));
    EXPECT_TRUE(sent_.empty());
    gate_->Decide("TP", false);
    EXPECT_EQ(sent_, std::vector<std::string>{"Fetch.failRequest R2"});
    EXPECT_EQ(poster_.Count(), 1u) << "the new target is handed on; its request is not";
}

TEST_F(IoThreadDispatcherTest, PagesThatAreNoNewWindowsAreNotHeld) {
    dispatcher_->OnEvent(Attached("S1", "T1", /*waiting=*/true, ""));
    dispatcher_->OnEvent(Attached("S2", "T2", /*waiting=*/false, "T1"));
    dispatcher_->OnEvent(BrowserLevelRequest("T1", "R1"));
    dispatcher_->OnEvent(BrowserLevelRequest("T2", "R2"));
    EXPECT_EQ(sent_, (std::vector<std::string>{"Fetch.continueRequest R1", "Fetch.continueRequest R2"}));
}

TEST_F(IoThreadDispatcherTest, EventsAndTheEndAreHandedOnAndDoNothingOnceTheWorldIsGone) {
    dispatcher_->OnEvent(
        {{"method", "Page.loadEventFired"}, {"sessionId", "S1"}, {"params", Json::object()}});
    dispatcher_->OnClosed();
    EXPECT_EQ(poster_.Count(), 2u);
    poster_.RunAll();
}

TEST_F(IoThreadDispatcherTest, CrashedPageFailsTheCallsWaitingForItAtOnce) {
    browser_.SetResponder([](const Json& m) -> std::optional<Json> {
        if (m.value("sessionId", std::string()) == "S1") {
            return std::nullopt;  // a crashed page never answers
        }
        return Json::object();
    });
    connection_.Start(IoThreadDispatcher::HandlersFor(dispatcher_));
    browser_.WriteMessage(Attached("S1", "T1", /*waiting=*/false, ""));
    std::thread crasher([this] {
        browser_.WaitForMessages(1);
        browser_.WriteMessage({{"method", "Target.targetCrashed"}, {"params", {{"targetId", "T1"}}}});
    });
    const auto start = std::chrono::steady_clock::now();
    try {
        connection_.Call("Runtime.evaluate", Json::object(), "S1", 5000);
        ADD_FAILURE() << "the call must fail";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.Number(), kErrorDisconnected);
    }
    crasher.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
}

}  // namespace
}  // namespace qm::cr
