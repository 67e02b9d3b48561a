#include "platform/posix/linux_services.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "base/platform_error.h"
#include "forms/fixed_pitch_text.h"
#include "forms/window_peer.h"
#include "platform/posix/unique_fd.h"

namespace qm::posix {

namespace {

PlatformError FileError(int error) {
    if (error == ENOENT || error == ENOTDIR) {
        return PlatformError(kFileNotFoundText, kErrFileNotFound);
    }
    if (error == EACCES || error == EPERM || error == EROFS) {
        return PlatformError(kPermissionDeniedText, kErrPermissionDenied);
    }
    return PlatformError(kPathFileAccessText, kErrPathFileAccess);
}

}  // namespace

std::string MemorySettingsStore::GetSetting(const std::string& appName,
                                            const std::string& section,
                                            const std::string& key) {
    const auto entry = values_.find({appName, section, key});
    return entry == values_.end() ? std::string() : entry->second;
}

void MemorySettingsStore::SaveSetting(const std::string& appName,
                                      const std::string& section,
                                      const std::string& key,
                                      const std::string& setting) {
    values_[{appName, section, key}] = setting;
}

ScHandleValue NoServiceManager::OpenSCManager(std::uint32_t /*desiredAccess*/) {
    return ScHandleValue{};
}

ScHandleValue NoServiceManager::OpenService(ScHandleValue /*manager*/,
                                            const std::string& /*serviceName*/,
                                            std::uint32_t /*desiredAccess*/) {
    return ScHandleValue{};
}

bool NoServiceManager::StartService(ScHandleValue /*service*/) {
    return false;
}

bool NoServiceManager::ControlService(ScHandleValue /*service*/,
                                      std::uint32_t /*control*/,
                                      ServiceStatus& /*status*/) {
    return false;
}

bool NoServiceManager::QueryServiceStatus(ScHandleValue /*service*/, ServiceStatus& /*status*/) {
    return false;
}

bool NoServiceManager::CloseServiceHandle(ScHandleValue /*handle*/) {
    return false;
}

std::vector<std::uint8_t> PosixFileSystem::ReadWholeFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        throw FileError(errno);
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw FileError(errno);
        }
        if (n == 0) {
            return bytes;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
}

void PosixFileSystem::WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.Valid()) {
        throw FileError(errno);
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd.Get(), bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw FileError(errno);
        }
        written += static_cast<std::size_t>(n);
    }
}

namespace {

class HeadlessPeer final : public WindowPeer {
  public:
    void FormChanged() override {}
    void ControlChanged(const Control& /*control*/) override {}
    void Show(ShowStyle /*style*/) override {}
    void Hide() override {}
    void SetRegion(const std::optional<Region>& /*region*/) override {}
};

}  // namespace

std::unique_ptr<WindowPeer> HeadlessRenderer::CreatePeer(Form& /*form*/) {
    return std::make_unique<HeadlessPeer>();
}

WindowAtPoint HeadlessRenderer::WindowFromPoint(ScreenPoint /*point*/) {
    return {};
}

std::int32_t HeadlessRenderer::TextHeight(const std::string& text,
                                          const FontSpec& font,
                                          std::int32_t widthPixels) {
    return FixedPitchText::TextHeight(text, font, widthPixels);
}

}  // namespace qm::posix
