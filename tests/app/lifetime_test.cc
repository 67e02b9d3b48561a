// The program's life with real processes: one copy per user, a later start handing its request to the
// first, the program outliving its browser, Shut Down leaving the browser open, and the temporary
// profile going however the program ends. The browser is a small stand-in that speaks the protocol on
// its pipe and writes down what it is told.

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/browser_session.h"
#include "platform/chromium/posix/chromium_process.h"
#include "platform/posix/poll_event_loop.h"
#include "support/test_http_server.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;

// A browser that answers every call with an empty result, and logs its start (with its arguments),
// each message and its end to $QM_STAND_IN_LOG. Like Chromium it ends when its input pipe closes.
constexpr char kStandIn[] = R"SH(#!/bin/bash
log="$QM_STAND_IN_LOG"
echo "start $$ $*" >>"$log"
trap 'echo "end $$" >>"$log"; exit 0' TERM
while IFS= read -r -d '' message <&3; do
    echo "message $$ $message" >>"$log"
    if [[ $message =~ ^\{\"id\":([0-9]+) ]]; then
        printf '{"id":%s,"result":{}}\0' "${BASH_REMATCH[1]}" >&4
    fi
done
echo "end $$" >>"$log"
)SH";

std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool Alive(pid_t pid) {
    return ::kill(pid, 0) == 0;
}

// The process ids of the stand-in browsers that started, in order.
std::vector<pid_t> Browsers(const std::string& log) {
    std::vector<pid_t> pids;
    std::istringstream lines(Read(log));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("start ", 0) == 0) {
            pids.push_back(static_cast<pid_t>(std::stol(line.substr(6))));
        }
    }
    return pids;
}

class LifetimeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-life-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        for (const char* folder : {"run", "config", "data", "home", "tmp"}) {
            fs::create_directory(root + "/" + folder);
            ::chmod((root + "/" + folder).c_str(), 0700);
        }
        standIn = root + "/chromium";
        std::ofstream(standIn) << kStandIn;
        ::chmod(standIn.c_str(), 0755);
        log = root + "/browser.log";
    }
    void TearDown() override {
        for (const pid_t pid : started) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        for (const pid_t pid : Browsers(log)) {
            ::kill(pid, SIGKILL);
        }
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // Starts the program with the stand-in browser; the arguments come after the common ones.
    pid_t Start(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv = {QM_PROGRAM, "--chromium", standIn, "--headless"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
            ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
            ::setenv("HOME", (root + "/home").c_str(), 1);
            ::setenv("TMPDIR", (root + "/tmp").c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::setenv("QM_STAND_IN_LOG", log.c_str(), 1);
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            if (const char* display = ::getenv("QM_TEST_DISPLAY")) {
                ::setenv("DISPLAY", display, 1);
                ::unsetenv("QT_QPA_PLATFORM");
            }
            const int quiet = ::open((root + "/program.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            ::dup2(quiet, 2);
            std::vector<char*> args;
            for (auto& a : argv) {
                args.push_back(a.data());
            }
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        return pid;
    }
    pid_t StartFirst(const std::vector<std::string>& arguments) {
        const pid_t pid = Start(arguments);
        started.push_back(pid);
        return pid;
    }
    // Runs a later start to its end; its exit code, or -1 when it had to be stopped.
    int RunLater(const std::vector<std::string>& arguments, int timeoutMs = 15000) {
        const pid_t pid = Start(arguments);
        int status = 0;
        const bool ended = WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs);
        if (!ended) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Waits for a run's own end after a signal; its exit status as waitpid gives it.
    bool Ends(pid_t pid, int& status, int timeoutMs = 15000) {
        const bool ended = WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs);
        if (ended) {
            std::erase(started, pid);
        }
        return ended;
    }
    // The watch is in place once the browser has been told to stop every page request.
    bool Watching(int browsers = 1) {
        return WaitUntil([&] { return Count(Read(log), "Fetch.enable") >= browsers; });
    }
    std::string ProgramLog() { return Read(root + "/program.log"); }

    std::string root;
    std::string standIn;
    std::string log;
    std::vector<pid_t> started;
};

TEST_F(LifetimeTest, ALaterStartHandsItsRequestToTheFirstCopyWhichOutlivesItsBrowser) {
    const pid_t first = StartFirst({});
    ASSERT_TRUE(Watching()) << ProgramLog();
    ASSERT_EQ(Browsers(log).size(), 1u);
    EXPECT_NE(Read(log).find("--user-data-dir=" + root + "/data/quillmere/profile"), std::string::npos)
        << "the lasting profile under XDG_DATA_HOME is the default";

    // With an address: the first copy opens it in its browser; no second browser is ever started.
    EXPECT_EQ(RunLater({"https://example.org/asked?for=1", "https://example.org/two"}), 0) << ProgramLog();
    EXPECT_TRUE(WaitUntil([&] {
        const std::string text = Read(log);
        return text.find("https://example.org/asked?for=1") != std::string::npos &&
               text.find("https://example.org/two") != std::string::npos;
    })) << Read(log);
    EXPECT_NE(Read(log).find("Target.createTarget"), std::string::npos);
    EXPECT_EQ(Browsers(log).size(), 1u) << "the later start started no browser of its own";

    // The person closes the browser: the program stays.
    ::kill(Browsers(log)[0], SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return Count(Read(log), "end ") == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, WNOHANG), 0) << "the program ended with its browser\n"
                                                     << ProgramLog();

    // Started again without an address: the browser comes back with a new window, under the watch.
    EXPECT_EQ(RunLater({}), 0) << ProgramLog();
    ASSERT_TRUE(WaitUntil([&] { return Browsers(log).size() == 2; })) << ProgramLog();
    EXPECT_TRUE(Watching(2)) << Read(log);
    // It starts blank: the new window's page is loaded only once the browser has announced its first
    // page to the watch (this stand-in announces none; the start-up tests in a real Chromium show it).
    EXPECT_EQ(Count(Read(log), "about:blank"), 2) << Read(log);

    // A stop signal ends the program and the browser it started.
    ::kill(first, SIGTERM);
    ASSERT_TRUE(Ends(first, status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(WaitUntil([&] { return Count(Read(log), "end ") == 2; })) << Read(log);
}

TEST_F(LifetimeTest, AProfileInUseByAnotherBrowserIsRefusedBeforeAnyBrowserStarts) {
    const std::string profile = root + "/home/.config/chromium";
    fs::create_directories(profile);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    // Held by a running browser of this computer (a program by the name of one, waiting).
    const std::string browserLike = root + "/chromium-browser";
    fs::copy_file("/bin/sleep", browserLike);
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::execl(browserLike.c_str(), "chromium-browser", "60", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    started.push_back(holder);
    ASSERT_TRUE(WaitUntil([&] {
        std::error_code error;
        return fs::read_symlink("/proc/" + std::to_string(holder) + "/exe", error) == browserLike;
    }));
    ASSERT_EQ(::symlink((std::string(host) + "-" + std::to_string(holder)).c_str(),
                        (profile + "/SingletonLock").c_str()),
              0);
    EXPECT_EQ(RunLater({"--user-data-dir", profile, "https://example.org/"}), 1);
    EXPECT_NE(ProgramLog().find("in use by another browser"), std::string::npos) << ProgramLog();
    EXPECT_NE(ProgramLog().find("--user-data-dir"), std::string::npos) << "it says what to do";
    EXPECT_TRUE(Browsers(log).empty()) << "no browser was started, so no page opened unwatched";

    // A lock left by a browser that has ended does not count, nor one whose number another program has
    // now; a lock of another computer does.
    const auto lockedBy = [&](const std::string& owner) {
        fs::remove(profile + "/SingletonLock");
        return ::symlink(owner.c_str(), (profile + "/SingletonLock").c_str()) == 0
                   ? cr::ProfileHolder(profile)
                   : "no lock";
    };
    EXPECT_EQ(lockedBy(std::string(host) + "-999999999"), "");
    EXPECT_EQ(lockedBy(std::string(host) + "-" + std::to_string(::getpid())), "");
    EXPECT_NE(lockedBy(std::string(host) + "x-1"), "");
    EXPECT_NE(lockedBy("garbage"), "");
}

TEST_F(LifetimeTest, ATemporaryProfileGoesHoweverTheProgramEnds) {
    for (const int signal : {SIGTERM, SIGINT, SIGKILL}) {
        fs::remove(log);
        const pid_t program = StartFirst({"--temp-profile"});
        ASSERT_TRUE(Watching()) << ProgramLog();
        const std::string text = Read(log);
        const std::size_t at = text.find("--user-data-dir=");
        ASSERT_NE(at, std::string::npos);
        const std::string profile = text.substr(at + 16, text.find(' ', at) - at - 16);
        EXPECT_EQ(profile.rfind(root + "/tmp/quillmere-profile-", 0), 0u) << profile;
        ASSERT_TRUE(fs::exists(profile));

        ::kill(program, signal);
        int status = 0;
        ASSERT_TRUE(Ends(program, status)) << strsignal(signal);
        EXPECT_TRUE(WaitUntil([&] { return !fs::exists(profile); })) << strsignal(signal) << ": " << profile;
        EXPECT_TRUE(WaitUntil([&] { return Count(Read(log), "end ") == 1; })) << strsignal(signal);
    }
}

// The X server goes away under the program: the toolkit ends the process at once, past every destructor.
TEST_F(LifetimeTest, ATemporaryProfileGoesWhenTheDisplayGoesAway) {
    if (::access("/usr/bin/Xvfb", X_OK) != 0) {
        GTEST_SKIP() << "Xvfb is not installed";
    }
    int display = 150 + ::getpid() % 500;
    while (fs::exists("/tmp/.X11-unix/X" + std::to_string(display)) ||
           fs::exists("/tmp/.X" + std::to_string(display) + "-lock")) {
        ++display;
    }
    const std::string name = ":" + std::to_string(display);
    const pid_t server = ::fork();
    if (server == 0) {
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        ::execl("/usr/bin/Xvfb", "Xvfb", name.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_TRUE(WaitUntil([&] { return fs::exists("/tmp/.X11-unix/X" + std::to_string(display)); }));

    ::setenv("QM_TEST_DISPLAY", name.c_str(), 1);
    const pid_t program = StartFirst({"--temp-profile", "-platform", "xcb"});
    ::unsetenv("QM_TEST_DISPLAY");
    ASSERT_TRUE(Watching()) << ProgramLog();
    const std::string text = Read(log);
    const std::size_t at = text.find("--user-data-dir=");
    ASSERT_NE(at, std::string::npos);
    const std::string profile = text.substr(at + 16, text.find(' ', at) - at - 16);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    int status = 0;
    ASSERT_TRUE(Ends(program, status)) << "the program outlived its display\n" << ProgramLog();
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(profile); })) << profile << "\n" << ProgramLog();
    EXPECT_TRUE(WaitUntil([&] { return Count(Read(log), "end ") == 1; }))
        << "the browser outlived the program";
}

// Shut Down stops watching and leaves the browser to the person; closing the pipe would end it, so a
// keeper holds the pipe until the browser ends.
TEST_F(LifetimeTest, ShutDownLeavesTheBrowserRunningUnwatched) {
    ::setenv("QM_STAND_IN_LOG", log.c_str(), 1);
    posix::PollEventLoop loop;
    cr::ChromiumOptions options;
    options.program = standIn;
    options.userDataDir = root + "/data/profile";
    {
        BrowserSession session(options, loop, loop);
        session.Start();
        ASSERT_TRUE(session.BrowserRunning());
        session.LeaveOpen();
    }
    ASSERT_EQ(Browsers(log).size(), 1u);
    const pid_t browser = Browsers(log)[0];
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const std::string text = Read(log);
    EXPECT_EQ(Count(text, "end "), 0) << "the browser ended with the program\n" << text;
    EXPECT_TRUE(Alive(browser));
    for (const char* letGo : {"Fetch.disable", "\"autoAttach\":false", "\"discover\":false"}) {
        EXPECT_NE(text.find(letGo), std::string::npos) << letGo;
    }

    // A browser on a temporary profile, or one without windows, is closed all the same.
    cr::ChromiumOptions temporary = options;
    temporary.userDataDir.clear();
    cr::ChromiumOptions headless = options;
    headless.headless = true;
    for (const cr::ChromiumOptions& closed : {temporary, headless}) {
        fs::remove(log);
        {
            BrowserSession session(closed, loop, loop);
            session.Start();
            session.LeaveOpen();
        }
        EXPECT_TRUE(WaitUntil([&] { return Count(Read(log), "end ") == 1; })) << closed.headless;
    }
    ::kill(browser, SIGTERM);
}

// With a real browser: it stays, and it is no longer held up by the program. A page that moves on by
// itself a moment after Shut Down gets its next page: nothing stops its requests any more.
TEST_F(LifetimeTest, ShutDownLeavesARealChromiumRunningAndUnhindered) {
    if (!cr::ChromiumAvailable()) {
        GTEST_SKIP() << "chromium is not installed";
    }
    cr::testing::TestHttpServer server;
    server.AddPage("/wait",
                   "<p>waiting</p><script>setTimeout(function(){location.href='/after'},2500)</script>");
    server.AddPage("/after", "<p>after</p>");
    posix::PollEventLoop loop;
    cr::ChromiumOptions options;
    options.extraArgs = cr::QuietTestFlags();
    options.userDataDir = root + "/data/chromium-profile";
    options.startUrl = server.Url("/wait");
    pid_t browser = -1;
    {
        BrowserSession session(options, loop, loop);
        session.Start();
        browser = static_cast<pid_t>(session.BrowserPid());
        ASSERT_GT(browser, 0);
        ASSERT_TRUE(loop.RunUntil([&] { return server.WasRequested("/wait"); }, 15000));
        session.LeaveOpen();
    }
    EXPECT_TRUE(WaitUntil([&] { return server.WasRequested("/after"); }, 15000))
        << "the page's next request was held up after Shut Down";
    EXPECT_TRUE(Alive(browser)) << "closing the program's ends of the pipe ended the browser";
    ::kill(-browser, SIGTERM);
    EXPECT_TRUE(WaitUntil([&] { return !Alive(browser); }, 15000));
    ::kill(-browser, SIGKILL);
}

// With a real browser: closed by the person (here: ended at once, as a crash would), it comes back on
// the next request, watched, and shows the page asked for.
TEST_F(LifetimeTest, AClosedChromiumComesBackWatchedOnTheNextRequest) {
    if (!cr::ChromiumAvailable()) {
        GTEST_SKIP() << "chromium is not installed";
    }
    cr::testing::TestHttpServer server;
    server.AddPage("/first", "<p>first</p>");
    server.AddPage("/again", "<p>again</p>");
    posix::PollEventLoop loop;
    cr::ChromiumOptions options;
    options.extraArgs = cr::QuietTestFlags();
    options.startUrl = server.Url("/first");
    BrowserSession session(options, loop, loop);
    session.Start();
    ASSERT_TRUE(loop.RunUntil([&] { return server.WasRequested("/first"); }, 20000));
    const auto first = static_cast<pid_t>(session.BrowserPid());
    ::kill(-first, SIGKILL);
    ASSERT_TRUE(loop.RunUntil([&] { return !session.BrowserRunning(); }, 10000)) << "the end went unnoticed";

    session.Open(server.Url("/again"));
    EXPECT_EQ(session.Starts(), 2);
    EXPECT_TRUE(session.BrowserRunning());
    EXPECT_TRUE(loop.RunUntil([&] { return server.WasRequested("/again"); }, 20000));
    EXPECT_TRUE(loop.RunUntil([&] { return !session.World()->Browsers().empty(); }, 10000))
        << "the new browser's window is watched";
}

TEST_F(LifetimeTest, TheKeeperEndsWithTheBrowser) {
    ::setenv("QM_STAND_IN_LOG", log.c_str(), 1);
    cr::ChromiumOptions options;
    options.program = standIn;
    options.userDataDir = root + "/data/profile";
    cr::ChromiumProcess process(options);
    process.TakePipe().reset();
    ASSERT_TRUE(process.LeaveRunning());
    const pid_t keeper = process.KeeperPid();
    ASSERT_TRUE(WaitUntil([&] { return Browsers(log).size() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(Alive(keeper));
    EXPECT_EQ(Count(Read(log), "end "), 0) << "the program's ends were closed, the keeper's hold the pipe";
    ::kill(Browsers(log)[0], SIGTERM);
    EXPECT_TRUE(WaitUntil([&] { return !Alive(keeper); })) << "the keeper stays only as long as the browser";
}

}  // namespace
}  // namespace qm::app
