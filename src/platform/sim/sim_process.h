#pragma once

#include <string>
#include <vector>

#include "ports/process_services.h"

namespace qm::sim {

class SimEventLoop;

// The process services of a simulated run: whether another copy runs, what start-up created, whether
// the process was ended.
class SimProcess final : public ProcessServices {
  public:
    explicit SimProcess(SimEventLoop& loop) : loop_(loop) {}

    // ProcessServices:
    bool PrevInstance() override { return prevInstance_; }
    void CreateMutex(const std::string& name) override { mutexes_.push_back(name); }
    void InitCommonControls(unsigned structureSize, unsigned classFlags) override;
    std::string AppPath() override { return appPath_; }
    void EndProcess() override;

    // Control side.
    void SetPrevInstance(bool running) { prevInstance_ = running; }
    void SetAppPath(std::string path) { appPath_ = std::move(path); }
    const std::vector<std::string>& Mutexes() const { return mutexes_; }
    int CommonControlsCalls() const { return commonControlsCalls_; }
    unsigned CommonControlsSize() const { return commonControlsSize_; }
    unsigned CommonControlsFlags() const { return commonControlsFlags_; }
    bool Ended() const { return ended_; }

  private:
    SimEventLoop& loop_;
    bool prevInstance_ = false;
    std::vector<std::string> mutexes_;
    int commonControlsCalls_ = 0;
    unsigned commonControlsSize_ = 0;
    unsigned commonControlsFlags_ = 0;
    std::string appPath_ = "C:\\Program Files\\Quillmere";
    bool ended_ = false;
};

}  // namespace qm::sim
