#pragma once

#include <string>

namespace qm {

// What start-up and shutdown need of the operating system's process services. Calls are made on the
// user-interface thread; none throws.
class ProcessServices {
  public:
    ProcessServices() = default;
    ProcessServices(const ProcessServices&) = delete;
    ProcessServices& operator=(const ProcessServices&) = delete;
    virtual ~ProcessServices() = default;

    // Whether another copy of this program already runs for the logged-on user. The answer does not
    // rest on the mutex below.
    virtual bool PrevInstance() = 0;
    // CreateMutexA(no security attributes, not owned, name). The mutex stays until the process ends; the
    // result is not reported.
    virtual void CreateMutex(const std::string& name) = 0;
    // InitCommonControlsEx with the structure size and class flags given; failures are ignored.
    virtual void InitCommonControls(unsigned structureSize, unsigned classFlags) = 0;
    // The folder of the program's executable, without a trailing separator.
    virtual std::string AppPath() = 0;
    // Ends the process at once, without unloading windows or firing timers again. The event loop stops
    // delivering events; the call returns so that the caller can unwind.
    virtual void EndProcess() = 0;
};

}  // namespace qm
