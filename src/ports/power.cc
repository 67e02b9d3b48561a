#include "ports/power.h"

namespace qm {

namespace {

class NoPowerImpl final : public Power {
  public:
    // Power:
    int GetVersionEx(OsVersionInfo&) override { return 0; }
    ProcessHandleValue GetCurrentProcess() override { return ProcessHandleValue{}; }
    TokenHandleValue OpenProcessToken(ProcessHandleValue, std::uint32_t) override {
        return TokenHandleValue{};
    }
    bool LookupPrivilegeValue(const std::string&, Luid&) override { return false; }
    bool AdjustTokenPrivileges(TokenHandleValue, bool, const TokenPrivilege&) override { return false; }
    void CloseToken(TokenHandleValue) override {}
    bool ExitWindowsEx(std::uint32_t, std::uint32_t) override { return false; }
};

}  // namespace

Power& NoPower() {
    static NoPowerImpl power;
    return power;
}

}  // namespace qm
