#include "platform/posix/poll_event_loop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

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

TEST(PollEventLoopTest, ExceptionInAHandlerDoesNotEndTheLoop) {
    PollEventLoop loop;
    bool after = false;
    loop.PostTask([] { throw std::runtime_error("bad event"); });
    loop.PostTask([&] { after = true; });
    EXPECT_TRUE(loop.RunUntil([&] { return after; }, 1000));
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
