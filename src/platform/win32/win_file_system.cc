#include "platform/win32/win_file_system.h"

#include "base/platform_error.h"
#include "platform/win32/win_handles.h"

namespace qm::win {

namespace {

[[noreturn]] void ThrowFileError(DWORD code) {
    const FileErrorInfo info = FileErrorFor(code);
    throw PlatformError(info.description, info.number, "FileSystem");
}

}  // namespace

FileErrorInfo FileErrorFor(DWORD win32Error) {
    switch (win32Error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return {kErrFileNotFound, kFileNotFoundText};
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return {kErrPermissionDenied, kPermissionDeniedText};
        default:
            return {kErrPathFileAccess, kPathFileAccessText};
    }
}

std::vector<std::uint8_t> Win32FileSystem::ReadWholeFile(const std::string& path) {
    const UniqueFile file(::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        ThrowFileError(::GetLastError());
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) {
        ThrowFileError(::GetLastError());
    }
    if (size.QuadPart > 0x7FFFFFFF) {
        ThrowFileError(ERROR_FILE_TOO_LARGE);
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                        nullptr)) {
            ThrowFileError(::GetLastError());
        }
        if (got == 0) {
            // The file was cut short while it was read.
            ThrowFileError(ERROR_HANDLE_EOF);
        }
        done += got;
    }
    return bytes;
}

void Win32FileSystem::WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    const UniqueFile file(::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        ThrowFileError(::GetLastError());
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        if (!::WriteFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put,
                         nullptr) ||
            put == 0) {
            ThrowFileError(::GetLastError());
        }
        done += put;
    }
}

}  // namespace qm::win
