#pragma once

// The one way the Windows adapters include the platform's headers. windows.h defines macros that clash
// with the core's method names (MessageBox, CreateMutex, ...); they are removed here, and the adapters
// call the A or W function they mean by its full name.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#undef MessageBox
#undef CreateMutex
#undef OpenSCManager
#undef OpenService
#undef StartService
#undef GetComputerName
#undef ControlService
#undef QueryServiceStatus
#undef CloseServiceHandle
#undef ShellExecute
#undef GetTickCount
#undef Sleep
#undef Yield

#include <exception>
#include <string>
#include <string_view>

namespace qm::win {

// UTF-8 (the core's texts) to UTF-16 (the W calls) and back. Invalid sequences become U+FFFD.
std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

// The system's own description of an error code, without the trailing line break.
std::string ErrorText(DWORD code);

// Throws PlatformError with `code` (a Win32 error or an HRESULT), its description, and `source` naming the
// call that failed.
[[noreturn]] void ThrowError(DWORD code, const char* source);
// ThrowError with GetLastError().
[[noreturn]] void ThrowLastError(const char* source);
// Throws when `hr` is a failure.
void CheckHr(HRESULT hr, const char* source);

// Registers a window class of this module with nothing but a name and a window procedure, for the
// program's windows that are never shown. Registering a class a second time fails harmlessly: the first
// registration stands. Answers whether the class is registered now.
bool RegisterHiddenWindowClass(const wchar_t* name, WNDPROC procedure);

}  // namespace qm::win

namespace qm::win {

// The title of the error report below (the application's title, once start-up has fixed it).
void SetFatalErrorTitle(const std::string& title);
// An error that ends start-up: reported as the runtime reports it ("Run-time error 'n':" and the
// description), then the process ends. The handlers that the system calls later (window procedures,
// hooks, COM events, timer ticks) report their failures through the callback boundary and go on.
[[noreturn]] void ReportFatalError(const std::exception& error);

// The callback boundary's reporter on Windows: the line goes to the debugger's output (where a program
// without a console is read) and to standard error. Installed by the event loop.
void ReportToDebugOutput(const char* line);

}  // namespace qm::win
