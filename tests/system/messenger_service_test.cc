#include "system/messenger_service.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/sim/sim_platform.h"
#include "shell/win_system.h"

namespace qm {
namespace {

using Op = sim::SimServiceManager::Op;

class MessengerServiceTest : public ::testing::Test {
  protected:
    int Count(Op op) const { return sim.services.CountOf(op); }
    int Queries() const { return Count(Op::QueryServiceStatus); }

    // Every step closes what it opened, and nothing is used after it was closed.
    void ExpectNoHandleLeft() const {
        EXPECT_EQ(sim.services.OpenHandleCount(), 0);
        EXPECT_EQ(sim.services.BadHandleUses(), 0);
    }
    void ExpectIdle() const {
        EXPECT_EQ(messenger.QueuedCommand(), kNoCommand);
        EXPECT_FALSE(messenger.RetryScheduled());
    }

    sim::SimPlatform sim;
    WinSystem app{sim.platform};
    MessengerService& messenger = app.Messenger();
};

TEST_F(MessengerServiceTest, StopOfARunningServiceIsSentAtOnceWithTheRightAccess) {
    messenger.StopMsgService();

    EXPECT_EQ(Count(Op::ControlService), 1);
    EXPECT_EQ(sim.services.State(), kServiceStopPending);
    EXPECT_EQ(Queries(), 4);
    ExpectIdle();
    ExpectNoHandleLeft();
    for (const auto& call : sim.services.Calls()) {
        if (call.op == Op::OpenSCManager) {
            EXPECT_EQ(call.access, 0x0001u);
        } else if (call.op == Op::OpenService) {
            EXPECT_EQ(call.name, "Messenger");
            EXPECT_EQ(call.access, 0x0034u);
        } else if (call.op == Op::ControlService) {
            EXPECT_EQ(call.control, 1u);
        }
    }

    sim.loop.Advance(5000);
    EXPECT_EQ(Queries(), 4) << "nothing more happens once the command is out";
}

TEST_F(MessengerServiceTest, StopWhileStartingWaitsUntilTheServiceRunsThenIsSentOnce) {
    sim.services.SetState(kServiceStartPending);
    messenger.StopMsgService();
    EXPECT_EQ(Count(Op::ControlService), 0);
    EXPECT_EQ(messenger.QueuedCommand(), kStopCommand);
    EXPECT_TRUE(messenger.RetryScheduled());

    sim.loop.Advance(999);
    EXPECT_EQ(Queries(), 4);
    sim.loop.Advance(1);
    EXPECT_EQ(Queries(), 8) << "one check a second";
    sim.loop.Advance(2000);
    EXPECT_EQ(Count(Op::ControlService), 0);

    sim.services.Settle();
    sim.loop.Advance(1000);
    EXPECT_EQ(Count(Op::ControlService), 1);
    EXPECT_EQ(sim.services.State(), kServiceStopPending);
    ExpectIdle();
    sim.loop.Advance(5000);
    EXPECT_EQ(Count(Op::ControlService), 1);
    ExpectNoHandleLeft();
}

TEST_F(MessengerServiceTest, ANewerRequestReplacesAWaitingOneAndChecksAtOnce) {
    sim.services.SetState(kServiceStartPending);
    messenger.StartMsgService();
    sim.loop.Advance(500);
    messenger.StopMsgService();
    EXPECT_EQ(Queries(), 8);
    EXPECT_EQ(messenger.QueuedCommand(), kStopCommand);

    sim.services.Settle();
    sim.loop.Advance(500);  // the timer keeps its period: the first check is one second after the start
    EXPECT_EQ(Count(Op::StartService), 0);
    EXPECT_EQ(Count(Op::ControlService), 1);
    ExpectIdle();
    ExpectNoHandleLeft();
}

TEST_F(MessengerServiceTest, StartOfARunningOrDisabledServiceIsIssuedAndItsRefusalIgnored) {
    messenger.StartMsgService();
    EXPECT_EQ(Count(Op::StartService), 1);
    EXPECT_EQ(sim.services.SucceededCountOf(Op::StartService), 0);
    ExpectIdle();

    sim.services.SetState(kServiceStopped);
    sim.services.SetDisabled(true);
    messenger.StartMsgService();
    EXPECT_EQ(Count(Op::StartService), 2);
    EXPECT_EQ(sim.services.State(), kServiceStopped);
    ExpectIdle();
    ExpectNoHandleLeft();
}

TEST_F(MessengerServiceTest, ReportsEachStateAndChangesNothing) {
    for (std::int32_t state = kServiceStopped; state <= kServicePaused; ++state) {
        sim.services.SetState(state);
        EXPECT_EQ(messenger.MsgServiceCurState(), state);
    }
    sim.services.SetQueryFails(true);
    EXPECT_EQ(messenger.MsgServiceCurState(), kServiceUnknown) << "a failed query reads as unknown";
    EXPECT_EQ(Count(Op::StartService) + Count(Op::ControlService), 0);
    ExpectIdle();
    ExpectNoHandleLeft();
}

// A service that cannot be opened, for each reason.
enum class Unreachable { NotInstalled, ManagerRefused, ServiceRefused };

class UnreachableServiceTest : public MessengerServiceTest,
                               public ::testing::WithParamInterface<Unreachable> {
  protected:
    void SetUp() override {
        switch (GetParam()) {
            case Unreachable::NotInstalled:
                sim.services.SetInstalled(false);
                break;
            case Unreachable::ManagerRefused:
                sim.services.SetManagerAccessDenied(true);
                break;
            case Unreachable::ServiceRefused:
                sim.services.SetServiceAccessDenied(true);
                break;
        }
    }
};

TEST_P(UnreachableServiceTest, ReadsAsStateZeroAndRequestsAreDroppedAfterOneCheck) {
    EXPECT_EQ(messenger.MsgServiceCurState(), kServiceUnknown);

    messenger.StopMsgService();
    messenger.StartMsgService();
    ExpectIdle();
    sim.loop.Advance(3000);
    EXPECT_EQ(Count(Op::StartService) + Count(Op::ControlService) + Queries(), 0);
    EXPECT_EQ(sim.services.State(), kServiceRunning);
    ExpectNoHandleLeft();
}

INSTANTIATE_TEST_SUITE_P(Reasons,
                         UnreachableServiceTest,
                         ::testing::Values(Unreachable::NotInstalled,
                                           Unreachable::ManagerRefused,
                                           Unreachable::ServiceRefused));

class StuckServiceTest : public MessengerServiceTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(StuckServiceTest, RetriesEverySecondAndSendsNothing) {
    sim.services.SetState(GetParam());
    messenger.StartMsgService();
    sim.loop.Advance(10000);

    EXPECT_EQ(Queries(), 4 + 10 * 4);
    EXPECT_EQ(Count(Op::StartService) + Count(Op::ControlService), 0);
    EXPECT_EQ(messenger.QueuedCommand(), kStartCommand);
    EXPECT_TRUE(messenger.RetryScheduled());
    ExpectNoHandleLeft();
}

INSTANTIATE_TEST_SUITE_P(PendingStates,
                         StuckServiceTest,
                         ::testing::Values(kServiceStartPending,
                                           kServiceStopPending,
                                           kServiceContinuePending,
                                           kServicePausePending));

// The service moves while one check reads it four times: each reading is compared with its own pending
// state, and only after all four are taken.
struct ReadingsCase {
    const char* name;
    std::array<std::int32_t, 4> readings;
    bool issued;
};

void PrintTo(const ReadingsCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadingsTest : public MessengerServiceTest, public ::testing::WithParamInterface<ReadingsCase> {};

TEST_P(ReadingsTest, EachReadingIsComparedWithItsOwnPendingState) {
    const ReadingsCase& c = GetParam();
    sim.services.SetQueryHook([&](int n) {
        if (n <= 4) {
            sim.services.SetState(c.readings[static_cast<std::size_t>(n - 1)]);
        }
    });
    messenger.StopMsgService();

    EXPECT_EQ(Queries(), 4);
    EXPECT_EQ(Count(Op::ControlService), c.issued ? 1 : 0);
    EXPECT_EQ(messenger.RetryScheduled(), !c.issued);
    ExpectNoHandleLeft();
}

INSTANTIATE_TEST_SUITE_P(Moves,
                         ReadingsTest,
                         ::testing::Values(ReadingsCase{"Settled", {4, 4, 4, 4}, true},
                                           ReadingsCase{"StartPendingFirst", {2, 4, 4, 4}, false},
                                           ReadingsCase{"StopPendingSecond", {4, 3, 3, 3}, false},
                                           ReadingsCase{"ContinuePendingThird", {7, 7, 5, 4}, false},
                                           ReadingsCase{"PausePendingLast", {4, 4, 4, 6}, false},
                                           ReadingsCase{"StartPendingLateIsMissed", {4, 4, 2, 4}, true},
                                           ReadingsCase{"StopSettlesDuringTheCheck", {3, 1, 1, 1}, true}),
                         [](const ::testing::TestParamInfo<ReadingsCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace qm
