#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/win32/win_api.h"
#include "ports/startup_list.h"

namespace qm::win {

// The machine's start-up list: the Run key of HKEY_LOCAL_MACHINE, opened with whatever access the user
// has (reading alone is enough for the scan; a deletion without write access fails and says so).
class Win32StartupList final : public StartupList {
  public:
    // `root` and `path` name the key; tests point them at a key of their own.
    explicit Win32StartupList(HKEY root = HKEY_LOCAL_MACHINE, std::wstring path = Widen(kStartupListKey))
        : root_(root), path_(std::move(path)) {}

    StartupKeyValue Open() override;
    StartupEnumResult EnumValue(StartupKeyValue key, std::uint32_t index, StartupValue& value) override;
    bool DeleteValue(StartupKeyValue key, const std::string& name) override;
    void Close(StartupKeyValue key) override;

  private:
    HKEY root_;
    std::wstring path_;
};

// The data of a registry value as the program reads it: text values (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) as UTF-8 up to their end, without the terminating NUL (and with any NUL inside kept, for
// the caller to cut at); an odd trailing byte is dropped. Values of other types are handed on byte for
// byte.
std::string DecodeRegistryData(DWORD type, const std::uint8_t* data, std::size_t size);

}  // namespace qm::win
