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

// The number of the PlatformError that says a profile folder is in use by a browser this program did
// not start.
inline constexpr int kErrorProfileInUse = 16;

// Another browser's hold on the profile folder `userDataDir`: Chromium's lock in it names the host and
// the process that use it. Empty when no running browser holds it (no lock, or one left by a browser
// that has ended on this host); otherwise a description of the holder ("process 1234 on this host").
std::string ProfileHolder(const std::string& userDataDir);

// The browser's process, started with the DevTools protocol on a private pipe (the browser reads fd 3
// and writes fd 4; no TCP port is opened). It runs in a process group of its own, so that its helper
// processes go with it. Destroying the object ends the browser (politely, then by force), reaps it and
// removes a temporary profile; LeaveRunning hands it to the person instead.
//
// A temporary profile is removed however the program ends: besides the destructor, a small sweeper
// process waits for this program and the browser to end and then removes the folder, so that neither a
// killed program nor a display that went away leaves it behind.
class ChromiumProcess {
  public:
    // Starts the browser; throws PlatformError when it cannot be started, with kErrorProfileInUse when
    // another browser uses the profile folder (the browser is then not started at all: it would hand its
    // pages to that browser, where nothing watches them).
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

    // Lets the browser run on after this object and this program have gone. Closing the protocol pipe
    // would end the browser, so its ends go to a keeper process that holds them (and reads and drops
    // whatever the browser still writes) until the browser ends. Call it once the connection has been
    // stopped. False, with the browser still this object's, when no keeper could be started or the
    // profile is temporary (it is removed, so the browser cannot stay).
    bool LeaveRunning();
    // The keeper's process id once LeaveRunning has started it (for tests).
    pid_t KeeperPid() const { return keeperPid_; }

  private:
    void Reap(int timeoutMs);
    void StartSweeper();

    pid_t pid_ = -1;
    posix::UniqueFd readEnd_;
    posix::UniqueFd writeEnd_;
    // Copies of the program's ends, kept for a keeper (see LeaveRunning).
    posix::UniqueFd keptReadEnd_;
    posix::UniqueFd keptWriteEnd_;
    // The write end of the sweeper's pipe: the sweeper starts its work once this closes.
    posix::UniqueFd sweeperLine_;
    pid_t keeperPid_ = -1;
    std::string userDataDir_;
    bool ownsUserDataDir_ = false;
};

// True when `program` exists and may be run.
bool ChromiumAvailable(const std::string& program = ChromiumOptions{}.program);

}  // namespace qm::cr
