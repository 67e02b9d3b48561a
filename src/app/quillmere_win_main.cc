// The program on Windows: the portable core driving Internet Explorer through COM, on the thread's
// message loop.

#include "platform/win32/win_api.h"

#include <exception>

#include "base/platform_error.h"
#include "platform/win32/win_handles.h"
#include "platform/win32/win_platform.h"
#include "shell/win_system.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The program takes no command line.
    int exitCode = 0;
    try {
        const qm::win::OleScope ole;
        qm::win::SetFatalErrorTitle(qm::kAppTitle);
        qm::win::Win32Platform windows;
        qm::WinSystem app(windows.platform);
        app.Main();
        if (!app.Running()) {
            // Another copy runs already: end without a trace.
            return 0;
        }
        qm::win::SetFatalErrorTitle(app.AppTitle());
        exitCode = windows.loop.Run();
    } catch (const std::exception& e) {
        qm::win::ReportFatalError(e);
    }
    // The program ends as an ended process does: no window is unloaded and no timer fires again.
    ::ExitProcess(static_cast<UINT>(exitCode));
}
