#include "platform/chromium/win32/win_chromium_process.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "base/platform_error.h"
#include "platform/chromium/win32/win_browser_pipe.h"

namespace qm::cr {

namespace {

constexpr DWORD kCloseWaitMs = 2000;
constexpr DWORD kKillWaitMs = 5000;

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(win::Widen(utf8));
}

std::string EnvironmentFolder(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? win::Narrow(std::wstring_view(value, n)) : std::string();
}

// The program an "App Paths" entry names (its default value), quotes taken off; empty when none.
std::string AppPath(HKEY root, const wchar_t* exe) {
    const std::wstring key = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + exe;
    wchar_t value[MAX_PATH + 2] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return {};
    }
    std::wstring path(value);
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') {
        path = path.substr(1, path.size() - 2);
    }
    return win::Narrow(path);
}

// Where a browser is installed: its App Paths entries first (the person's, then the computer's), then
// the folders its installers use.
std::string FindInstalled(const wchar_t* exe, const std::vector<std::string>& folders) {
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        const std::string path = AppPath(root, exe);
        if (!path.empty() && ChromiumAvailable(path)) {
            return path;
        }
    }
    for (const std::string& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        const std::string path = folder + "\\" + win::Narrow(exe);
        if (ChromiumAvailable(path)) {
            return path;
        }
    }
    return {};
}

std::string FindEdge() {
    const std::string tail = "\\Microsoft\\Edge\\Application";
    return FindInstalled(L"msedge.exe", {EnvironmentFolder(L"ProgramFiles(x86)") + tail,
                                         EnvironmentFolder(L"ProgramFiles") + tail,
                                         EnvironmentFolder(L"LOCALAPPDATA") + tail});
}

std::string FindChrome() {
    const std::string tail = "\\Google\\Chrome\\Application";
    return FindInstalled(L"chrome.exe", {EnvironmentFolder(L"ProgramFiles") + tail,
                                         EnvironmentFolder(L"ProgramFiles(x86)") + tail,
                                         EnvironmentFolder(L"LOCALAPPDATA") + tail});
}

// A fresh profile folder under the user's temporary folder.
std::string MakeTemporaryProfile() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) {
        win::ThrowLastError("GetTempPathW");
    }
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::wstring folder = std::wstring(temp) + L"quillmere-profile-" + std::to_wstring(random());
        if (::CreateDirectoryW(folder.c_str(), nullptr)) {
            return win::Narrow(folder);
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            win::ThrowLastError("CreateDirectoryW");
        }
    }
    throw PlatformError("No fresh folder for a temporary browser profile", ERROR_ALREADY_EXISTS, "Chromium");
}

// Exactly these handles are inherited by the child, not every inheritable handle of the program.
class InheritedHandles {
  public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!::InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
            win::ThrowLastError("InitializeProcThreadAttributeList");
        }
        initialised_ = true;
        if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                         handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            win::ThrowLastError("UpdateProcThreadAttribute");
        }
    }
    ~InheritedHandles() {
        if (initialised_) {
            ::DeleteProcThreadAttributeList(list_);
        }
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

  private:
    std::vector<HANDLE> handles_;
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
    bool initialised_ = false;
};

win::UniqueFile CopyOf(const win::UniqueFile& handle) {
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), handle.Get(), ::GetCurrentProcess(), &copy, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
        return {};
    }
    return win::UniqueFile(copy);
}

std::wstring HandleNumber(const win::UniqueFile& handle) {
    return std::to_wstring(reinterpret_cast<std::uintptr_t>(handle.Get()));
}

}  // namespace

std::wstring QuoteCommandLine(const std::vector<std::wstring>& args) {
    std::wstring line;
    for (const std::wstring& arg : args) {
        if (!line.empty()) {
            line.push_back(L' ');
        }
        if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
            line += arg;
            continue;
        }
        // Backslashes double only before a quote (or the closing quote); a quote is escaped.
        line.push_back(L'"');
        std::size_t backslashes = 0;
        for (const wchar_t c : arg) {
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
            backslashes = 0;
            line.push_back(c);
        }
        line.append(backslashes * 2, L'\\');
        line.push_back(L'"');
    }
    return line;
}

std::string ChromiumOptions::DefaultProgram() {
    const std::string edge = FindEdge();
    return edge.empty() ? FindChrome() : edge;
}

std::string FindBrowser(const std::string& choice) {
    if (choice.empty()) {
        return ChromiumOptions::DefaultProgram();
    }
    if (choice == "edge") {
        return FindEdge();
    }
    if (choice == "chrome") {
        return FindChrome();
    }
    return ChromiumAvailable(choice) ? choice : std::string();
}

bool ChromiumAvailable(const std::string& program) {
    if (program.empty()) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(win::Widen(program).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ProfileHolder(const std::string& userDataDir) {
    // A running browser holds the profile's lock file open for itself alone.
    const std::wstring lock = win::Widen(userDataDir + "\\lockfile");
    win::UniqueFile file(::CreateFileW(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && ::GetLastError() == ERROR_SHARING_VIOLATION) {
        return "a browser that runs on this computer";
    }
    return {};
}

std::unique_ptr<BrowserProcess> StartBrowser(const ChromiumOptions& options) {
    return std::make_unique<WinChromiumProcess>(options);
}

WinChromiumProcess::WinChromiumProcess(const ChromiumOptions& options) {
    if (!ChromiumAvailable(options.program)) {
        throw PlatformError("The browser " +
                                (options.program.empty() ? std::string("(none found)") : options.program) +
                                " cannot be run",
                            ERROR_FILE_NOT_FOUND, "Chromium");
    }
    userDataDir_ = options.userDataDir;
    if (userDataDir_.empty()) {
        userDataDir_ = MakeTemporaryProfile();
        ownsUserDataDir_ = true;
    } else {
        CheckProfileFree(userDataDir_);
        std::error_code ignored;
        std::filesystem::create_directories(PathOf(userDataDir_), ignored);
    }
    try {
        Start(options);
    } catch (...) {
        RemoveTemporaryProfile();
        throw;
    }
}

void WinChromiumProcess::Start(const ChromiumOptions& options) {
    BrowserPipeEnds ends = CreateBrowserPipeEnds();
    const std::string pipeFlag =
        "--remote-debugging-io-pipes=" + win::Narrow(HandleNumber(ends.browserRead)) + "," +
        win::Narrow(HandleNumber(ends.browserWrite));
    std::vector<std::wstring> args;
    for (const std::string& arg :
         BrowserArguments(options, userDataDir_, {"--remote-debugging-pipe", pipeFlag})) {
        args.push_back(win::Widen(arg));
    }
    std::wstring commandLine = QuoteCommandLine(args);

    InheritedHandles inherited({ends.browserRead.Get(), ends.browserWrite.Get()});
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = inherited.Get();
    PROCESS_INFORMATION info{};
    const std::wstring program = win::Widen(options.program);
    // Suspended until it is in the job, so that no helper process starts outside it; without a console
    // window of its own (a browser has none; a console program started in its place would get one).
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup.StartupInfo, &info)) {
        win::ThrowLastError("CreateProcessW");
    }
    process_.Reset(info.hProcess);
    const win::UniqueHandle thread(info.hThread);
    pid_ = info.dwProcessId;

    job_.Reset(::CreateJobObjectW(nullptr, nullptr));
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits,
                                       sizeof limits) ||
            !::AssignProcessToJobObject(job_.Get(), process_.Get())) {
            // Without the job the browser is still ended on every ordinary way out; only a crash of the
            // program would leave it running.
            job_.Reset();
        }
    }
    ::ResumeThread(thread.Get());

    // The browser's ends close here, so that its exit shows as the end of the pipe.
    programRead_ = std::move(ends.programRead);
    programWrite_ = std::move(ends.programWrite);
    keptRead_ = CopyOf(programRead_);
    keptWrite_ = CopyOf(programWrite_);
}

WinChromiumProcess::~WinChromiumProcess() {
    programRead_.Reset();
    programWrite_.Reset();
    keptRead_.Reset();
    keptWrite_.Reset();
    if (process_) {
        // The end of its pipe asks the browser to close; it gets a moment before it is made to.
        if (!WaitForExit(static_cast<int>(kCloseWaitMs))) {
            Kill();
        }
    }
    job_.Reset();
    RemoveTemporaryProfile();
}

std::unique_ptr<BrowserPipe> WinChromiumProcess::TakePipe() {
    return std::make_unique<WinBrowserPipe>(std::move(programRead_), std::move(programWrite_));
}

std::int64_t WinChromiumProcess::Id() const {
    if (!process_ || ::WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0) {
        return -1;
    }
    return static_cast<std::int64_t>(pid_);
}

void WinChromiumProcess::Kill() {
    if (!process_) {
        return;
    }
    if (job_) {
        ::TerminateJobObject(job_.Get(), 1);
    }
    ::TerminateProcess(process_.Get(), 1);
    WaitForExit(static_cast<int>(kKillWaitMs));
}

bool WinChromiumProcess::WaitForExit(int timeoutMs) {
    if (!process_) {
        return true;
    }
    if (::WaitForSingleObject(process_.Get(), static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 0)) !=
        WAIT_OBJECT_0) {
        return false;
    }
    process_.Reset();
    return true;
}

bool WinChromiumProcess::LeaveRunning() {
    if (!process_ || ownsUserDataDir_ || !keptRead_ || !keptWrite_) {
        return false;
    }
    for (win::UniqueFile* kept : {&keptRead_, &keptWrite_}) {
        HANDLE inBrowser = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), kept->Get(), process_.Get(), &inBrowser, 0, FALSE,
                               DUPLICATE_SAME_ACCESS)) {
            return false;
        }
    }
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        ::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
        job_.Reset();
    }
    keptRead_.Reset();
    keptWrite_.Reset();
    programRead_.Reset();
    programWrite_.Reset();
    process_.Reset();
    return true;
}

void WinChromiumProcess::RemoveTemporaryProfile() {
    if (!ownsUserDataDir_ || userDataDir_.empty()) {
        return;
    }
    // The browser's helpers may hold files a moment longer than the browser itself.
    for (int attempt = 0; attempt < 20; ++attempt) {
        std::error_code error;
        std::filesystem::remove_all(PathOf(userDataDir_), error);
        if (!error) {
            return;
        }
        ::Sleep(100);
    }
}

}  // namespace qm::cr
