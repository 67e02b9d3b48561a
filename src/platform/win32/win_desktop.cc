#include "platform/win32/win_desktop.h"

#include "platform/win32/win_handles.h"

namespace qm::win {

ScreenPoint Win32Desktop::GetCursorPos() {
    POINT p{};
    if (!::GetCursorPos(&p)) {
        return {};
    }
    return {static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
}

std::int16_t Win32Desktop::GetAsyncKeyState(int virtualKey) {
    return static_cast<std::int16_t>(::GetAsyncKeyState(virtualKey));
}

std::int32_t Win32Desktop::ScreenWidthPixels() {
    return ::GetSystemMetrics(SM_CXSCREEN);
}

std::int32_t Win32Desktop::ScreenHeightPixels() {
    return ::GetSystemMetrics(SM_CYSCREEN);
}

std::int32_t Win32Desktop::TwipsPerPixel() {
    const WindowDc screen(nullptr);
    const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
    return dpi > 0 ? 1440 / dpi : 15;
}

int Win32Desktop::MessageBox(const std::string& text, const std::string& title, int style) {
    // Task-modal: the program's own windows wait for the answer, as they do for a modal window. The box
    // belongs to the program's active window, so that it stays in front of it.
    return ::MessageBoxW(::GetActiveWindow(), Widen(text).c_str(), Widen(title).c_str(),
                         static_cast<UINT>(style) | MB_TASKMODAL | MB_SETFOREGROUND);
}

std::intptr_t Win32Desktop::ShellExecute(const std::string& verb,
                                         const std::string& file,
                                         const std::string& parameters,
                                         const std::string& directory,
                                         int showCommand) {
    const std::wstring wVerb = Widen(verb);
    const std::wstring wFile = Widen(file);
    const std::wstring wParameters = Widen(parameters);
    const std::wstring wDirectory = Widen(directory);
    const HINSTANCE result = ::ShellExecuteW(nullptr, wVerb.empty() ? nullptr : wVerb.c_str(), wFile.c_str(),
                                             wParameters.empty() ? nullptr : wParameters.c_str(),
                                             wDirectory.empty() ? nullptr : wDirectory.c_str(), showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

bool Win32Desktop::GetComputerName(std::string& name, std::size_t bufferSize) {
    // The wide call: the name reaches the program as UTF-8 whatever the system's code page.
    std::wstring buffer(bufferSize, L'\0');
    DWORD size = static_cast<DWORD>(bufferSize);
    const bool ok = bufferSize > 0 && ::GetComputerNameW(buffer.data(), &size) != FALSE;
    name = Narrow(buffer);
    return ok;
}

}  // namespace qm::win
