#include "platform/win32/win_startup_list.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qm::win {

namespace {

HKEY ToKey(StartupKeyValue value) {
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(value));
}

}  // namespace

std::string DecodeRegistryData(DWORD type, const std::uint8_t* data, std::size_t size) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        if (!text.empty()) {
            std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
        }
        // One terminating NUL (two for a list of texts) is the value's end, not its content.
        while (!text.empty() && text.back() == L'\0') {
            text.pop_back();
        }
        return Narrow(text);
    }
    return std::string(reinterpret_cast<const char*>(data), size);
}

StartupKeyValue Win32StartupList::Open() {
    HKEY key = nullptr;
    // Whatever the user may do with the key: reading it is enough for the scan.
    if (::RegOpenKeyExW(root_, path_.c_str(), 0, MAXIMUM_ALLOWED, &key) != ERROR_SUCCESS) {
        return StartupKeyValue{};
    }
    return static_cast<StartupKeyValue>(reinterpret_cast<std::uintptr_t>(key));
}

StartupEnumResult Win32StartupList::EnumValue(StartupKeyValue key, std::uint32_t index, StartupValue& value) {
    if (key == StartupKeyValue{}) {
        return StartupEnumResult::NoMoreValues;
    }
    // The number of values bounds the enumeration: a key that fails every read (deleted meanwhile) ends
    // it instead of reporting one unreadable value after another.
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (::RegQueryInfoKeyW(ToKey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                           &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS ||
        index >= count) {
        return StartupEnumResult::NoMoreValues;
    }
    std::wstring name(longestName + 1, L'\0');
    std::vector<std::uint8_t> data(longestData + sizeof(wchar_t));
    // A value may grow between the two calls: ask again with more room until it fits.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LSTATUS rc = ::RegEnumValueW(ToKey(key), index, name.data(), &nameLength, nullptr, &type,
                                           data.data(), &dataSize);
        if (rc == ERROR_SUCCESS) {
            value.name = Narrow(std::wstring_view(name.data(), nameLength));
            value.data = DecodeRegistryData(type, data.data(), dataSize);
            return StartupEnumResult::Value;
        }
        if (rc == ERROR_NO_MORE_ITEMS) {
            return StartupEnumResult::NoMoreValues;
        }
        if (rc != ERROR_MORE_DATA) {
            return StartupEnumResult::Unreadable;
        }
        name.resize(std::max<std::size_t>(name.size() * 2, 16384));
        data.resize(std::max<std::size_t>(data.size() * 2, dataSize + sizeof(wchar_t)));
    }
    return StartupEnumResult::Unreadable;
}

bool Win32StartupList::DeleteValue(StartupKeyValue key, const std::string& name) {
    return key != StartupKeyValue{} && ::RegDeleteValueW(ToKey(key), Widen(name).c_str()) == ERROR_SUCCESS;
}

void Win32StartupList::Close(StartupKeyValue key) {
    if (key != StartupKeyValue{}) {
        ::RegCloseKey(ToKey(key));
    }
}

}  // namespace qm::win
