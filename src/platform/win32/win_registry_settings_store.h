#pragma once

#include <string>
#include <utility>

#include "platform/win32/win_api.h"
#include "ports/settings_store.h"

namespace qm::win {

// The key under HKEY_CURRENT_USER that holds the application settings of every program of this kind.
inline constexpr wchar_t kSettingsRoot[] = L"Software\\VB and VBA Program Settings";

// Options as REG_SZ values under HKCU\Software\VB and VBA Program Settings\<app>\<section>. Each call
// opens the key it needs and closes it before it returns.
class RegistrySettingsStore final : public SettingsStore {
  public:
    // `root` is the key below HKEY_CURRENT_USER under which the applications' keys stand.
    explicit RegistrySettingsStore(std::wstring root = kSettingsRoot) : root_(std::move(root)) {}

    std::string GetSetting(const std::string& appName,
                           const std::string& section,
                           const std::string& key) override;
    void SaveSetting(const std::string& appName,
                     const std::string& section,
                     const std::string& key,
                     const std::string& setting) override;

  private:
    std::wstring KeyPath(const std::string& appName, const std::string& section) const;
    std::wstring root_;
};

}  // namespace qm::win
