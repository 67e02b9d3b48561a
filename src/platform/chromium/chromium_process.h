#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace qm::cr {

// How to start the browser.
struct ChromiumOptions {
    // The browser's program; Debian's wrapper script by default.
    std::string program = "/usr/bin/chromium";
    // Without a window of its own (--headless=new).
    bool headless = false;
    // A profile folder of the program's own; empty: a fresh temporary folder that is removed again when
    // the browser is gone.
    std::string userDataDir;
    // The first page to show. The browser itself starts on a blank page; the start page is handed to
    // ChromiumWorld::Start, which loads it once the program watches the browser.
    std::string startUrl = "about:blank";
    // More command-line flags.
    std::vector<std::string> extraArgs;
    // The browser's own output goes to the program's stderr instead of nowhere.
    bool showBrowserOutput = false;
};

// The flags the tests and benchmarks start the browser with (headless, no sandbox, no background work).
std::vector<std::string> QuietTestFlags();

// The browser's process, started with the DevTools protocol on a private pipe (the browser reads fd 3
// and writes fd 4; no TCP port is opened). It runs in a process group of its own, so that its helper
// processes go with it. Destroying the object ends the browser (politely, then by force), reaps it and
// removes a temporary profile.
class ChromiumProcess {
  public:
    // Starts the browser; throws PlatformError when it cannot be started.
    explicit ChromiumProcess(const ChromiumOptions& options);
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;
    ~ChromiumProcess();

    // The program's ends of the pipe, handed over once to the connection.
    posix::UniqueFd TakeReadEnd() { return std::move(readEnd_); }
    posix::UniqueFd TakeWriteEnd() { return std::move(writeEnd_); }

    pid_t Pid() const { return pid_; }
    const std::string& UserDataDir() const { return userDataDir_; }

    // Kills the browser and all its helpers at once (SIGKILL to the group), as a crash would.
    void Kill();
    // Waits up to `timeoutMs` for the browser to end by itself; true once it has ended and been reaped.
    bool WaitForExit(int timeoutMs);
    bool Exited() const { return pid_ <= 0; }

  private:
    void Reap(int timeoutMs);

    pid_t pid_ = -1;
    posix::UniqueFd readEnd_;
    posix::UniqueFd writeEnd_;
    std::string userDataDir_;
    bool ownsUserDataDir_ = false;
};

// True when `program` exists and may be run.
bool ChromiumAvailable(const std::string& program = ChromiumOptions{}.program);

}  // namespace qm::cr
