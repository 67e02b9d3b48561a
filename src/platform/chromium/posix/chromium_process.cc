#include "platform/chromium/posix/chromium_process.h"

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <sys/stat.h>
#include <cstring>

#include "base/platform_error.h"
#include "platform/chromium/posix/fd_browser_pipe.h"
#include "platform/posix/spawn_process.h"

extern char** environ;

namespace qm::cr {

namespace {

// The browser's descriptors for the protocol pipe.
constexpr int kBrowserReadFd = 3;
constexpr int kBrowserWriteFd = 4;
// Our copies are moved above the low numbers first, so that putting one end on 3 or 4 can never clobber
// the other, and so that dup2 always makes a fresh (inheritable) descriptor.
constexpr int kHighFd = 10;

posix::UniqueFd MoveHigh(posix::UniqueFd fd) {
    const int high = ::fcntl(fd.Get(), F_DUPFD_CLOEXEC, kHighFd);
    if (high < 0) {
        throw PlatformError(std::string("fcntl: ") + std::strerror(errno), errno, "Chromium");
    }
    return posix::UniqueFd(high);
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

// Removes the folder `path` and everything in it.
void RemoveTree(const std::string& path) {
    ::nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void SleepMs(int ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    ::nanosleep(&ts, nullptr);
}

class SpawnActions {
  public:
    SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
  public:
    SpawnAttributes() { ::posix_spawnattr_init(&attributes_); }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* Get() { return &attributes_; }

  private:
    posix_spawnattr_t attributes_;
};

// Makes the folder `path` and the folders above it that are missing, for this user alone.
void MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty()) {
            ::mkdir(part.c_str(), 0700);
        }
        if (slash == std::string::npos) {
            return;
        }
    }
}

posix::UniqueFd CopyHigh(const posix::UniqueFd& fd) {
    return posix::UniqueFd(::fcntl(fd.Get(), F_DUPFD_CLOEXEC, kHighFd));
}

// A fresh profile folder under $TMPDIR (or /tmp).
std::string MakeTemporaryProfile() {
    const char* tmp = ::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillmere-profile-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw PlatformError(std::string("mkdtemp: ") + std::strerror(errno), errno, "Chromium");
    }
    return pattern;
}

// The browser's descriptors: the pipe ends on 3 and 4, standard input (and, unless its output is to be
// shown, standard output and error) on /dev/null.
void PlaceDescriptors(SpawnActions& actions, int browserReads, int browserWrites, bool showOutput) {
    // The pipe ends go on 3 and 4 before the wrapper script runs: its shell cannot move descriptors
    // above 9 itself.
    ::posix_spawn_file_actions_adddup2(actions.Get(), browserReads, kBrowserReadFd);
    ::posix_spawn_file_actions_adddup2(actions.Get(), browserWrites, kBrowserWriteFd);
    ::posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0);
    if (!showOutput) {
        ::posix_spawn_file_actions_addopen(actions.Get(), 1, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addopen(actions.Get(), 2, "/dev/null", O_WRONLY, 0);
    }
}

// The browser runs in a process group of its own, with no signal blocked and the stop signals handled
// as by default.
void SetProcessGroupAndSignals(SpawnAttributes& attributes) {
    ::posix_spawnattr_setpgroup(attributes.Get(), 0);
    sigset_t defaults;
    ::sigemptyset(&defaults);
    ::sigaddset(&defaults, SIGPIPE);
    ::sigaddset(&defaults, SIGINT);
    ::sigaddset(&defaults, SIGTERM);
    ::posix_spawnattr_setsigdefault(attributes.Get(), &defaults);
    sigset_t none;
    ::sigemptyset(&none);
    ::posix_spawnattr_setsigmask(attributes.Get(), &none);
    ::posix_spawnattr_setflags(attributes.Get(),
                               POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
}

}  // namespace

std::string ChromiumOptions::DefaultProgram() {
    return "/usr/bin/chromium";
}

std::string FindBrowser(const std::string& choice) {
    // The programs the distributions' packages install.
    static const struct {
        const char* name;
        std::vector<const char*> programs;
    } kKnown[] = {
        {"chromium", {"/usr/bin/chromium", "/usr/bin/chromium-browser"}},
        {"chrome", {"/usr/bin/google-chrome", "/usr/bin/google-chrome-stable"}},
        {"edge", {"/usr/bin/microsoft-edge", "/usr/bin/microsoft-edge-stable"}},
    };
    const std::string name = choice.empty() ? "chromium" : choice;
    for (const auto& known : kKnown) {
        if (name == known.name) {
            for (const char* program : known.programs) {
                if (ChromiumAvailable(program)) {
                    return program;
                }
            }
            return {};
        }
    }
    return ChromiumAvailable(name) ? name : std::string();
}

std::unique_ptr<BrowserProcess> StartBrowser(const ChromiumOptions& options) {
    return std::make_unique<ChromiumProcess>(options);
}

std::string ProfileHolder(const std::string& userDataDir) {
    // The lock is a symbolic link whose target is "<host>-<process id>".
    char target[512] = {};
    const ssize_t n = ::readlink((userDataDir + "/SingletonLock").c_str(), target, sizeof target - 1);
    if (n <= 0) {
        return {};
    }
    const std::string lock(target, static_cast<std::size_t>(n));
    const std::size_t dash = lock.rfind('-');
    if (dash == std::string::npos || dash + 1 == lock.size() ||
        lock.find_first_not_of("0123456789", dash + 1) != std::string::npos || lock.size() - dash > 10) {
        return "a browser that left a lock the program cannot read";
    }
    const std::string host = lock.substr(0, dash);
    const long pid = std::strtol(lock.c_str() + dash + 1, nullptr, 10);
    char hostName[256] = {};
    ::gethostname(hostName, sizeof hostName - 1);
    if (host != hostName) {
        return "a browser on the computer " + host;
    }
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)) {
        return {};  // left behind by a browser that has ended; the next browser takes it over
    }
    // The number may have gone to another program since a browser crashed; only a browser holds it.
    char exe[PATH_MAX] = {};
    const ssize_t length = ::readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), exe, sizeof exe - 1);
    if (length > 0 && std::string(exe, static_cast<std::size_t>(length)).find("chrom") == std::string::npos) {
        return {};
    }
    return "process " + std::to_string(pid) + " on this computer";
}

bool ChromiumAvailable(const std::string& program) {
    return ::access(program.c_str(), X_OK) == 0;
}

ChromiumProcess::ChromiumProcess(const ChromiumOptions& options) {
    if (!ChromiumAvailable(options.program)) {
        throw PlatformError("The browser " + options.program + " cannot be run", 2, "Chromium");
    }
    userDataDir_ = options.userDataDir;
    if (userDataDir_.empty()) {
        userDataDir_ = MakeTemporaryProfile();
        ownsUserDataDir_ = true;
    } else {
        CheckProfileFree(userDataDir_);
        MakeFolders(userDataDir_);
    }

    posix::PipePair toBrowser = posix::PipePair::Create();
    posix::PipePair fromBrowser = posix::PipePair::Create();
    posix::UniqueFd browserReads = MoveHigh(std::move(toBrowser.read));
    posix::UniqueFd browserWrites = MoveHigh(std::move(fromBrowser.write));

    std::vector<std::string> args = BrowserArguments(options, userDataDir_, {"--remote-debugging-pipe"});
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    SpawnActions actions;
    PlaceDescriptors(actions, browserReads.Get(), browserWrites.Get(), options.showBrowserOutput);
    SpawnAttributes attributes;
    SetProcessGroupAndSignals(attributes);

    pid_t pid = -1;
    const int rc =
        ::posix_spawn(&pid, options.program.c_str(), actions.Get(), attributes.Get(), argv.data(), environ);
    if (rc != 0) {
        if (ownsUserDataDir_) {
            RemoveTree(userDataDir_);
        }
        throw PlatformError(std::string("posix_spawn: ") + std::strerror(rc), rc, "Chromium");
    }
    pid_ = pid;
    // Our copies of the browser's ends close here, so that the browser's end of the pipe is the only one
    // left and its exit shows as end-of-file.
    readEnd_ = std::move(fromBrowser.read);
    writeEnd_ = std::move(toBrowser.write);
    keptReadEnd_ = CopyHigh(readEnd_);
    keptWriteEnd_ = CopyHigh(writeEnd_);
    if (ownsUserDataDir_) {
        StartSweeper();
    }
}

std::unique_ptr<BrowserPipe> ChromiumProcess::TakePipe() {
    return MakeFdPipe(std::move(readEnd_), std::move(writeEnd_));
}

void ChromiumProcess::StartSweeper() {
    try {
        posix::PipePair line = posix::PipePair::Create();
        // It waits for this program's end (its standard input reaches end of file), then for the
        // browser's, and removes the folder.
        const pid_t sweeper =
            posix::SpawnProgram({"/bin/sh", "-c",
                                 "cat >/dev/null; "
                                 // The browser may stay a zombie for a while once this program has gone.
                                 "while s=$(sed -n 's/.*) \\(.\\).*/\\1/p' \"/proc/$1/stat\" 2>/dev/null) && "
                                 "[ -n \"$s\" ] && [ \"$s\" != Z ]; do sleep 0.2; done; rm -rf -- \"$2\"",
                                 "quillmere-sweeper", std::to_string(pid_), userDataDir_},
                                posix::ChildSession::Detached, {{line.read.Get(), 0}});
        if (sweeper > 0) {
            sweeperLine_ = std::move(line.write);
            posix::ReapInBackground(sweeper);
        }
    } catch (const PlatformError&) {
        // Without a sweeper the folder is still removed on every ordinary way out.
    }
}

bool ChromiumProcess::LeaveRunning() {
    if (pid_ <= 0 || ownsUserDataDir_ || !keptReadEnd_.Valid() || !keptWriteEnd_.Valid()) {
        return false;
    }
    // The keeper's standard input is the browser's output (read and dropped until the browser ends and
    // it reaches end of file) and its descriptor 3 the browser's input, which it never writes.
    const pid_t keeper = posix::SpawnProgram({"/bin/sh", "-c", "exec cat >/dev/null", "quillmere-keeper"},
                                             posix::ChildSession::Detached,
                                             {{keptReadEnd_.Get(), 0}, {keptWriteEnd_.Get(), 3}});
    if (keeper <= 0) {
        return false;
    }
    keeperPid_ = keeper;
    posix::ReapInBackground(keeper);
    readEnd_.Reset();
    writeEnd_.Reset();
    keptReadEnd_.Reset();
    keptWriteEnd_.Reset();
    // The browser is the person's now: it is neither waited for nor ended, only collected when it ends.
    posix::ReapInBackground(pid_);
    pid_ = -1;
    return true;
}

ChromiumProcess::~ChromiumProcess() {
    readEnd_.Reset();
    writeEnd_.Reset();
    keptReadEnd_.Reset();
    keptWriteEnd_.Reset();
    if (pid_ > 0) {
        // Closing the pipe asks the browser to end; it gets a moment before it is made to.
        if (!WaitForExit(2000)) {
            ::kill(-pid_, SIGTERM);
            if (!WaitForExit(2000)) {
                Kill();
            }
        }
    }
    if (ownsUserDataDir_ && !userDataDir_.empty()) {
        RemoveTree(userDataDir_);
    }
}

void ChromiumProcess::Kill() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    Reap(5000);
}

bool ChromiumProcess::WaitForExit(int timeoutMs) {
    Reap(timeoutMs);
    return pid_ <= 0;
}

void ChromiumProcess::Reap(int timeoutMs) {
    for (int waited = 0; pid_ > 0; waited += 10) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            // The helpers of the group go with the browser.
            ::kill(-pid_, SIGKILL);
            pid_ = -1;
            return;
        }
        if (waited >= timeoutMs) {
            return;
        }
        SleepMs(10);
    }
}

}  // namespace qm::cr
