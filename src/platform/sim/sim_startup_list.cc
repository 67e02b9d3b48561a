#include "platform/sim/sim_startup_list.h"

#include <algorithm>

namespace qm::sim {

StartupKeyValue SimStartupList::Open() {
    if (openFails_) {
        return StartupKeyValue{};
    }
    ++opens_;
    ++openKeys_;
    return static_cast<StartupKeyValue>(nextKey_++);
}

StartupEnumResult SimStartupList::EnumValue(StartupKeyValue key, std::uint32_t index, StartupValue& value) {
    if (!Valid(key) || index >= entries_.size()) {
        return StartupEnumResult::NoMoreValues;
    }
    const Entry& entry = entries_[index];
    if (entry.unreadable) {
        return StartupEnumResult::Unreadable;
    }
    value = entry.value;
    return StartupEnumResult::Value;
}

bool SimStartupList::DeleteValue(StartupKeyValue key, const std::string& name) {
    if (!Valid(key) || std::find(undeletable_.begin(), undeletable_.end(), name) != undeletable_.end()) {
        return false;
    }
    const auto it =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.value.name == name; });
    if (it == entries_.end()) {
        return false;
    }
    entries_.erase(it);
    deleted_.push_back(name);
    return true;
}

void SimStartupList::Close(StartupKeyValue key) {
    if (key != StartupKeyValue{} && openKeys_ > 0) {
        --openKeys_;
    }
}

void SimStartupList::Put(const std::string& name, const std::string& data) {
    for (Entry& entry : entries_) {
        if (entry.value.name == name) {
            entry.value.data = data;
            return;
        }
    }
    entries_.push_back({{name, data}, false});
}

void SimStartupList::MakeUnreadable(const std::string& name) {
    for (Entry& entry : entries_) {
        if (entry.value.name == name) {
            entry.unreadable = true;
        }
    }
}

bool SimStartupList::Has(const std::string& name) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return e.value.name == name; });
}

std::vector<std::string> SimStartupList::Names() const {
    std::vector<std::string> names;
    for (const Entry& entry : entries_) {
        names.push_back(entry.value.name);
    }
    return names;
}

}  // namespace qm::sim
