#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/browser_session.h"
#include "app/command_line.h"
#include "base/platform_error.h"
#include "platform/chromium/browser_process.h"
#include "platform/posix/single_instance.h"
#include "shell/win_system.h"

namespace qm::app {

// One copy per user, decided before anything else starts: a later start hands its address (or its wish
// for a new window) to the copy that runs and ends. Returns the exit code of such a start, or -1 for
// the first copy, which holds `instance` from now on.
inline int HandToRunningCopy(posix::SingleInstance& instance, const Arguments& args) {
    if (!instance.HasFolder()) {
        std::fprintf(stderr, "quillmere: other copies of Quillmere are not looked for\n");
    }
    if (instance.Claim() == posix::SingleInstance::Role::First) {
        return -1;
    }
    std::vector<std::string> requests = args.addresses;
    if (requests.empty()) {
        requests.emplace_back();  // a new window
    }
    for (const std::string& address : requests) {
        std::string why;
        if (!instance.Hand(address, why)) {
            std::fprintf(stderr, "quillmere: a copy of Quillmere runs already, but %s\n", why.c_str());
            return 1;
        }
    }
    return 0;
}

// Everything a start settles before any display or browser is touched: the command line is read
// (--help, --version and mistakes are answered here), the profile is found, and the one copy per user
// is claimed or this start's request handed to the copy that runs. Returns the exit code of a start
// that ends here, or -1 for the first copy, which goes on holding `instance`.
inline int PrepareStart(int argc,
                        char** argv,
                        Arguments& args,
                        std::unique_ptr<posix::SingleInstance>& instance) {
    args = ParseArguments(argc, argv);
    if (const int code = AnswerWithoutRunning(args); code >= 0) {
        return code;
    }
    if (!args.browserChoice.empty()) {
        args.browser.program = cr::FindBrowser(args.browserChoice);
        if (args.browser.program.empty()) {
            std::fprintf(stderr, "quillmere: no browser '%s' is installed here\n",
                         args.browserChoice.c_str());
            return 1;
        }
    }
    if (::geteuid() == 0) {
        // The browser refuses to start its sandbox for the superuser.
        args.browser.extraArgs.push_back("--no-sandbox");
    }
    std::string why;
    if (!ResolveProfile(
            args, [](const char* name) { return std::getenv(name); }, why)) {
        std::fprintf(stderr, "quillmere: %s\n", why.c_str());
        return 1;
    }
    std::string folderProblem;
    instance = std::make_unique<posix::SingleInstance>(posix::UserRuntimeFolder(folderProblem));
    if (!folderProblem.empty()) {
        std::fprintf(stderr, "quillmere: %s\n", folderProblem.c_str());
    }
    return HandToRunningCopy(*instance, args);
}

// Starts the browser the program watches, puts the program on `loop` with the platform bundle
// `PlatformBundle(loop, world, instance, endProcess, extra...)` and runs until the loop quits. `instance`
// is the first copy's claim (see SingleInstance): from here on it hands every later start's request to
// the browser. The program outlives its browser; Shut Down (the program's own end) leaves the browser
// open and unwatched, a stop signal closes it. Returns the process's exit code.
template <typename PlatformBundle, typename Loop, typename... Extra>
int WatchBrowser(const Arguments& args, Loop& loop, posix::SingleInstance& instance, Extra&&... extra) {
    BrowserSession session(args.browser, loop, loop);
    try {
        session.Start();
    } catch (const PlatformError& e) {
        std::fprintf(stderr, "quillmere: %s\n", e.what());
        if (e.Number() == cr::kErrorProfileInUse) {
            std::fprintf(stderr,
                         "Quillmere watches only a browser it starts itself. Close that browser and start "
                         "Quillmere again, or give Quillmere a profile of its own with --user-data-dir DIR "
                         "(or a temporary one with --temp-profile).\n");
        }
        return 1;
    }
    // Later starts ask for windows; a request still queued when the run ends is dropped.
    const auto running = std::make_shared<bool>(true);
    instance.Listen(loop, [&session, running](const std::string& address) {
        if (*running) {
            session.Open(address);
        }
    });

    bool shutDown = false;
    {
        PlatformBundle platform(
            loop, session.World(), instance,
            [&loop, &shutDown] {
                shutDown = true;
                loop.Quit();
            },
            std::forward<Extra>(extra)...);
        WinSystem app(platform.platform);
        app.SetStartupLanguage(args.language);
        app.Main();
        // The first address is the browser's first page; the others open beside it.
        for (std::size_t i = 1; i < args.addresses.size(); ++i) {
            session.Open(args.addresses[i]);
        }
        if (app.Running()) {
            loop.Run();
        }
        *running = false;
        instance.StopListening();
        // The program ends as an ended process does: its windows are not unloaded.
    }
    if (shutDown) {
        session.LeaveOpen();
    }
    return 0;
}

}  // namespace qm::app
