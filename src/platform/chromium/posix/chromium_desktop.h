#pragma once

#include <memory>

#include "ports/desktop.h"

namespace qm::cr {

class ChromiumWorld;

// The desktop as the program sees it on Linux, where the browser is the only window it watches. The
// pointer and the Ctrl key come from the input probes' latest report (the pointer in screen pixels, as
// the page reports it; outside every page once it has left them). "iexplore.exe" started with an
// address opens that address as a new window of the watched browser; other addresses go to the desktop's
// opener (xdg-open). Message boxes are written to stderr and answered with the safe choice (OK, or No).
// Calls are made on the user-interface thread; none throws.
class ChromiumDesktop final : public Desktop {
  public:
    explicit ChromiumDesktop(std::weak_ptr<ChromiumWorld> world) : world_(std::move(world)) {}

    // Desktop:
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

  private:
    std::weak_ptr<ChromiumWorld> world_;
};

}  // namespace qm::cr
