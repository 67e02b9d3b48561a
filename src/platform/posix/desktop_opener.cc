#include "platform/posix/desktop_opener.h"

#include <sys/stat.h>

#include <vector>

#include "platform/posix/spawn_process.h"

namespace qm::posix {

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSchemeChar(char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

}  // namespace

DesktopOpener::DesktopOpener(std::string opener) : opener_(std::move(opener)) {}

bool DesktopOpener::HasScheme(const std::string& target) {
    const std::size_t colon = target.find(':');
    if (colon == std::string::npos || colon < 2 || !IsAsciiLetter(target.front())) {
        return false;
    }
    for (std::size_t i = 1; i < colon; ++i) {
        if (!IsSchemeChar(target[i])) {
            return false;
        }
    }
    return true;
}

std::intptr_t DesktopOpener::Open(const std::string& target) const {
    if (target.empty() || target.find('\0') != std::string::npos) {
        return kFileNotFound;
    }
    std::string argument = target;
    if (!HasScheme(target)) {
        struct stat info {};
        if (::stat(target.c_str(), &info) != 0) {
            return kFileNotFound;
        }
        // A path that starts with '-' would be read as an option of the opener.
        if (argument.front() == '-') {
            argument.insert(0, "./");
        }
    }
    const pid_t pid = SpawnProgram({opener_, argument}, ChildSession::Detached);
    if (pid < 0) {
        return kFileNotFound;
    }
    ReapInBackground(pid);
    return kOpened;
}

std::intptr_t DesktopOpener::ShellExecute(const std::string& file, const std::string& parameters) const {
    if (!parameters.empty()) {
        return kFileNotFound;
    }
    return Open(file);
}

}  // namespace qm::posix
