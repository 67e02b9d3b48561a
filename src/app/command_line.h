#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/chromium/browser_process.h"

namespace qm::app {

// A page as a data: address.
std::string DataUrl(const std::string& html);

// Reads one environment variable; null when it is not set. ::getenv in the program, a table in tests.
using Environment = std::function<const char*(const char*)>;

// The system the program runs on, for what its command line means there.
enum class HostSystem {
    Linux,    // a screen only where DISPLAY or WAYLAND_DISPLAY says so; data under XDG_DATA_HOME or HOME
    Windows,  // always a screen; data under LOCALAPPDATA
};

// Which browser profile the run uses.
enum class ProfileKind {
    Lasting,    // the program's own, kept under the user's data folder from run to run
    Given,      // a folder named with --user-data-dir
    Temporary,  // a fresh folder removed again at the end of the run (--temp-profile)
};

// What the command line asks for.
struct Arguments {
    enum class Action {
        Run,      // start (or hand the request to the copy that runs already)
        Help,     // print the usage to standard output and end with 0
        Version,  // print the version to standard output and end with 0
        Fail,     // print `error` and the usage hint to standard error and end with 2
    };
    Action action = Action::Run;
    std::string error;

    // How to start the browser; `browser.userDataDir` is filled in by ResolveProfile.
    cr::ChromiumOptions browser;
    // The browser the person chose with --browser ("edge", "chrome", "chromium" or a program's path);
    // empty when the command line does not say. cr::FindBrowser turns it into `browser.program`.
    std::string browserChoice;
    ProfileKind profile = ProfileKind::Lasting;
    // The interface language, "English" or "Chinese".
    std::string language;
    // The addresses the person asked for on the command line (--start-url and plain arguments), in
    // order; none when none was given. The first is the browser's first page; a copy that runs already
    // opens each in a watched window.
    std::vector<std::string> addresses;
};

// The usage text --help prints.
std::string UsageText();
// The line --version prints.
std::string VersionText();

// What --help, --version and a bad command line print, and where: the usage and the version to standard
// output with the exit code 0, the reason of a failure with a hint to standard error and the code 2.
// Returns -1 when the command line asks for a run, after printing nothing.
int AnswerWithoutRunning(const Arguments& args);

// Reads the program's command line (argv[0] is the program). Qt's own options (-platform, -display, ...)
// are let through for the toolkit. Never throws; a bad command line comes back as Action::Fail with the
// reason in `error`. The language follows a Chinese locale (LC_ALL, LC_MESSAGES, LANG) unless
// --language says otherwise; on Linux the browser runs headless when there is no display.
Arguments ParseArguments(const std::vector<std::string>& argv,
                         const Environment& environment,
                         HostSystem system = HostSystem::Linux);
// The process's own command line and environment (Linux).
Arguments ParseArguments(int argc, char** argv);

// The folder of the program's lasting data: $XDG_DATA_HOME/quillmere, or ~/.local/share/quillmere; on
// Windows %LOCALAPPDATA%\Quillmere. Empty when no such variable is set to an absolute path.
std::string UserDataFolder(const Environment& environment, HostSystem system = HostSystem::Linux);

// Fills in `args.browser.userDataDir` for the lasting profile (UserDataFolder()/profile); a given folder
// stays as it is and a temporary profile leaves it empty (the browser process makes one). False, with
// the reason in `why`, when there is no folder for a lasting profile.
bool ResolveProfile(Arguments& args,
                    const Environment& environment,
                    std::string& why,
                    HostSystem system = HostSystem::Linux);

}  // namespace qm::app
