// The smoke test's hands and eyes on the running program (see wine_probe.h). Every command prints what
// it saw and exits 0 on success; 3 means "not found", 1 an error.
//
//   window CLASS TITLE SECONDS          wait for a visible top-level window; print its rectangle
//   gone CLASS TITLE SECONDS            wait until no such window is left
//   texts CLASS TITLE SECONDS           wait for a visible top-level window; print the rectangle of each
//                                       such window and the class and text of each of its child windows
//   tray-tip TITLE                      find the notification-area tooltip TITLE; print its place
//   tray-click TITLE                    click the icon whose tooltip is TITLE with the mouse
//   tray-post                           stand in for the shell: report a click to the program's icon
//   click TITLE BUTTON                  press the button BUTTON of the program's window TITLE (a picture
//                                       button with a real click of the mouse)
//   click-at TITLE X Y                  a left click at client pixel X,Y of the program's window TITLE
//   answer TITLE BUTTON [TEXT]          answer a message box (Yes, No, OK) whose text contains TEXT
//   list TITLE                          print the lines of the list box of the program's window TITLE
//   show-countdown SECONDS              the program's countdown window, on top of the screen
//   ie-monitor                          a browser monitor on InternetExplorer.Application
//   service-rounds N                    time N rounds of the settings window's service status query

#include "platform/win32/wine_probe.h"

#include "platform/win32/win_api.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "monitor/ie_close_delay.h"
#include "monitor/ie_monitor.h"
#include "platform/win32/win_browser.h"
#include "platform/win32/win_guids.h"
#include "platform/win32/win_platform.h"
#include "shell/win_system.h"
#include "watch/ie_top_watcher.h"

namespace qm::win {
namespace {

constexpr wchar_t kFormClass[] = L"QuillmereForm";
constexpr wchar_t kDialogClass[] = L"#32770";

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = L"";
    ::GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = L"";
    // Timeout: a hung window must not hang the test.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                          &ignored);
    return text;
}

// The visible top-level windows of `cls` (any when empty) whose caption is `title` (any when empty).
std::vector<HWND> TopLevel(const std::wstring& cls, const std::wstring& title) {
    struct Query {
        std::wstring cls;
        std::wstring title;
        std::vector<HWND> found;
    } query{cls, title, {}};
    ::EnumWindows(
        [](HWND window, LPARAM lp) -> BOOL {
            auto& q = *reinterpret_cast<Query*>(lp);
            if (::IsWindowVisible(window) && (q.cls.empty() || ClassOf(window) == q.cls) &&
                (q.title.empty() || TextOf(window) == q.title)) {
                q.found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.found;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(
        parent,
        [](HWND child, LPARAM lp) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND WaitForWindow(const std::wstring& cls, const std::wstring& title, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        const std::vector<HWND> found = TopLevel(cls, title);
        if (!found.empty()) {
            return found.front();
        }
        ::Sleep(100);
    }
    return nullptr;
}

// Waits until no such window is left; false when one is still there after `seconds`.
bool WaitForNoWindow(const std::wstring& cls, const std::wstring& title, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (TopLevel(cls, title).empty()) {
            return true;
        }
        ::Sleep(100);
    }
    return false;
}

// The program's window `title`, waited for as a user waits for a window to appear; null, and a line that
// says so, when it does not.
HWND FindProgramWindow(const std::wstring& title) {
    const HWND form = WaitForWindow(kFormClass, title, 10);
    if (!form) {
        std::printf("no window \"%s\"\n", Narrow(title).c_str());
    }
    return form;
}

void PrintRect(const char* what, HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    std::printf("%s %ld %ld %ld %ld\n", what, r.left, r.top, r.right, r.bottom);
}

// Where each shown window `title` of class `cls` stands, and what its children say.
void PrintWindows(const std::wstring& cls, const std::wstring& title) {
    for (const HWND found : TopLevel(cls, title)) {
        PrintRect("window", found);
        for (const HWND child : Children(found)) {
            std::printf("child %s \"%s\"\n", Narrow(ClassOf(child)).c_str(), Narrow(TextOf(child)).c_str());
        }
    }
}

int PrintTexts(const std::wstring& cls, const std::wstring& title, int seconds) {
    if (!WaitForWindow(cls, title, seconds)) {
        return 3;
    }
    PrintWindows(cls, title);
    return 0;
}

// --- the notification area ------------------------------------------------------------------------

// One tool of a tooltip window of another process, read through memory lent in that process.
struct RemoteTool {
    HWND tooltip = nullptr;
    HWND owner = nullptr;
    RECT rect{};
    std::wstring text;
};

class RemoteBuffer {
  public:
    RemoteBuffer(DWORD pid, std::size_t size)
        : process_(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid)) {
        if (process_) {
            address_ = ::VirtualAllocEx(process_.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
        }
    }
    ~RemoteBuffer() {
        if (address_) {
            ::VirtualFreeEx(process_.Get(), address_, 0, MEM_RELEASE);
        }
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    explicit operator bool() const { return address_ != nullptr; }
    char* Address() const { return static_cast<char*>(address_); }
    bool Write(std::size_t offset, const void* data, std::size_t size) {
        return ::WriteProcessMemory(process_.Get(), Address() + offset, data, size, nullptr) != FALSE;
    }
    bool Read(std::size_t offset, void* data, std::size_t size) {
        return ::ReadProcessMemory(process_.Get(), Address() + offset, data, size, nullptr) != FALSE;
    }

  private:
    UniqueHandle process_;
    void* address_ = nullptr;
};

std::vector<RemoteTool> ToolsOf(HWND tooltip) {
    std::vector<RemoteTool> tools;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(tooltip, &pid);
    constexpr std::size_t kTextChars = 1024;
    RemoteBuffer buffer(pid, sizeof(TTTOOLINFOW) + kTextChars * sizeof(wchar_t));
    if (!buffer) {
        return tools;
    }
    DWORD_PTR count = 0;
    ::SendMessageTimeoutW(tooltip, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
    for (DWORD_PTR i = 0; i < count; ++i) {
        TTTOOLINFOW info{};
        info.cbSize = sizeof info;
        info.lpszText = reinterpret_cast<wchar_t*>(buffer.Address() + sizeof info);
        const wchar_t none = L'\0';
        DWORD_PTR ok = 0;
        if (!buffer.Write(0, &info, sizeof info) || !buffer.Write(sizeof info, &none, sizeof none) ||
            !::SendMessageTimeoutW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(buffer.Address()),
                                   SMTO_ABORTIFHUNG, 2000, &ok) ||
            !ok) {
            continue;
        }
        std::vector<wchar_t> text(kTextChars, L'\0');
        if (!buffer.Read(0, &info, sizeof info) ||
            !buffer.Read(sizeof info, text.data(), (kTextChars - 1) * sizeof(wchar_t))) {
            continue;
        }
        RemoteTool tool;
        tool.tooltip = tooltip;
        tool.owner = info.hwnd;
        tool.rect = info.rect;
        // A text given by callback or resource is not readable this way.
        if (info.lpszText != LPSTR_TEXTCALLBACKW && !IS_INTRESOURCE(info.lpszText)) {
            tool.text = text.data();
        }
        tools.push_back(tool);
    }
    return tools;
}

bool FindTrayTool(const std::wstring& title, RemoteTool& found) {
    struct Query {
        std::vector<HWND> tooltips;
    } query;
    // Tooltip windows are top-level windows, shown or not.
    ::EnumWindows(
        [](HWND window, LPARAM lp) -> BOOL {
            if (ClassOf(window) == TOOLTIPS_CLASSW) {
                reinterpret_cast<Query*>(lp)->tooltips.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&query));
    for (const HWND tooltip : query.tooltips) {
        for (const RemoteTool& tool : ToolsOf(tooltip)) {
            if (tool.text == title) {
                found = tool;
                return true;
            }
        }
    }
    return false;
}

POINT ToolCentre(const RemoteTool& tool) {
    POINT p{(tool.rect.left + tool.rect.right) / 2, (tool.rect.top + tool.rect.bottom) / 2};
    if (tool.rect.right <= tool.rect.left) {
        // A tool that covers its whole window.
        RECT client{};
        ::GetClientRect(tool.owner, &client);
        p = POINT{client.right / 2, client.bottom / 2};
    }
    ::ClientToScreen(tool.owner, &p);
    return p;
}

void ClickScreenAt(POINT p) {
    // Each event carries the place itself: a press sent while the pointer is still on its way (Wine
    // moves it through the X server) would land where the pointer was, on whatever lies there.
    const int width = std::max(2, ::GetSystemMetrics(SM_CXSCREEN));
    const int height = std::max(2, ::GetSystemMetrics(SM_CYSCREEN));
    const auto at = [&](DWORD flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>(p.x * 65535 / (width - 1));
        input.mi.dy = static_cast<LONG>(p.y * 65535 / (height - 1));
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
        ::SendInput(1, &input, sizeof(INPUT));
    };
    ::SetCursorPos(p.x, p.y);
    at(0);
    POINT now{};
    for (int i = 0; i < 20 && !(::GetCursorPos(&now) && now.x == p.x && now.y == p.y); ++i) {
        ::Sleep(50);
    }
    ::Sleep(100);
    at(MOUSEEVENTF_LEFTDOWN);
    ::Sleep(50);
    at(MOUSEEVENTF_LEFTUP);
}

int TrayTip(const std::wstring& title, bool click) {
    RemoteTool tool;
    // The shell may take a moment to show a new icon.
    for (int i = 0; i < 50 && !FindTrayTool(title, tool); ++i) {
        ::Sleep(100);
    }
    if (!tool.tooltip) {
        std::printf("no notification-area tooltip reads \"%s\"\n", Narrow(title).c_str());
        return 3;
    }
    const POINT centre = ToolCentre(tool);
    std::printf("tooltip \"%s\" of window class %s, icon at %ld,%ld\n", Narrow(tool.text).c_str(),
                Narrow(ClassOf(tool.owner)).c_str(), centre.x, centre.y);
    if (click) {
        ClickScreenAt(centre);
        std::printf("clicked at %ld,%ld\n", centre.x, centre.y);
    }
    return 0;
}

int TrayPost() {
    const HWND window = ::FindWindowW(L"QuillmereTrayIcon", nullptr);
    if (!window) {
        std::printf("the program has no icon window\n");
        return 3;
    }
    ::PostMessageW(window, Win32TrayIcon::kCallbackMessage, Win32TrayIcon::kIconId, WM_LBUTTONDOWN);
    ::PostMessageW(window, Win32TrayIcon::kCallbackMessage, Win32TrayIcon::kIconId, WM_LBUTTONUP);
    std::printf("posted a click to the icon's window\n");
    return 0;
}

// --- the program's windows ------------------------------------------------------------------------

int ClickButton(const std::wstring& title, const std::wstring& caption) {
    if (!FindProgramWindow(title)) {
        return 3;
    }
    // Without a title any of the program's windows may be the one: each that is shown is looked through.
    for (const HWND form : TopLevel(kFormClass, title)) {
        for (const HWND child : Children(form)) {
            if (ClassOf(child) == L"Button" && TextOf(child) == caption) {
                if (!::IsWindowEnabled(child)) {
                    std::printf("button \"%s\" is disabled\n", Narrow(caption).c_str());
                    return 4;
                }
                // Posted: the click may open a modal window, which must not hold this program up.
                ::PostMessageW(child, BM_CLICK, 0, 0);
                std::printf("pressed \"%s\"\n", Narrow(caption).c_str());
                return 0;
            }
            if (ClassOf(child) == L"QuillmereImageButton" && TextOf(child) == caption) {
                // The program's picture buttons answer the mouse only: a real click at the button's middle.
                RECT r{};
                ::GetWindowRect(child, &r);
                const POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
                const HWND under = ::WindowFromPoint(middle);
                ClickScreenAt(middle);
                std::printf("clicked \"%s\" at %ld,%ld (the window there: %s \"%s\")\n",
                            Narrow(caption).c_str(), middle.x, middle.y,
                            under ? Narrow(ClassOf(under)).c_str() : "none",
                            under ? Narrow(TextOf(under)).c_str() : "");
                return 0;
            }
        }
    }
    std::printf("no button \"%s\" in \"%s\"; the windows shown:\n", Narrow(caption).c_str(),
                Narrow(title).c_str());
    PrintWindows(kFormClass, title);
    return 3;
}

int ClickAt(const std::wstring& title, int x, int y) {
    const HWND form = FindProgramWindow(title);
    if (!form) {
        return 3;
    }
    const LPARAM at = MAKELPARAM(x, y);
    ::PostMessageW(form, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(form, WM_LBUTTONUP, 0, at);
    std::printf("clicked \"%s\" at %d,%d\n", Narrow(title).c_str(), x, y);
    return 0;
}

int Answer(const std::wstring& title, const std::wstring& button, const std::wstring& text) {
    const HWND box = WaitForWindow(kDialogClass, title, 10);
    if (!box) {
        std::printf("no message box \"%s\"\n", Narrow(title).c_str());
        return 3;
    }
    std::wstring shown;
    for (const HWND child : Children(box)) {
        if (ClassOf(child) == L"Static") {
            shown += TextOf(child);
        }
    }
    std::printf("message box: %s\n", Narrow(shown).c_str());
    if (!text.empty() && shown.find(text) == std::wstring::npos) {
        std::printf("expected the text \"%s\"\n", Narrow(text).c_str());
        return 4;
    }
    const int id = button == L"Yes" ? IDYES : button == L"No" ? IDNO : IDOK;
    if (!::GetDlgItem(box, id)) {
        std::printf("the message box has no button %s\n", Narrow(button).c_str());
        return 4;
    }
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
    std::printf("answered %s\n", Narrow(button).c_str());
    return 0;
}

int ListLines(const std::wstring& title) {
    const HWND form = FindProgramWindow(title);
    if (!form) {
        return 3;
    }
    for (const HWND child : Children(form)) {
        if (ClassOf(child) != L"ListBox") {
            continue;
        }
        const LRESULT count = ::SendMessageW(child, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t line[1024] = L"";
            if (::SendMessageW(child, LB_GETTEXTLEN, i, 0) < 1024) {
                ::SendMessageW(child, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
            }
            const bool selected = ::SendMessageW(child, LB_GETSEL, i, 0) > 0;
            std::printf("line %s%s\n", Narrow(line).c_str(), selected ? " (selected)" : "");
        }
        return 0;
    }
    std::printf("no list in \"%s\"\n", Narrow(title).c_str());
    return 3;
}

// --- the program's own windows, run here --------------------------------------------------------

// Starts a copy of the program in this process, as the program's own entry point does (OLE, the Windows
// platform, WinSystem::Main), runs `probe` on it and returns what the probe returns; 2 when another copy
// runs already, which makes this one end at once. The copy ends with the call.
template <typename Probe>
int WithRunningProgram(Probe probe) {
    const OleScope ole;
    Win32Platform windows;
    WinSystem app(windows.platform);
    app.Main();
    if (!app.Running()) {
        std::printf("the program runs already\n");
        return 2;
    }
    return probe(windows, app);
}

// What the system holds as the outline of the shown window `shown` with screen rectangle `r`: which
// corners are cut away, and what the pointer finds at a cut corner and at the centre.
void ReportOutline(HWND shown, const RECT& r) {
    const UniqueGdiObject region(::CreateRectRgn(0, 0, 0, 0));
    const int kind = ::GetWindowRgn(shown, static_cast<HRGN>(region.Get()));
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const auto inside = [&](int x, int y) {
        return ::PtInRegion(static_cast<HRGN>(region.Get()), x, y) != 0;
    };
    // What the pointer finds there: what lies below where the corner is cut away, the window elsewhere.
    const auto hits = [&](int x, int y) {
        return ::GetAncestor(::WindowFromPoint(POINT{x, y}), GA_ROOT) == shown;
    };
    const bool cornerHitsWindow = hits(r.left, r.top);
    const bool centreHitsWindow = hits(r.left + width / 2, r.top + height / 2);
    const char* kindText = kind == ERROR ? "none" : kind == SIMPLEREGION ? "simple" : "complex";
    std::printf("region %s; corner 0,0 %s; centre %s; the pointer finds %s at the corner, %s at the centre\n",
                kindText, kind != ERROR && !inside(0, 0) ? "cut" : "kept",
                kind != ERROR && inside(width / 2, height / 2) ? "kept" : "cut",
                cornerHitsWindow ? "the window" : "what lies below",
                centreHitsWindow ? "the window" : "what lies below");
}

// The countdown window as the user sees it, on top of the screen for `seconds`, with its outline.
int ShowCountdown(int seconds) {
    return WithRunningProgram([seconds](Win32Platform& windows, WinSystem& app) {
        auto delay = std::make_shared<IECloseDelay>(app);
        delay->Load();
        delay->TextURL.SetText("http://ads.example.com/popup.html");
        delay->Execute();
        windows.loop.DoEvents();
        RECT r{};
        HWND shown = nullptr;
        for (const HWND w : TopLevel(kFormClass, L"")) {
            shown = w;
        }
        ::GetWindowRect(shown, &r);
        std::printf("countdown window %ld %ld %ld %ld visible %d\n", r.left, r.top, r.right, r.bottom,
                    shown && ::IsWindowVisible(shown) ? 1 : 0);
        ReportOutline(shown, r);
        std::fflush(stdout);
        auto end = windows.loop.CreateTimer([&] { windows.loop.Quit(); });
        end->Start(seconds * 1000);
        windows.loop.Run();
        std::printf("countdown shown\n");
        std::fflush(stdout);
        return 0;
    });
}

// Pumps the loop until `done` or `limitMs` has passed.
template <typename F>
bool PumpUntil(Win32EventLoop& loop, F done, int limitMs) {
    const DWORD start = ::GetTickCount();
    while (!done() && static_cast<int>(::GetTickCount() - start) < limitMs) {
        loop.DoEvents();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done();
}

DWORD ProcessNamed(const wchar_t* name) {
    const UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (snapshot.Get() == INVALID_HANDLE_VALUE) {
        return 0;
    }
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, name) == 0) {
            return entry.th32ProcessID;
        }
    }
    return 0;
}

// Ends the process `pid` at once and waits for it to be gone; false when it cannot be ended.
bool EndProcessNow(DWORD pid) {
    const UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process || !::TerminateProcess(process.Get(), 1)) {
        return false;
    }
    ::WaitForSingleObject(process.Get(), 10000);
    return true;
}

// Prints one check of a probe and counts the failed ones.
class CheckList {
  public:
    void Report(bool ok, const char* what) {
        std::printf("%s  %s\n", ok ? "ok  " : "FAIL", what);
        failures_ += ok ? 0 : 1;
    }
    int ExitCode() const { return failures_ == 0 ? 0 : 1; }

  private:
    int failures_ = 0;
};

// Once the browser's process has been killed, the hub's IsIEValid answers false without an error and the
// monitor ends itself.
int CheckGoneBrowser(Win32Platform& windows,
                     WinSystem& app,
                     const std::shared_ptr<Win32Browser>& browser,
                     const std::shared_ptr<IEMonitor>& monitor,
                     CheckList& checks) {
    const DWORD pid = ProcessNamed(L"iexplore.exe");
    if (pid == 0) {
        std::printf("the browser runs in no process of its own here; the gone-process check is left out\n");
        return checks.ExitCode();
    }
    if (!EndProcessNow(pid)) {
        std::printf("the browser's process %lu cannot be ended\n", pid);
        return 1;
    }
    std::printf("ended the browser's process %lu\n", pid);
    bool valid = true;
    bool threw = false;
    const DWORD start = ::GetTickCount();
    try {
        valid = app.Hub().IsIEValid(browser);
    } catch (const std::exception&) {
        threw = true;
    }
    const DWORD took = ::GetTickCount() - start;
    checks.Report(!valid && !threw, "IsIEValid answers false, without an error, for the gone browser");
    std::printf("      (the answer took %lu ms)\n", took);
    const bool ended = PumpUntil(
        windows.loop, [&] { return !monitor->Loaded() && app.Hub().IEMonitors.empty(); }, 5000);
    checks.Report(ended, "the monitor ended itself and left the hub's list once its browser had gone");
    std::fflush(stdout);
    return checks.ExitCode();
}

// A monitor of the program on an InternetExplorer.Application object (in a process of its own): it sees
// BeforeNavigate2 when the object is told to navigate; once that process has been killed, the hub's
// IsIEValid answers false without an error and the monitor ends itself.
int IeMonitor() {
    return WithRunningProgram([](Win32Platform& windows, WinSystem& app) {
        ComPtr<IWebBrowser2> raw;
        const HRESULT hr = ::CoCreateInstance(kClsidInternetExplorer, nullptr, CLSCTX_LOCAL_SERVER,
                                              kIidIWebBrowser2, reinterpret_cast<void**>(raw.Put()));
        if (FAILED(hr) || !raw) {
            std::printf("no InternetExplorer.Application object: %s\n",
                        ErrorText(static_cast<DWORD>(hr)).c_str());
            return 1;
        }
        auto browser = std::make_shared<Win32Browser>(std::move(raw));
        CheckList checks;
        checks.Report(app.Hub().IsIEValid(browser), "IsIEValid answers true for the live browser");

        // As the hub adds a browser it is told of (Wine's shell keeps no list of browser windows to tell it).
        auto monitor = std::make_shared<IEMonitor>(app);
        monitor->Load();
        monitor->SetIE(browser);
        app.Hub().IEMonitors.push_back(monitor);
        std::printf("monitor attached; page bound: %s\n",
                    monitor->Bound() ? "yes" : "no (Wine has no HTML engine)");
        const Tick before = monitor->BeforeNavigateTick();
        browser->Navigate("http://www.example.com/");
        const bool seen = PumpUntil(
            windows.loop, [&] { return monitor->BeforeNavigateTick() != before; }, 10000);
        checks.Report(seen, "the monitor saw BeforeNavigate2");
        return CheckGoneBrowser(windows, app, browser, monitor, checks);
    });
}

// How long the service control manager takes for the settings window's status tick (open, open, query,
// close, close), `rounds` times over.
int ServiceRounds(int rounds) {
    Win32ServiceManager services;
    DWORD slowest = 0;
    const DWORD start = ::GetTickCount();
    for (int i = 0; i < rounds; ++i) {
        const DWORD before = ::GetTickCount();
        const ScHandle manager(services, services.OpenSCManager(SC_MANAGER_CONNECT));
        const ScHandle service(services,
                               services.OpenService(manager.Value(), "Messenger", SERVICE_QUERY_STATUS));
        ServiceStatus status;
        services.QueryServiceStatus(service.Value(), status);
        slowest = std::max<DWORD>(slowest, ::GetTickCount() - before);
    }
    std::printf("%d rounds in %lu ms, the slowest %lu ms\n", rounds, ::GetTickCount() - start, slowest);
    return 0;
}

}  // namespace

int RunProbe(int argc, wchar_t** argv) {
    if (argc < 2) {
        return -1;
    }
    const std::wstring command = argv[1];
    const auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };
    int result = -1;
    try {
        if (command == L"window" || command == L"gone") {
            const int seconds = _wtoi(arg(4).c_str());
            if (command == L"window") {
                const HWND found = WaitForWindow(arg(2), arg(3), seconds);
                if (found) {
                    PrintRect("window", found);
                }
                result = found ? 0 : 3;
            } else {
                result = WaitForNoWindow(arg(2), arg(3), seconds) ? 0 : 3;
            }
        } else if (command == L"texts") {
            result = PrintTexts(arg(2), arg(3), _wtoi(arg(4).c_str()));
        } else if (command == L"tray-tip" || command == L"tray-click") {
            result = TrayTip(arg(2), command == L"tray-click");
        } else if (command == L"tray-post") {
            result = TrayPost();
        } else if (command == L"click") {
            result = ClickButton(arg(2), arg(3));
        } else if (command == L"click-at") {
            result = ClickAt(arg(2), _wtoi(arg(3).c_str()), _wtoi(arg(4).c_str()));
        } else if (command == L"answer") {
            result = Answer(arg(2), arg(3), arg(4));
        } else if (command == L"list") {
            result = ListLines(arg(2));
        } else if (command == L"show-countdown") {
            result = ShowCountdown(argc >= 3 ? _wtoi(argv[2]) : 5);
        } else if (command == L"service-rounds") {
            result = ServiceRounds(_wtoi(arg(2).c_str()));
        } else if (command == L"ie-monitor") {
            result = IeMonitor();
        }
    } catch (const PlatformError& e) {
        std::printf("error %d from %s: %s\n", e.Number(), e.Source().c_str(), e.what());
        result = 1;
    }
    std::fflush(stdout);
    return result;
}

}  // namespace qm::win
