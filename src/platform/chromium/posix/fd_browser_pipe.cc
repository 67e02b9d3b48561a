#include "platform/chromium/posix/fd_browser_pipe.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace qm::cr {

namespace {

void IgnoreSigPipe() {
    // A browser that has gone turns a write into EPIPE; the default action of SIGPIPE would end the
    // program instead.
    static const bool done = [] {
        ::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)done;
}

}  // namespace

FdBrowserPipe::FdBrowserPipe(posix::UniqueFd readFromBrowser, posix::UniqueFd writeToBrowser)
    : readFd_(std::move(readFromBrowser)),
      writeFd_(std::move(writeToBrowser)),
      stopFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    IgnoreSigPipe();
    if (writeFd_.Valid()) {
        ::fcntl(writeFd_.Get(), F_SETFL, ::fcntl(writeFd_.Get(), F_GETFL) | O_NONBLOCK);
    }
}

bool FdBrowserPipe::Valid() const {
    return readFd_.Valid() && writeFd_.Valid() && stopFd_.Valid();
}

std::ptrdiff_t FdBrowserPipe::Read(char* buffer, std::size_t size) {
    for (;;) {
        pollfd fds[2] = {{readFd_.Get(), POLLIN, 0}, {stopFd_.Get(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return kEnd;
        }
        if (fds[1].revents) {
            return kInterrupted;
        }
        if (!fds[0].revents) {
            continue;
        }
        const ssize_t n = ::read(readFd_.Get(), buffer, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        return n > 0 ? n : kEnd;
    }
}

bool FdBrowserPipe::Write(std::string_view data, int timeoutMs) {
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(writeFd_.Get(), data.data() + written, data.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{writeFd_.Get(), POLLOUT, 0};
            if (::poll(&p, 1, timeoutMs) > 0 && !(p.revents & (POLLERR | POLLHUP))) {
                continue;
            }
        }
        return false;
    }
    return true;
}

void FdBrowserPipe::Interrupt() {
    if (stopFd_.Valid()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopFd_.Get(), &one, sizeof one);
    }
}

void FdBrowserPipe::Close() {
    writeFd_.Reset();
    readFd_.Reset();
}

}  // namespace qm::cr
