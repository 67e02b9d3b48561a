#include "platform/qt/qt_event_loop.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "base/platform_error.h"
#include "support/handler_failure_log.h"

namespace qm::qt {
namespace {

// Delivers events until `done` or `timeoutMs`.
// Qt remembers an exit of the application until its loop runs again; the next test starts afresh.
void ForgetQuit() {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

template <typename F>
bool Pump(const F& done, int timeoutMs = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

TEST(QtEventLoopTest, TickCountFollowsTheMonotonicClockAsSigned32Bits) {
    QtEventLoop loop;
    const Tick before = loop.GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const Tick after = loop.GetTickCount();
    EXPECT_GE(TickDiff(after, before), 25);
    EXPECT_LT(TickDiff(after, before), 1000);
    // The low 32 bits of the clock, whatever the high ones are.
    EXPECT_LE(TickDiff(static_cast<Tick>(static_cast<std::uint32_t>(QtEventLoop::NowMs())), after), 5);
}

TEST(QtEventLoopTest, TimerMayBeStoppedAndDestroyedFromItsOwnTick) {
    QtEventLoop loop;
    int ticks = 0;
    std::unique_ptr<PlatformTimer> timer;
    timer = loop.CreateTimer([&] {
        ++ticks;
        timer->Stop();
        timer.reset();  // the tick in progress must survive its own timer
    });
    timer->Start(5);
    EXPECT_TRUE(Pump([&] { return ticks > 0; }));
    Pump([] { return false; }, 60);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(timer, nullptr);
}

TEST(QtEventLoopTest, StoppedTimerStaysQuietAndRestartsWithANewPeriod) {
    QtEventLoop loop;
    int ticks = 0;
    auto timer = loop.CreateTimer([&] { ++ticks; });
    timer->Start(10);
    EXPECT_TRUE(Pump([&] { return ticks >= 2; }));
    timer->Stop();
    const int stoppedAt = ticks;
    Pump([] { return false; }, 50);
    EXPECT_EQ(ticks, stoppedAt);
    timer->Start(10);
    EXPECT_TRUE(Pump([&] { return ticks > stoppedAt; }));
}

TEST(QtEventLoopTest, TimerIsNotReenteredByDoEventsInsideItsTick) {
    QtEventLoop loop;
    int depth = 0;
    int maxDepth = 0;
    int ticks = 0;
    auto timer = loop.CreateTimer([&] {
        ++depth;
        ++ticks;
        maxDepth = std::max(maxDepth, depth);
        // Yield long enough for the timer to fall due again.
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(30);
        while (std::chrono::steady_clock::now() < end) {
            loop.DoEvents();
        }
        --depth;
    });
    timer->Start(5);
    EXPECT_TRUE(Pump([&] { return ticks >= 3; }));
    EXPECT_EQ(maxDepth, 1);
}

TEST(QtEventLoopTest, SleepBlocksAndADueTimerTicksOnceAfterwards) {
    QtEventLoop loop;
    int ticks = 0;
    auto timer = loop.CreateTimer([&] { ++ticks; });
    timer->Start(10);
    const std::int64_t start = QtEventLoop::NowMs();
    loop.Sleep(120);  // twelve periods go by without a tick
    EXPECT_GE(QtEventLoop::NowMs() - start, 115);
    EXPECT_EQ(ticks, 0);
    loop.DoEvents();
    EXPECT_EQ(ticks, 1);
}

TEST(QtEventLoopTest, TasksPostedFromOtherThreadsRunOnTheLoopThreadInOrder) {
    QtEventLoop loop;
    const std::thread::id uiThread = std::this_thread::get_id();
    std::vector<int> order;
    bool allOnUiThread = true;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) {
            loop.PostTask([&, i] {
                order.push_back(i);
                allOnUiThread = allOnUiThread && std::this_thread::get_id() == uiThread;
            });
        }
    });
    poster.join();
    EXPECT_TRUE(Pump([&] { return order.size() == 100; }));
    EXPECT_TRUE(allOnUiThread);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
}

TEST(QtEventLoopTest, TasksStillQueuedWhenTheLoopGoesAreDropped) {
    bool ran = false;
    {
        QtEventLoop loop;
        loop.PostTask([&] { ran = true; });
    }
    Pump([] { return false; }, 30);
    EXPECT_FALSE(ran);
}

TEST(QtEventLoopTest, AThrowingHandlerIsReportedAndTheLoopGoesOn) {
    const qm::testing::HandlerFailureLog log;
    QtEventLoop loop;
    bool after = false;
    loop.PostTask([] { throw std::runtime_error("bad event"); });
    loop.PostTask([&] { after = true; });
    EXPECT_TRUE(Pump([&] { return after; }));
    // A timer whose tick fails keeps ticking.
    int ticks = 0;
    auto timer = loop.CreateTimer([&] {
        ++ticks;
        throw PlatformError("gone", 91);
    });
    timer->Start(5);
    EXPECT_TRUE(Pump([&] { return ticks >= 2; }));
    timer.reset();
    const auto lines = log.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "quillmere: posted task failed: bad event\n");
    EXPECT_EQ(lines[1], "quillmere: timer tick failed: run-time error 91: gone\n");
}

TEST(QtEventLoopTest, QuitEndsRunAndTheNestedLoopsInsideIt) {
    QtEventLoop loop;
    bool nestedReturned = false;
    loop.PostTask([&] {
        // A modal window's loop inside the program's loop: Quit ends both.
        QEventLoop nested;
        QTimer::singleShot(10, [&] { loop.Quit(); });
        nested.exec();
        nestedReturned = true;
    });
    loop.Run();
    EXPECT_TRUE(nestedReturned);
    EXPECT_TRUE(loop.QuitRequested());
    loop.Run();  // returns at once once Quit has come
    ForgetQuit();
}

TEST(QtEventLoopTest, QuitFromAnotherThreadEndsRun) {
    QtEventLoop loop;
    std::thread quitter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop.Quit();
    });
    loop.Run();
    quitter.join();
    EXPECT_TRUE(loop.QuitRequested());
    ForgetQuit();
}

TEST(QtEventLoopTest, StopSignalEndsRun) {
    const StopSignals stopSignals;
    ASSERT_GE(stopSignals.Fd(), 0);
    QtEventLoop loop;
    loop.QuitOn(stopSignals);
    // Sent to this thread, which holds it blocked, so that it can only arrive through the loop.
    QTimer::singleShot(10, [] { ::pthread_kill(::pthread_self(), SIGTERM); });
    loop.Run();
    EXPECT_TRUE(loop.QuitRequested());
    ForgetQuit();
}

}  // namespace
}  // namespace qm::qt
