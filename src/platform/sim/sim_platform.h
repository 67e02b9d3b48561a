#pragma once

#include "platform/sim/sim_browser.h"
#include "platform/sim/sim_browser_world.h"
#include "platform/sim/sim_collection.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_document.h"
#include "platform/sim/sim_element.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_hidden_browser.h"
#include "platform/sim/sim_power.h"
#include "platform/sim/sim_process.h"
#include "platform/sim/sim_renderer.h"
#include "platform/sim/sim_service_manager.h"
#include "platform/sim/sim_settings_store.h"
#include "platform/sim/sim_shell_windows.h"
#include "platform/sim/sim_startup_list.h"
#include "platform/sim/sim_style_sheet.h"
#include "platform/sim/sim_tray_icon.h"
#include "platform/sim/sim_ui_probe.h"
#include "platform/sim/sim_window.h"
#include "ports/platform.h"

namespace qm::sim {

// One complete simulated platform: create it first and let it outlive the program objects that use it.
class SimPlatform {
  public:
    explicit SimPlatform(Tick startTick = 100000)
        : loop(startTick), process(loop), world(loop), platform{loop,        desktop,  process, world,
                                                                settings,    services, files,   renderer,
                                                                startupList, power,    tray} {
        // Starting the browser with an address opens a new browser window on it, a moment later.
        desktop.SetLauncher([this](const SimDesktop::ShellExecuteCall& call) {
            if (call.file == "iexplore.exe") {
                loop.Post([this, url = call.parameters] { world.OpenBrowser(url); });
            }
        });
    }
    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    SimEventLoop loop;
    SimDesktop desktop;
    SimProcess process;
    SimBrowserWorld world;
    SimSettingsStore settings;
    SimServiceManager services;
    SimFiles files;
    SimRenderer renderer;
    SimStartupList startupList;
    SimPower power;
    SimTrayIcon tray;
    Platform platform;
};

}  // namespace qm::sim
