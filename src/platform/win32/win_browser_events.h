#pragma once

#include "platform/win32/win_api.h"
#include "ports/browser.h"
#include "ports/hidden_browser.h"
#include "ports/shell_windows.h"

namespace qm::win {

// The events of a browser (DWebBrowserEvents2), of a hidden browser and of the shell's window list,
// decoded from COM's arguments (which come last argument first) and handed to the program's handlers. The
// by-reference arguments (Cancel, and NewWindow2's ppDisp) are written back with what the handler left.
void DispatchBrowserEvent(BrowserEvents& events, DISPID id, DISPPARAMS& params);
void DispatchHiddenBrowserEvent(HiddenBrowserEvents& events, DISPID id, DISPPARAMS& params);
void DispatchShellWindowsEvent(ShellWindowsEvents& events, DISPID id, DISPPARAMS& params);

// Gives a hidden browser's automation object to the browser that asked for a new window.
IDispatch* AutomationOf(HiddenBrowser& hidden);

}  // namespace qm::win
