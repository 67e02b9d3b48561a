#pragma once

#include <map>
#include <string>
#include <tuple>

#include "forms/renderer.h"
#include "ports/file_system.h"
#include "ports/service_manager.h"
#include "ports/settings_store.h"

namespace qm::posix {

// The options of one run, kept in memory: for runs that must leave nothing behind. The user's options
// outlive the run in SettingsFileStore.
class MemorySettingsStore final : public SettingsStore {
  public:
    // SettingsStore:
    std::string GetSetting(const std::string& appName,
                           const std::string& section,
                           const std::string& key) override;
    void SaveSetting(const std::string& appName,
                     const std::string& section,
                     const std::string& key,
                     const std::string& setting) override;

  private:
    std::map<std::tuple<std::string, std::string, std::string>, std::string> values_;
};

// Linux has no Windows services: the manager cannot be opened, so every service reads as absent.
class NoServiceManager final : public ServiceManager {
  public:
    // ServiceManager:
    ScHandleValue OpenSCManager(std::uint32_t desiredAccess) override;
    ScHandleValue OpenService(ScHandleValue manager,
                              const std::string& serviceName,
                              std::uint32_t desiredAccess) override;
    bool StartService(ScHandleValue service) override;
    bool ControlService(ScHandleValue service, std::uint32_t control, ServiceStatus& status) override;
    bool QueryServiceStatus(ScHandleValue service, ServiceStatus& status) override;
    bool CloseServiceHandle(ScHandleValue handle) override;
};

// Whole files through the C library, with the program's error numbers.
class PosixFileSystem final : public FileSystem {
  public:
    // FileSystem:
    std::vector<std::uint8_t> ReadWholeFile(const std::string& path) override;
    void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) override;
};

// Windows without a screen: they load and unload, and showing them shows nothing (a modal show returns
// at once, as if the user had closed the window). No window of the program is ever under the pointer,
// and text is measured with FixedPitchText.
// FIXME: the Qt front end draws the program's windows; until then the program runs without any.
class HeadlessRenderer final : public Renderer {
  public:
    // Renderer:
    std::unique_ptr<WindowPeer> CreatePeer(Form& form) override;
    WindowAtPoint WindowFromPoint(ScreenPoint point) override;
    std::int32_t TextHeight(const std::string& text, const FontSpec& font, std::int32_t widthPixels) override;
};

}  // namespace qm::posix
