// The program on Linux: the portable core driven by Chromium over its DevTools pipe, on a poll() loop.

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

#include "app/demo_page.h"
#include "base/platform_error.h"
#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/chromium_process.h"
#include "platform/chromium/chromium_world.h"
#include "platform/chromium/linux_platform.h"
#include "platform/posix/poll_event_loop.h"
#include "shell/win_system.h"

namespace {

constexpr char kUsage[] =
    "usage: quillmere [--start-url URL] [--headless | --no-headless] [--chromium PATH] [--user-data-dir "
    "DIR]\n"
    "                 [--browser-output]\n";

std::string DataUrl(const std::string& html) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = "data:text/html;charset=utf-8,";
    for (const unsigned char c : html) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::strchr("-_.~", c)) {
            url.push_back(static_cast<char>(c));
        } else {
            url.push_back('%');
            url.push_back(kHex[c >> 4]);
            url.push_back(kHex[c & 15]);
        }
    }
    return url;
}

struct Arguments {
    qm::cr::ChromiumOptions browser;
    bool ok = true;
};

Arguments ParseArguments(int argc, char** argv) {
    Arguments args;
    const char* display = ::getenv("DISPLAY");
    const char* wayland = ::getenv("WAYLAND_DISPLAY");
    // Without a screen the browser has to run without a window of its own.
    args.browser.headless = !(display && *display) && !(wayland && *wayland);
    args.browser.startUrl = DataUrl(qm::app::kDemoPage);
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&](const std::string& name) -> std::string {
            if (a.rfind(name + "=", 0) == 0) {
                return a.substr(name.size() + 1);
            }
            if (i + 1 < argc) {
                return argv[++i];
            }
            args.ok = false;
            return {};
        };
        if (a == "--start-url" || a.rfind("--start-url=", 0) == 0) {
            args.browser.startUrl = value("--start-url");
        } else if (a == "--chromium" || a.rfind("--chromium=", 0) == 0) {
            args.browser.program = value("--chromium");
        } else if (a == "--user-data-dir" || a.rfind("--user-data-dir=", 0) == 0) {
            args.browser.userDataDir = value("--user-data-dir");
        } else if (a == "--headless") {
            args.browser.headless = true;
        } else if (a == "--no-headless") {
            args.browser.headless = false;
        } else if (a == "--browser-output") {
            args.browser.showBrowserOutput = true;
        } else {
            args.ok = false;
        }
    }
    // The program judges popups itself; the browser's own blocker would hide them from it.
    args.browser.extraArgs = {"--no-first-run", "--disable-popup-blocking"};
    if (args.browser.headless) {
        args.browser.extraArgs.push_back("--disable-gpu");
    }
    if (::geteuid() == 0) {
        // The browser refuses to start its sandbox for the superuser.
        args.browser.extraArgs.push_back("--no-sandbox");
    }
    return args;
}

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
    const Arguments args = ParseArguments(argc, argv);
    if (!args.ok) {
        std::fputs(kUsage, stderr);
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
