#pragma once

#include <cstdint>
#include <memory>

#include "forms/form.h"
#include "ports/service_manager.h"

namespace qm {

class WinSystem;

// The Windows service whose network messages pop up on the desktop.
inline constexpr char kMessengerServiceName[] = "Messenger";

// The queued commands; the numbers are those of the access rights the commands need.
inline constexpr std::int16_t kNoCommand = 0;
inline constexpr std::int16_t kStartCommand = 16;
inline constexpr std::int16_t kStopCommand = 32;

// The state reported for a service that cannot be opened (absent, or no rights to it).
inline constexpr std::int32_t kServiceUnknown = 0;

// The one object that starts and stops the "Messenger" service. A hidden window, loaded once for the
// whole run, always owned by a std::shared_ptr.
//
// A start or stop request is queued and carried out only while the service is settled; while it is
// between states the request waits and is retried every second by timerCheck. A newer request replaces
// a waiting one. Nothing waits for the service to reach the wanted state, and refusals of the service
// manager are ignored. Every step opens the manager and the service, does one thing and closes both, so
// no handle stays open between steps.
class MessengerService final : public Form {
  public:
    explicit MessengerService(WinSystem& app);
    ~MessengerService() override;

    // Queue a start (or a stop) of the service and try it at once.
    void StartMsgService();
    void StopMsgService();
    // The service's current state, 1 to 7 as the service manager reports it, or 0 when the service
    // cannot be opened or queried. Changes nothing.
    std::int32_t MsgServiceCurState();

    // The command waiting to be carried out (kNoCommand when idle).
    std::int16_t QueuedCommand() const { return PendingCommand; }
    // Whether timerCheck will look at the service again.
    bool RetryScheduled() const { return timerCheck->Enabled(); }

  protected:
    void Form_Load() override;

  private:
    void OpenServiceHandles();
    void CloseServiceHandles();
    void StartMessenger();
    void StopMessenger();
    std::int32_t QueryMessengerState();
    void ApplyPendingCommand();

    void timerCheck_Timer();

    ServiceManager& services_;

    ScHandle ManagerHandle;
    ScHandle ServiceHandle;
    std::int16_t PendingCommand = kNoCommand;
    std::unique_ptr<Timer> timerCheck;
};

}  // namespace qm
