#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win_handles.h"
#include "ports/process_services.h"

namespace qm::win {

// The name of the object that marks a running copy for the logged-on user: it lives in the session's
// own namespace and carries the user's name, so that copies of other users (or other sessions) do not
// count.
std::wstring InstanceMarkerName();

// Single instance, the named mutex, common controls, the program's folder and ending the process.
class Win32ProcessServices final : public ProcessServices {
  public:
    // `endProcess` stops the message loop; it is called by EndProcess.
    explicit Win32ProcessServices(std::function<void()> endProcess) : endProcess_(std::move(endProcess)) {}

    bool PrevInstance() override;
    void CreateMutex(const std::string& name) override;
    void InitCommonControls(unsigned structureSize, unsigned classFlags) override;
    std::string AppPath() override;
    void EndProcess() override;

  private:
    std::function<void()> endProcess_;
    // Both stay open until the process ends.
    UniqueHandle instanceMarker_;
    std::vector<UniqueHandle> mutexes_;
};

}  // namespace qm::win
