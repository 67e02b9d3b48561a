#include "platform/win32/win_service_manager.h"

#include "platform/win32/win_api.h"

namespace qm::win {

namespace {

SC_HANDLE ToSc(ScHandleValue value) {
    return reinterpret_cast<SC_HANDLE>(static_cast<std::uintptr_t>(value));
}

ScHandleValue FromSc(SC_HANDLE handle) {
    return static_cast<ScHandleValue>(reinterpret_cast<std::uintptr_t>(handle));
}

void CopyStatus(const SERVICE_STATUS& from, ServiceStatus& to) {
    to.serviceType = from.dwServiceType;
    to.currentState = from.dwCurrentState;
    to.controlsAccepted = from.dwControlsAccepted;
    to.win32ExitCode = from.dwWin32ExitCode;
    to.serviceSpecificExitCode = from.dwServiceSpecificExitCode;
    to.checkPoint = from.dwCheckPoint;
    to.waitHint = from.dwWaitHint;
}

}  // namespace

ScHandleValue Win32ServiceManager::OpenSCManager(std::uint32_t desiredAccess) {
    return FromSc(::OpenSCManagerA(nullptr, nullptr, desiredAccess));
}

ScHandleValue Win32ServiceManager::OpenService(ScHandleValue manager,
                                               const std::string& serviceName,
                                               std::uint32_t desiredAccess) {
    if (manager == ScHandleValue{}) {
        return {};
    }
    return FromSc(::OpenServiceA(ToSc(manager), serviceName.c_str(), desiredAccess));
}

bool Win32ServiceManager::StartService(ScHandleValue service) {
    return service != ScHandleValue{} && ::StartServiceA(ToSc(service), 0, nullptr) != FALSE;
}

bool Win32ServiceManager::ControlService(ScHandleValue service,
                                         std::uint32_t control,
                                         ServiceStatus& status) {
    if (service == ScHandleValue{}) {
        return false;
    }
    SERVICE_STATUS raw{};
    const bool ok = ::ControlService(ToSc(service), control, &raw) != FALSE;
    // The status is filled in on success and for a few refusals (the service cannot take the control now).
    if (ok || raw.dwCurrentState != 0) {
        CopyStatus(raw, status);
    }
    return ok;
}

bool Win32ServiceManager::QueryServiceStatus(ScHandleValue service, ServiceStatus& status) {
    if (service == ScHandleValue{}) {
        return false;
    }
    SERVICE_STATUS raw{};
    if (!::QueryServiceStatus(ToSc(service), &raw)) {
        return false;
    }
    CopyStatus(raw, status);
    return true;
}

bool Win32ServiceManager::CloseServiceHandle(ScHandleValue handle) {
    return handle != ScHandleValue{} && ::CloseServiceHandle(ToSc(handle)) != FALSE;
}

}  // namespace qm::win
