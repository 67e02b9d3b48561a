#pragma once

#include "platform/chromium/browser_pipe.h"
#include "platform/win32/win_api.h"
#include "platform/win32/win_handles.h"

namespace qm::cr {

// The protocol pipe on Windows: two one-way named pipes of this program, each opened for overlapped
// I/O on the program's side. A read waits for its own completion or for the stop event, so that Stop
// never hangs on a browser that says nothing; a write waits at most its timeout and is cancelled after.
class WinBrowserPipe final : public BrowserPipe {
  public:
    // The program's ends, both opened with FILE_FLAG_OVERLAPPED.
    WinBrowserPipe(win::UniqueFile readFromBrowser, win::UniqueFile writeToBrowser);

    bool Valid() const override;
    std::ptrdiff_t Read(char* buffer, std::size_t size) override;
    bool Write(std::string_view data, int timeoutMs) override;
    void Interrupt() override;
    void Close() override;

  private:
    win::UniqueFile read_;
    win::UniqueFile write_;
    win::UniqueHandle readDone_;
    win::UniqueHandle writeDone_;
    win::UniqueHandle stop_;
};

// Both pipes of a browser: the program's overlapped ends and the browser's ends, which the browser
// inherits (plain, synchronous handles, as the browser's own pipe reader and writer expect them).
struct BrowserPipeEnds {
    win::UniqueFile programRead;
    win::UniqueFile programWrite;
    win::UniqueFile browserRead;
    win::UniqueFile browserWrite;
};

// Makes the two pipes under fresh, unguessable names that only this computer can open, each with one
// instance that is connected before this returns. Throws PlatformError.
BrowserPipeEnds CreateBrowserPipeEnds();

}  // namespace qm::cr
