#include "platform/sim/sim_files.h"

#include "base/platform_error.h"

namespace qm::sim {

std::vector<std::uint8_t> SimFiles::ReadWholeFile(const std::string& path) {
    ++reads_;
    if (locked_.count(path) != 0) {
        throw PlatformError(kPermissionDeniedText, kErrPermissionDenied);
    }
    const auto it = files_.find(path);
    if (it == files_.end()) {
        throw PlatformError(kFileNotFoundText, kErrFileNotFound);
    }
    return it->second;
}

void SimFiles::WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    ++writes_;
    if (locked_.count(path) != 0) {
        throw PlatformError(kPermissionDeniedText, kErrPermissionDenied);
    }
    files_[path].assign(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> SimFiles::Contents(const std::string& path) const {
    const auto it = files_.find(path);
    return it == files_.end() ? std::vector<std::uint8_t>{} : it->second;
}

}  // namespace qm::sim
