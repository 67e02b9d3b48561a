#pragma once

#include <cstdio>
#include <memory>
#include <utility>

#include "app/command_line.h"
#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/chromium_process.h"
#include "platform/chromium/chromium_world.h"
#include "shell/win_system.h"

namespace qm::app {

// Starts the browser the program watches, puts the program on `loop` with the platform bundle
// `PlatformBundle(loop, world, extra...)` and runs until the loop quits (a stop signal, or the browser
// has gone). Returns the process's exit code.
template <typename PlatformBundle, typename Loop, typename... Extra>
int WatchBrowser(const Arguments& args, Loop& loop, Extra&&... extra) {
    cr::ChromiumProcess browser(args.browser);
    auto world = cr::ChromiumWorld::Create(
        std::make_unique<cr::CdpConnection>(browser.TakeReadEnd(), browser.TakeWriteEnd()), loop, loop);
    // The program watches the browser it started; once that has gone there is nothing left to watch.
    world->SetOnDisconnected([&loop] { loop.Quit(); });
    world->Start(args.browser.startUrl);

    PlatformBundle platform(loop, world, std::forward<Extra>(extra)...);
    WinSystem app(platform.platform);
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

}  // namespace qm::app
