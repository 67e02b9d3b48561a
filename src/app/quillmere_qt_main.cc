// The program on a Linux desktop: the portable core driven by Chromium over its DevTools pipe, with its
// windows, message boxes and notification-area icon on Qt.

#include <stdlib.h>
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
#include "platform/posix/program_folder.h"

namespace {

int Run(const qm::app::Arguments& args, qm::qt::QtEventLoop& loop, qm::posix::SingleInstance& instance) {
    return qm::app::WatchBrowser<qm::qt::QtLinuxPlatform>(
        args, loop, instance,
        std::vector<std::string>{qm::posix::ProgramFilesFolder(qm::posix::ProgramFolder())});
}

}  // namespace

int main(int argc, char** argv) {
    // The command line is read before the toolkit starts, so that --help, --version and a mistake are
    // answered without a display.
    qm::app::Arguments args;
    std::unique_ptr<qm::posix::SingleInstance> instance;
    if (const int code = qm::app::PrepareStart(argc, argv, args, instance); code >= 0) {
        return code;
    }
    // Stop signals become an event of the loop; they are blocked before Qt starts any thread.
    const qm::qt::StopSignals stopSignals;
    QApplication application(argc, argv);
    try {
        qm::qt::QtEventLoop loop;
        loop.QuitOn(stopSignals);
        return Run(args, loop, *instance);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmere: %s\n", e.what());
        return 1;
    }
}
