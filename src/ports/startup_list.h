#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace qm {

// The machine's start-up list: the programs the system starts for every user at log-on, one value per
// entry under this key of the local machine's registry (value name: the entry; data: its command line).
inline constexpr char kStartupListKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// A key of the start-up list as the platform hands it out; the zero value is "no key".
enum class StartupKeyValue : std::uintptr_t {};

// One value of the start-up list, name and data in full, as stored (the data of a REG_SZ value without
// its terminating NUL).
struct StartupValue {
    std::string name;
    std::string data;
};

// What reading one value of the list gave.
enum class StartupEnumResult {
    Value,       // the value was read, whatever the length of its name and data
    Unreadable,  // this value could not be read; the ones after it can still be
    NoMoreValues
};

// The start-up list of the local machine: open the key, enumerate its values, delete one, close it. Calls
// are made on the user-interface thread. None throws: each reports failure through its result, as the
// registry's own calls do. A key returned by Open stays valid until Close is called on it; the caller
// owns it (see StartupKey) and must close it exactly once.
class StartupList {
  public:
    StartupList() = default;
    StartupList(const StartupList&) = delete;
    StartupList& operator=(const StartupList&) = delete;
    virtual ~StartupList() = default;

    // RegOpenKeyA(HKEY_LOCAL_MACHINE, kStartupListKey); no key on failure (missing, access refused).
    virtual StartupKeyValue Open() = 0;
    // Value number `index` of the key (RegEnumValueA), read in full however long its name or data are.
    virtual StartupEnumResult EnumValue(StartupKeyValue key, std::uint32_t index, StartupValue& value) = 0;
    // RegDeleteValueA; false when the value was not deleted (gone already, access refused).
    virtual bool DeleteValue(StartupKeyValue key, const std::string& name) = 0;
    // RegCloseKey.
    virtual void Close(StartupKeyValue key) = 0;
};

// A platform without a start-up list: the key never opens.
StartupList& NoStartupList();

// Owns one open key of the start-up list and closes it when it goes.
class StartupKey {
  public:
    StartupKey() = default;
    StartupKey(StartupList& list, StartupKeyValue value) : list_(&list), value_(value) {}
    StartupKey(StartupKey&& other) noexcept
        : list_(other.list_), value_(std::exchange(other.value_, StartupKeyValue{})) {}
    StartupKey& operator=(StartupKey&& other) noexcept {
        if (this != &other) {
            Close();
            list_ = other.list_;
            value_ = std::exchange(other.value_, StartupKeyValue{});
        }
        return *this;
    }
    StartupKey(const StartupKey&) = delete;
    StartupKey& operator=(const StartupKey&) = delete;
    ~StartupKey() { Close(); }

    explicit operator bool() const { return value_ != StartupKeyValue{}; }
    StartupKeyValue Value() const { return value_; }

    void Close() noexcept {
        if (list_ && value_ != StartupKeyValue{}) {
            list_->Close(std::exchange(value_, StartupKeyValue{}));
        }
    }

  private:
    StartupList* list_ = nullptr;
    StartupKeyValue value_{};
};

}  // namespace qm
