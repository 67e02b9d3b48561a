#include "platform/win32/win_registry_settings_store.h"

#include "platform/win32/win_handles.h"

namespace qm::win {

std::wstring RegistrySettingsStore::KeyPath(const std::string& appName, const std::string& section) const {
    return root_ + L"\\" + Widen(appName) + L"\\" + Widen(section);
}

std::string RegistrySettingsStore::GetSetting(const std::string& appName,
                                              const std::string& section,
                                              const std::string& key) {
    HKEY raw = nullptr;
    LSTATUS rc =
        ::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(appName, section).c_str(), 0, KEY_QUERY_VALUE, &raw);
    if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) {
        return {};
    }
    if (rc != ERROR_SUCCESS) {
        ThrowError(static_cast<DWORD>(rc), "RegOpenKeyExW");
    }
    const UniqueRegKey hkey(raw);
    const std::wstring name = Widen(key);
    DWORD type = 0;
    DWORD size = 0;
    rc = ::RegQueryValueExW(hkey.Get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) {
        return {};
    }
    if (rc != ERROR_SUCCESS) {
        ThrowError(static_cast<DWORD>(rc), "RegQueryValueExW");
    }
    // Values of another type than text are not settings of this store.
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return {};
    }
    // The value may grow between the two calls: ask again until it fits.
    std::wstring text;
    for (;;) {
        text.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        rc = ::RegQueryValueExW(hkey.Get(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(text.data()), &bytes);
        if (rc == ERROR_MORE_DATA) {
            size = bytes;
            continue;
        }
        if (rc == ERROR_FILE_NOT_FOUND) {
            return {};
        }
        if (rc != ERROR_SUCCESS) {
            ThrowError(static_cast<DWORD>(rc), "RegQueryValueExW");
        }
        // The stored data need not end with a NUL, and may hold one early: the text ends at the first.
        text.resize(bytes / sizeof(wchar_t));
        const std::size_t nul = text.find(L'\0');
        if (nul != std::wstring::npos) {
            text.resize(nul);
        }
        return Narrow(text);
    }
}

void RegistrySettingsStore::SaveSetting(const std::string& appName,
                                        const std::string& section,
                                        const std::string& key,
                                        const std::string& setting) {
    HKEY raw = nullptr;
    LSTATUS rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(appName, section).c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (rc != ERROR_SUCCESS) {
        ThrowError(static_cast<DWORD>(rc), "RegCreateKeyExW");
    }
    const UniqueRegKey hkey(raw);
    const std::wstring value = Widen(setting);
    rc = ::RegSetValueExW(hkey.Get(), Widen(key).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS) {
        ThrowError(static_cast<DWORD>(rc), "RegSetValueExW");
    }
}

}  // namespace qm::win
