#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/chromium/chromium_world.h"
#include "platform/chromium/posix/chromium_desktop.h"
#include "platform/posix/linux_services.h"
#include "platform/posix/login_manager_power.h"
#include "platform/posix/posix_process_services.h"
#include "platform/posix/settings_file_store.h"
#include "platform/posix/xdg_startup_list.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_renderer.h"
#include "platform/qt/qt_tray_icon.h"
#include "ports/platform.h"

namespace qm::qt {

// The whole Linux platform for the core with a screen: the Qt loop, windows, message boxes and tray
// icon, around one watched Chromium; the options in the user's settings file, the desktop's autostart
// folder as the start-up list, restarts through the login manager. Linux has no Messenger service. Create
// it after the QApplication and let it outlive every object of the core. Throws PlatformError when the
// user has no home folder for the settings file.
class QtLinuxPlatform {
  public:
    // `assetFolders`: where pictures and the icon are looked for, in order. `lockPath` as for
    // PosixProcessServices (empty: the user's own lock file); `settingsPath` the settings file (empty:
    // the user's own).
    QtLinuxPlatform(QtEventLoop& loop,
                    std::shared_ptr<cr::ChromiumWorld> world,
                    std::vector<std::string> assetFolders,
                    std::string lockPath = {},
                    std::string settingsPath = {})
        : world_(std::move(world)),
          pages(world_),
          renderer(std::move(assetFolders)),
          desktop(renderer, pages),
          tray(renderer),
          process(std::move(lockPath), [&loop] { loop.Quit(); }),
          settings(settingsPath.empty() ? posix::SettingsFileStore::UserSettingsPath()
                                        : std::move(settingsPath)),
          platform{loop,  desktop,  process,     *world_, settings, services,
                   files, renderer, startupList, power,   tray} {}
    // The program's own: `instance` decided about a second copy already; `endProcess` ends the run.
    QtLinuxPlatform(QtEventLoop& loop,
                    std::shared_ptr<cr::ChromiumWorld> world,
                    posix::SingleInstance& instance,
                    std::function<void()> endProcess,
                    std::vector<std::string> assetFolders)
        : world_(std::move(world)),
          pages(world_),
          renderer(std::move(assetFolders)),
          desktop(renderer, pages),
          tray(renderer),
          process(instance, std::move(endProcess)),
          settings(posix::SettingsFileStore::UserSettingsPath()),
          platform{loop,  desktop,  process,     *world_, settings, services,
                   files, renderer, startupList, power,   tray} {}
    QtLinuxPlatform(const QtLinuxPlatform&) = delete;
    QtLinuxPlatform& operator=(const QtLinuxPlatform&) = delete;

  private:
    std::shared_ptr<cr::ChromiumWorld> world_;

  public:
    cr::ChromiumDesktop pages;
    QtRenderer renderer;
    QtDesktop desktop;
    QtTrayIcon tray;
    posix::PosixProcessServices process;
    posix::SettingsFileStore settings;
    posix::NoServiceManager services;
    posix::PosixFileSystem files;
    posix::XdgStartupList startupList;
    posix::LoginManagerPower power;
    Platform platform;
};

}  // namespace qm::qt
