#include "system/system_core.h"

#include "ports/power.h"

namespace qm {

void SystemCore::RestartWindows() {
    if (IsWindowsNT4OrLater() && !EnableShutdownPrivilege()) {
        return;
    }
    power_.ExitWindowsEx(kExitWindowsReboot, 0);
}

bool SystemCore::IsWindowsNT4OrLater() {
    OsVersionInfo info;
    info.size = kVersionInfoSize;
    if (power_.GetVersionEx(info) != 1) {
        return false;
    }
    return info.platformId == kPlatformWin32Nt && info.majorVersion >= 4;
}

bool SystemCore::EnableShutdownPrivilege() {
    const ProcessHandleValue process = power_.GetCurrentProcess();
    if (process == ProcessHandleValue{}) {
        return false;
    }
    // The token is opened for this one step and closed at its end.
    const TokenHandle token(power_, power_.OpenProcessToken(process, kTokenAdjustPrivileges | kTokenQuery));
    if (!token) {
        return false;
    }
    TokenPrivilege privilege;
    if (!power_.LookupPrivilegeValue(kShutdownPrivilegeName, privilege.luid)) {
        return false;
    }
    privilege.count = 1;
    privilege.attributes = kSePrivilegeEnabled;
    // A success with the privilege not actually assigned still counts: ExitWindowsEx will then refuse.
    return power_.AdjustTokenPrivileges(token.Value(), false, privilege);
}

}  // namespace qm
