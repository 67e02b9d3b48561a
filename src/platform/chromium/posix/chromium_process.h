#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/chromium/browser_process.h"
#include "platform/posix/unique_fd.h"

namespace qm::cr {

// The browser's process on Linux (see BrowserProcess): the browser reads descriptor 3 and writes
// descriptor 4. It runs in a process group of its own, so that its helper processes go with it, and is
// reaped when it ends.
//
// A temporary profile is removed however the program ends: besides the destructor, a small sweeper
// process waits for this program and the browser to end and then removes the folder, so that neither a
// killed program nor a display that went away leaves it behind.
class ChromiumProcess final : public BrowserProcess {
  public:
    // Starts the browser; throws as StartBrowser does.
    explicit ChromiumProcess(const ChromiumOptions& options);
    ~ChromiumProcess() override;

    // BrowserProcess:
    std::unique_ptr<BrowserPipe> TakePipe() override;
    std::int64_t Id() const override { return pid_; }
    const std::string& UserDataDir() const override { return userDataDir_; }
    // Kills the whole process group (SIGKILL).
    void Kill() override;
    bool WaitForExit(int timeoutMs) override;
    // The keeper is a small process whose standard input is the browser's output (read and dropped) and
    // whose descriptor 3 is the browser's input, which it never writes.
    bool LeaveRunning() override;

    pid_t Pid() const { return pid_; }
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

}  // namespace qm::cr
