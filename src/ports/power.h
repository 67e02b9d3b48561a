#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace qm {

// Values of the platform's version, token and shutdown calls.
inline constexpr std::uint32_t kVersionInfoSize = 148;         // sizeof(OSVERSIONINFOA)
inline constexpr std::uint32_t kPlatformWin32Nt = 2;           // VER_PLATFORM_WIN32_NT
inline constexpr std::uint32_t kTokenAdjustPrivileges = 0x20;  // TOKEN_ADJUST_PRIVILEGES
inline constexpr std::uint32_t kTokenQuery = 0x08;             // TOKEN_QUERY
inline constexpr std::uint32_t kSePrivilegeEnabled = 2;        // SE_PRIVILEGE_ENABLED
inline constexpr std::uint32_t kExitWindowsReboot = 2;         // EWX_REBOOT
inline constexpr char kShutdownPrivilegeName[] = "SeShutdownPrivilege";

// The version record (OSVERSIONINFOA) as far as the program uses it.
struct OsVersionInfo {
    std::uint32_t size = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;
};

// A locally unique identifier (LUID).
struct Luid {
    std::uint32_t lowPart = 0;
    std::int32_t highPart = 0;
    friend bool operator==(const Luid&, const Luid&) = default;
};

// TOKEN_PRIVILEGES with its one entry.
struct TokenPrivilege {
    std::uint32_t count = 0;
    Luid luid;
    std::uint32_t attributes = 0;
};

// Process and token handles as the platform hands them out; the zero value is "no handle".
enum class ProcessHandleValue : std::uintptr_t {};
enum class TokenHandleValue : std::uintptr_t {};

// The operating system's version, the process token and the shutdown call: the calls the program needs to
// restart the machine, one for one. Calls are made on the user-interface thread. None throws: each
// reports failure through its result, as the platform's own calls do. A token returned by
// OpenProcessToken stays valid until CloseToken is called on it; the caller owns it (see TokenHandle).
class Power {
  public:
    Power() = default;
    Power(const Power&) = delete;
    Power& operator=(const Power&) = delete;
    virtual ~Power() = default;

    // GetVersionExA on `info`, whose size field the caller sets; returns the call's own result (1 on
    // success).
    virtual int GetVersionEx(OsVersionInfo& info) = 0;
    // GetCurrentProcess: the pseudo-handle of the own process.
    virtual ProcessHandleValue GetCurrentProcess() = 0;
    // OpenProcessToken; no handle on failure.
    virtual TokenHandleValue OpenProcessToken(ProcessHandleValue process, std::uint32_t desiredAccess) = 0;
    // LookupPrivilegeValueA on the local system; false on failure.
    virtual bool LookupPrivilegeValue(const std::string& name, Luid& luid) = 0;
    // AdjustTokenPrivileges(token, disableAll, &newState, 0, null, null); the call's result, true when it
    // returned non-zero.
    virtual bool AdjustTokenPrivileges(TokenHandleValue token,
                                       bool disableAll,
                                       const TokenPrivilege& newState) = 0;
    // CloseHandle on a token.
    virtual void CloseToken(TokenHandleValue token) = 0;
    // ExitWindowsEx; false when the system refused.
    virtual bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) = 0;
};

// A platform that cannot restart the machine: the version is unknown and every call fails.
Power& NoPower();

// Owns one process token and closes it when it goes.
class TokenHandle {
  public:
    TokenHandle(Power& power, TokenHandleValue value) : power_(power), value_(value) {}
    TokenHandle(const TokenHandle&) = delete;
    TokenHandle& operator=(const TokenHandle&) = delete;
    ~TokenHandle() {
        if (value_ != TokenHandleValue{}) {
            power_.CloseToken(value_);
        }
    }

    explicit operator bool() const { return value_ != TokenHandleValue{}; }
    TokenHandleValue Value() const { return value_; }

  private:
    Power& power_;
    TokenHandleValue value_;
};

}  // namespace qm
