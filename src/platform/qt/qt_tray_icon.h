#pragma once

#include <memory>
#include <string>

#include "ports/tray_icon.h"

class QSystemTrayIcon;
class QObject;

namespace qm::qt {

class QtRenderer;

// The program's icon in the desktop's notification area (QSystemTrayIcon). The picture is the asset of
// that name, or a drawn stand-in when no folder holds it. A click with any button reaches the handler
// with the button as the program numbers it (1 left, 2 right, 4 middle) and the icon's id 1. When the
// desktop has no notification area yet the icon waits and docks as soon as one appears, rather than
// ending the program.
class QtTrayIcon final : public TrayIcon {
  public:
    static constexpr int kIconId = 1;

    explicit QtTrayIcon(QtRenderer& renderer);
    ~QtTrayIcon() override;

    // TrayIcon:
    void Show(const std::string& icon, const std::string& tooltip, ButtonHandler onButton) override;
    void Remove() override;

    // For tests: the Qt icon (null while none is up), and a click as the desktop reports it.
    QSystemTrayIcon* Icon() const { return icon_.get(); }
    void Activate(int reason);

  private:
    QtRenderer& renderer_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    ButtonHandler onButton_;
};

}  // namespace qm::qt
