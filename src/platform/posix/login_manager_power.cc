#include "platform/posix/login_manager_power.h"

namespace qm::posix {

namespace {

// What the version record reports: Windows 2000 or later, of the NT family.
constexpr std::uint32_t kReportedMajorVersion = 5;
constexpr std::uint32_t kReportedMinorVersion = 1;
// The pseudo-handle of the own process, as the platform hands it out.
constexpr auto kCurrentProcess = static_cast<ProcessHandleValue>(~std::uintptr_t{0});
// The identifier the shutdown privilege carries.
constexpr Luid kShutdownPrivilegeLuid{19, 0};

// Flags of ExitWindowsEx that ask for something other than a plain restart.
constexpr std::uint32_t kExitWindowsShutdown = 0x01;
constexpr std::uint32_t kExitWindowsPowerOff = 0x08;

constexpr char kLogin1Service[] = "org.freedesktop.login1";
constexpr char kLogin1Object[] = "/org/freedesktop/login1";
constexpr char kLogin1Manager[] = "org.freedesktop.login1.Manager";

}  // namespace

LoginManagerPower::LoginManagerPower(CommandRunner runner) : runner_(std::move(runner)) {}

std::vector<std::string> LoginManagerPower::BusctlRebootCommand() {
    // The Boolean argument is the call's "interactive": the login manager may ask the user.
    return {"busctl",       "call",        "--allow-interactive-authorization=yes",
            kLogin1Service, kLogin1Object, kLogin1Manager,
            "Reboot",       "b",           "true"};
}

std::vector<std::string> LoginManagerPower::GdbusRebootCommand() {
    return {"gdbus",       "call",         "--system",
            "--dest",      kLogin1Service, "--object-path",
            kLogin1Object, "--method",     std::string(kLogin1Manager) + ".Reboot",
            "true"};
}

int LoginManagerPower::GetVersionEx(OsVersionInfo& info) {
    // The call checks the record's size as the platform's own does: a record of another size is refused.
    if (info.size != kVersionInfoSize) {
        return 0;
    }
    info.majorVersion = kReportedMajorVersion;
    info.minorVersion = kReportedMinorVersion;
    info.buildNumber = 0;
    info.platformId = kPlatformWin32Nt;
    return 1;
}

ProcessHandleValue LoginManagerPower::GetCurrentProcess() {
    return kCurrentProcess;
}

TokenHandleValue LoginManagerPower::OpenProcessToken(ProcessHandleValue process,
                                                     std::uint32_t /*desiredAccess*/) {
    if (process != kCurrentProcess) {
        return TokenHandleValue{};
    }
    const std::uintptr_t token = nextToken_++;
    tokens_.insert(token);
    return static_cast<TokenHandleValue>(token);
}

bool LoginManagerPower::LookupPrivilegeValue(const std::string& name, Luid& luid) {
    if (name != kShutdownPrivilegeName) {
        return false;
    }
    luid = kShutdownPrivilegeLuid;
    return true;
}

bool LoginManagerPower::AdjustTokenPrivileges(TokenHandleValue token,
                                              bool /*disableAll*/,
                                              const TokenPrivilege& /*newState*/) {
    return tokens_.count(static_cast<std::uintptr_t>(token)) != 0;
}

void LoginManagerPower::CloseToken(TokenHandleValue token) {
    tokens_.erase(static_cast<std::uintptr_t>(token));
}

bool LoginManagerPower::ExitWindowsEx(std::uint32_t flags, std::uint32_t /*reserved*/) {
    if ((flags & kExitWindowsReboot) == 0 || (flags & (kExitWindowsShutdown | kExitWindowsPowerOff)) != 0) {
        return false;
    }
    // A forcing flag is not honoured: the login manager always lets applications and the user have
    // their say.
    ProgramResult result = runner_(BusctlRebootCommand());
    if (!result.started) {
        result = runner_(GdbusRebootCommand());
    }
    return result.started && result.exitCode == 0;
}

}  // namespace qm::posix
