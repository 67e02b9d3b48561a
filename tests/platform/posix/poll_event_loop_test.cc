#include "platform/posix/poll_event_loop.h"

#include <sys/eventfd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/platform_error.h"
#include "platform/posix/unique_fd.h"
#include "support/handler_failure_log.h"

namespace qm::posix {
namespace {

TEST(PollEventLoopTest, TasksPostedFromOtherThreadsRunOnTheLoopInOrder) {
    PollEventLoop loop;
    std::vector<int> order;
    const auto loopThread = std::this_thread::get_id();
    bool everyTaskOnLoop = true;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) {
            loop.PostTask([&, i] {
                everyTaskOnLoop = everyTaskOnLoop && std::this_thread::get_id() == loopThread;
                order.push_back(i);
            });
        }
    });
    poster.join();
    ASSERT_TRUE(loop.RunUntil([&] { return order.size() == 100; }, 2000));
    EXPECT_TRUE(everyTaskOnLoop);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[i], i);
    }
}

TEST(PollEventLoopTest, DoEventsInsideATaskKeepsThePostedOrder) {
    PollEventLoop loop;
    std::vector<int> order;
    loop.PostTask([&] {
        order.push_back(1);
        loop.PostTask([&] { order.push_back(4); });
        loop.DoEvents();  // runs 2 and 3, which were queued before 4
        order.push_back(5);
    });
    loop.PostTask([&] { order.push_back(2); });
    loop.PostTask([&] { order.push_back(3); });
    loop.RunUntil([&] { return order.size() == 5; }, 1000);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(PollEventLoopTest, TimerTicksEveryIntervalUntilStoppedFromItsOwnTick) {
    PollEventLoop loop;
    int ticks = 0;
    std::unique_ptr<PlatformTimer> timer;
    timer = loop.CreateTimer([&] {
        if (++ticks == 3) {
            timer.reset();  // destroyed inside its own tick
        }
    });
    const auto start = PollEventLoop::NowMs();
    timer->Start(20);
    loop.RunUntil([&] { return false; }, 200);
    EXPECT_EQ(ticks, 3);
    EXPECT_GE(PollEventLoop::NowMs() - start, 60);
}

TEST(PollEventLoopTest, TimerIsNotEnteredAgainWhileItsTickYields) {
    PollEventLoop loop;
    int depth = 0;
    int maxDepth = 0;
    int ticks = 0;
    auto timer = loop.CreateTimer([&] {
        ++ticks;
        maxDepth = std::max(maxDepth, ++depth);
        const auto until = PollEventLoop::NowMs() + 15;
        while (PollEventLoop::NowMs() < until) {
            loop.DoEvents();
        }
        --depth;
    });
    timer->Start(1);
    loop.RunUntil([&] { return ticks >= 3; }, 1000);
    EXPECT_EQ(maxDepth, 1);
}

TEST(PollEventLoopTest, QuitFromAnotherThreadEndsRun) {
    PollEventLoop loop;
    std::thread quitter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        loop.Quit();
    });
    loop.Run();
    quitter.join();
    EXPECT_TRUE(loop.QuitRequested());
}

TEST(PollEventLoopTest, FailingHandlersOfEveryKindAreReportedOnceAndTheLoopGoesOn) {
    const qm::testing::HandlerFailureLog log;
    PollEventLoop loop;
    bool after = false;
    loop.PostTask([] { throw std::runtime_error("bad event"); });
    loop.PostTask([&] { after = true; });
    EXPECT_TRUE(loop.RunUntil([&] { return after; }, 1000));

    // A timer whose every tick fails keeps ticking; a descriptor whose handler fails is still watched.
    int ticks = 0;
    auto timer = loop.CreateTimer([&] {
        ++ticks;
        throw PlatformError("The object invoked has disconnected from its clients.", kErrorDisconnected);
    });
    timer->Start(5);
    UniqueFd ready(::eventfd(1, EFD_CLOEXEC | EFD_NONBLOCK));
    int reads = 0;
    auto watch = loop.WatchReadable(ready.Get(), [&] {
        ++reads;
        throw std::runtime_error("unreadable");
    });
    EXPECT_TRUE(loop.RunUntil([&] { return ticks >= 3 && reads >= 2; }, 2000));
    timer.reset();
    watch.reset();

    const auto lines = log.Lines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "quillmere: posted task failed: bad event\n");
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "quillmere: timer tick failed: run-time error -2147417848: The object invoked has "
                         "disconnected from its clients.\n"),
              ticks);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "quillmere: descriptor watch failed: unreadable\n"),
              reads);
}

TEST(PollEventLoopTest, TickCountFollowsTheMonotonicClock) {
    PollEventLoop loop;
    const Tick a = loop.GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const Tick b = loop.GetTickCount();
    EXPECT_GE(TickDiff(b, a), 19);
    EXPECT_LT(TickDiff(b, a), 1000);
}

}  // namespace
}  // namespace qm::posix
