#include "platform/posix/login_manager_power.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qm::posix {
namespace {

class LoginManagerPowerTest : public ::testing::Test {
  protected:
    std::vector<std::vector<std::string>> commands;
    std::vector<ProgramResult> results;  // answered in order; then "exit 0"
    LoginManagerPower power{[this](const std::vector<std::string>& argv) {
        commands.push_back(argv);
        if (results.empty()) {
            return ProgramResult{true, 0};
        }
        const ProgramResult result = results.front();
        results.erase(results.begin());
        return result;
    }};
};

// The privilege step itself runs through the program's restart in linux_services_test.cc.
TEST_F(LoginManagerPowerTest, AnswersAsAnNtSystemAndChecksTheRecordSize) {
    OsVersionInfo info;
    info.size = kVersionInfoSize;
    ASSERT_EQ(power.GetVersionEx(info), 1);
    EXPECT_EQ(info.platformId, kPlatformWin32Nt);
    EXPECT_GE(info.majorVersion, 5u);
    OsVersionInfo wrongSize;
    wrongSize.size = 156;
    EXPECT_EQ(power.GetVersionEx(wrongSize), 0) << "a record of another size is refused";
    EXPECT_FALSE(power.AdjustTokenPrivileges(static_cast<TokenHandleValue>(99), false, {}))
        << "a token that was never opened";
}

TEST_F(LoginManagerPowerTest, RestartAsksTheLoginManagerInteractivelyAndNeverForces) {
    EXPECT_TRUE(power.ExitWindowsEx(kExitWindowsReboot, 0));
    EXPECT_TRUE(power.ExitWindowsEx(kExitWindowsReboot | 0x4 /* force */, 0));
    ASSERT_EQ(commands.size(), 2u);
    for (const auto& argv : commands) {
        EXPECT_EQ(argv, LoginManagerPower::BusctlRebootCommand());
    }
    const auto& argv = commands[0];
    EXPECT_EQ(argv[0], "busctl");
    EXPECT_NE(std::find(argv.begin(), argv.end(), "org.freedesktop.login1.Manager"), argv.end());
    // The method and its one Boolean, "interactive", set.
    ASSERT_GE(argv.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(argv.end() - 3, argv.end()),
              (std::vector<std::string>{"Reboot", "b", "true"}));
    for (const auto& arg : argv) {
        EXPECT_EQ(arg.find("force"), std::string::npos) << arg;
        EXPECT_NE(arg, "false");
    }
}

TEST_F(LoginManagerPowerTest, FailuresOfTheRequestAreReportedAsARefusal) {
    results = {{true, 1}};  // the login manager refused (no rights, or the user said no)
    EXPECT_FALSE(power.ExitWindowsEx(kExitWindowsReboot, 0));
    results = {{true, -1}};  // killed by a signal
    EXPECT_FALSE(power.ExitWindowsEx(kExitWindowsReboot, 0));
    EXPECT_EQ(commands.size(), 2u) << "a refusal is not asked again another way";

    commands.clear();
    results = {{false, -1}, {true, 0}};  // no busctl: gdbus does it
    EXPECT_TRUE(power.ExitWindowsEx(kExitWindowsReboot, 0));
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[1], LoginManagerPower::GdbusRebootCommand());
    EXPECT_EQ(commands[1].back(), "true");

    commands.clear();
    results = {{false, -1}, {false, -1}};  // neither tool exists
    EXPECT_FALSE(power.ExitWindowsEx(kExitWindowsReboot, 0));
}

TEST_F(LoginManagerPowerTest, OnlyARestartIsAskedFor) {
    for (const std::uint32_t flags :
         {0x0u /* log off */, 0x1u /* shut down */, 0x8u /* power off */, 0x3u, 0x4u}) {
        EXPECT_FALSE(power.ExitWindowsEx(flags, 0)) << flags;
    }
    EXPECT_TRUE(commands.empty());
}

TEST(RunProgramTest, ReportsTheExitStatusAndAProgramThatIsMissing) {
    EXPECT_EQ(RunProgram({"sh", "-c", "exit 3"}).exitCode, 3);
    EXPECT_TRUE(RunProgram({"true"}).started);
    const ProgramResult missing = RunProgram({"qm-no-such-program-anywhere"});
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(RunProgram({}).started);
    const ProgramResult killed = RunProgram({"sh", "-c", "kill -9 $$"});
    EXPECT_TRUE(killed.started);
    EXPECT_EQ(killed.exitCode, -1);
}

}  // namespace
}  // namespace qm::posix
