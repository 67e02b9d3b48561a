#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ports/service_manager.h"

namespace qm::sim {

// The service control manager of a simulated machine with one service, "Messenger". The service moves
// through the real states: a start of a stopped service leaves it start-pending, a stop of a running or
// paused one leaves it stop-pending, and a pending state lasts until the test settles it. Handles carry
// the access they were opened with, and calls lacking the right fail as they would on the platform.
// Every call is recorded, and the open handles are counted, so tests can see that none is left open.
class SimServiceManager final : public ServiceManager {
  public:
    enum class Op {
        OpenSCManager,
        OpenService,
        StartService,
        ControlService,
        QueryServiceStatus,
        CloseServiceHandle
    };
    struct Call {
        Op op;
        ScHandleValue handle{};     // the handle the call was made on (the manager for OpenService)
        std::uint32_t access = 0;   // Open calls
        std::string name;           // OpenService
        std::uint32_t control = 0;  // ControlService
        bool succeeded = false;
    };

    SimServiceManager() = default;

    // ServiceManager:
    ScHandleValue OpenSCManager(std::uint32_t desiredAccess) override;
    ScHandleValue OpenService(ScHandleValue manager,
                              const std::string& serviceName,
                              std::uint32_t desiredAccess) override;
    bool StartService(ScHandleValue service) override;
    bool ControlService(ScHandleValue service, std::uint32_t control, ServiceStatus& status) override;
    bool QueryServiceStatus(ScHandleValue service, ServiceStatus& status) override;
    bool CloseServiceHandle(ScHandleValue handle) override;

    // Control side.
    std::int32_t State() const { return state_; }
    // Puts the service into any state, as something outside the program would.
    void SetState(std::int32_t state) { state_ = state; }
    // Ends a pending state: start and continue pending become running, stop pending stopped, pause
    // pending paused. A settled state stays as it is.
    void Settle();
    // Someone else pauses the running service or continues the paused one.
    void BeginPause();
    void BeginContinue();

    // An absent service cannot be opened.
    void SetInstalled(bool installed) { installed_ = installed; }
    // The user may not connect to the manager at all, or may not open the service with the rights asked.
    void SetManagerAccessDenied(bool denied) { managerAccessDenied_ = denied; }
    void SetServiceAccessDenied(bool denied) { serviceAccessDenied_ = denied; }
    // A disabled service refuses to start.
    void SetDisabled(bool disabled) { disabled_ = disabled; }
    // QueryServiceStatus fails and leaves the record untouched.
    void SetQueryFails(bool fails) { queryFails_ = fails; }
    // Runs at the start of every QueryServiceStatus call with its number (counted from 1), so a test can
    // move the service between two readings.
    void SetQueryHook(std::function<void(int)> hook) { queryHook_ = std::move(hook); }

    const std::vector<Call>& Calls() const { return calls_; }
    int CountOf(Op op) const;
    // Successful calls of one kind.
    int SucceededCountOf(Op op) const;
    void ClearCalls() { calls_.clear(); }
    int OpenHandleCount() const { return static_cast<int>(handles_.size()); }
    // Calls made on a handle that is not open or of the wrong kind (closed twice, never opened, ...).
    int BadHandleUses() const { return badHandleUses_; }

  private:
    struct HandleInfo {
        bool isService = false;
        std::uint32_t access = 0;
    };

    // The open service handle `value` holding `right`, or null (counting a bad use when the handle is
    // not an open service handle).
    const HandleInfo* ServiceWithRight(ScHandleValue value, std::uint32_t right);
    void FillStatus(ServiceStatus& status) const;
    bool Record(Call call);

    std::int32_t state_ = kServiceRunning;
    bool installed_ = true;
    bool managerAccessDenied_ = false;
    bool serviceAccessDenied_ = false;
    bool disabled_ = false;
    bool queryFails_ = false;
    std::function<void(int)> queryHook_;
    int queryCount_ = 0;

    std::map<std::uintptr_t, HandleInfo> handles_;
    std::uintptr_t nextHandle_ = 0x1000;
    std::vector<Call> calls_;
    int badHandleUses_ = 0;
};

}  // namespace qm::sim
