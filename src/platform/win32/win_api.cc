#include "platform/win32/win_api.h"

#include <cstdio>

#include "base/platform_error.h"

namespace qm::win {

std::wstring Widen(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                          nullptr, nullptr);
    return result;
}

bool RegisterHiddenWindowClass(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::string ErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr) {
        text = Narrow(std::wstring_view(buffer, length));
        ::LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        char hex[32];
        wsprintfA(hex, "Error 0x%08lX", static_cast<unsigned long>(code));
        text = hex;
    }
    return text;
}

void ThrowError(DWORD code, const char* source) {
    throw PlatformError(ErrorText(code), static_cast<std::int32_t>(code), source);
}

void ThrowLastError(const char* source) {
    ThrowError(::GetLastError(), source);
}

void CheckHr(HRESULT hr, const char* source) {
    if (FAILED(hr)) {
        ThrowError(static_cast<DWORD>(hr), source);
    }
}

}  // namespace qm::win

namespace qm::win {

namespace {
std::string& FatalTitle() {
    static std::string title = "Quillmere";
    return title;
}
}  // namespace

void SetFatalErrorTitle(const std::string& title) {
    FatalTitle() = title;
}

void ReportFatalError(const std::exception& error) {
    std::string text;
    if (const auto* platform = dynamic_cast<const PlatformError*>(&error)) {
        text = "Run-time error '" + std::to_string(platform->Number()) + "':\n\n" + platform->Description();
    } else {
        text = std::string("Run-time error:\n\n") + error.what();
    }
    ::MessageBoxW(nullptr, Widen(text).c_str(), Widen(FatalTitle()).c_str(),
                  MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    ::ExitProcess(1);
}

void ReportToDebugOutput(const char* line) {
    ::OutputDebugStringW(Widen(line).c_str());
    std::fputs(line, stderr);
    std::fflush(stderr);
}

}  // namespace qm::win
