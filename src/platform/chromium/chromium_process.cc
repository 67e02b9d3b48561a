#include "platform/chromium/chromium_process.h"

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "base/platform_error.h"

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

// A fresh profile folder under $TMPDIR (or /tmp).
std::string MakeTemporaryProfile() {
    const char* tmp = ::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillmere-profile-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw PlatformError(std::string("mkdtemp: ") + std::strerror(errno), errno, "Chromium");
    }
    return pattern;
}

// The browser's command line: headless unless the extra flags say how, the protocol on the pipe, the
// profile, and a blank first page: the start page is loaded by the program once it watches the browser
// (ChromiumWorld::Start), so that no page runs before the program can see it.
std::vector<std::string> BrowserArguments(const ChromiumOptions& options, const std::string& userDataDir) {
    std::vector<std::string> args = {options.program};
    if (options.headless) {
        bool hasHeadless = false;
        for (const auto& a : options.extraArgs) {
            hasHeadless = hasHeadless || a.rfind("--headless", 0) == 0;
        }
        if (!hasHeadless) {
            args.push_back("--headless=new");
        }
    }
    args.insert(args.end(), options.extraArgs.begin(), options.extraArgs.end());
    args.push_back("--remote-debugging-pipe");
    args.push_back("--user-data-dir=" + userDataDir);
    args.push_back("about:blank");
    return args;
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

std::vector<std::string> QuietTestFlags() {
    return {"--headless=new",
            "--no-sandbox",
            "--disable-gpu",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            "--disable-default-apps",
            "--disable-popup-blocking"};
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
    }

    posix::PipePair toBrowser = posix::PipePair::Create();
    posix::PipePair fromBrowser = posix::PipePair::Create();
    posix::UniqueFd browserReads = MoveHigh(std::move(toBrowser.read));
    posix::UniqueFd browserWrites = MoveHigh(std::move(fromBrowser.write));

    std::vector<std::string> args = BrowserArguments(options, userDataDir_);
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
}

ChromiumProcess::~ChromiumProcess() {
    readEnd_.Reset();
    writeEnd_.Reset();
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
