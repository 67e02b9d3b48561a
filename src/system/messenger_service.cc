#include "system/messenger_service.h"

#include "shell/win_system.h"

namespace qm {

namespace {
constexpr int kCheckIntervalMs = 1000;
constexpr std::uint32_t kMessengerAccess = kServiceQueryStatus | kServiceStart | kServiceStop;
}  // namespace

MessengerService::MessengerService(WinSystem& app)
    : Form(app.GetPlatform().loop), services_(app.GetPlatform().services) {
    timerCheck = NewTimer(&MessengerService::timerCheck_Timer);
}

MessengerService::~MessengerService() = default;

void MessengerService::Form_Load() {
    timerCheck->SetInterval(kCheckIntervalMs);
}

void MessengerService::StartMsgService() {
    PendingCommand = kStartCommand;
    timerCheck->SetEnabled(true);
    ApplyPendingCommand();
}

void MessengerService::StopMsgService() {
    PendingCommand = kStopCommand;
    timerCheck->SetEnabled(true);
    ApplyPendingCommand();
}

std::int32_t MessengerService::MsgServiceCurState() {
    return QueryMessengerState();
}

void MessengerService::timerCheck_Timer() {
    ApplyPendingCommand();
}

void MessengerService::OpenServiceHandles() {
    ManagerHandle = ScHandle(services_, services_.OpenSCManager(kScManagerConnect));
    if (!ManagerHandle) {
        return;
    }
    ServiceHandle = ScHandle(
        services_, services_.OpenService(ManagerHandle.Value(), kMessengerServiceName, kMessengerAccess));
}

void MessengerService::CloseServiceHandles() {
    // The service first, then the manager it was opened from.
    ServiceHandle.Close();
    ManagerHandle.Close();
}

void MessengerService::StartMessenger() {
    OpenServiceHandles();
    if (ServiceHandle) {
        services_.StartService(ServiceHandle.Value());  // a refusal changes nothing here
    }
    CloseServiceHandles();
}

void MessengerService::StopMessenger() {
    OpenServiceHandles();
    if (ServiceHandle) {
        ServiceStatus status;
        services_.ControlService(ServiceHandle.Value(), kServiceControlStop, status);
    }
    CloseServiceHandles();
}

std::int32_t MessengerService::QueryMessengerState() {
    std::int32_t state = kServiceUnknown;
    OpenServiceHandles();
    if (ServiceHandle) {
        // A failed query leaves the record zeroed, which reads as "unknown".
        ServiceStatus status;
        services_.QueryServiceStatus(ServiceHandle.Value(), status);
        state = static_cast<std::int32_t>(status.currentState);
    }
    CloseServiceHandles();
    return state;
}

void MessengerService::ApplyPendingCommand() {
    // Four separate readings, all taken before any of them decides: the service may move between them.
    const std::int32_t first = QueryMessengerState();
    const std::int32_t second = QueryMessengerState();
    const std::int32_t third = QueryMessengerState();
    const std::int32_t fourth = QueryMessengerState();
    if (first == kServiceStartPending || second == kServiceStopPending || third == kServiceContinuePending ||
        fourth == kServicePausePending) {
        return;  // still between states: the timer tries again
    }

    if (PendingCommand == kStartCommand) {
        StartMessenger();
    } else if (PendingCommand == kStopCommand) {
        StopMessenger();
    }
    PendingCommand = kNoCommand;
    timerCheck->SetEnabled(false);
}

}  // namespace qm
