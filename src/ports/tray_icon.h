#pragma once

#include <functional>
#include <string>

namespace qm {

// The program's icon in the notification area of the taskbar, with its tooltip. There is at most one.
// Show puts the icon up (or changes its picture and tooltip when it is up already) and names the handler
// that every mouse-button event on the icon runs, with the button and the icon's id; Remove takes it
// down. Calls are made, and the handler runs, on the user-interface thread. Show throws PlatformError
// when the icon cannot be put up; Remove never throws.
class TrayIcon {
  public:
    using ButtonHandler = std::function<void(int button, int id)>;

    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    virtual ~TrayIcon() = default;

    // `icon` names a picture among the program's assets.
    virtual void Show(const std::string& icon, const std::string& tooltip, ButtonHandler onButton) = 0;
    virtual void Remove() = 0;
};

// A platform without a notification area: nothing is shown and no event comes.
TrayIcon& NoTrayIcon();

}  // namespace qm
