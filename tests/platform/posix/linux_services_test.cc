// The program's core running on the Linux system services: the settings file, no Messenger service, the
// autostart folder and the login manager's restart.
#include "platform/posix/linux_services.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/login_manager_power.h"
#include "platform/posix/settings_file_store.h"
#include "platform/posix/xdg_startup_list.h"
#include "platform/sim/sim_platform.h"
#include "scratch_folder.h"
#include "settings/settings.h"
#include "shell/main_window.h"
#include "shell/win_system.h"
#include "system/check_spy.h"
#include "system/messenger_service.h"
#include "ui/ie_set.h"

namespace qm::posix {
namespace {

using sim::SimRenderer;
using testing::ReadText;
using testing::ScratchFolder;
using testing::WriteText;

constexpr char kTitle[] = "Varrow Quillmere 4.13";

// The simulated desktop, browser and windows, with the Linux services under test in place of the
// simulated ones.
struct LinuxRun {
    explicit LinuxRun(const ScratchFolder& folder)
        : settings(folder / "config/quillmere/settings.ini"),
          startupList(folder / "autostart"),
          power([this](const std::vector<std::string>& argv) {
              commands.push_back(argv);
              return commandResult;
          }) {}

    sim::SimPlatform sim;
    SettingsFileStore settings;
    NoServiceManager services;
    XdgStartupList startupList;
    std::vector<std::vector<std::string>> commands;
    ProgramResult commandResult{true, 0};
    LoginManagerPower power;
    Platform platform{sim.loop,  sim.desktop,  sim.process, sim.world, settings, services,
                      sim.files, sim.renderer, startupList, power,     sim.tray};
    WinSystem app{platform};
};

class LinuxServicesTest : public ::testing::Test {
  protected:
    ScratchFolder folder;
};

TEST_F(LinuxServicesTest, OptionsLiveInTheSettingsFileAcrossRuns) {
    {
        LinuxRun run(folder);
        run.app.Main();
        ASSERT_TRUE(run.app.Running());
        Settings& settings = run.app.AppSettings();
        EXPECT_TRUE(settings.Ready());
        EXPECT_TRUE(settings.RecogEnable());
        settings.SetKillBanner(true);
        run.app.QuitProgram();
    }
    const std::string path = folder / "config/quillmere/settings.ini";
    std::string text = ReadText(path);
    for (const char* line :
         {"Ready=True", "WindowFixed=False", "RecogEnable=True", "PopupNotify=True", "KillMsg=True",
          "KillBanner=True", "KillFlash=False", "KillIFrame=False", "KillFloat=True", "AgentShow=True"}) {
        EXPECT_NE(text.find(std::string("\n") + line + "\n"), std::string::npos) << line << "\n" << text;
    }

    // A value edited by hand is read by the next run and rewritten in its canonical form.
    const std::size_t at = text.find("KillFlash=False");
    text.replace(at, 15, "KillFlash = 1");
    WriteText(path, text);
    LinuxRun second(folder);
    second.app.Main();
    EXPECT_TRUE(second.app.AppSettings().KillBanner());
    EXPECT_TRUE(second.app.AppSettings().KillFlash());
    EXPECT_NE(ReadText(path).find("\nKillFlash=True\n"), std::string::npos);
}

TEST_F(LinuxServicesTest, WithoutAMessengerServiceRequestsDoNothingAndTheLabelKeepsNA) {
    LinuxRun run(folder);
    run.app.Main();  // the first run stops the service, as KillMsg is on
    MessengerService& messenger = run.app.Messenger();
    EXPECT_EQ(messenger.MsgServiceCurState(), 0);
    EXPECT_EQ(messenger.QueuedCommand(), kNoCommand);
    EXPECT_FALSE(messenger.RetryScheduled()) << "an absent service is not retried";

    run.sim.tray.Click(kLeftButton);
    IESet* window = run.app.GetMainWindow()->SettingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->labelMsgState.Caption(), "N/A");
    run.sim.loop.Advance(2000);
    EXPECT_EQ(window->labelMsgState.Caption(), "N/A");

    window->checkKillMsg.SetValue(CheckState::Unchecked);
    SimRenderer::Click(*window, "buttonOK");
    EXPECT_FALSE(run.app.AppSettings().KillMsg());
    EXPECT_EQ(messenger.QueuedCommand(), kNoCommand);
    EXPECT_FALSE(messenger.RetryScheduled());
    run.app.QuitProgram();
    EXPECT_FALSE(messenger.RetryScheduled());
}

TEST_F(LinuxServicesTest, TheSpywareCheckFindsAutostartEntriesDeletesThemAndAsksForARestart) {
    std::filesystem::create_directories(folder / "autostart");
    WriteText(folder / "autostart/updater.desktop", "[Desktop Entry]\nExec=/opt/x/AUTOREG.EXE /s\n");
    WriteText(folder / "autostart/tray.desktop", "[Desktop Entry]\nExec=/usr/bin/tray\n");
    WriteText(folder / "autostart/helper.desktop", "[Desktop Entry]\nExec=wine C:\\\\tools\\\\mydw.exe\n");
    LinuxRun run(folder);
    run.app.Main();

    auto window = std::make_shared<CheckSpy>(run.app);
    window->Show(ShowStyle::Modal);
    EXPECT_EQ(window->listExistingSpies.Items(), (std::vector<std::string>{"helper", "updater"}));
    EXPECT_EQ(run.startupList.OpenKeyCount(), 0u) << "the key is closed after the scan";

    window->listExistingSpies.SetSelected(0, false);
    run.sim.desktop.QueueAnswer(mb::kAnswerYes);
    SimRenderer::Click(*window, "buttonKill");
    EXPECT_FALSE(std::filesystem::exists(folder / "autostart/updater.desktop"));
    EXPECT_TRUE(std::filesystem::exists(folder / "autostart/helper.desktop")) << "it was deselected";
    EXPECT_TRUE(std::filesystem::exists(folder / "autostart/tray.desktop"));
    ASSERT_EQ(run.commands.size(), 1u) << "one interactive restart request";
    EXPECT_EQ(run.commands[0], LoginManagerPower::BusctlRebootCommand());
    EXPECT_EQ(run.power.OpenTokenCount(), 0u);
}

}  // namespace
}  // namespace qm::posix
