#pragma once

namespace qm {

class Power;

// Restarts the machine on request: the program's one AppSystemCore, created at start-up. On a system of
// the NT family the process first enables its shutdown privilege and gives up when it cannot; older
// systems restart without it. Nothing is reported to the user, and a refused restart returns quietly.
// User-interface thread only.
class SystemCore {
  public:
    explicit SystemCore(Power& power) : power_(power) {}
    SystemCore(const SystemCore&) = delete;
    SystemCore& operator=(const SystemCore&) = delete;

    // Asks the system to restart (not forced: running programs may still hold it up).
    void RestartWindows();

  private:
    bool IsWindowsNT4OrLater();
    // True when the shutdown privilege of the process token was enabled.
    bool EnableShutdownPrivilege();

    Power& power_;
};

}  // namespace qm
