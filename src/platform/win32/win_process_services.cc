#include "platform/win32/win_process_services.h"

#include <lmcons.h>

namespace qm::win {

std::wstring InstanceMarkerName() {
    wchar_t user[UNLEN + 1] = L"";
    DWORD size = UNLEN + 1;
    if (!::GetUserNameW(user, &size)) {
        user[0] = L'\0';
    }
    std::wstring name = L"Local\\Quillmere.Running.";
    for (const wchar_t* c = user; *c; ++c) {
        // A backslash would name a namespace.
        name.push_back(*c == L'\\' ? L'_' : *c);
    }
    return name;
}

bool Win32ProcessServices::PrevInstance() {
    if (instanceMarker_) {
        return false;
    }
    UniqueHandle marker(::CreateEventW(nullptr, TRUE, FALSE, InstanceMarkerName().c_str()));
    const DWORD error = ::GetLastError();
    if (!marker) {
        // A marker of that name exists but is not ours to open: another copy of this user holds it.
        return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        return true;
    }
    instanceMarker_ = std::move(marker);
    return false;
}

void Win32ProcessServices::CreateMutex(const std::string& name) {
    UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, name.c_str()));
    if (mutex) {
        mutexes_.push_back(std::move(mutex));
    }
}

void Win32ProcessServices::InitCommonControls(unsigned structureSize, unsigned classFlags) {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = structureSize;
    icc.dwICC = classFlags;
    ::InitCommonControlsEx(&icc);
}

std::string Win32ProcessServices::AppPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return Narrow(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash));
}

void Win32ProcessServices::EndProcess() {
    if (endProcess_) {
        endProcess_();
    }
}

}  // namespace qm::win
