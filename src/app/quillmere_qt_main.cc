// The program on a Linux desktop: the portable core driven by Chromium over its DevTools pipe, with its
// windows, message boxes and notification-area icon on Qt.

#include <limits.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/qt_platform.h"
#include "app/watch_browser.h"
#include "base/platform_error.h"

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
    return qm::app::WatchBrowser<qm::qt::QtLinuxPlatform>(args, loop,
                                                          std::vector<std::string>{ProgramFolder()});
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
