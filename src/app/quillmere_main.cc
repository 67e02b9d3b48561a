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

int Run(const Arguments& args, qm::posix::SingleInstance& instance) {
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

    return qm::app::WatchBrowser<qm::cr::LinuxPlatform>(args, loop, instance);
}

}  // namespace

int main(int argc, char** argv) {
    // Everything before the browser: the command line, the profile, one copy per user.
    Arguments args;
    std::unique_ptr<qm::posix::SingleInstance> instance;
    if (const int code = qm::app::PrepareStart(argc, argv, args, instance); code >= 0) {
        return code;
    }
    try {
        return Run(args, *instance);
    } catch (const qm::PlatformError& e) {
        std::fprintf(stderr, "quillmere: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmere: %s\n", e.what());
        return 1;
    }
}
