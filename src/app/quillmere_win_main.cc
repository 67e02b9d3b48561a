// The program on Windows: the portable core on the thread's message loop, watching Microsoft Edge or
// Google Chrome over the DevTools protocol on a private pipe, or, where neither is installed (or the
// person asks for it), Internet Explorer through COM.

#include "platform/win32/win_api.h"

#include <shellapi.h>

#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "app/browser_session.h"
#include "app/command_line.h"
#include "app/win_chromium_platform.h"
#include "base/platform_error.h"
#include "platform/win32/win_handles.h"
#include "platform/win32/win_instance_door.h"
#include "platform/win32/win_platform.h"
#include "shell/win_system.h"

namespace {

using qm::app::Arguments;

// Where the browser the person chose is remembered (the settings store's application and section).
constexpr char kBrowserSection[] = "Browser";
constexpr char kBrowserKey[] = "Choice";
// The choice that keeps the program on Internet Explorer.
constexpr char kInternetExplorer[] = "ie";

std::vector<std::string> CommandLineWords() {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> result;
    for (int i = 0; i < count && words; ++i) {
        result.push_back(qm::win::Narrow(words[i]));
    }
    ::LocalFree(words);
    return result;
}

int Tell(const std::string& text, UINT icon) {
    ::MessageBoxW(nullptr, qm::win::Widen(text).c_str(), qm::win::Widen(qm::kAppTitle).c_str(), MB_OK | icon);
    return 0;
}

// What --help, --version and a bad command line show: a program without a console says it in a message
// box. Returns the exit code, or -1 for a run.
int AnswerInABox(const Arguments& args) {
    switch (args.action) {
        case Arguments::Action::Help:
            Tell(qm::app::UsageText(), MB_ICONINFORMATION);
            return 0;
        case Arguments::Action::Version:
            Tell(qm::app::VersionText(), MB_ICONINFORMATION);
            return 0;
        case Arguments::Action::Fail:
            Tell("quillmere: " + args.error + "\n\n" + qm::app::UsageText(), MB_ICONERROR);
            return 2;
        case Arguments::Action::Run:
            break;
    }
    return -1;
}

// The browser program to watch: the one chosen on the command line (remembered for the next starts),
// else the one remembered, else Edge or Chrome where installed. Empty: Internet Explorer. Returns false
// when the chosen browser is not installed.
bool ChooseBrowser(Arguments& args, std::string& why) {
    qm::win::RegistrySettingsStore store;
    std::string choice = args.browserChoice;
    if (choice.empty()) {
        try {
            choice = store.GetSetting(qm::kAppTitle, kBrowserSection, kBrowserKey);
        } catch (const qm::PlatformError&) {
            choice.clear();  // a setting that cannot be read is no choice
        }
    }
    if (choice == kInternetExplorer) {
        args.browser.program.clear();
    } else {
        args.browser.program = qm::cr::FindBrowser(choice);
        if (args.browser.program.empty() && !args.browserChoice.empty()) {
            why = "no browser '" + args.browserChoice + "' is installed here";
            return false;
        }
    }
    if (!args.browserChoice.empty()) {
        try {
            store.SaveSetting(qm::kAppTitle, kBrowserSection, kBrowserKey, args.browserChoice);
        } catch (const qm::PlatformError&) {
            // Not remembered: the next start asks again.
        }
    }
    return true;
}

// The program watching Internet Explorer, as it always has.
int RunWithInternetExplorer() {
    qm::win::Win32Platform windows;
    qm::WinSystem app(windows.platform);
    app.Main();
    if (!app.Running()) {
        return 0;  // another copy runs already: end without a trace
    }
    qm::win::SetFatalErrorTitle(app.AppTitle());
    return windows.loop.Run();
}

// The program watching Edge or Chrome. The browser starts (on the program's own profile) only once this
// is the user's one copy; Shut Down leaves it open, any other end closes it.
int RunWithChromium(const Arguments& args) {
    qm::win::Win32EventLoop loop;
    bool shutDown = false;
    qm::win::Win32ProcessServices process([&] {
        shutDown = true;
        loop.Quit();
    });
    if (process.PrevInstance()) {
        // The copy that runs watches the browser already: it opens what this start asks for.
        std::vector<std::string> requests = args.addresses;
        if (requests.empty()) {
            requests.emplace_back();  // a new window
        }
        for (const std::string& address : requests) {
            std::string why;
            if (!qm::win::InstanceDoor::Hand(address, why)) {
                Tell("A copy of Quillmere runs already, but " + why + ".", MB_ICONINFORMATION);
                return 1;
            }
        }
        return 0;
    }
    qm::app::BrowserSession session(args.browser, loop, loop);
    try {
        session.Start();
    } catch (const qm::PlatformError& e) {
        std::string text = e.what();
        if (e.Number() == qm::cr::kErrorProfileInUse) {
            text +=
                "\n\nQuillmere watches only a browser it starts itself. Close that browser and start "
                "Quillmere "
                "again, or give Quillmere a profile of its own with --user-data-dir DIR.";
        }
        Tell(text, MB_ICONERROR);
        return 1;
    }
    // Later starts ask for windows; a request still queued when the run ends is dropped.
    bool running = true;
    const qm::win::InstanceDoor door([&](const std::string& address) {
        if (running) {
            session.Open(address);
        }
    });
    {
        qm::app::WinChromiumPlatform platform(loop, session.World(), process);
        qm::WinSystem app(platform.platform);
        app.SetStartupLanguage(args.language);
        app.Main();
        for (std::size_t i = 1; i < args.addresses.size(); ++i) {
            session.Open(args.addresses[i]);
        }
        if (app.Running()) {
            qm::win::SetFatalErrorTitle(app.AppTitle());
            loop.Run();
        }
        running = false;
        // The program's windows are not unloaded: it ends as an ended process does.
    }
    if (shutDown) {
        session.LeaveOpen();
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int exitCode = 0;
    try {
        const qm::win::OleScope ole;
        qm::win::SetFatalErrorTitle(qm::kAppTitle);
        Arguments args = qm::app::ParseArguments(
            CommandLineWords(), [](const char* name) { return std::getenv(name); },
            qm::app::HostSystem::Windows);
        if (const int code = AnswerInABox(args); code >= 0) {
            ::ExitProcess(static_cast<UINT>(code));
        }
        std::string why;
        if (!ChooseBrowser(args, why) || !qm::app::ResolveProfile(
                                             args, [](const char* name) { return std::getenv(name); }, why,
                                             qm::app::HostSystem::Windows)) {
            Tell("quillmere: " + why, MB_ICONERROR);
            ::ExitProcess(1);
        }
        exitCode = args.browser.program.empty() ? RunWithInternetExplorer() : RunWithChromium(args);
    } catch (const std::exception& e) {
        qm::win::ReportFatalError(e);
    }
    // The program ends as an ended process does: no window is unloaded and no timer fires again.
    ::ExitProcess(static_cast<UINT>(exitCode));
}
