#include "platform/win32/win_power.h"

#include <algorithm>

#include "platform/win32/win_api.h"

namespace qm::win {

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

}  // namespace qm::win
