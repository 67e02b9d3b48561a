#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32/win_api.h"
#include "ports/desktop.h"

namespace qm::win {

// Pointer, keys, screen, message boxes and the shell of the interactive desktop.
class Win32Desktop : public Desktop {
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

}  // namespace qm::win
