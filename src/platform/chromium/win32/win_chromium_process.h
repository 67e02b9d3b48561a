#pragma once

#include <string>
#include <vector>

#include "platform/chromium/browser_process.h"
#include "platform/win32/win_api.h"
#include "platform/win32/win_handles.h"

namespace qm::cr {

// The browser's process on Windows (see BrowserProcess): Edge or Chrome started with the protocol on two
// named pipes whose browser ends it inherits, named by --remote-debugging-io-pipes=<read>,<write> (the
// handle values in decimal). Only those two handles are handed to it. It runs in a job object that
// ends it, with all its helper processes, when this program ends without letting it go, even by a
// crash.
class WinChromiumProcess final : public BrowserProcess {
  public:
    // Starts the browser; throws as StartBrowser does.
    explicit WinChromiumProcess(const ChromiumOptions& options);
    ~WinChromiumProcess() override;

    // BrowserProcess:
    std::unique_ptr<BrowserPipe> TakePipe() override;
    std::int64_t Id() const override;
    const std::string& UserDataDir() const override { return userDataDir_; }
    // Ends the job: the browser and every helper process at once.
    void Kill() override;
    bool WaitForExit(int timeoutMs) override;
    // No keeper process is needed on Windows: the browser itself is given the program's ends of its
    // pipes, so that neither pipe reaches its end while it runs. It has been told to send nothing more
    // (the program stopped watching first), and what little it might still write fits the pipe's buffer.
    // The job no longer ends it.
    bool LeaveRunning() override;

  private:
    void Start(const ChromiumOptions& options);
    void RemoveTemporaryProfile();

    win::UniqueHandle process_;
    win::UniqueHandle job_;
    DWORD pid_ = 0;
    win::UniqueFile programRead_;
    win::UniqueFile programWrite_;
    // Copies of the program's ends, kept for LeaveRunning.
    win::UniqueFile keptRead_;
    win::UniqueFile keptWrite_;
    std::string userDataDir_;
    bool ownsUserDataDir_ = false;
};

// The Windows command line that gives `args` to a program as its argv (the quoting rules of the C
// runtime and CommandLineToArgvW).
std::wstring QuoteCommandLine(const std::vector<std::wstring>& args);

}  // namespace qm::cr
