#include "settings/settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "platform/sim/sim_platform.h"
#include "shell/win_system.h"
#include "system/messenger_service.h"

namespace qm {
namespace {

using Op = sim::SimServiceManager::Op;
using Write = sim::SimSettingsStore::Write;

struct OptionInfo {
    const char* key;
    bool (Settings::*get)() const;
    void (Settings::*set)(const bool&);
    bool defaultValue;
};

// The nine options in the order Reset and Refresh handle them, with their defaults.
const std::vector<OptionInfo>& Options() {
    static const std::vector<OptionInfo> options = {
        {"WindowFixed", &Settings::WindowFixed, &Settings::SetWindowFixed, false},
        {"RecogEnable", &Settings::RecogEnable, &Settings::SetRecogEnable, true},
        {"PopupNotify", &Settings::PopupNotify, &Settings::SetPopupNotify, true},
        {"KillMsg", &Settings::KillMsg, &Settings::SetKillMsg, true},
        {"KillBanner", &Settings::KillBanner, &Settings::SetKillBanner, false},
        {"KillFlash", &Settings::KillFlash, &Settings::SetKillFlash, false},
        {"KillIFrame", &Settings::KillIFrame, &Settings::SetKillIFrame, false},
        {"KillFloat", &Settings::KillFloat, &Settings::SetKillFloat, true},
        {"AgentShow", &Settings::AgentShow, &Settings::SetAgentShow, true},
    };
    return options;
}

class SettingsTest : public ::testing::Test {
  protected:
    std::optional<std::string> Stored(const std::string& key) const {
        return sim.settings.Value(kAppTitle, kAppTitle, key);
    }
    void Plant(const std::string& key, const std::string& text) {
        sim.settings.Put(kAppTitle, kAppTitle, key, text);
    }
    Write Written(const std::string& key, const std::string& text) const {
        return {kAppTitle, kAppTitle, key, text};
    }

    sim::SimPlatform sim;
    WinSystem app{sim.platform};
    Settings& settings = app.AppSettings();
};

TEST_F(SettingsTest, FirstRunWritesTheDefaultsInOrderStopsTheServiceThenMarksTheStore) {
    std::size_t writesAtFirstServiceCall = 0;
    sim.services.SetQueryHook([&](int) {
        if (writesAtFirstServiceCall == 0) {
            writesAtFirstServiceCall = sim.settings.Writes().size();
        }
    });
    ASSERT_FALSE(settings.Ready());

    settings.GetReady();

    std::vector<Write> expected;
    for (const OptionInfo& option : Options()) {
        expected.push_back(Written(option.key, option.defaultValue ? "True" : "False"));
    }
    expected.push_back(Written("Ready", "True"));
    EXPECT_EQ(sim.settings.Writes(), expected);
    EXPECT_EQ(writesAtFirstServiceCall, 4u) << "the service hears of KillMsg right after it is written";
    EXPECT_EQ(sim.services.SucceededCountOf(Op::ControlService), 1);
    EXPECT_TRUE(settings.Ready());

    sim.settings.ClearWrites();
    settings.GetReady();
    EXPECT_TRUE(sim.settings.Writes().empty()) << "an initialised store is left alone";
}

TEST_F(SettingsTest, AnyMarkerTextCountsAsInitialisedAndResetLeavesTheMarkerAlone) {
    for (const char* marker : {"True", "False", "0", " ", "anything"}) {
        Plant("Ready", marker);
        EXPECT_TRUE(settings.Ready()) << marker;
        sim.settings.ClearWrites();
        settings.GetReady();
        EXPECT_TRUE(sim.settings.Writes().empty()) << marker;

        settings.Reset();
        EXPECT_EQ(Stored("Ready"), marker);
    }
    Plant("Ready", "");
    EXPECT_FALSE(settings.Ready());
}

TEST_F(SettingsTest, EachOptionIsStoredUnderItsOwnNameAndReadFreshEveryTime) {
    for (const OptionInfo& option : Options()) {
        sim.settings.ClearWrites();
        const bool changed = !option.defaultValue;
        std::invoke(option.set, settings, changed);
        ASSERT_EQ(sim.settings.Writes().size(), 1u) << option.key;
        EXPECT_EQ(sim.settings.Writes()[0], Written(option.key, changed ? "True" : "False"));
        EXPECT_EQ(std::invoke(option.get, settings), changed) << option.key;

        // Changed behind the program's back: the next read sees it.
        Plant(option.key, changed ? "0" : "-1");
        EXPECT_EQ(std::invoke(option.get, settings), !changed) << option.key;
    }
}

TEST_F(SettingsTest, EveryKillMsgWriteReachesTheServiceController) {
    // Running: each "allow" is issued as a start (refused, since it already runs); each "block" as a stop.
    settings.SetKillMsg(false);
    settings.SetKillMsg(false);
    EXPECT_EQ(sim.services.CountOf(Op::StartService), 2);

    settings.SetKillMsg(true);
    EXPECT_EQ(sim.services.CountOf(Op::ControlService), 1);
    sim.services.Settle();
    settings.SetKillMsg(true);
    EXPECT_EQ(sim.services.CountOf(Op::ControlService), 2) << "the same value written again is applied again";
    EXPECT_EQ(sim.services.State(), kServiceStopped);
}

TEST_F(SettingsTest, StoreErrorsReachTheCaller) {
    // The write of KillMsg fails: the service is not told, and the store stays uninitialised.
    sim.settings.FailWritesAfter(3);
    EXPECT_THROW(settings.GetReady(), PlatformError);
    EXPECT_TRUE(sim.services.Calls().empty());
    EXPECT_FALSE(Stored("Ready").has_value());

    sim.settings.FailWritesAfter(-1);
    sim.settings.SetFailReads(true);
    EXPECT_THROW(settings.KillBanner(), PlatformError) << "a store that cannot be read is not a default";
    EXPECT_THROW(settings.Ready(), PlatformError);
}

TEST_F(SettingsTest, TheChineseTitleKeepsItsOwnSetOfOptions) {
    settings.GetReady();
    settings.SetKillBanner(true);

    WinSystem chinese(sim.platform);
    chinese.SetAppTitle(kAppTitleChinese);
    Settings& chineseSettings = chinese.AppSettings();
    EXPECT_FALSE(chineseSettings.Ready());
    EXPECT_FALSE(chineseSettings.KillBanner());

    chineseSettings.GetReady();
    chineseSettings.SetRecogEnable(false);
    EXPECT_TRUE(settings.RecogEnable());
    EXPECT_TRUE(settings.KillBanner());
    EXPECT_FALSE(chineseSettings.KillBanner());
    EXPECT_EQ(sim.settings.ValueCount(kAppTitle, kAppTitle), 10u);
    EXPECT_EQ(sim.settings.ValueCount(kAppTitleChinese, kAppTitleChinese), 10u);
    EXPECT_EQ(sim.settings.Value(kAppTitleChinese, kAppTitleChinese, "RecogEnable"), "False");
}

// How a stored text reads, and what Refresh writes back. `Default` stands for the option's own default.
enum class Reads { True, False, Default };

struct StoredCase {
    const char* name;
    std::optional<std::string> stored;  // nothing: the value is absent
    Reads reads;
};

void PrintTo(const StoredCase& c, std::ostream* os) {
    *os << c.name;
}

class StoredTextTest : public SettingsTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredTextTest, ReadsAsTheProgramWouldAndRefreshStoresItCanonically) {
    const StoredCase& c = GetParam();
    Plant("Ready", "True");
    for (const OptionInfo& option : Options()) {
        if (c.stored) {
            Plant(option.key, *c.stored);
        }
    }

    for (const OptionInfo& option : Options()) {
        const bool expected = c.reads == Reads::Default ? option.defaultValue : c.reads == Reads::True;
        EXPECT_EQ(std::invoke(option.get, settings), expected) << option.key;
    }

    settings.Refresh();
    std::vector<Write> expected;
    for (const OptionInfo& option : Options()) {
        const bool value = c.reads == Reads::Default ? option.defaultValue : c.reads == Reads::True;
        expected.push_back(Written(option.key, value ? "True" : "False"));
    }
    EXPECT_EQ(sim.settings.Writes(), expected);
    EXPECT_EQ(Stored("Ready"), "True");
}

std::string LongText() {
    std::string text(10000, 'x');
    text[5000] = '1';
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts,
    StoredTextTest,
    ::testing::Values(StoredCase{"CanonicalTrue", "True", Reads::True},
                      StoredCase{"CanonicalFalse", "False", Reads::False},
                      StoredCase{"LowerCaseTrue", "true", Reads::True},
                      StoredCase{"UpperCaseFalse", "FALSE", Reads::False},
                      StoredCase{"One", "1", Reads::True},
                      StoredCase{"MinusOne", "-1", Reads::True},
                      StoredCase{"Zero", "0", Reads::False},
                      StoredCase{"NegativeZeroFraction", "-0.00", Reads::False},
                      StoredCase{"SmallFraction", "0.4", Reads::True},
                      StoredCase{"LeadingDot", "+.5", Reads::True},
                      StoredCase{"Exponent", "1e3", Reads::True},
                      StoredCase{"ZeroWithHugeExponent", "0E999999999999", Reads::False},
                      StoredCase{"TooLargeForADouble", "1e400", Reads::True},
                      StoredCase{"SpacesAround", "  -1 ", Reads::True},
                      StoredCase{"Absent", std::nullopt, Reads::Default},
                      StoredCase{"Empty", "", Reads::Default},
                      StoredCase{"Yes", "yes", Reads::Default},
                      StoredCase{"TrueWithSpaces", " True", Reads::Default},
                      StoredCase{"DotAlone", ".", Reads::Default},
                      StoredCase{"ExponentWithoutDigits", "1e", Reads::Default},
                      StoredCase{"SpaceInsideNumber", "1 0", Reads::Default},
                      StoredCase{"Hexadecimal", "0x1", Reads::Default},
                      StoredCase{"Infinity", "inf", Reads::Default},
                      StoredCase{"TenThousandCharacters", LongText(), Reads::Default},
                      StoredCase{"TenThousandDigits", std::string(9999, '0') + "1", Reads::True}),
    [](const ::testing::TestParamInfo<StoredCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace qm
