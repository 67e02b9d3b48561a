#include "platform/sim/sim_service_manager.h"

#include <algorithm>

#include "base/text.h"

namespace qm::sim {

namespace {
constexpr char kServiceName[] = "Messenger";
constexpr std::uint32_t kWin32OwnProcess = 0x10;  // SERVICE_WIN32_OWN_PROCESS
constexpr std::uint32_t kAcceptStop = 0x1;        // SERVICE_ACCEPT_STOP

std::uintptr_t Raw(ScHandleValue value) {
    return static_cast<std::uintptr_t>(value);
}
}  // namespace

bool SimServiceManager::Record(Call call) {
    const bool succeeded = call.succeeded;
    calls_.push_back(std::move(call));
    return succeeded;
}

ScHandleValue SimServiceManager::OpenSCManager(std::uint32_t desiredAccess) {
    ScHandleValue value{};
    if (!managerAccessDenied_) {
        value = ScHandleValue{nextHandle_};
        nextHandle_ += 4;
        handles_[Raw(value)] = {false, desiredAccess};
    }
    Record({Op::OpenSCManager, value, desiredAccess, {}, 0, value != ScHandleValue{}});
    return value;
}

ScHandleValue SimServiceManager::OpenService(ScHandleValue manager,
                                             const std::string& serviceName,
                                             std::uint32_t desiredAccess) {
    ScHandleValue value{};
    const auto it = handles_.find(Raw(manager));
    if (it == handles_.end() || it->second.isService) {
        ++badHandleUses_;
    } else if (installed_ && EqualsIgnoreAsciiCase(serviceName, kServiceName) && !serviceAccessDenied_) {
        value = ScHandleValue{nextHandle_};
        nextHandle_ += 4;
        handles_[Raw(value)] = {true, desiredAccess};
    }
    Record({Op::OpenService, manager, desiredAccess, serviceName, 0, value != ScHandleValue{}});
    return value;
}

const SimServiceManager::HandleInfo* SimServiceManager::ServiceWithRight(ScHandleValue value,
                                                                         std::uint32_t right) {
    const auto it = handles_.find(Raw(value));
    if (it == handles_.end() || !it->second.isService) {
        ++badHandleUses_;
        return nullptr;
    }
    return (it->second.access & right) == right ? &it->second : nullptr;
}

void SimServiceManager::FillStatus(ServiceStatus& status) const {
    status = {};
    status.serviceType = kWin32OwnProcess;
    status.currentState = static_cast<std::uint32_t>(state_);
    status.controlsAccepted = state_ == kServiceRunning || state_ == kServicePaused ? kAcceptStop : 0;
}

bool SimServiceManager::StartService(ScHandleValue service) {
    const bool ok =
        ServiceWithRight(service, kServiceStart) != nullptr && !disabled_ && state_ == kServiceStopped;
    if (ok) {
        state_ = kServiceStartPending;
    }
    return Record({Op::StartService, service, 0, {}, 0, ok});
}

bool SimServiceManager::ControlService(ScHandleValue service, std::uint32_t control, ServiceStatus& status) {
    // The stop control is the only one this service manager knows.
    bool ok = false;
    if (ServiceWithRight(service, kServiceStop) != nullptr && control == kServiceControlStop) {
        FillStatus(status);
        ok = state_ == kServiceRunning || state_ == kServicePaused;
        if (ok) {
            state_ = kServiceStopPending;
            FillStatus(status);
        }
    }
    return Record({Op::ControlService, service, 0, {}, control, ok});
}

bool SimServiceManager::QueryServiceStatus(ScHandleValue service, ServiceStatus& status) {
    if (queryHook_) {
        queryHook_(++queryCount_);
    }
    const bool ok = ServiceWithRight(service, kServiceQueryStatus) != nullptr && !queryFails_;
    if (ok) {
        FillStatus(status);
    }
    return Record({Op::QueryServiceStatus, service, 0, {}, 0, ok});
}

bool SimServiceManager::CloseServiceHandle(ScHandleValue handle) {
    const bool ok = handles_.erase(Raw(handle)) == 1;
    if (!ok) {
        ++badHandleUses_;
    }
    return Record({Op::CloseServiceHandle, handle, 0, {}, 0, ok});
}

void SimServiceManager::Settle() {
    switch (state_) {
        case kServiceStartPending:
        case kServiceContinuePending:
            state_ = kServiceRunning;
            break;
        case kServiceStopPending:
            state_ = kServiceStopped;
            break;
        case kServicePausePending:
            state_ = kServicePaused;
            break;
        default:
            break;
    }
}

void SimServiceManager::BeginPause() {
    if (state_ == kServiceRunning) {
        state_ = kServicePausePending;
    }
}

void SimServiceManager::BeginContinue() {
    if (state_ == kServicePaused) {
        state_ = kServiceContinuePending;
    }
}

int SimServiceManager::CountOf(Op op) const {
    return static_cast<int>(
        std::count_if(calls_.begin(), calls_.end(), [op](const Call& c) { return c.op == op; }));
}

int SimServiceManager::SucceededCountOf(Op op) const {
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                          [op](const Call& c) { return c.op == op && c.succeeded; }));
}

}  // namespace qm::sim
