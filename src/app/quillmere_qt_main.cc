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
    qm::app::Arguments args = qm::app::ParseArguments(argc, argv);
    if (const int code = qm::app::AnswerWithoutRunning(args); code >= 0) {
        return code;
    }
    std::string why;
    if (!qm::app::ResolveProfile(
            args, [](const char* name) { return ::getenv(name); }, why)) {
        std::fprintf(stderr, "quillmere: %s\n", why.c_str());
        return 1;
    }
    // One copy per user, before any display or browser is touched.
    std::string folderProblem;
    qm::posix::SingleInstance instance(qm::posix::UserRuntimeFolder(folderProblem));
    if (!folderProblem.empty()) {
        std::fprintf(stderr, "quillmere: %s\n", folderProblem.c_str());
    }
    if (const int code = qm::app::HandToRunningCopy(instance, args); code >= 0) {
        return code;
    }
    // Stop signals become an event of the loop; they are blocked before Qt starts any thread.
    const qm::qt::StopSignals stopSignals;
    QApplication application(argc, argv);
    try {
        qm::qt::QtEventLoop loop;
        loop.QuitOn(stopSignals);
        return Run(args, loop, instance);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmere: %s\n", e.what());
        return 1;
    }
}
