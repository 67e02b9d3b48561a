#include "platform/win32/win_services.h"

#include <lmcons.h>

#include <algorithm>
#include <cstring>

#include "base/platform_error.h"

namespace qm::win {

namespace {

SC_HANDLE ToSc(ScHandleValue value) {
    return reinterpret_cast<SC_HANDLE>(static_cast<std::uintptr_t>(value));
}

ScHandleValue FromSc(SC_HANDLE handle) {
    return static_cast<ScHandleValue>(reinterpret_cast<std::uintptr_t>(handle));
}

void CopyStatus(const SERVICE_STATUS& from, ServiceStatus& to) {
    to.serviceType = from.dwServiceType;
    to.currentState = from.dwCurrentState;
    to.controlsAccepted = from.dwControlsAccepted;
    to.win32ExitCode = from.dwWin32ExitCode;
    to.serviceSpecificExitCode = from.dwServiceSpecificExitCode;
    to.checkPoint = from.dwCheckPoint;
    to.waitHint = from.dwWaitHint;
}

[[noreturn]] void ThrowFileError(DWORD code) {
    const FileErrorInfo info = FileErrorFor(code);
    throw PlatformError(info.description, info.number, "FileSystem");
}

}  // namespace

// --- settings --------------------------------------------------------------------------------------

std::wstring RegistrySettingsStore::KeyPath(const std::string& appName, const std::string& section) const {
    return root_ + L"\\" + Widen(appName) + L"\\" + Widen(section);
}

std::string RegistrySettingsStore::GetSetting(const std::string& appName,
                                              const std::string& section,
                                              const std::string& key) {
    HKEY raw = nullptr;
    LSTATUS rc =
        ::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(appName, section).c_str(), 0, KEY_QUERY_VALUE, &raw);
    if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) {
        return {};
    }
    if (rc != ERROR_SUCCESS) {
        ThrowError(static_cast<DWORD>(rc), "RegOpenKeyExW");
    }
    const UniqueRegKey hkey(raw);
    const std::wstring name = Widen(key);
    DWORD type = 0;
    DWORD size = 0;
    rc = ::RegQueryValueExW(hkey.Get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) {
        return {};
    }
    if (rc != ERROR_SUCCESS) {
        ThrowError(static_cast<DWORD>(rc), "RegQueryValueExW");
    }
    // Values of another type than text are not settings of this store.
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return {};
    }
    // The value may grow between the two calls: ask again until it fits.
    std::wstring text;
    for (;;) {
        text.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        rc = ::RegQueryValueExW(hkey.Get(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(text.data()), &bytes);
        if (rc == ERROR_MORE_DATA) {
            size = bytes;
            continue;
        }
        if (rc == ERROR_FILE_NOT_FOUND) {
            return {};
        }
        if (rc != ERROR_SUCCESS) {
            ThrowError(static_cast<DWORD>(rc), "RegQueryValueExW");
        }
        // The stored data need not end with a NUL, and may hold one early: the text ends at the first.
        text.resize(bytes / sizeof(wchar_t));
        const std::size_t nul = text.find(L'\0');
        if (nul != std::wstring::npos) {
            text.resize(nul);
        }
        return Narrow(text);
    }
}

void RegistrySettingsStore::SaveSetting(const std::string& appName,
                                        const std::string& section,
                                        const std::string& key,
                                        const std::string& setting) {
    HKEY raw = nullptr;
    LSTATUS rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(appName, section).c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (rc != ERROR_SUCCESS) {
        ThrowError(static_cast<DWORD>(rc), "RegCreateKeyExW");
    }
    const UniqueRegKey hkey(raw);
    const std::wstring value = Widen(setting);
    rc = ::RegSetValueExW(hkey.Get(), Widen(key).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS) {
        ThrowError(static_cast<DWORD>(rc), "RegSetValueExW");
    }
}

// --- service control manager ------------------------------------------------------------------------

ScHandleValue Win32ServiceManager::OpenSCManager(std::uint32_t desiredAccess) {
    return FromSc(::OpenSCManagerA(nullptr, nullptr, desiredAccess));
}

ScHandleValue Win32ServiceManager::OpenService(ScHandleValue manager,
                                               const std::string& serviceName,
                                               std::uint32_t desiredAccess) {
    if (manager == ScHandleValue{}) {
        return {};
    }
    return FromSc(::OpenServiceA(ToSc(manager), serviceName.c_str(), desiredAccess));
}

bool Win32ServiceManager::StartService(ScHandleValue service) {
    return service != ScHandleValue{} && ::StartServiceA(ToSc(service), 0, nullptr) != FALSE;
}

bool Win32ServiceManager::ControlService(ScHandleValue service,
                                         std::uint32_t control,
                                         ServiceStatus& status) {
    if (service == ScHandleValue{}) {
        return false;
    }
    SERVICE_STATUS raw{};
    const bool ok = ::ControlService(ToSc(service), control, &raw) != FALSE;
    // The status is filled in on success and for a few refusals (the service cannot take the control now).
    if (ok || raw.dwCurrentState != 0) {
        CopyStatus(raw, status);
    }
    return ok;
}

bool Win32ServiceManager::QueryServiceStatus(ScHandleValue service, ServiceStatus& status) {
    if (service == ScHandleValue{}) {
        return false;
    }
    SERVICE_STATUS raw{};
    if (!::QueryServiceStatus(ToSc(service), &raw)) {
        return false;
    }
    CopyStatus(raw, status);
    return true;
}

bool Win32ServiceManager::CloseServiceHandle(ScHandleValue handle) {
    return handle != ScHandleValue{} && ::CloseServiceHandle(ToSc(handle)) != FALSE;
}

// --- start-up list -----------------------------------------------------------------------------------

namespace {

HKEY ToKey(StartupKeyValue value) {
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(value));
}

}  // namespace

std::string DecodeRegistryData(DWORD type, const std::uint8_t* data, std::size_t size) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        if (!text.empty()) {
            std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
        }
        // One terminating NUL (two for a list of texts) is the value's end, not its content.
        while (!text.empty() && text.back() == L'\0') {
            text.pop_back();
        }
        return Narrow(text);
    }
    return std::string(reinterpret_cast<const char*>(data), size);
}

StartupKeyValue Win32StartupList::Open() {
    HKEY key = nullptr;
    // Whatever the user may do with the key: reading it is enough for the scan.
    if (::RegOpenKeyExW(root_, path_.c_str(), 0, MAXIMUM_ALLOWED, &key) != ERROR_SUCCESS) {
        return StartupKeyValue{};
    }
    return static_cast<StartupKeyValue>(reinterpret_cast<std::uintptr_t>(key));
}

StartupEnumResult Win32StartupList::EnumValue(StartupKeyValue key, std::uint32_t index, StartupValue& value) {
    if (key == StartupKeyValue{}) {
        return StartupEnumResult::NoMoreValues;
    }
    // The number of values bounds the enumeration: a key that fails every read (deleted meanwhile) ends
    // it instead of reporting one unreadable value after another.
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (::RegQueryInfoKeyW(ToKey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                           &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS ||
        index >= count) {
        return StartupEnumResult::NoMoreValues;
    }
    std::wstring name(longestName + 1, L'\0');
    std::vector<std::uint8_t> data(longestData + sizeof(wchar_t));
    // A value may grow between the two calls: ask again with more room until it fits.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LSTATUS rc = ::RegEnumValueW(ToKey(key), index, name.data(), &nameLength, nullptr, &type,
                                           data.data(), &dataSize);
        if (rc == ERROR_SUCCESS) {
            value.name = Narrow(std::wstring_view(name.data(), nameLength));
            value.data = DecodeRegistryData(type, data.data(), dataSize);
            return StartupEnumResult::Value;
        }
        if (rc == ERROR_NO_MORE_ITEMS) {
            return StartupEnumResult::NoMoreValues;
        }
        if (rc != ERROR_MORE_DATA) {
            return StartupEnumResult::Unreadable;
        }
        name.resize(std::max<std::size_t>(name.size() * 2, 16384));
        data.resize(std::max<std::size_t>(data.size() * 2, dataSize + sizeof(wchar_t)));
    }
    return StartupEnumResult::Unreadable;
}

bool Win32StartupList::DeleteValue(StartupKeyValue key, const std::string& name) {
    return key != StartupKeyValue{} && ::RegDeleteValueW(ToKey(key), Widen(name).c_str()) == ERROR_SUCCESS;
}

void Win32StartupList::Close(StartupKeyValue key) {
    if (key != StartupKeyValue{}) {
        ::RegCloseKey(ToKey(key));
    }
}

// --- version, token and shutdown --------------------------------------------------------------------

namespace {

HANDLE ToHandle(ProcessHandleValue value) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

HANDLE ToHandle(TokenHandleValue value) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

}  // namespace

int Win32Power::GetVersionEx(OsVersionInfo& info) {
    OSVERSIONINFOA raw{};
    raw.dwOSVersionInfoSize = info.size;
    // The record has one size; the call refuses any other, as the system's own does.
    if (info.size != sizeof raw) {
        return 0;
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL ok = ::GetVersionExA(&raw);
#pragma GCC diagnostic pop
    if (!ok) {
        return 0;
    }
    info.majorVersion = raw.dwMajorVersion;
    info.minorVersion = raw.dwMinorVersion;
    info.buildNumber = raw.dwBuildNumber;
    info.platformId = raw.dwPlatformId;
    return 1;
}

ProcessHandleValue Win32Power::GetCurrentProcess() {
    return static_cast<ProcessHandleValue>(reinterpret_cast<std::uintptr_t>(::GetCurrentProcess()));
}

TokenHandleValue Win32Power::OpenProcessToken(ProcessHandleValue process, std::uint32_t desiredAccess) {
    HANDLE token = nullptr;
    if (process == ProcessHandleValue{} || !::OpenProcessToken(ToHandle(process), desiredAccess, &token)) {
        return TokenHandleValue{};
    }
    return static_cast<TokenHandleValue>(reinterpret_cast<std::uintptr_t>(token));
}

bool Win32Power::LookupPrivilegeValue(const std::string& name, Luid& luid) {
    LUID raw{};
    if (!::LookupPrivilegeValueW(nullptr, Widen(name).c_str(), &raw)) {
        return false;
    }
    luid.lowPart = raw.LowPart;
    luid.highPart = raw.HighPart;
    return true;
}

bool Win32Power::AdjustTokenPrivileges(TokenHandleValue token,
                                       bool disableAll,
                                       const TokenPrivilege& newState) {
    if (token == TokenHandleValue{}) {
        return false;
    }
    // The record holds one entry; a count of more would make the call read past it.
    TOKEN_PRIVILEGES raw{};
    raw.PrivilegeCount = std::min<std::uint32_t>(newState.count, 1);
    raw.Privileges[0].Luid.LowPart = newState.luid.lowPart;
    raw.Privileges[0].Luid.HighPart = newState.luid.highPart;
    raw.Privileges[0].Attributes = newState.attributes;
    return ::AdjustTokenPrivileges(ToHandle(token), disableAll ? TRUE : FALSE, &raw, 0, nullptr, nullptr) !=
           FALSE;
}

void Win32Power::CloseToken(TokenHandleValue token) {
    if (token != TokenHandleValue{}) {
        ::CloseHandle(ToHandle(token));
    }
}

bool Win32Power::ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) {
    return ::ExitWindowsEx(flags, reserved) != FALSE;
}

// --- files ------------------------------------------------------------------------------------------

FileErrorInfo FileErrorFor(DWORD win32Error) {
    switch (win32Error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return {kErrFileNotFound, kFileNotFoundText};
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return {kErrPermissionDenied, kPermissionDeniedText};
        default:
            return {kErrPathFileAccess, kPathFileAccessText};
    }
}

std::vector<std::uint8_t> Win32FileSystem::ReadWholeFile(const std::string& path) {
    const UniqueFile file(::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        ThrowFileError(::GetLastError());
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) {
        ThrowFileError(::GetLastError());
    }
    if (size.QuadPart > 0x7FFFFFFF) {
        ThrowFileError(ERROR_FILE_TOO_LARGE);
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                        nullptr)) {
            ThrowFileError(::GetLastError());
        }
        if (got == 0) {
            // The file was cut short while it was read.
            ThrowFileError(ERROR_HANDLE_EOF);
        }
        done += got;
    }
    return bytes;
}

void Win32FileSystem::WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    const UniqueFile file(::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        ThrowFileError(::GetLastError());
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        if (!::WriteFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put,
                         nullptr) ||
            put == 0) {
            ThrowFileError(::GetLastError());
        }
        done += put;
    }
}

// --- desktop ----------------------------------------------------------------------------------------

ScreenPoint Win32Desktop::GetCursorPos() {
    POINT p{};
    if (!::GetCursorPos(&p)) {
        return {};
    }
    return {static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
}

std::int16_t Win32Desktop::GetAsyncKeyState(int virtualKey) {
    return static_cast<std::int16_t>(::GetAsyncKeyState(virtualKey));
}

std::int32_t Win32Desktop::ScreenWidthPixels() {
    return ::GetSystemMetrics(SM_CXSCREEN);
}

std::int32_t Win32Desktop::ScreenHeightPixels() {
    return ::GetSystemMetrics(SM_CYSCREEN);
}

std::int32_t Win32Desktop::TwipsPerPixel() {
    const WindowDc screen(nullptr);
    const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
    return dpi > 0 ? 1440 / dpi : 15;
}

int Win32Desktop::MessageBox(const std::string& text, const std::string& title, int style) {
    // Task-modal: the program's own windows wait for the answer, as they do for a modal window. The box
    // belongs to the program's active window, so that it stays in front of it.
    return ::MessageBoxW(::GetActiveWindow(), Widen(text).c_str(), Widen(title).c_str(),
                         static_cast<UINT>(style) | MB_TASKMODAL | MB_SETFOREGROUND);
}

std::intptr_t Win32Desktop::ShellExecute(const std::string& verb,
                                         const std::string& file,
                                         const std::string& parameters,
                                         const std::string& directory,
                                         int showCommand) {
    const std::wstring wVerb = Widen(verb);
    const std::wstring wFile = Widen(file);
    const std::wstring wParameters = Widen(parameters);
    const std::wstring wDirectory = Widen(directory);
    const HINSTANCE result = ::ShellExecuteW(nullptr, wVerb.empty() ? nullptr : wVerb.c_str(), wFile.c_str(),
                                             wParameters.empty() ? nullptr : wParameters.c_str(),
                                             wDirectory.empty() ? nullptr : wDirectory.c_str(), showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

bool Win32Desktop::GetComputerName(std::string& name, std::size_t bufferSize) {
    // The wide call: the name reaches the program as UTF-8 whatever the system's code page.
    std::wstring buffer(bufferSize, L'\0');
    DWORD size = static_cast<DWORD>(bufferSize);
    const bool ok = bufferSize > 0 && ::GetComputerNameW(buffer.data(), &size) != FALSE;
    name = Narrow(buffer);
    return ok;
}

// --- process ----------------------------------------------------------------------------------------

std::wstring InstanceMarkerName() {
    wchar_t user[UNLEN + 1] = L"";
    DWORD size = UNLEN + 1;
    if (!::GetUserNameW(user, &size)) {
        user[0] = L'\0';
    }
    std::wstring name = L"Local\\Quillmere.Running.";
    for (const wchar_t* c = user; *c; ++c) {
        // A backslash would name a namespace.
        name.push_back(*c == L'\\' ? L'_' : *c);
    }
    return name;
}

bool Win32ProcessServices::PrevInstance() {
    if (instanceMarker_) {
        return false;
    }
    UniqueHandle marker(::CreateEventW(nullptr, TRUE, FALSE, InstanceMarkerName().c_str()));
    const DWORD error = ::GetLastError();
    if (!marker) {
        // A marker of that name exists but is not ours to open: another copy of this user holds it.
        return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        return true;
    }
    instanceMarker_ = std::move(marker);
    return false;
}

void Win32ProcessServices::CreateMutex(const std::string& name) {
    UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, name.c_str()));
    if (mutex) {
        mutexes_.push_back(std::move(mutex));
    }
}

void Win32ProcessServices::InitCommonControls(unsigned structureSize, unsigned classFlags) {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = structureSize;
    icc.dwICC = classFlags;
    ::InitCommonControlsEx(&icc);
}

std::string Win32ProcessServices::AppPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return Narrow(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash));
}

void Win32ProcessServices::EndProcess() {
    if (endProcess_) {
        endProcess_();
    }
}

}  // namespace qm::win
