// The program on Linux without Qt: the portable core driven by Chromium over its DevTools pipe, on a
// poll() loop, with windows that are never drawn.

#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "base/platform_error.h"
#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/chromium_process.h"
#include "platform/chromium/chromium_world.h"
#include "platform/chromium/linux_platform.h"
#include "platform/posix/poll_event_loop.h"
#include "shell/win_system.h"

namespace {

using qm::app::Arguments;

int Run(const Arguments& args) {
    // SIGINT and SIGTERM are read from a descriptor by the loop; they are blocked before any thread
    // starts, so that every thread inherits the mask.
    sigset_t stopSignals;
    ::sigemptyset(&stopSignals);
    ::sigaddset(&stopSignals, SIGINT);
    ::sigaddset(&stopSignals, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    qm::posix::UniqueFd signals(::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK));

    qm::posix::PollEventLoop loop;
    const auto signalWatch = loop.WatchReadable(signals.Get(), [&] {
        signalfd_siginfo info{};
        while (::read(signals.Get(), &info, sizeof info) == sizeof info) {
        }
        loop.Quit();
    });

    qm::cr::ChromiumProcess browser(args.browser);
    auto world = qm::cr::ChromiumWorld::Create(
        std::make_unique<qm::cr::CdpConnection>(browser.TakeReadEnd(), browser.TakeWriteEnd()), loop, loop);
    // The program watches the browser it started; once that has gone there is nothing left to watch.
    world->SetOnDisconnected([&loop] { loop.Quit(); });
    world->Start();

    qm::cr::LinuxPlatform linuxPlatform(loop, world);
    qm::WinSystem app(linuxPlatform.platform);
    app.Main();
    if (!app.Running()) {
        std::fprintf(stderr, "quillmere: another copy is running already\n");
        return 0;
    }
    loop.Run();
    // The program ends as an ended process does: its windows are not unloaded. The browser it started
    // is closed when `browser` goes, after everything that talks to it.
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments args = qm::app::ParseArguments(argc, argv);
    if (!args.ok) {
        std::fputs(qm::app::kUsage, stderr);
        return 2;
    }
    try {
        return Run(args);
    } catch (const qm::PlatformError& e) {
        std::fprintf(stderr, "quillmere: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmere: %s\n", e.what());
        return 1;
    }
}
