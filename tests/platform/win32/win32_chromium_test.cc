// The Windows side of the Chromium adapter, for real under Wine: the browser's command line, the two
// named pipes with their overlapped reads, tasks posted to the message loop from the I/O thread, finding
// Edge and Chrome, the profile lock, and the browser's process (played by browser_stand_in.exe) from its
// start through a protocol call to its end, or to being left running.

#include "platform/win32/win_api.h"

#include <shellapi.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/platform_error.h"
#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/win32/win_browser_pipe.h"
#include "platform/chromium/win32/win_chromium_process.h"
#include "platform/win32/win32_check.h"
#include "platform/win32/win_event_loop.h"
#include "platform/win32/win_instance_door.h"

namespace qm::win {
namespace {

using cr::BrowserPipe;
using cr::WinBrowserPipe;

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::string StandInBrowser() {
    return Narrow(ProgramFolder() + L"\\browser_stand_in.exe");
}

bool ProcessRuns(DWORD pid) {
    const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    return process && ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

std::string ReadSome(HANDLE file) {
    char buffer[256] = {};
    DWORD got = 0;
    return ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) ? std::string(buffer, got) : std::string();
}

bool WriteAll(HANDLE file, const std::string& text) {
    DWORD written = 0;
    return ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

WIN32_TEST(QuotedCommandLineReadsBackAsTheSameWords) {
    const std::vector<std::vector<std::wstring>> cases = {
        {L"C:\\Program Files\\Microsoft\\Edge\\Application\\msedge.exe", L"--remote-debugging-pipe"},
        {L"b.exe", L"", L"two words", L"a\"quote", L"\"", L"ends\\", L"ends with space\\",
         L"\\\\server\\share\\"},
        {L"b.exe", L"--user-data-dir=C:\\Users\\Zoë Ş\\AppData\\Local\\Quillmere\\Profile", L"tab\there",
         L"back\\\\\"slashes"},
    };
    for (const auto& words : cases) {
        const std::wstring line = cr::QuoteCommandLine(words);
        int count = 0;
        LPWSTR* read = ::CommandLineToArgvW(line.c_str(), &count);
        CHECK(read != nullptr);
        CHECK_EQ(static_cast<std::size_t>(count), words.size());
        for (int i = 0; read && i < count && static_cast<std::size_t>(i) < words.size(); ++i) {
            if (words[static_cast<std::size_t>(i)] != read[i]) {
                CHECK(!"a word came back changed");
                std::printf("    %s became %s\n", Narrow(words[static_cast<std::size_t>(i)]).c_str(),
                            Narrow(read[i]).c_str());
            }
        }
        ::LocalFree(read);
    }
}

WIN32_TEST(BrowserPipeCarriesBothWaysAndSeesTheBrowserEnd) {
    cr::BrowserPipeEnds ends = cr::CreateBrowserPipeEnds();
    WinBrowserPipe pipe(std::move(ends.programRead), std::move(ends.programWrite));
    CHECK(pipe.Valid());

    CHECK(pipe.Write("to the browser", 1000));
    CHECK_EQ(ReadSome(ends.browserRead.Get()), std::string("to the browser"));

    CHECK(WriteAll(ends.browserWrite.Get(), "from the browser"));
    char buffer[64] = {};
    const std::ptrdiff_t n = pipe.Read(buffer, sizeof buffer);
    CHECK_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), std::string("from the browser"));

    // A read that waits while the browser's end closes answers the end.
    std::thread closer([&] {
        ::Sleep(100);
        ends.browserWrite.Reset();
    });
    CHECK_EQ(pipe.Read(buffer, sizeof buffer), BrowserPipe::kEnd);
    closer.join();
    // Writes into a pipe whose reader has gone fail.
    ends.browserRead.Reset();
    CHECK(!pipe.Write("nobody reads this", 1000));
}

WIN32_TEST(BrowserPipeReadIsInterruptedAndAStuckWriteGivesUp) {
    cr::BrowserPipeEnds ends = cr::CreateBrowserPipeEnds();
    WinBrowserPipe pipe(std::move(ends.programRead), std::move(ends.programWrite));
    std::atomic<std::ptrdiff_t> answer{1};
    std::thread reader([&] {
        char buffer[16];
        answer = pipe.Read(buffer, sizeof buffer);
    });
    ::Sleep(100);
    pipe.Interrupt();
    reader.join();
    CHECK_EQ(answer.load(), BrowserPipe::kInterrupted);
    char buffer[16];
    CHECK_EQ(pipe.Read(buffer, sizeof buffer), BrowserPipe::kInterrupted);  // and every later one

    // A browser that stops reading: more than the pipe holds cannot be written, and the write gives up.
    const std::string big(4 * 1024 * 1024, 'x');
    CHECK(!pipe.Write(big, 300));
}

WIN32_TEST(TasksPostedFromAnotherThreadRunInOrderOnTheLoopsThread) {
    Win32EventLoop loop;
    const DWORD loopThread = ::GetCurrentThreadId();
    constexpr int kTasks = 20000;  // more than a message queue holds
    std::vector<int> seen;
    bool onLoopThread = true;
    std::thread poster([&] {
        for (int i = 0; i < kTasks; ++i) {
            loop.PostTask([&, i] {
                seen.push_back(i);
                onLoopThread = onLoopThread && ::GetCurrentThreadId() == loopThread;
                if (seen.size() == kTasks) {
                    loop.Quit();
                }
            });
        }
    });
    const auto limit = loop.CreateTimer([&] { loop.Quit(); });
    limit->Start(20000);
    loop.Run();
    poster.join();
    CHECK_EQ(seen.size(), static_cast<std::size_t>(kTasks));
    bool inOrder = true;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        inOrder = inOrder && seen[i] == static_cast<int>(i);
    }
    CHECK(inOrder);
    CHECK(onLoopThread);
}

WIN32_TEST(BrowsersAreFoundThroughAppPathsAndNamedPathsMustExist) {
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msedge.exe";
    const std::string standIn = StandInBrowser();
    // The installers write the path with quotes or without.
    for (const std::wstring& value : {Widen(standIn), L"\"" + Widen(standIn) + L"\""}) {
        CHECK(::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, REG_SZ, value.c_str(),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS);
        CHECK_EQ(cr::FindBrowser("edge"), standIn);
        CHECK_EQ(cr::FindBrowser(""), standIn);  // Edge comes first
    }
    // An entry naming a program that is not there is no browser.
    const std::wstring gone = L"C:\\nowhere\\msedge.exe";
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, REG_SZ, gone.c_str(),
                      static_cast<DWORD>((gone.size() + 1) * sizeof(wchar_t)));
    CHECK(cr::FindBrowser("edge").empty());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());

    CHECK_EQ(cr::FindBrowser(standIn), standIn);
    CHECK(cr::FindBrowser("C:\\nowhere\\chrome.exe").empty());
    CHECK(cr::FindBrowser(Narrow(ProgramFolder())).empty());  // a folder is no program
}

WIN32_TEST(AProfileIsInUseWhileABrowserHoldsItsLockFile) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"quillmere-lock-test";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::string profile = Narrow(folder);
    CHECK(cr::ProfileHolder(profile).empty());
    {
        const UniqueFile lock(::CreateFileW((folder + L"\\lockfile").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                            nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        CHECK(static_cast<bool>(lock));
        CHECK(!cr::ProfileHolder(profile).empty());
    }
    CHECK(cr::ProfileHolder(profile).empty());  // a browser that has ended leaves no hold
    ::RemoveDirectoryW(folder.c_str());
}

// The stand-in browser's quiet script: a page, and an answer to every call, until the program lets go.
struct QuietBrowser {
    QuietBrowser() { ::SetEnvironmentVariableW(L"QM_STAND_IN_ARGS", L"--stand-in-script=quiet"); }
    ~QuietBrowser() { ::SetEnvironmentVariableW(L"QM_STAND_IN_ARGS", nullptr); }
    cr::ChromiumOptions Options(std::string userDataDir = {}) const {
        cr::ChromiumOptions options;
        options.program = StandInBrowser();
        options.userDataDir = std::move(userDataDir);
        return options;
    }
};

WIN32_TEST(TheBrowserAnswersOverItsPipeAndEndsWithItsJob) {
    const QuietBrowser quiet;
    std::string profile;
    {
        cr::WinChromiumProcess browser(quiet.Options());
        profile = browser.UserDataDir();
        CHECK(::GetFileAttributesW(Widen(profile).c_str()) != INVALID_FILE_ATTRIBUTES);
        const DWORD pid = static_cast<DWORD>(browser.Id());
        CHECK(ProcessRuns(pid));

        std::atomic<bool> closed{false};
        cr::CdpConnection connection(browser.TakePipe());
        connection.Start({{}, [&] { closed = true; }});
        try {
            const cr::Json version = connection.Call("Browser.getVersion");
            CHECK(version.value("product", std::string()).find("Chrome") != std::string::npos);
        } catch (const PlatformError& e) {
            CHECK(!"the browser did not answer over its pipe");
            std::printf("    %s\n", e.what());
        }
        browser.Kill();
        CHECK(browser.Exited());
        CHECK(!ProcessRuns(pid));
        for (int i = 0; i < 50 && !closed; ++i) {
            ::Sleep(100);
        }
        CHECK(closed.load());  // the killed browser's end of the pipe reached the connection
        connection.Stop();
    }
    // A temporary profile goes with the browser.
    CHECK(::GetFileAttributesW(Widen(profile).c_str()) == INVALID_FILE_ATTRIBUTES);
}

WIN32_TEST(ABrowserLeftRunningOutlivesItsProcessObject) {
    const QuietBrowser quiet;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::string profile = Narrow(std::wstring(temp) + L"quillmere-left-running");
    DWORD pid = 0;
    {
        cr::WinChromiumProcess browser(quiet.Options(profile));
        pid = static_cast<DWORD>(browser.Id());
        {
            cr::CdpConnection connection(browser.TakePipe());
            connection.Start({});
            connection.Call("Browser.getVersion");
            connection.Stop();  // the program's ends are closed; the kept copies hold the pipe
        }
        CHECK(browser.LeaveRunning());
        CHECK(browser.Exited());  // no longer the program's
    }
    ::Sleep(500);
    CHECK(ProcessRuns(pid));  // neither the closed pipe nor the job ended it
    const UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    ::TerminateProcess(process.Get(), 0);
    ::WaitForSingleObject(process.Get(), 5000);
}

WIN32_TEST(ABrowserThatCannotBeRunIsReportedAndLeavesNoProfile) {
    cr::ChromiumOptions options;
    options.program = "C:\\nowhere\\msedge.exe";
    bool thrown = false;
    try {
        cr::WinChromiumProcess browser(options);
    } catch (const PlatformError& e) {
        thrown = std::string(e.what()).find("C:\\nowhere\\msedge.exe") != std::string::npos;
    }
    CHECK(thrown);
}

// A later start hands its requests to the first copy's door; what is not a request of the program's
// kind, or has a line break in it, is refused, and nothing reaches the first copy from it.
WIN32_TEST(ALaterStartsRequestsReachTheFirstCopyAndNothingElseDoes) {
    Win32EventLoop loop;
    std::vector<std::string> received;
    std::vector<std::string> expected = {"http://a.example/", "", "http://\xE4\xB8\xAD.example/"};
    {
        const InstanceDoor door([&](std::string address) {
            received.push_back(std::move(address));
            if (received.size() == expected.size()) {
                loop.Quit();
            }
        });
        std::vector<bool> handed;
        LRESULT foreign = TRUE;
        std::thread later([&] {
            std::string why;
            const HWND window = ::FindWindowExW(HWND_MESSAGE, nullptr, L"QuillmereInstanceDoor", nullptr);
            COPYDATASTRUCT other{0x1234, 5, const_cast<char*>("hello")};
            foreign = ::SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&other));
            handed.push_back(InstanceDoor::Hand(expected[0], why));
            handed.push_back(InstanceDoor::Hand(expected[1], why));
            handed.push_back(InstanceDoor::Hand("http://a.example/\nsecond line", why));
            handed.push_back(InstanceDoor::Hand(std::string(InstanceDoor::kMaxRequestBytes + 1, 'a'), why));
            handed.push_back(InstanceDoor::Hand(expected[2], why));
        });
        const auto limit = loop.CreateTimer([&] { loop.Quit(); });
        limit->Start(10000);
        loop.Run();
        later.join();
        CHECK(foreign == FALSE);
        CHECK(handed == (std::vector<bool>{true, true, false, false, true}));
        CHECK(received == expected);
    }
    std::string why;
    CHECK(!InstanceDoor::Hand("http://b.example/", why));  // the door has gone with the first copy
    CHECK(!why.empty());
}

}  // namespace
}  // namespace qm::win
