#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ports/power.h"

namespace qm::sim {

// The system's version, process token and shutdown call, scripted by tests: which version it reports,
// which call fails. Every call is recorded by name, in order, so tests see which calls happened.
class SimPower final : public Power {
  public:
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

    // Control side.
    // The version reported; by default Windows XP (NT 5.1).
    void SetVersion(std::uint32_t platformId, std::uint32_t majorVersion) {
        platformId_ = platformId;
        majorVersion_ = majorVersion;
    }
    // Makes the named call fail ("GetVersionEx", "GetCurrentProcess", "OpenProcessToken",
    // "LookupPrivilegeValue", "AdjustTokenPrivileges", "ExitWindowsEx").
    void Fail(const std::string& call) { failing_.push_back(call); }
    // The calls made so far, by name.
    const std::vector<std::string>& Calls() const { return calls_; }
    int CountOf(const std::string& call) const;
    // What the calls were given.
    std::uint32_t VersionSizeSeen() const { return versionSize_; }
    std::uint32_t TokenAccessSeen() const { return tokenAccess_; }
    const std::string& PrivilegeNameSeen() const { return privilegeName_; }
    const TokenPrivilege& PrivilegeSeen() const { return privilege_; }
    bool DisableAllSeen() const { return disableAll_; }
    std::uint32_t ExitFlagsSeen() const { return exitFlags_; }
    std::uint32_t ExitReservedSeen() const { return exitReserved_; }
    int OpenTokenCount() const { return openTokens_; }
    // The identifier the lookup gives for the shutdown privilege.
    static constexpr Luid kShutdownLuid{19, 0};

  private:
    bool Fails(const std::string& call);

    std::uint32_t platformId_ = kPlatformWin32Nt;
    std::uint32_t majorVersion_ = 5;
    std::vector<std::string> failing_;
    std::vector<std::string> calls_;
    std::uint32_t versionSize_ = 0;
    std::uint32_t tokenAccess_ = 0;
    std::string privilegeName_;
    TokenPrivilege privilege_;
    bool disableAll_ = false;
    std::uint32_t exitFlags_ = 0;
    std::uint32_t exitReserved_ = 0;
    int openTokens_ = 0;
};

}  // namespace qm::sim
