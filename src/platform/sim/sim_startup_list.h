#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ports/startup_list.h"

namespace qm::sim {

// The machine's start-up list, filled by tests: values of any length, keys that refuse to open, values
// that cannot be read or deleted. Records deletions and counts open keys.
class SimStartupList final : public StartupList {
  public:
    // StartupList:
    StartupKeyValue Open() override;
    StartupEnumResult EnumValue(StartupKeyValue key, std::uint32_t index, StartupValue& value) override;
    bool DeleteValue(StartupKeyValue key, const std::string& name) override;
    void Close(StartupKeyValue key) override;

    // Control side.
    // Adds a value at the end of the list (a value of the same name is replaced in place, as the registry
    // does).
    void Put(const std::string& name, const std::string& data);
    // Marks a value as one the enumeration cannot read.
    void MakeUnreadable(const std::string& name);
    // Whether the key opens (scan) or opens again (kill).
    void SetOpenFails(bool fails) { openFails_ = fails; }
    // Deleting this value fails.
    void MakeUndeletable(const std::string& name) { undeletable_.push_back(name); }
    bool Has(const std::string& name) const;
    std::vector<std::string> Names() const;
    const std::vector<std::string>& Deleted() const { return deleted_; }
    int OpenCount() const { return opens_; }
    int OpenKeyCount() const { return openKeys_; }

  private:
    struct Entry {
        StartupValue value;
        bool unreadable = false;
    };

    bool Valid(StartupKeyValue key) const { return key != StartupKeyValue{} && openKeys_ > 0; }

    std::vector<Entry> entries_;
    std::vector<std::string> undeletable_;
    std::vector<std::string> deleted_;
    bool openFails_ = false;
    int opens_ = 0;
    int openKeys_ = 0;
    std::uintptr_t nextKey_ = 1;
};

}  // namespace qm::sim
