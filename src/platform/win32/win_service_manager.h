#pragma once

#include <cstdint>
#include <string>

#include "platform/win32/win_api.h"
#include "ports/service_manager.h"

namespace qm::win {

// The service control manager of the local machine, one call for one.
class Win32ServiceManager final : public ServiceManager {
  public:
    ScHandleValue OpenSCManager(std::uint32_t desiredAccess) override;
    ScHandleValue OpenService(ScHandleValue manager,
                              const std::string& serviceName,
                              std::uint32_t desiredAccess) override;
    bool StartService(ScHandleValue service) override;
    bool ControlService(ScHandleValue service, std::uint32_t control, ServiceStatus& status) override;
    bool QueryServiceStatus(ScHandleValue service, ServiceStatus& status) override;
    bool CloseServiceHandle(ScHandleValue handle) override;
};

}  // namespace qm::win
