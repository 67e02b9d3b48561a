#pragma once

#include <string>

namespace qm {

// The user's own store of application settings: text values addressed by application name, section and
// key. On Windows it is the per-user registry area of the platform's application-settings functions
// (one subkey for the application, one below it for the section, REG_SZ values); elsewhere a per-user
// settings file keeps the same names and texts.
//
// Used on the user-interface thread only; the store keeps nothing in memory that a caller relies on,
// so a value written is the value the next read returns. Every failure of the underlying store (a key
// that cannot be opened or created, a value that cannot be written, a file that cannot be saved)
// throws PlatformError; the caller decides whether to handle it.
class SettingsStore {
  public:
    SettingsStore() = default;
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;
    virtual ~SettingsStore() = default;

    // The text stored under `key`, or the empty text when the value, the section or the application is
    // absent (an absent value is not a failure).
    virtual std::string GetSetting(const std::string& appName,
                                   const std::string& section,
                                   const std::string& key) = 0;

    // Stores `setting` under `key`, creating the application and the section when they are missing.
    virtual void SaveSetting(const std::string& appName,
                             const std::string& section,
                             const std::string& key,
                             const std::string& setting) = 0;
};

}  // namespace qm
