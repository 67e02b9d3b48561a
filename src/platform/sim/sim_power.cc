#include "platform/sim/sim_power.h"

#include <algorithm>

namespace qm::sim {

namespace {

constexpr ProcessHandleValue kOwnProcess = static_cast<ProcessHandleValue>(~std::uintptr_t{0});
constexpr TokenHandleValue kToken = static_cast<TokenHandleValue>(0x40);

}  // namespace

bool SimPower::Fails(const std::string& call) {
    calls_.push_back(call);
    return std::find(failing_.begin(), failing_.end(), call) != failing_.end();
}

int SimPower::CountOf(const std::string& call) const {
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
}

int SimPower::GetVersionEx(OsVersionInfo& info) {
    versionSize_ = info.size;
    if (Fails("GetVersionEx") || info.size != kVersionInfoSize) {
        return 0;
    }
    info.platformId = platformId_;
    info.majorVersion = majorVersion_;
    return 1;
}

ProcessHandleValue SimPower::GetCurrentProcess() {
    return Fails("GetCurrentProcess") ? ProcessHandleValue{} : kOwnProcess;
}

TokenHandleValue SimPower::OpenProcessToken(ProcessHandleValue process, std::uint32_t desiredAccess) {
    tokenAccess_ = desiredAccess;
    if (Fails("OpenProcessToken") || process != kOwnProcess) {
        return TokenHandleValue{};
    }
    ++openTokens_;
    return kToken;
}

bool SimPower::LookupPrivilegeValue(const std::string& name, Luid& luid) {
    privilegeName_ = name;
    if (Fails("LookupPrivilegeValue")) {
        return false;
    }
    luid = kShutdownLuid;
    return true;
}

bool SimPower::AdjustTokenPrivileges(TokenHandleValue token,
                                     bool disableAll,
                                     const TokenPrivilege& newState) {
    disableAll_ = disableAll;
    privilege_ = newState;
    return !Fails("AdjustTokenPrivileges") && token == kToken;
}

void SimPower::CloseToken(TokenHandleValue token) {
    calls_.push_back("CloseToken");
    if (token == kToken && openTokens_ > 0) {
        --openTokens_;
    }
}

bool SimPower::ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) {
    exitFlags_ = flags;
    exitReserved_ = reserved;
    return !Fails("ExitWindowsEx");
}

}  // namespace qm::sim
