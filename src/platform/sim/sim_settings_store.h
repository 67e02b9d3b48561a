#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "ports/settings_store.h"

namespace qm::sim {

// The user's settings store of a simulated run. Tests read, plant, edit and remove exactly the texts the
// program stored, see every write in order, and can make the store fail. Names are matched exactly.
class SimSettingsStore final : public SettingsStore {
  public:
    struct Write {
        std::string appName;
        std::string section;
        std::string key;
        std::string setting;
        friend bool operator==(const Write&, const Write&) = default;
    };

    // SettingsStore:
    std::string GetSetting(const std::string& appName,
                           const std::string& section,
                           const std::string& key) override;
    void SaveSetting(const std::string& appName,
                     const std::string& section,
                     const std::string& key,
                     const std::string& setting) override;

    // Control side.
    // The stored text, or nothing when the value is absent.
    std::optional<std::string> Value(const std::string& appName,
                                     const std::string& section,
                                     const std::string& key) const;
    // Plants or edits a value by hand: not recorded as a write of the program.
    void Put(const std::string& appName,
             const std::string& section,
             const std::string& key,
             const std::string& setting);
    void Remove(const std::string& appName, const std::string& section, const std::string& key);
    // The number of values stored under one application and section.
    std::size_t ValueCount(const std::string& appName, const std::string& section) const;

    // The program's writes, in order.
    const std::vector<Write>& Writes() const { return writes_; }
    void ClearWrites() { writes_.clear(); }
    int ReadCount() const { return readCount_; }

    // From now on every read fails (or not).
    void SetFailReads(bool fail) { failReads_ = fail; }
    // Lets `okWrites` more writes through, then fails every write; a negative count never fails.
    void FailWritesAfter(int okWrites) { writesBeforeFailure_ = okWrites; }

  private:
    using Key = std::tuple<std::string, std::string, std::string>;

    std::map<Key, std::string> values_;
    std::vector<Write> writes_;
    int readCount_ = 0;
    bool failReads_ = false;
    int writesBeforeFailure_ = -1;
};

}  // namespace qm::sim
