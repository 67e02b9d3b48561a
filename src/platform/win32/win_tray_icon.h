#pragma once

#include <memory>
#include <string>

#include "platform/win32/win_handles.h"
#include "ports/tray_icon.h"

namespace qm::win {

// The program's icon in the notification area (Shell_NotifyIconW), with a hidden top-level window of
// its own that receives the icon's mouse messages and the taskbar's "TaskbarCreated" broadcast (the icon
// is put up again when the taskbar comes back, or comes up late after log-on).
class Win32TrayIcon final : public TrayIcon {
  public:
    // `assetFolder`: where the picture is looked for when the resources lack it.
    explicit Win32TrayIcon(std::string assetFolder);
    ~Win32TrayIcon() override;
    Win32TrayIcon(const Win32TrayIcon&) = delete;
    Win32TrayIcon& operator=(const Win32TrayIcon&) = delete;

    void Show(const std::string& icon, const std::string& tooltip, ButtonHandler onButton) override;
    void Remove() override;

    // The window the icon reports to, and the message it sends (tests post it to stand in for the shell).
    HWND CallbackWindow() const { return window_.Get(); }
    static constexpr UINT kCallbackMessage = WM_APP + 0x51;
    static constexpr UINT kIconId = 1;

    // The mouse message of a notification (lParam) as the button it reports: 1 left, 2 right, 4 middle,
    // or 0 for what is not a button press (moves, releases).
    static int ButtonOf(UINT mouseMessage);

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    bool Notify(DWORD action);
    HICON IconFor(const std::string& name);

    std::string assetFolder_;
    UniqueWindow window_;
    UINT taskbarCreated_ = 0;
    bool wanted_ = false;  // Show was called and Remove was not
    bool up_ = false;      // the shell has the icon
    std::wstring tooltip_;
    std::string iconName_;
    UniqueIcon icon_;
    // Shared, so that a handler that replaces itself (Show from inside a click) finishes its own run.
    std::shared_ptr<ButtonHandler> onButton_;
};

}  // namespace qm::win
