// The program on a Linux desktop: the portable core driven by Chromium over its DevTools pipe, with its
// windows, message boxes and notification-area icon on Qt.

#include <limits.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "base/platform_error.h"
#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/chromium_process.h"
#include "platform/chromium/chromium_world.h"
#include "platform/qt/qt_platform.h"
#include "shell/win_system.h"

namespace {

// The folder of the running program, where its pictures, icon and region file lie.
std::string ProgramFolder() {
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return ".";
    }
    const std::string exe(path, static_cast<std::size_t>(n));
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : exe.substr(0, slash);
}

int Run(const qm::app::Arguments& args, qm::qt::QtEventLoop& loop) {
    qm::cr::ChromiumProcess browser(args.browser);
    auto world = qm::cr::ChromiumWorld::Create(
        std::make_unique<qm::cr::CdpConnection>(browser.TakeReadEnd(), browser.TakeWriteEnd()), loop, loop);
    // The program watches the browser it started; once that has gone there is nothing left to watch.
    world->SetOnDisconnected([&loop] { loop.Quit(); });
    world->Start();

    qm::qt::QtLinuxPlatform linuxPlatform(loop, world, {ProgramFolder()});
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
    // Stop signals become an event of the loop; they are blocked before Qt starts any thread.
    const qm::qt::StopSignals stopSignals;
    QApplication application(argc, argv);
    // Qt has taken its own options (-platform, -display) out of the command line.
    const qm::app::Arguments args = qm::app::ParseArguments(argc, argv);
    if (!args.ok) {
        std::fputs(qm::app::kUsage, stderr);
        return 2;
    }
    try {
        qm::qt::QtEventLoop loop;
        loop.QuitOn(stopSignals);
        return Run(args, loop);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmere: %s\n", e.what());
        return 1;
    }
}
