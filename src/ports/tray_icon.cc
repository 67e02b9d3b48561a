#include "ports/tray_icon.h"

namespace qm {

namespace {

class NoTrayIconImpl final : public TrayIcon {
  public:
    // TrayIcon:
    void Show(const std::string&, const std::string&, ButtonHandler) override {}
    void Remove() override {}
};

}  // namespace

TrayIcon& NoTrayIcon() {
    static NoTrayIconImpl tray;
    return tray;
}

}  // namespace qm
