#pragma once

#include <string>

#include "ports/tray_icon.h"

namespace qm::sim {

// The notification area, as tests see it: whether the icon is up, its picture and tooltip, and the
// user's clicks on it.
class SimTrayIcon final : public TrayIcon {
  public:
    // TrayIcon:
    void Show(const std::string& icon, const std::string& tooltip, ButtonHandler onButton) override;
    void Remove() override;

    // Control side.
    bool Shown() const { return shown_; }
    const std::string& Icon() const { return icon_; }
    const std::string& Tooltip() const { return tooltip_; }
    int ShowCount() const { return shows_; }
    // The user presses a mouse button on the icon (nothing happens while it is not up).
    void Click(int button);

  private:
    bool shown_ = false;
    std::string icon_;
    std::string tooltip_;
    ButtonHandler onButton_;
    int shows_ = 0;
};

}  // namespace qm::sim
