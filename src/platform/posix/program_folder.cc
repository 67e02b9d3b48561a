#include "platform/posix/program_folder.h"

#include <limits.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace qm::posix {

std::string ProgramFolder() {
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return ".";
    }
    const std::string exe(path, static_cast<std::size_t>(n));
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : exe.substr(0, slash);
}

std::string ProgramFilesFolder(const std::string& programFolder) {
    const std::filesystem::path folder(programFolder);
    if (folder.filename() != "bin") {
        return programFolder;
    }
    const std::filesystem::path shared = folder.parent_path() / "share" / "quillmere";
    std::error_code error;
    return std::filesystem::is_directory(shared, error) ? shared.string() : programFolder;
}

}  // namespace qm::posix
