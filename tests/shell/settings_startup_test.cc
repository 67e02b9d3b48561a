#include <gtest/gtest.h>

#include "base/platform_error.h"
#include "settings/settings.h"
#include "support/sim_scenario.h"
#include "system/messenger_service.h"

namespace qm {
namespace {

using Op = sim::SimServiceManager::Op;
using testing::SimScenario;

// Start-up and shutdown as they touch the options and the Messenger service.
class SettingsStartupTest : public ::testing::Test, protected SimScenario {
  protected:
    std::optional<std::string> Stored(const std::string& key) const {
        return sim.settings.Value(kAppTitle, kAppTitle, key);
    }
    void Plant(const std::string& key, const std::string& text) {
        sim.settings.Put(kAppTitle, kAppTitle, key, text);
    }
    int Count(Op op) const { return sim.services.CountOf(op); }
};

TEST_F(SettingsStartupTest, FirstRunStoresTheDefaultsAndStopsTheService) {
    app.Main();

    EXPECT_EQ(sim.settings.ValueCount(kAppTitle, kAppTitle), 10u);
    EXPECT_EQ(Stored("Ready"), "True");
    EXPECT_EQ(Stored("KillMsg"), "True");
    EXPECT_EQ(sim.services.SucceededCountOf(Op::ControlService), 1);
    EXPECT_EQ(Count(Op::StartService), 0);
    EXPECT_TRUE(app.Messenger().Loaded());
    EXPECT_FALSE(app.Messenger().RetryScheduled());
    EXPECT_EQ(sim.services.OpenHandleCount(), 0);
}

TEST_F(SettingsStartupTest, LaterRunReappliesWhatIsStoredWithoutResetting) {
    // Initialised by an earlier run, even with a marker that says "False"; values edited by hand.
    Plant("Ready", "False");
    Plant("KillMsg", "0");
    Plant("RecogEnable", "0");
    Plant("KillBanner", "-1");
    Plant("KillFloat", "nonsense");
    sim.services.SetState(kServiceStopped);

    app.Main();

    EXPECT_EQ(Stored("Ready"), "False");
    EXPECT_EQ(Stored("KillMsg"), "False");
    EXPECT_EQ(Stored("RecogEnable"), "False");
    EXPECT_EQ(Stored("KillBanner"), "True");
    EXPECT_EQ(Stored("KillFloat"), "True") << "an unreadable option is written back as its default";
    EXPECT_EQ(Stored("WindowFixed"), "False") << "an absent option is written back as its default";
    EXPECT_EQ(sim.services.SucceededCountOf(Op::StartService), 1);
    EXPECT_EQ(Count(Op::ControlService), 0);
}

TEST_F(SettingsStartupTest, StopThatMustWaitIsCarriedOutAfterStartUp) {
    sim.services.SetState(kServiceStartPending);
    app.Main();
    EXPECT_EQ(Count(Op::ControlService), 0);

    sim.services.Settle();
    sim.loop.Advance(1000);
    EXPECT_EQ(sim.services.SucceededCountOf(Op::ControlService), 1);
    EXPECT_FALSE(app.Messenger().RetryScheduled());
}

TEST_F(SettingsStartupTest, QuitStartsTheServiceWhileTheHubIsStillLoadedEvenWithKillMsgOn) {
    app.Main();
    sim.services.Settle();
    ASSERT_EQ(sim.services.State(), kServiceStopped);
    ASSERT_TRUE(app.AppSettings().KillMsg());

    bool hubLoadedAtFirstQuery = false;
    bool asked = false;
    sim.services.SetQueryHook([&](int) {
        if (!asked) {
            asked = true;
            hubLoadedAtFirstQuery = app.Hub().Loaded();
        }
    });
    app.QuitProgram();

    EXPECT_TRUE(hubLoadedAtFirstQuery);
    EXPECT_EQ(sim.services.SucceededCountOf(Op::StartService), 1);
    EXPECT_EQ(Stored("KillMsg"), "True") << "quitting does not change the option";
    EXPECT_EQ(sim.services.OpenHandleCount(), 0);
}

TEST_F(SettingsStartupTest, QuitWhileTheServiceIsBetweenStatesLeavesItAlone) {
    app.Main();  // the service was running: it is now stopping
    ASSERT_EQ(sim.services.State(), kServiceStopPending);

    app.QuitProgram();
    sim.services.Settle();
    sim.loop.Advance(5000);
    EXPECT_EQ(Count(Op::StartService), 0) << "the process has ended before the start could be issued";
}

TEST_F(SettingsStartupTest, SecondCopyNeitherReadsTheOptionsNorTouchesTheService) {
    sim.process.SetPrevInstance(true);
    app.Main();
    EXPECT_EQ(sim.settings.ReadCount(), 0);
    EXPECT_TRUE(sim.settings.Writes().empty());
    EXPECT_TRUE(sim.services.Calls().empty());
}

TEST_F(SettingsStartupTest, AnUnreadableStoreStopsStartUpBeforeTheWindowsLoad) {
    sim.settings.SetFailReads(true);
    EXPECT_THROW(app.Main(), PlatformError);
    EXPECT_FALSE(app.Running());
    EXPECT_FALSE(app.HasHub());
}

}  // namespace
}  // namespace qm
