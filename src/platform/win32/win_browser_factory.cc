#include "platform/win32/win_browser_factory.h"

#include "platform/win32/win_com.h"

#include <exdisp.h>

#include "platform/win32/win_guids.h"
#include "platform/win32/win_hidden_browser.h"
#include "platform/win32/win_shell_windows.h"
#include "platform/win32/win_ui_probe.h"

namespace qm::win {

std::shared_ptr<ShellWindows> Win32BrowserFactory::CreateShellWindows() {
    ComPtr<IShellWindows> windows;
    CheckHr(::CoCreateInstance(kClsidShellWindows, nullptr, CLSCTX_ALL, kIidIShellWindows,
                               reinterpret_cast<void**>(windows.Put())),
            "CoCreateInstance(ShellWindows)");
    return std::make_shared<Win32ShellWindows>(std::move(windows));
}

std::unique_ptr<CUiProbe> Win32BrowserFactory::CreateUiProbe() {
    return std::make_unique<Win32UiProbe>(loop_);
}

std::shared_ptr<HiddenBrowser> Win32BrowserFactory::CreateHiddenBrowser() {
    return Win32HiddenBrowser::Create();
}

}  // namespace qm::win
