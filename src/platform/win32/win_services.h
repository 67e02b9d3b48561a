#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win_handles.h"
#include "ports/desktop.h"
#include "ports/file_system.h"
#include "ports/power.h"
#include "ports/process_services.h"
#include "ports/service_manager.h"
#include "ports/settings_store.h"
#include "ports/startup_list.h"

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

// The service control manager of the local machine, one call for one.
class Win32ServiceManager final : public ServiceManager {
  public:
    ScHandleValue OpenSCManager(std::uint32_t desiredAccess) override;
    ScHandleValue OpenService(ScHandleValue manager,
                              const std::string& serviceName,
                              std::uint32_t desiredAccess) override;
    bool StartService(ScHandleValue service) override;
    bool ControlService(ScHandleValue service, std::uint32_t control, ServiceStatus& status) override;
    bool QueryServiceStatus(ScHandleValue service, ServiceStatus& status) override;
    bool CloseServiceHandle(ScHandleValue handle) override;
};

// Whole files through CreateFileW.
class Win32FileSystem final : public FileSystem {
  public:
    std::vector<std::uint8_t> ReadWholeFile(const std::string& path) override;
    void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) override;
};

// The file error the program's runtime reports for a Win32 error of opening, reading or writing a file.
struct FileErrorInfo {
    std::int32_t number;
    const char* description;
};
FileErrorInfo FileErrorFor(DWORD win32Error);

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

// The version, the process token and the shutdown call, one for one.
class Win32Power final : public Power {
  public:
    int GetVersionEx(OsVersionInfo& info) override;
    ProcessHandleValue GetCurrentProcess() override;
    TokenHandleValue OpenProcessToken(ProcessHandleValue process, std::uint32_t desiredAccess) override;
    bool LookupPrivilegeValue(const std::string& name, Luid& luid) override;
    bool AdjustTokenPrivileges(TokenHandleValue token,
                               bool disableAll,
                               const TokenPrivilege& newState) override;
    void CloseToken(TokenHandleValue token) override;
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) override;
};

// Pointer, keys, screen, message boxes and the shell of the interactive desktop.
class Win32Desktop final : public Desktop {
  public:
    ScreenPoint GetCursorPos() override;
    std::int16_t GetAsyncKeyState(int virtualKey) override;
    std::int32_t ScreenWidthPixels() override;
    std::int32_t ScreenHeightPixels() override;
    std::int32_t TwipsPerPixel() override;
    int MessageBox(const std::string& text, const std::string& title, int style) override;
    std::intptr_t ShellExecute(const std::string& verb,
                               const std::string& file,
                               const std::string& parameters,
                               const std::string& directory,
                               int showCommand) override;
    bool GetComputerName(std::string& name, std::size_t bufferSize) override;
};

// The name of the object that marks a running copy for the logged-on user: it lives in the session's
// own namespace and carries the user's name, so that copies of other users (or other sessions) do not
// count.
std::wstring InstanceMarkerName();

// Single instance, the named mutex, common controls, the program's folder and ending the process.
class Win32ProcessServices final : public ProcessServices {
  public:
    // `endProcess` stops the message loop; it is called by EndProcess.
    explicit Win32ProcessServices(std::function<void()> endProcess) : endProcess_(std::move(endProcess)) {}

    bool PrevInstance() override;
    void CreateMutex(const std::string& name) override;
    void InitCommonControls(unsigned structureSize, unsigned classFlags) override;
    std::string AppPath() override;
    void EndProcess() override;

  private:
    std::function<void()> endProcess_;
    // Both stay open until the process ends.
    UniqueHandle instanceMarker_;
    std::vector<UniqueHandle> mutexes_;
};

}  // namespace qm::win
