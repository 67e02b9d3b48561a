#include "platform/sim/sim_tray_icon.h"

namespace qm::sim {

namespace {

// The id the program's one icon is reported with.
constexpr int kIconId = 1;

}  // namespace

void SimTrayIcon::Show(const std::string& icon, const std::string& tooltip, ButtonHandler onButton) {
    shown_ = true;
    icon_ = icon;
    tooltip_ = tooltip;
    onButton_ = std::move(onButton);
    ++shows_;
}

void SimTrayIcon::Remove() {
    shown_ = false;
    onButton_ = nullptr;
}

void SimTrayIcon::Click(int button) {
    if (shown_ && onButton_) {
        // A copy: the handler may show the icon again with another handler.
        const ButtonHandler handler = onButton_;
        handler(button, kIconId);
    }
}

}  // namespace qm::sim
