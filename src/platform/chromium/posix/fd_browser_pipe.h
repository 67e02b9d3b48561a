#pragma once

#include <memory>

#include "platform/chromium/browser_pipe.h"
#include "platform/posix/unique_fd.h"

namespace qm::cr {

// The protocol pipe on two descriptors: a read waits in poll() beside an eventfd that Interrupt
// signals; writes are non-blocking and wait for room in poll(), at most their timeout. A browser that
// has gone turns a write into EPIPE, never into SIGPIPE (it is ignored once, for the whole program).
class FdBrowserPipe final : public BrowserPipe {
  public:
    FdBrowserPipe(posix::UniqueFd readFromBrowser, posix::UniqueFd writeToBrowser);

    bool Valid() const override;
    std::ptrdiff_t Read(char* buffer, std::size_t size) override;
    bool Write(std::string_view data, int timeoutMs) override;
    void Interrupt() override;
    void Close() override;

  private:
    posix::UniqueFd readFd_;
    posix::UniqueFd writeFd_;
    posix::UniqueFd stopFd_;
};

// The pipe for the connection, from the program's two ends.
inline std::unique_ptr<BrowserPipe> MakeFdPipe(posix::UniqueFd readFromBrowser,
                                               posix::UniqueFd writeToBrowser) {
    return std::make_unique<FdBrowserPipe>(std::move(readFromBrowser), std::move(writeToBrowser));
}

}  // namespace qm::cr
