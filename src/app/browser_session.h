#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/event_loop.h"
#include "base/task_poster.h"
#include "platform/chromium/browser_process.h"
#include "platform/chromium/chromium_world.h"

namespace qm::app {

// The browser the program watches, for the whole run. The program outlives it: when the person closes
// the browser, the program stays (in the notification area) and the next request for a window starts it
// again, on the same profile, under the same watch. At the end of the run the browser is either closed
// with the program or left to the person.
//
// User-interface thread only. The world (the program's view of the browser) lives as long as the
// session, across restarts of the browser.
class BrowserSession {
  public:
    // `options` start the browser (a temporary profile when its userDataDir is empty).
    BrowserSession(cr::ChromiumOptions options, EventLoop& loop, TaskPoster& poster);
    BrowserSession(const BrowserSession&) = delete;
    BrowserSession& operator=(const BrowserSession&) = delete;
    // Closes the browser unless LeaveOpen has handed it on.
    ~BrowserSession();

    // Starts the browser and watches it. Throws PlatformError when it cannot be started or does not
    // answer (cr::kErrorProfileInUse when another browser uses the profile).
    void Start();
    const std::shared_ptr<cr::ChromiumWorld>& World() const { return world_; }
    // Whether the browser the program started still runs.
    bool BrowserRunning() const { return process_ && !world_->Disconnected(); }

    // A request for a watched window: `address` in a new window of the browser, or, when it is empty, a
    // new window with the browser's own first page. A browser that has gone is started again first.
    // Never throws: a browser that cannot be started again is reported on stderr.
    void Open(const std::string& address);

    // The end of the run as Shut Down asks for it: the program stops watching and the browser stays
    // open for the person. A browser on a temporary profile (its profile goes) or one without windows
    // (nobody could use it) is closed all the same.
    void LeaveOpen();

    // How many times the browser has been started, and the process of the one running (for tests).
    int Starts() const { return starts_; }
    std::int64_t BrowserPid() const { return process_ ? process_->Id() : -1; }

  private:
    void Launch(const std::string& firstPage);
    void OnBrowserGone();

    cr::ChromiumOptions options_;
    EventLoop& loop_;
    TaskPoster& poster_;
    std::unique_ptr<cr::BrowserProcess> process_;
    std::shared_ptr<cr::ChromiumWorld> world_;
    int starts_ = 0;
    bool launching_ = false;
};

}  // namespace qm::app
