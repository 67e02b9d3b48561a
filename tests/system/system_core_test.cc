#include "system/system_core.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_power.h"

namespace qm {
namespace {

using sim::SimPower;

struct RestartCase {
    const char* name;
    std::uint32_t platformId;
    std::uint32_t majorVersion;
    std::vector<std::string> failing;
    std::vector<std::string> calls;
};

class RestartWindowsTest : public ::testing::TestWithParam<RestartCase> {};

TEST_P(RestartWindowsTest, MakesTheCallsItShould) {
    const RestartCase& c = GetParam();
    SimPower power;
    power.SetVersion(c.platformId, c.majorVersion);
    for (const std::string& call : c.failing) {
        power.Fail(call);
    }
    SystemCore core(power);
    core.RestartWindows();
    EXPECT_EQ(power.Calls(), c.calls);
    EXPECT_EQ(power.VersionSizeSeen(), 148u);
    EXPECT_EQ(power.OpenTokenCount(), 0) << "the token is closed";
}

INSTANTIATE_TEST_SUITE_P(
    Systems,
    RestartWindowsTest,
    ::testing::Values(
        RestartCase{"NtWithPrivilege",
                    2,
                    5,
                    {},
                    {"GetVersionEx", "GetCurrentProcess", "OpenProcessToken", "LookupPrivilegeValue",
                     "AdjustTokenPrivileges", "CloseToken", "ExitWindowsEx"}},
        RestartCase{"Nt4",
                    2,
                    4,
                    {},
                    {"GetVersionEx", "GetCurrentProcess", "OpenProcessToken", "LookupPrivilegeValue",
                     "AdjustTokenPrivileges", "CloseToken", "ExitWindowsEx"}},
        RestartCase{
            "LookupFails",
            2,
            5,
            {"LookupPrivilegeValue"},
            {"GetVersionEx", "GetCurrentProcess", "OpenProcessToken", "LookupPrivilegeValue", "CloseToken"}},
        RestartCase{"AdjustFails",
                    2,
                    5,
                    {"AdjustTokenPrivileges"},
                    {"GetVersionEx", "GetCurrentProcess", "OpenProcessToken", "LookupPrivilegeValue",
                     "AdjustTokenPrivileges", "CloseToken"}},
        RestartCase{"TokenFails",
                    2,
                    5,
                    {"OpenProcessToken"},
                    {"GetVersionEx", "GetCurrentProcess", "OpenProcessToken"}},
        RestartCase{"NoProcessHandle", 2, 5, {"GetCurrentProcess"}, {"GetVersionEx", "GetCurrentProcess"}},
        RestartCase{"Windows98", 1, 4, {}, {"GetVersionEx", "ExitWindowsEx"}},
        RestartCase{"Nt3", 2, 3, {}, {"GetVersionEx", "ExitWindowsEx"}},
        RestartCase{"VersionUnknown", 2, 5, {"GetVersionEx"}, {"GetVersionEx", "ExitWindowsEx"}},
        RestartCase{"RestartRefused", 1, 4, {"ExitWindowsEx"}, {"GetVersionEx", "ExitWindowsEx"}}),
    [](const ::testing::TestParamInfo<RestartCase>& c) { return std::string(c.param.name); });

TEST(SystemCoreTest, AsksForTheShutdownPrivilegeAndAPlainReboot) {
    SimPower power;
    SystemCore(power).RestartWindows();
    EXPECT_EQ(power.TokenAccessSeen(), 0x28u);
    EXPECT_EQ(power.PrivilegeNameSeen(), "SeShutdownPrivilege");
    EXPECT_FALSE(power.DisableAllSeen());
    EXPECT_EQ(power.PrivilegeSeen().count, 1u);
    EXPECT_EQ(power.PrivilegeSeen().luid, SimPower::kShutdownLuid);
    EXPECT_EQ(power.PrivilegeSeen().attributes, 2u);
    EXPECT_EQ(power.ExitFlagsSeen(), 2u);
    EXPECT_EQ(power.ExitReservedSeen(), 0u);
}

}  // namespace
}  // namespace qm
