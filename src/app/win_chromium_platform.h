#pragma once

#include <memory>

#include "platform/chromium/chromium_world.h"
#include "platform/chromium/win32/win_chromium_desktop.h"
#include "platform/win32/win_event_loop.h"
#include "platform/win32/win_file_system.h"
#include "platform/win32/win_power.h"
#include "platform/win32/win_process_services.h"
#include "platform/win32/win_registry_settings_store.h"
#include "platform/win32/win_renderer.h"
#include "platform/win32/win_service_manager.h"
#include "platform/win32/win_startup_list.h"
#include "platform/win32/win_tray_icon.h"
#include "ports/platform.h"

namespace qm::app {

// The Windows platform for the core when it watches Edge or Chrome: every Win32 adapter but the
// browsers, which are the Chromium world's. The process services are made first, by the entry point
// (they decide about a second copy before any browser starts). Create it on the user-interface thread
// after OLE has been initialised there, and let it outlive every object of the core.
class WinChromiumPlatform {
  public:
    WinChromiumPlatform(win::Win32EventLoop& loop,
                        std::shared_ptr<cr::ChromiumWorld> world,
                        win::Win32ProcessServices& process)
        : world_(std::move(world)),
          desktop(world_),
          renderer(loop, process.AppPath()),
          tray(process.AppPath()),
          platform{loop,  desktop,  process,     *world_, settings, services,
                   files, renderer, startupList, power,   tray} {}
    WinChromiumPlatform(const WinChromiumPlatform&) = delete;
    WinChromiumPlatform& operator=(const WinChromiumPlatform&) = delete;

  private:
    std::shared_ptr<cr::ChromiumWorld> world_;

  public:
    cr::WinChromiumDesktop desktop;
    win::RegistrySettingsStore settings;
    win::Win32ServiceManager services;
    win::Win32FileSystem files;
    win::Win32Renderer renderer;
    win::Win32StartupList startupList;
    win::Win32Power power;
    win::Win32TrayIcon tray;
    Platform platform;
};

}  // namespace qm::app
