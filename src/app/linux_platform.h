#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/chromium/chromium_world.h"
#include "platform/chromium/posix/chromium_desktop.h"
#include "platform/posix/linux_services.h"
#include "platform/posix/poll_event_loop.h"
#include "platform/posix/posix_process_services.h"
#include "ports/platform.h"

namespace qm::cr {

// The whole Linux platform for the core, around one Chromium world and one poll() loop: the desktop
// from the browser's probes, the process services, and for now settings kept in memory, no Windows
// services, plain files and windows without a screen. The entry point and the end-to-end tests wire the core
// with it. It must outlive every object of the core.
class LinuxPlatform {
  public:
    // `lockPath` as for PosixProcessServices (empty: the user's own lock file).
    LinuxPlatform(posix::PollEventLoop& loop, std::shared_ptr<ChromiumWorld> world, std::string lockPath = {})
        : world_(std::move(world)),
          desktop(world_),
          process(std::move(lockPath), [&loop] { loop.Quit(); }),
          platform{loop, desktop, process, *world_, settings, services, files, renderer} {}
    // The program's own: `instance` decided about a second copy already; `endProcess` ends the run.
    LinuxPlatform(posix::PollEventLoop& loop,
                  std::shared_ptr<ChromiumWorld> world,
                  posix::SingleInstance& instance,
                  std::function<void()> endProcess)
        : world_(std::move(world)),
          desktop(world_),
          process(instance, std::move(endProcess)),
          platform{loop, desktop, process, *world_, settings, services, files, renderer} {}
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

  private:
    std::shared_ptr<ChromiumWorld> world_;

  public:
    ChromiumDesktop desktop;
    posix::PosixProcessServices process;
    posix::MemorySettingsStore settings;
    posix::NoServiceManager services;
    posix::PosixFileSystem files;
    posix::HeadlessRenderer renderer;
    Platform platform;
};

}  // namespace qm::cr
