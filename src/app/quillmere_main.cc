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
#include "app/linux_platform.h"
#include "app/watch_browser.h"
#include "base/platform_error.h"
#include "platform/posix/poll_event_loop.h"

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

    return qm::app::WatchBrowser<qm::cr::LinuxPlatform>(args, loop);
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
