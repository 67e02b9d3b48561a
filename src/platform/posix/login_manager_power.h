#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/spawn_process.h"
#include "ports/power.h"

namespace qm::posix {

// Restarting the machine through the login manager (systemd-logind) on its system bus.
//
// The system answers as a current NT-family system, so the program takes its privilege step; the
// process and token calls succeed without touching anything, because on Linux the right to restart is
// decided by the login manager when it is asked. A restart is asked for interactively: the login
// manager may ask the user to confirm or to authenticate, and it never forces running applications
// closed. Any other request of ExitWindowsEx (log off, shut down, power off) is refused.
//
// The request is a command, `busctl call ... Reboot b true` (or the same call through `gdbus` where
// busctl is missing), run through a command runner the constructor takes so that tests restart nothing.
// The call waits until the login manager has answered; a command that fails or cannot be started makes
// ExitWindowsEx return false.
class LoginManagerPower final : public Power {
  public:
    using CommandRunner = std::function<ProgramResult(const std::vector<std::string>& argv)>;

    explicit LoginManagerPower(CommandRunner runner = RunProgram);

    // The two commands that ask the login manager for an interactive restart, in the order tried.
    static std::vector<std::string> BusctlRebootCommand();
    static std::vector<std::string> GdbusRebootCommand();

    // Power:
    int GetVersionEx(OsVersionInfo& info) override;
    ProcessHandleValue GetCurrentProcess() override;
    TokenHandleValue OpenProcessToken(ProcessHandleValue process, std::uint32_t desiredAccess) override;
    bool LookupPrivilegeValue(const std::string& name, Luid& luid) override;
    bool AdjustTokenPrivileges(TokenHandleValue token,
                               bool disableAll,
                               const TokenPrivilege& newState) override;
    void CloseToken(TokenHandleValue token) override;
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) override;

    // Tokens handed out and not closed yet.
    std::size_t OpenTokenCount() const { return tokens_.size(); }

  private:
    CommandRunner runner_;
    std::set<std::uintptr_t> tokens_;
    std::uintptr_t nextToken_ = 1;
};

}  // namespace qm::posix
