#pragma once

#include <functional>
#include <string>

#include "platform/posix/single_instance.h"
#include "platform/posix/unique_fd.h"
#include "ports/process_services.h"

namespace qm::posix {

// The process services of the program on Linux. A second copy is recognised by a lock file of the
// user (held, not merely present, so a copy that crashed leaves nothing behind that blocks the next);
// the named mutex has no use here and is only remembered. EndProcess asks the event loop to stop.
class PosixProcessServices final : public ProcessServices {
  public:
    // `lockPath`: the lock file; empty for the one in the user's runtime folder (see UserRuntimeFolder;
    // when the user has none, every copy runs). `endProcess` stops the loop.
    PosixProcessServices(std::string lockPath, std::function<void()> endProcess);
    // The program's entry point decides about a second copy before anything else starts; PrevInstance
    // then reports what `instance` found. `instance` must outlive this object.
    PosixProcessServices(SingleInstance& instance, std::function<void()> endProcess);

    // ProcessServices:
    bool PrevInstance() override;
    void CreateMutex(const std::string& name) override;
    void InitCommonControls(unsigned structureSize, unsigned classFlags) override;
    std::string AppPath() override;
    void EndProcess() override;

    const std::string& MutexName() const { return mutexName_; }

  private:
    std::string lockPath_;
    SingleInstance* instance_ = nullptr;
    std::function<void()> endProcess_;
    UniqueFd lock_;
    std::string mutexName_;
};

}  // namespace qm::posix
