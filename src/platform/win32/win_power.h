#pragma once

#include <cstdint>
#include <string>

#include "platform/win32/win_api.h"
#include "ports/power.h"

namespace qm::win {

// The version, the process token and the shutdown call, one for one.
class Win32Power final : public Power {
  public:
    int GetVersionEx(OsVersionInfo& info) override;
    ProcessHandleValue GetCurrentProcess() override;
    TokenHandleValue OpenProcessToken(ProcessHandleValue process, std::uint32_t desiredAccess) override;
    bool LookupPrivilegeValue(const std::string& name, Luid& luid) override;
    bool AdjustTokenPrivileges(TokenHandleValue token,
                               bool disableAll,
                               const TokenPrivilege& newState) override;
    void CloseToken(TokenHandleValue token) override;
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) override;
};

}  // namespace qm::win
