#include "platform/posix/spawn_process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <system_error>
#include <thread>

extern char** environ;

namespace qm::posix {

namespace {

// A child exits with this status when it could not run its program.
constexpr int kCannotExecute = 127;

// posix_spawn's attribute and file-action records, released when they go.
class SpawnAttributes {
  public:
    SpawnAttributes() { ok_ = ::posix_spawnattr_init(&attr_) == 0; }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() {
        if (ok_) {
            ::posix_spawnattr_destroy(&attr_);
        }
    }
    bool Ok() const { return ok_; }
    posix_spawnattr_t* Get() { return &attr_; }

  private:
    posix_spawnattr_t attr_;
    bool ok_ = false;
};

class SpawnFileActions {
  public:
    SpawnFileActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    ~SpawnFileActions() {
        if (ok_) {
            ::posix_spawn_file_actions_destroy(&actions_);
        }
    }
    bool Ok() const { return ok_; }
    posix_spawn_file_actions_t* Get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
    bool ok_ = false;
};

}  // namespace

pid_t SpawnProgram(const std::vector<std::string>& argv, ChildSession session) {
    return SpawnProgram(argv, session, {});
}

pid_t SpawnProgram(const std::vector<std::string>& argv,
                   ChildSession session,
                   const std::vector<InheritedFd>& inherited) {
    if (argv.empty() || argv.front().empty()) {
        errno = ENOENT;
        return -1;
    }
    SpawnAttributes attr;
    SpawnFileActions actions;
    if (!attr.Ok() || !actions.Ok()) {
        errno = ENOMEM;
        return -1;
    }

    // The program blocks its stop signals to read them from a descriptor, and may ignore SIGPIPE; a
    // started program must not inherit either.
    sigset_t empty;
    ::sigemptyset(&empty);
    sigset_t defaults;
    ::sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD}) {
        ::sigaddset(&defaults, signal);
    }
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (session == ChildSession::Detached) {
        flags |= POSIX_SPAWN_SETPGROUP;
        ::posix_spawnattr_setpgroup(attr.Get(), 0);
    }
    if (::posix_spawnattr_setsigmask(attr.Get(), &empty) != 0 ||
        ::posix_spawnattr_setsigdefault(attr.Get(), &defaults) != 0 ||
        ::posix_spawnattr_setflags(attr.Get(), flags) != 0 ||
        ::posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0) {
        errno = EINVAL;
        return -1;
    }
    for (const InheritedFd& entry : inherited) {
        // dup2 onto a fresh number leaves the copy inheritable whatever the original's close-on-exec.
        if (::posix_spawn_file_actions_adddup2(actions.Get(), entry.fd, entry.childFd) != 0) {
            errno = EINVAL;
            return -1;
        }
    }

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, args.front(), actions.Get(), attr.Get(), args.data(), environ);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return pid;
}

ProgramResult RunProgram(const std::vector<std::string>& argv) {
    const pid_t pid = SpawnProgram(argv, ChildSession::Attached);
    if (pid < 0) {
        return {};
    }
    int status = 0;
    pid_t waited = -1;
    do {
        waited = ::waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited != pid) {
        return {true, -1};
    }
    if (!WIFEXITED(status)) {
        return {true, -1};
    }
    if (WEXITSTATUS(status) == kCannotExecute) {
        return {false, kCannotExecute};
    }
    return {true, WEXITSTATUS(status)};
}

void ReapInBackground(pid_t pid) {
    if (pid <= 0) {
        return;
    }
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child is collected when this program ends, which is all that is lost.
    }
}

}  // namespace qm::posix
