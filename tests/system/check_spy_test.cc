#include "system/check_spy.h"

#include <gtest/gtest.h>

#include "support/sim_scenario.h"

namespace qm {
namespace {

using sim::SimRenderer;
using testing::SimScenario;

struct MatchCase {
    std::string commandLine;
    std::string found;
};

class FindKnownSpywareTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(FindKnownSpywareTest, MatchesTheLowerCasedCommandLine) {
    EXPECT_EQ(FindKnownSpyware(GetParam().commandLine), GetParam().found) << GetParam().commandLine;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines,
    FindKnownSpywareTest,
    ::testing::Values(MatchCase{"C:\\Programs\\X\\AUTOREG.EXE /s", "autoreg.exe"},
                      MatchCase{"c:\\windows\\SaveNow.exe", "savenow.exe"},
                      MatchCase{"C:\\tools\\mydw.exe", "dw.exe"},
                      MatchCase{"C:\\tools\\autosave.exe -q", "save.exe"},
                      // The first name of the table wins: savenow.exe comes before save.exe.
                      MatchCase{"savenow.exe", "savenow.exe"},
                      MatchCase{"C:\\WINNT\\system32\\ctfmon.exe", ""},
                      MatchCase{"dw.ex", ""},
                      // The command line ends at its first NUL.
                      MatchCase{std::string("C:\\ok.exe\0dw.exe", 16), ""},
                      // Only ASCII letters are lower-cased.
                      MatchCase{"C:\\\xC3\x84\\WINSTART001.EXE", "winstart001.exe"}));

TEST(KnownSpywareTest, TableHasTheThirtySevenNamesInOrder) {
    ASSERT_EQ(kKnownSpyware.size(), 37u);
    EXPECT_EQ(kKnownSpyware.front(), "autoreg.exe");
    EXPECT_EQ(kKnownSpyware[15], "fsg.exe");
    EXPECT_EQ(kKnownSpyware[31], "dw.exe");
    EXPECT_EQ(kKnownSpyware.back(), "winstart001.exe");
}

class CheckSpyTest : public ::testing::Test, protected SimScenario {
  protected:
    void SetUp() override { app.Main(); }

    std::shared_ptr<CheckSpy> OpenCheck() {
        auto window = std::make_shared<CheckSpy>(app);
        window->Show(ShowStyle::Modal);
        return window;
    }
};

TEST_F(CheckSpyTest, NothingFoundLeavesOnlyCancel) {
    sim.startupList.Put("ctfmon", "C:\\WINDOWS\\system32\\ctfmon.exe");
    auto window = OpenCheck();
    EXPECT_EQ(window->Caption(), "Check Spyware");
    EXPECT_TRUE(window->listExistingSpies.Items().empty());
    EXPECT_FALSE(window->buttonKill.Enabled());
    window->FireEnter();
    EXPECT_TRUE(window->Loaded()) << "Enter cannot press a disabled button";
    window->FireEscape();
    EXPECT_FALSE(window->Loaded());
    EXPECT_TRUE(sim.startupList.Deleted().empty());
    EXPECT_TRUE(sim.desktop.MessageBoxes().empty());
    EXPECT_EQ(sim.startupList.OpenKeyCount(), 0);
}

TEST_F(CheckSpyTest, KeyThatDoesNotOpenGivesAnEmptyList) {
    sim.startupList.Put("Updater", "AUTOREG.EXE");
    sim.startupList.SetOpenFails(true);
    auto window = OpenCheck();
    EXPECT_TRUE(window->listExistingSpies.Items().empty());
    EXPECT_FALSE(window->buttonKill.Enabled());
}

TEST_F(CheckSpyTest, ListsFoundEntriesByValueNameAllSelected) {
    sim.startupList.Put("Updater", "C:\\Programs\\X\\AUTOREG.EXE /s");
    sim.startupList.Put("ctfmon", "ctfmon.exe");
    sim.startupList.Put("Helper", "C:\\tools\\mydw.exe");
    auto window = OpenCheck();
    EXPECT_EQ(window->listExistingSpies.Items(), (std::vector<std::string>{"Updater", "Helper"}));
    EXPECT_TRUE(window->listExistingSpies.Selected(0));
    EXPECT_TRUE(window->listExistingSpies.Selected(1));
    EXPECT_TRUE(window->buttonKill.Enabled());
    EXPECT_EQ(sim.startupList.OpenKeyCount(), 0) << "the key is closed after the scan";
}

TEST_F(CheckSpyTest, LongAndUnreadableEntriesDoNotHideTheOnesAfterThem) {
    sim.startupList.Put(std::string(300, 'N'), "C:\\long.exe " + std::string(400, 'x'));
    sim.startupList.Put("Broken", "whatever");
    sim.startupList.MakeUnreadable("Broken");
    sim.startupList.Put("Long", "C:\\Programs\\" + std::string(280, 'p') + "\\xupiter.exe");
    sim.startupList.Put("Bargains", "C:\\bargains.exe");
    auto window = OpenCheck();
    EXPECT_EQ(window->listExistingSpies.Items(), (std::vector<std::string>{"Long", "Bargains"}));
}

TEST_F(CheckSpyTest, KillDeletesOnlyStillSelectedEntriesAndRestartDeclined) {
    sim.startupList.Put("One", "autoreg.exe");
    sim.startupList.Put("Two", "cnbabe.exe");
    sim.startupList.Put("Three", "fsg.exe");
    sim.startupList.MakeUndeletable("Three");
    auto window = OpenCheck();
    window->listExistingSpies.SetSelected(1, false);
    sim.desktop.QueueAnswer(mb::kAnswerNo);

    SimRenderer::Click(*window, "buttonKill");

    EXPECT_EQ(sim.startupList.Deleted(), std::vector<std::string>{"One"});
    EXPECT_TRUE(sim.startupList.Has("Two"));
    EXPECT_TRUE(sim.startupList.Has("Three")) << "a failed deletion is passed over";
    EXPECT_FALSE(window->Loaded());
    ASSERT_EQ(sim.desktop.MessageBoxes().size(), 1u);
    EXPECT_EQ(sim.desktop.MessageBoxes()[0].text,
              "Do you want to restart your computer for changes to take effect?");
    EXPECT_EQ(sim.desktop.MessageBoxes()[0].title, "Varrow Quillmere 4.13");
    EXPECT_EQ(sim.desktop.MessageBoxes()[0].style, mb::kYesNo | mb::kIconExclamation);
    EXPECT_EQ(sim.power.CountOf("ExitWindowsEx"), 0);
    EXPECT_EQ(sim.startupList.OpenKeyCount(), 0);
}

TEST_F(CheckSpyTest, RestartAcceptedEvenWhenTheKeyNoLongerOpens) {
    sim.startupList.Put("One", "autoreg.exe");
    auto window = OpenCheck();
    sim.startupList.SetOpenFails(true);
    sim.desktop.QueueAnswer(mb::kAnswerYes);

    window->FireEnter();

    EXPECT_TRUE(sim.startupList.Deleted().empty());
    EXPECT_FALSE(window->Loaded());
    EXPECT_EQ(sim.power.CountOf("AdjustTokenPrivileges"), 1);
    EXPECT_EQ(sim.power.CountOf("ExitWindowsEx"), 1);
    EXPECT_EQ(sim.power.ExitFlagsSeen(), kExitWindowsReboot);
}

}  // namespace
}  // namespace qm
