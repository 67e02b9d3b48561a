#include "forms/timer.h"

#include <gtest/gtest.h>

#include "forms/form.h"
#include "platform/sim/sim_event_loop.h"

namespace qm {
namespace {

class CountingForm final : public Form {
  public:
    explicit CountingForm(EventLoop& loop) : Form(loop) {
        timerOnce = NewTimer(&CountingForm::timerOnce_Timer);
        timerOnce->SetInterval(1);
        timerEvery = NewTimer(&CountingForm::timerEvery_Timer);
        timerEvery->SetInterval(1000);
    }

    void timerOnce_Timer() {
        timerOnce->SetEnabled(false);
        ++onceTicks;
        if (onTick) {
            onTick();
        }
    }
    void timerEvery_Timer() { ++everyTicks; }

    std::unique_ptr<Timer> timerOnce;
    std::unique_ptr<Timer> timerEvery;
    int onceTicks = 0;
    int everyTicks = 0;
    std::function<void()> onTick;
};

class TimerTest : public ::testing::Test {
  protected:
    sim::SimEventLoop loop;
    std::shared_ptr<CountingForm> form = std::make_shared<CountingForm>(loop);
};

TEST_F(TimerTest, OneShotEnabledTwiceBeforeItFiresRunsOnce) {
    form->Load();
    form->timerOnce->SetEnabled(true);
    form->timerOnce->SetEnabled(true);
    loop.Advance(50);
    EXPECT_EQ(form->onceTicks, 1);
}

TEST_F(TimerTest, TicksOnlyWhileEnabledWithAnIntervalAndAfterSettingTheIntervalRestarts) {
    form->Load();
    form->timerEvery->SetEnabled(true);
    loop.Advance(2500);
    EXPECT_EQ(form->everyTicks, 2);
    form->timerEvery->SetInterval(1000);  // restarts the period at 2500
    loop.Advance(999);
    EXPECT_EQ(form->everyTicks, 2);
    loop.Advance(1);
    EXPECT_EQ(form->everyTicks, 3);
    form->timerEvery->SetInterval(0);
    loop.Advance(5000);
    EXPECT_EQ(form->everyTicks, 3);
}

TEST_F(TimerTest, UnloadStopsEveryTimerForGood) {
    form->Load();
    form->timerEvery->SetEnabled(true);
    form->Unload();
    form->timerEvery->SetEnabled(false);
    form->timerEvery->SetEnabled(true);
    loop.Advance(5000);
    EXPECT_EQ(form->everyTicks, 0);
    EXPECT_EQ(loop.RunningTimerCount(), 0);
}

TEST_F(TimerTest, FormReleasedByItsOwnHandlerLivesUntilTheHandlerReturns) {
    form->Load();
    std::weak_ptr<CountingForm> watch = form;
    bool aliveInside = false;
    form->onTick = [&] {
        form.reset();  // the last outside reference goes
        aliveInside = !watch.expired();
    };
    watch.lock()->timerOnce->SetEnabled(true);
    loop.Advance(1);
    EXPECT_TRUE(aliveInside);
    EXPECT_TRUE(watch.expired());
    loop.Advance(100);  // and nothing fires for it afterwards
}

}  // namespace
}  // namespace qm
