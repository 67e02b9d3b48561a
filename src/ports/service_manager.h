#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace qm {

// Access rights, controls and states of the service control manager, with the platform's own values.
inline constexpr std::uint32_t kScManagerConnect = 0x0001;    // SC_MANAGER_CONNECT
inline constexpr std::uint32_t kServiceQueryStatus = 0x0004;  // SERVICE_QUERY_STATUS
inline constexpr std::uint32_t kServiceStart = 0x0010;        // SERVICE_START
inline constexpr std::uint32_t kServiceStop = 0x0020;         // SERVICE_STOP
inline constexpr std::uint32_t kServiceControlStop = 1;       // SERVICE_CONTROL_STOP

inline constexpr std::int32_t kServiceStopped = 1;
inline constexpr std::int32_t kServiceStartPending = 2;
inline constexpr std::int32_t kServiceStopPending = 3;
inline constexpr std::int32_t kServiceRunning = 4;
inline constexpr std::int32_t kServiceContinuePending = 5;
inline constexpr std::int32_t kServicePausePending = 6;
inline constexpr std::int32_t kServicePaused = 7;

// A handle of the service control manager (to the manager itself or to one service) as the platform
// hands it out. The core never looks inside; the zero value is "no handle".
enum class ScHandleValue : std::uintptr_t {};

// The status record of a service (SERVICE_STATUS).
struct ServiceStatus {
    std::uint32_t serviceType = 0;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

// The service control manager of the local machine: the six calls the program makes, one for one.
// Calls are made on the user-interface thread. None throws: each reports failure through its result,
// as the platform's own calls do, because the program's callers either ignore the failure or read it
// as "no service". A handle returned by an Open call stays valid until CloseServiceHandle is called on
// it; the caller owns it (see ScHandle) and must close it exactly once.
class ServiceManager {
  public:
    ServiceManager() = default;
    ServiceManager(const ServiceManager&) = delete;
    ServiceManager& operator=(const ServiceManager&) = delete;
    virtual ~ServiceManager() = default;

    // OpenSCManagerA(no machine name, no database name, desiredAccess); no handle on failure.
    virtual ScHandleValue OpenSCManager(std::uint32_t desiredAccess) = 0;
    // OpenServiceA on a manager handle; no handle on failure (service not installed, access refused).
    virtual ScHandleValue OpenService(ScHandleValue manager,
                                      const std::string& serviceName,
                                      std::uint32_t desiredAccess) = 0;
    // StartServiceA with no arguments. False when the service was not started (already running, disabled,
    // the handle lacks the right, ...).
    virtual bool StartService(ScHandleValue service) = 0;
    // ControlService: sends `control` and fills `status` with the service's latest status.
    virtual bool ControlService(ScHandleValue service, std::uint32_t control, ServiceStatus& status) = 0;
    // QueryServiceStatus into `status`; on failure `status` is left as it was.
    virtual bool QueryServiceStatus(ScHandleValue service, ServiceStatus& status) = 0;
    virtual bool CloseServiceHandle(ScHandleValue handle) = 0;
};

// Owns one handle of the service control manager and closes it through CloseServiceHandle when it is
// closed, replaced or destroyed, so no handle outlives the step that opened it.
class ScHandle {
  public:
    ScHandle() = default;
    ScHandle(ServiceManager& manager, ScHandleValue value) : manager_(&manager), value_(value) {}
    ScHandle(ScHandle&& other) noexcept
        : manager_(other.manager_), value_(std::exchange(other.value_, ScHandleValue{})) {}
    ScHandle& operator=(ScHandle&& other) noexcept {
        if (this != &other) {
            Close();
            manager_ = other.manager_;
            value_ = std::exchange(other.value_, ScHandleValue{});
        }
        return *this;
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    ~ScHandle() { Close(); }

    explicit operator bool() const { return value_ != ScHandleValue{}; }
    ScHandleValue Value() const { return value_; }

    // Closes the handle if one is held; the result of the close is not looked at.
    void Close() noexcept {
        if (manager_ && value_ != ScHandleValue{}) {
            manager_->CloseServiceHandle(std::exchange(value_, ScHandleValue{}));
        }
    }

  private:
    ServiceManager* manager_ = nullptr;
    ScHandleValue value_{};
};

}  // namespace qm
