#pragma once

#include "ports/desktop.h"

namespace qm::qt {

class QtRenderer;

// The desktop on Linux as the program sees it: two sources of the pointer and the keys put together.
// The program's own windows are Qt's, so while the pointer stands over one of them (as the window
// system finds it, shapes respected) its position comes from Qt; everywhere else it comes from
// `pages`, the watched browser's input reports, which know where the pointer stands over a page even
// when the browser draws no window on this screen (headless). The Ctrl key and the left button count
// as held when either source holds them. Screen size is Qt's primary screen; message boxes are real
// Qt message boxes; starting programs and the computer name are `pages`' business. `renderer` and
// `pages` must outlive the desktop. None of the calls throws.
class QtDesktop final : public Desktop {
  public:
    QtDesktop(QtRenderer& renderer, Desktop& pages) : renderer_(renderer), pages_(pages) {}

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
    QtRenderer& renderer_;
    Desktop& pages_;
};

}  // namespace qm::qt
