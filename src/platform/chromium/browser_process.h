#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/chromium/browser_pipe.h"

namespace qm::cr {

// How to start the browser.
struct ChromiumOptions {
    // The browser's program: Debian's wrapper script by default on Linux; on Windows the program picks
    // Edge or Chrome where they are installed.
    std::string program = DefaultProgram();
    // Without a window of its own (--headless=new).
    bool headless = false;
    // A profile folder of the program's own; empty: a fresh temporary folder that is removed again when
    // the browser is gone.
    std::string userDataDir;
    // The first page to show. The browser itself starts on a blank page; the start page is handed to
    // ChromiumWorld::Start, which loads it once the program watches the browser.
    std::string startUrl = "about:blank";
    // More command-line flags.
    std::vector<std::string> extraArgs;
    // The browser's own output goes to the program's stderr instead of nowhere.
    bool showBrowserOutput = false;

    // The browser a start without --browser runs (defined per system).
    static std::string DefaultProgram();
};

// The flags the tests and benchmarks start the browser with (headless, no sandbox, no background work).
std::vector<std::string> QuietTestFlags();

// The browser's command line, the program first: headless unless the extra flags say how, the extra
// flags, the protocol on the private pipe (`pipeFlags`: how this system hands the pipe's ends over), the
// profile, and a blank first page. The start page is loaded by the program once it watches the browser
// (ChromiumWorld::Start), so that no page runs before the program can see it.
std::vector<std::string> BrowserArguments(const ChromiumOptions& options,
                                          const std::string& userDataDir,
                                          const std::vector<std::string>& pipeFlags);

// The number of the PlatformError that says a profile folder is in use by a browser this program did
// not start.
inline constexpr int kErrorProfileInUse = 16;

// The browser's process, started with the DevTools protocol on a private pipe (no TCP port is opened).
// Destroying the object ends the browser (politely, then by force) and removes a temporary profile;
// LeaveRunning hands it to the person instead. Each system has its own (see StartBrowser).
class BrowserProcess {
  public:
    BrowserProcess() = default;
    BrowserProcess(const BrowserProcess&) = delete;
    BrowserProcess& operator=(const BrowserProcess&) = delete;
    virtual ~BrowserProcess() = default;

    // The program's ends of the pipe, handed over once to the connection.
    virtual std::unique_ptr<BrowserPipe> TakePipe() = 0;
    // The browser's process id, or -1 once it has ended (or been left to the person).
    virtual std::int64_t Id() const = 0;
    virtual const std::string& UserDataDir() const = 0;

    // Kills the browser and all its helpers at once, as a crash would.
    virtual void Kill() = 0;
    // Waits up to `timeoutMs` for the browser to end by itself; true once it has ended.
    virtual bool WaitForExit(int timeoutMs) = 0;
    bool Exited() const { return Id() <= 0; }

    // Lets the browser run on after this object and this program have gone. Closing the protocol pipe
    // would end the browser, so its ends go to a keeper that holds them until the browser ends. Call it
    // once the connection has been stopped. False, with the browser still this object's, when no keeper
    // could be started or the profile is temporary (it is removed, so the browser cannot stay).
    virtual bool LeaveRunning() = 0;
};

// Starts the browser (defined per system). Throws PlatformError when it cannot be started, with
// kErrorProfileInUse when another browser uses the profile folder (the browser is then not started at
// all: it would hand its pages to that browser, where nothing watches them).
std::unique_ptr<BrowserProcess> StartBrowser(const ChromiumOptions& options);

// Another browser's hold on the profile folder `userDataDir` (defined per system). Empty when no running
// browser holds it; otherwise a description of the holder ("process 1234 on this computer").
std::string ProfileHolder(const std::string& userDataDir);

// The browser program that `choice` names (defined per system): "edge", "chrome" (and on Linux
// "chromium") where that browser is installed, or a path to a program that may be run; empty choice:
// the system's default browser program. Empty when there is none.
std::string FindBrowser(const std::string& choice);

// Throws PlatformError(kErrorProfileInUse) naming the folder and its holder when a browser this program
// did not start holds the profile folder `userDataDir` (see ProfileHolder): started on it, the browser
// would hand its page to that one and end, and the page would run where nothing watches it.
void CheckProfileFree(const std::string& userDataDir);
[[noreturn]] void ThrowProfileInUse(const std::string& userDataDir, const std::string& holder);

// True when `program` exists and may be run (defined per system).
bool ChromiumAvailable(const std::string& program = ChromiumOptions::DefaultProgram());

}  // namespace qm::cr
