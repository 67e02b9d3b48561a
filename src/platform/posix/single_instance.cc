#include "platform/posix/single_instance.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>

namespace qm::posix {

namespace {

constexpr char kLockName[] = "quillmere.lock";
constexpr char kSocketName[] = "quillmere.socket";
// A request is one line: "OPEN" alone for a new window, or "OPEN " and the address.
constexpr char kRequest[] = "OPEN";
constexpr char kAnswer[] = "OK\n";
// Longer requests are not the program's own and are dropped.
constexpr std::size_t kMaxRequest = 64 * 1024;
// How long the first copy waits for a request to arrive whole once a later copy has connected.
constexpr int kRequestTimeoutMs = 2000;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SleepMs(int ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    ::nanosleep(&ts, nullptr);
}

bool SocketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Waits until `fd` is ready for `events` or `deadline` (steady milliseconds) has passed.
bool WaitFor(int fd, short events, std::int64_t deadline) {
    for (;;) {
        const std::int64_t left = deadline - NowMs();
        if (left <= 0) {
            return false;
        }
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n > 0) {
            return true;
        }
        if (n < 0 && errno != EINTR) {
            return false;
        }
    }
}

// Reads one line (without its newline) within the deadline. False on end of file before a newline,
// on a line longer than kMaxRequest, or when the deadline passes.
bool ReadLine(int fd, std::string& line, std::int64_t deadline) {
    line.clear();
    char c = 0;
    while (line.size() <= kMaxRequest) {
        if (!WaitFor(fd, POLLIN, deadline)) {
            return false;
        }
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        if (c == '\n') {
            return true;
        }
        line.push_back(c);
    }
    return false;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool IsUsersOwnFolder(const std::string& path, bool privateOnly, std::string& why) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        why = path + " is not a folder";
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        why = path + " belongs to another user";
        return false;
    }
    const mode_t forbidden = privateOnly ? 077 : 022;
    if ((info.st_mode & forbidden) != 0) {
        why = path + " is open to other users";
        return false;
    }
    return true;
}

std::string UserRuntimeFolder(const char* xdgRuntimeDir, std::string& why, const std::string& fallbackRoot) {
    if (xdgRuntimeDir && xdgRuntimeDir[0] == '/') {
        std::string ignored;
        if (IsUsersOwnFolder(xdgRuntimeDir, false, ignored)) {
            return xdgRuntimeDir;
        }
    }
    const std::string folder = fallbackRoot + "/quillmere-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        why = folder + ": " + std::strerror(errno);
        return {};
    }
    // A folder of that name made by someone else, a link, or one that others may use is never trusted:
    // whoever controls it could hold the lock or answer in the program's place.
    if (!IsUsersOwnFolder(folder, true, why)) {
        return {};
    }
    return folder;
}

std::string UserRuntimeFolder(std::string& why) {
    return UserRuntimeFolder(::getenv("XDG_RUNTIME_DIR"), why);
}

SingleInstance::SingleInstance(std::string folder) : folder_(std::move(folder)) {
    if (!folder_.empty()) {
        lockPath_ = folder_ + "/" + kLockName;
        socketPath_ = folder_ + "/" + kSocketName;
    }
}

SingleInstance::~SingleInstance() {
    StopListening();
    if (listening_) {
        // The socket goes before the lock, so that a copy that takes the lock next never loses a fresh
        // socket of its own to this one.
        ::unlink(socketPath_.c_str());
    }
    listener_.Reset();
    lock_.Reset();
}

void SingleInstance::StopListening() {
    if (thread_.joinable()) {
        const char wake = 1;
        while (::write(wake_.write.Get(), &wake, 1) < 0 && errno == EINTR) {
        }
        thread_.join();
    }
}

SingleInstance::Role SingleInstance::Claim() {
    if (first_) {
        return Role::First;
    }
    if (folder_.empty()) {
        first_ = true;
        return Role::First;
    }
    UniqueFd fd(::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.Valid()) {
        // Without a lock file nothing can be told; the copy runs.
        first_ = true;
        return Role::First;
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return Role::Second;
    }
    lock_ = std::move(fd);
    first_ = true;
    return Role::First;
}

bool SingleInstance::Hand(const std::string& address, std::string& why, int timeoutMs) {
    if (address.find('\n') != std::string::npos || address.size() > kMaxRequest) {
        why = "the address cannot be handed on";
        return false;
    }
    sockaddr_un where{};
    if (!SocketAddress(socketPath_, where)) {
        why = socketPath_ + ": the name is too long for a socket";
        return false;
    }
    const std::int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!fd.Valid()) {
            why = std::string("socket: ") + std::strerror(errno);
            return false;
        }
        if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0) {
            const std::string request =
                address.empty() ? std::string(kRequest) + "\n" : std::string(kRequest) + " " + address + "\n";
            std::string answer;
            if (WriteAll(fd.Get(), request) && ReadLine(fd.Get(), answer, deadline) &&
                answer + "\n" == kAnswer) {
                return true;
            }
            why = "the running copy did not answer";
            return false;
        }
        // The first copy may have taken the lock without listening yet; it is given a moment.
        if ((errno != ENOENT && errno != ECONNREFUSED && errno != EINTR) || NowMs() >= deadline) {
            why = "the running copy cannot be reached (" + std::string(std::strerror(errno)) + ")";
            return false;
        }
        SleepMs(50);
    }
}

void SingleInstance::Listen(TaskPoster& poster, std::function<void(const std::string& address)> onRequest) {
    if (!first_ || listening_ || folder_.empty() || !lock_.Valid()) {
        return;
    }
    sockaddr_un where{};
    if (!SocketAddress(socketPath_, where)) {
        return;
    }
    // A socket left behind by a copy that crashed is in the way; the lock says it is no one's now.
    ::unlink(socketPath_.c_str());
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid() || ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(fd.Get(), 8) != 0) {
        std::fprintf(stderr, "quillmere: a later start cannot reach this copy: %s\n", std::strerror(errno));
        return;
    }
    ::chmod(socketPath_.c_str(), 0600);
    listener_ = std::move(fd);
    listening_ = true;
    try {
        wake_ = PipePair::Create();
        thread_ =
            std::thread([this, &poster, onRequest = std::move(onRequest)] { Serve(poster, onRequest); });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmere: a later start cannot reach this copy: %s\n", e.what());
    }
}

void SingleInstance::Serve(TaskPoster& poster, const std::function<void(const std::string&)>& onRequest) {
    // The thread's entry: nothing may leave it.
    try {
        for (;;) {
            pollfd fds[2] = {{listener_.Get(), POLLIN, 0}, {wake_.read.Get(), POLLIN, 0}};
            const int n = ::poll(fds, 2, -1);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[1].revents != 0) {
                return;
            }
            if ((fds[0].revents & POLLIN) == 0) {
                continue;
            }
            UniqueFd client(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client.Valid()) {
                Answer(client.Get(), poster, onRequest);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmere: later starts are no longer heard: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "quillmere: later starts are no longer heard\n");
    }
}

void SingleInstance::Answer(int client,
                            TaskPoster& poster,
                            const std::function<void(const std::string&)>& onRequest) {
    // Only the user's own processes can reach the socket in the user's folder; the peer is checked all the
    // same.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
        return;
    }
    std::string line;
    if (!ReadLine(client, line, NowMs() + kRequestTimeoutMs)) {
        return;
    }
    std::string address;
    if (line == kRequest) {
        address.clear();
    } else if (line.rfind(std::string(kRequest) + " ", 0) == 0) {
        address = line.substr(sizeof kRequest);
    } else {
        return;
    }
    poster.PostTask([onRequest, address] { onRequest(address); });
    WriteAll(client, kAnswer);
}

}  // namespace qm::posix
