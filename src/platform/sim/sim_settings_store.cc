#include "platform/sim/sim_settings_store.h"

#include "base/platform_error.h"

namespace qm::sim {

namespace {
// What the platform's settings functions raise when the store cannot be reached.
constexpr char kStoreErrorText[] = "Invalid procedure call or argument";
constexpr std::int32_t kStoreErrorNumber = 5;
constexpr char kStoreErrorSource[] = "SimSettingsStore";
}  // namespace

std::string SimSettingsStore::GetSetting(const std::string& appName,
                                         const std::string& section,
                                         const std::string& key) {
    ++readCount_;
    if (failReads_) {
        throw PlatformError(kStoreErrorText, kStoreErrorNumber, kStoreErrorSource);
    }
    return Value(appName, section, key).value_or(std::string());
}

void SimSettingsStore::SaveSetting(const std::string& appName,
                                   const std::string& section,
                                   const std::string& key,
                                   const std::string& setting) {
    if (writesBeforeFailure_ == 0) {
        throw PlatformError(kStoreErrorText, kStoreErrorNumber, kStoreErrorSource);
    }
    if (writesBeforeFailure_ > 0) {
        --writesBeforeFailure_;
    }
    writes_.push_back({appName, section, key, setting});
    Put(appName, section, key, setting);
}

std::optional<std::string> SimSettingsStore::Value(const std::string& appName,
                                                   const std::string& section,
                                                   const std::string& key) const {
    const auto it = values_.find(Key(appName, section, key));
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void SimSettingsStore::Put(const std::string& appName,
                           const std::string& section,
                           const std::string& key,
                           const std::string& setting) {
    values_[Key(appName, section, key)] = setting;
}

void SimSettingsStore::Remove(const std::string& appName,
                              const std::string& section,
                              const std::string& key) {
    values_.erase(Key(appName, section, key));
}

std::size_t SimSettingsStore::ValueCount(const std::string& appName, const std::string& section) const {
    std::size_t count = 0;
    for (const auto& [key, value] : values_) {
        if (std::get<0>(key) == appName && std::get<1>(key) == section) {
            ++count;
        }
    }
    return count;
}

}  // namespace qm::sim
