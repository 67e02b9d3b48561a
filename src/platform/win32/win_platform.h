#pragma once

#include <string>

#include "platform/win32/win_browser_factory.h"
#include "platform/win32/win_desktop.h"
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

namespace qm::win {

// The whole Windows platform for the core. Create it on the user-interface thread after OLE has been
// initialised there, and let it outlive every object of the core.
class Win32Platform {
  public:
    Win32Platform()
        : process([this] { loop.Quit(); }),
          browsers(loop),
          renderer(loop, process.AppPath()),
          tray(process.AppPath()),
          platform{loop,  desktop,  process,     browsers, settings, services,
                   files, renderer, startupList, power,    tray} {}
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    Win32EventLoop loop;
    Win32Desktop desktop;
    Win32ProcessServices process;
    Win32BrowserFactory browsers;
    RegistrySettingsStore settings;
    Win32ServiceManager services;
    Win32FileSystem files;
    Win32Renderer renderer;
    Win32StartupList startupList;
    Win32Power power;
    Win32TrayIcon tray;
    Platform platform;
};

}  // namespace qm::win
