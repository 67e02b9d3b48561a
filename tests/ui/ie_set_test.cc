#include "ui/ie_set.h"

#include <gtest/gtest.h>

#include "settings/language_class.h"
#include "settings/settings.h"
#include "shell/main_window.h"
#include "support/sim_scenario.h"
#include "system/check_spy.h"
#include "system/messenger_service.h"
#include "ui/about_window.h"
#include "ui/help_page.h"
#include "ui/whats_msg_popup.h"
#include "version.h"

namespace qm {
namespace {

using Op = sim::SimServiceManager::Op;
using sim::SimRenderer;
using testing::SimScenario;

// The settings window, opened from the tray icon of a running program.
class IESetTest : public ::testing::Test, protected SimScenario {
  protected:
    void SetUp() override {
        app.Main();
        sim.services.Settle();
    }

    IESet& Open() {
        sim.tray.Click(kLeftButton);
        IESet* window = app.GetMainWindow()->SettingsWindow();
        EXPECT_NE(window, nullptr);
        return *window;
    }

    std::optional<std::string> Stored(const std::string& key) const {
        return sim.settings.Value(kAppTitle, kAppTitle, key);
    }

    // Forms of class T that are loaded now.
    template <typename T>
    T* Loaded() {
        for (Form* form : sim.renderer.LoadedForms()) {
            if (auto* found = dynamic_cast<T*>(form)) {
                return found;
            }
        }
        return nullptr;
    }
};

TEST_F(IESetTest, LoadShowsTheStoredOptionsAndAFreshSnapshot) {
    Settings& settings = app.AppSettings();
    settings.SetWindowFixed(true);
    settings.SetKillBanner(true);
    settings.SetKillFloat(false);
    app.Hub().KilledBannerNumber = 3;
    app.Hub().AddKilledPopup("http://ads.example/one");
    app.Hub().AddKilledPopup("http://ads.example/two");

    IESet& window = Open();
    EXPECT_EQ(window.Caption(), "Varrow Quillmere 4.13");
    EXPECT_TRUE(window.Visible());
    EXPECT_EQ(sim.renderer.RecordOf(window)->lastShow, ShowStyle::Normal);
    const std::vector<std::pair<Control*, bool>> boxes = {
        {&window.checkFix, true},         {&window.checkEnable, true},     {&window.checkNotify, true},
        {&window.checkKillMsg, true},     {&window.checkKillBanner, true}, {&window.checkKillFlash, false},
        {&window.checkKillIFrame, false}, {&window.checkKillFloat, false}};
    for (const auto& [box, on] : boxes) {
        EXPECT_EQ(box->Value(), on ? CheckState::Checked : CheckState::Unchecked) << box->Name();
    }
    EXPECT_EQ(window.labelKilledBannerNum.Caption(), "(3 Killed)");
    EXPECT_EQ(window.labelKilledFlashNum.Caption(), "(0 Killed)");
    EXPECT_EQ(window.labelKilledIFrameNum.Caption(), "(0 Killed)");
    EXPECT_EQ(window.labelKilledFloatNum.Caption(), "(0 Killed)");
    EXPECT_EQ(window.listKilled.Items(),
              (std::vector<std::string>{"http://ads.example/one", "http://ads.example/two"}));
    EXPECT_FALSE(window.buttonOpen.Enabled());
    EXPECT_EQ(window.QuitPrompt(), "Are you sure you want to quit?");

    // What happens while the window is open waits for its next load.
    app.Hub().AddKilledPopup("http://ads.example/three");
    app.Hub().KilledFlashNumber = 7;
    EXPECT_EQ(window.listKilled.Items().size(), 2u);
    EXPECT_EQ(window.labelKilledFlashNum.Caption(), "(0 Killed)");
    SimRenderer::Click(window, "buttonCancel");
    IESet& again = Open();
    EXPECT_NE(&again, &window);
    EXPECT_EQ(again.listKilled.Items().size(), 3u);
    EXPECT_EQ(again.labelKilledFlashNum.Caption(), "(7 Killed)");
}

TEST_F(IESetTest, NotifyMeFollowsKillIEPopupsButKeepsItsMark) {
    IESet& window = Open();
    ASSERT_EQ(window.checkNotify.Value(), CheckState::Checked);
    ASSERT_TRUE(window.checkNotify.Enabled());

    window.checkEnable.SetValue(CheckState::Unchecked);
    SimRenderer::Click(window, "checkEnable");
    EXPECT_FALSE(window.checkNotify.Enabled());
    EXPECT_EQ(window.checkNotify.Value(), CheckState::Checked);

    SimRenderer::Click(window, "buttonOK");
    EXPECT_FALSE(window.Loaded());
    EXPECT_EQ(Stored("RecogEnable"), "False");
    EXPECT_EQ(Stored("PopupNotify"), "True");

    // Loaded again with Kill IE Popups off, Notify Me starts disabled.
    EXPECT_FALSE(Open().checkNotify.Enabled());
}

TEST_F(IESetTest, OkWritesAllEightOptionsAndReappliesKillMsg) {
    IESet& window = Open();
    sim.settings.ClearWrites();
    const int stopsBefore = sim.services.CountOf(Op::ControlService);
    window.checkKillFlash.SetValue(CheckState::Grayed);  // not unchecked counts as on

    window.FireEnter();  // OK is the default button

    std::vector<std::string> keys;
    for (const auto& write : sim.settings.Writes()) {
        keys.push_back(write.key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"WindowFixed", "RecogEnable", "PopupNotify", "KillMsg",
                                              "KillBanner", "KillFlash", "KillIFrame", "KillFloat"}));
    EXPECT_EQ(Stored("KillFlash"), "True");
    EXPECT_EQ(Stored("AgentShow"), "True");
    EXPECT_EQ(sim.services.CountOf(Op::ControlService), stopsBefore + 1) << "KillMsg is applied again";
    EXPECT_FALSE(window.Loaded());
}

TEST_F(IESetTest, CancelEscapeAndCloseBoxWriteNothing) {
    for (int way = 0; way < 3; ++way) {
        IESet& window = Open();
        window.checkKillBanner.SetValue(CheckState::Checked);
        sim.settings.ClearWrites();
        if (way == 0) {
            SimRenderer::Click(window, "buttonCancel");
        } else if (way == 1) {
            window.FireEscape();
        } else {
            window.FireCloseBox();
        }
        EXPECT_FALSE(window.Loaded()) << way;
        EXPECT_TRUE(sim.settings.Writes().empty()) << way;
        EXPECT_EQ(Stored("KillBanner"), "False") << way;
    }
}

TEST_F(IESetTest, OpenWaitsForAClickAndPassesTheSelectedLineUnchanged) {
    app.Hub().AddKilledPopup("http://pop.example/a b?x=1");
    app.Hub().AddKilledPopup("http://pop.example/second");
    IESet& window = Open();
    SimRenderer::Click(window, "buttonOpen");
    EXPECT_TRUE(sim.desktop.ShellExecutes().empty()) << "disabled until the list is clicked";

    window.listKilled.SetListIndex(0);
    SimRenderer::Click(window, "listKilled");
    ASSERT_TRUE(window.buttonOpen.Enabled());
    SimRenderer::Click(window, "buttonOpen");
    ASSERT_EQ(sim.desktop.ShellExecutes().size(), 1u);
    EXPECT_EQ(sim.desktop.ShellExecutes()[0].file, "iexplore.exe");
    EXPECT_EQ(sim.desktop.ShellExecutes()[0].parameters, "http://pop.example/a b?x=1");
    EXPECT_TRUE(window.Loaded());
}

TEST_F(IESetTest, ShutDownAsksAndOnlyYesQuits) {
    IESet& window = Open();
    // No is the default button, so Enter in the box answers No.
    SimRenderer::Click(window, "buttonExit");
    ASSERT_EQ(sim.desktop.MessageBoxes().size(), 1u);
    const auto& box = sim.desktop.MessageBoxes()[0];
    EXPECT_EQ(box.text, "Are you sure you want to quit?");
    EXPECT_EQ(box.title, "Varrow Quillmere 4.13");
    EXPECT_EQ(box.style, mb::kYesNo | mb::kIconExclamation | mb::kDefaultButton2);
    sim.desktop.QueueAnswer(mb::kAnswerNo);
    SimRenderer::Click(window, "buttonExit");
    EXPECT_TRUE(app.Running());
    EXPECT_FALSE(sim.process.Ended());

    auto browser = sim.world.OpenBrowser("http://news.example/");
    sim.loop.Advance(10);
    ASSERT_EQ(MonitorCount(), 1u);
    const int startsBefore = sim.services.CountOf(Op::StartService);
    sim.desktop.QueueAnswer(mb::kAnswerYes);
    SimRenderer::Click(window, "buttonExit");
    EXPECT_FALSE(app.Running());
    EXPECT_TRUE(sim.process.Ended());
    EXPECT_EQ(sim.services.CountOf(Op::StartService), startsBefore + 1);
    EXPECT_FALSE(app.Hub().Loaded());
    EXPECT_EQ(MonitorCount(), 0u);
    EXPECT_TRUE(browser->Alive());
}

TEST_F(IESetTest, ChineseInterfaceAsksInChinese) {
    app.AppLanguage().Language = kLanguageChinese;
    IESet& window = Open();
    SimRenderer::Click(window, "buttonExit");
    ASSERT_EQ(sim.desktop.MessageBoxes().size(), 1u);
    EXPECT_EQ(sim.desktop.MessageBoxes()[0].text, "确定要退出吗？");
    EXPECT_EQ(window.Label6.Font().name, kChineseFontName);
    EXPECT_EQ(window.checkEnable.Font().name, "Verdana");
}

TEST_F(IESetTest, StatusLabelFollowsTheServiceAndKeepsItsTextForOtherStates) {
    sim.services.SetState(kServicePaused);
    IESet& window = Open();
    EXPECT_EQ(window.labelMsgState.Caption(), "N/A");
    EXPECT_EQ(window.MsgStateTimer().Interval(), 200);

    const std::vector<std::pair<std::int32_t, std::string>> steps = {
        {kServiceRunning, "Allow"},        {kServiceStopped, "Block"},
        {kServiceStartPending, "Pending"}, {kServiceRunning, "Allow"},
        {kServiceStopPending, "Pending"},  {kServiceContinuePending, "Pending"},
        {kServicePausePending, "Pending"}, {kServicePaused, "Pending"},
        {kServiceStopped, "Block"}};
    for (const auto& [state, text] : steps) {
        sim.services.SetState(state);
        sim.loop.Advance(200);
        EXPECT_EQ(window.labelMsgState.Caption(), text) << "state " << state;
    }
    SimRenderer::Click(window, "buttonCancel");
    sim.services.SetState(kServiceRunning);
    sim.loop.Advance(1000);
    EXPECT_EQ(window.labelMsgState.Caption(), "Block") << "the timer stops with the window";
}

TEST_F(IESetTest, TestMessageGoesThroughNetAndReportsAFailedStart) {
    IESet& window = Open();
    sim.desktop.SetComputerName(std::string("DESK\0junk", 9));
    SimRenderer::Click(window, "buttonTestMsg");
    ASSERT_EQ(sim.desktop.ShellExecutes().size(), 1u);
    const auto& call = sim.desktop.ShellExecutes()[0];
    EXPECT_EQ(call.verb, "");
    EXPECT_EQ(call.file, "net");
    EXPECT_EQ(call.parameters, "send DESK *** Test Message Popup ***");
    EXPECT_EQ(call.directory, "");
    EXPECT_EQ(call.showCommand, kShowNormal);
    EXPECT_TRUE(sim.desktop.MessageBoxes().empty());

    sim.desktop.SetShellExecuteResult(32);
    SimRenderer::Click(window, "buttonTestMsg");
    ASSERT_EQ(sim.desktop.MessageBoxes().size(), 1u);
    EXPECT_EQ(sim.desktop.MessageBoxes()[0].text,
              "Send message error! Messenger popups only run in Windows 2000/XP or higher. If your system is "
              "Windows 98 or lower, you don't need to set this option.");
    EXPECT_EQ(sim.desktop.MessageBoxes()[0].style, mb::kIconStop);

    sim.desktop.SetComputerName("DESK", false);
    SimRenderer::Click(window, "buttonTestMsg");
    EXPECT_EQ(sim.desktop.ShellExecutes().size(), 2u) << "no computer name: nothing is sent or shown";
    EXPECT_EQ(sim.desktop.MessageBoxes().size(), 1u);
}

TEST_F(IESetTest, MailLinksHelpAndFailuresOfTheShell) {
    IESet& window = Open();
    SimRenderer::Click(window, "labelTellFriend");
    SimRenderer::Click(window, "labelEmail");
    SimRenderer::Click(window, "buttonHelp");
    const auto& calls = sim.desktop.ShellExecutes();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].file, "mailto:");
    EXPECT_EQ(calls[1].file, std::string("mailto:") + ContactEmail());
    EXPECT_EQ(calls[2].file, "iexplore.exe");
    EXPECT_EQ(calls[2].parameters, "file:///C:/Program%20Files/Quillmere/help.html");
    for (const Control* link :
         {&window.labelWhatsMsgPopup, &window.labelCheckSpy, &window.labelTellFriend, &window.labelEmail}) {
        EXPECT_EQ(link->Pointer(), MousePointer::Hand) << link->Name();
    }

    sim.desktop.SetShellExecuteResult(2);
    SimRenderer::Click(window, "labelEmail");
    ASSERT_EQ(sim.desktop.MessageBoxes().size(), 1u);
    EXPECT_EQ(sim.desktop.MessageBoxes()[0].text, "Browser error!");
    EXPECT_EQ(sim.desktop.MessageBoxes()[0].style, mb::kIconStop);
    EXPECT_TRUE(window.Loaded());
}

TEST_F(IESetTest, SubWindowsOpenModalOverTheSettings) {
    IESet& window = Open();
    SimRenderer::Click(window, "labelWhatsMsgPopup");
    auto* whats = Loaded<WhatsMsgPopup>();
    ASSERT_NE(whats, nullptr);
    EXPECT_EQ(whats->Caption(), "What's this?");
    EXPECT_EQ(sim.renderer.RecordOf(*whats)->lastShow, ShowStyle::Modal);
    SimRenderer::Click(*whats, "buttonClose");
    EXPECT_EQ(Loaded<WhatsMsgPopup>(), nullptr);

    SimRenderer::Click(window, "labelCheckSpy");
    auto* spy = Loaded<CheckSpy>();
    ASSERT_NE(spy, nullptr);
    EXPECT_EQ(sim.renderer.RecordOf(*spy)->lastShow, ShowStyle::Modal);
    spy->FireEscape();
    EXPECT_EQ(Loaded<CheckSpy>(), nullptr);

    SimRenderer::Click(window, "buttonAbout");
    auto* about = Loaded<AboutWindow>();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->Caption(), "About Varrow Quillmere 4.13");
    EXPECT_EQ(about->lblTitle.Caption(), "Varrow Quillmere 4.13");
    EXPECT_EQ(about->lblVersion.Caption(), "Version " + std::to_string(kVersionMajor) + "." +
                                               std::to_string(kVersionMinor) + "." +
                                               std::to_string(kVersionRevision));
    SimRenderer::Click(*about, "labelHomePage");
    ASSERT_EQ(sim.desktop.ShellExecutes().size(), 1u);
    EXPECT_EQ(sim.desktop.ShellExecutes()[0].parameters, HomePageUrl(sim.process.AppPath()));
    EXPECT_TRUE(about->Loaded()) << "the about box stays open";
    about->FireEscape();
    EXPECT_EQ(Loaded<AboutWindow>(), nullptr);
    EXPECT_TRUE(window.Loaded());
}

struct FileUrlCase {
    std::string path;
    std::string url;
};

class FileUrlTest : public ::testing::TestWithParam<FileUrlCase> {};

TEST_P(FileUrlTest, BuildsAFileAddress) {
    EXPECT_EQ(FileUrl(GetParam().path), GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(
    Paths,
    FileUrlTest,
    ::testing::Values(FileUrlCase{"C:\\Program Files\\Q\\help.html",
                                  "file:///C:/Program%20Files/Q/help.html"},
                      FileUrlCase{"/opt/quillmere/help.html", "file:///opt/quillmere/help.html"},
                      FileUrlCase{"\\\\server\\share\\help.html", "file://server/share/help.html"},
                      FileUrlCase{"D:\\Ünï #%\\h.html", "file:///D:/%C3%9Cn%C3%AF%20%23%25/h.html"}));

TEST(HelpPageUrlTest, JoinsWithTheFoldersOwnSeparator) {
    EXPECT_EQ(HelpPageUrl("C:\\Quillmere"), "file:///C:/Quillmere/help.html");
    EXPECT_EQ(HelpPageUrl("/usr/lib/quillmere"), "file:///usr/lib/quillmere/help.html");
    EXPECT_EQ(HelpPageUrl("C:\\"), "file:///C:/help.html");
}

}  // namespace
}  // namespace qm
