#pragma once

#include <cstdint>
#include <string>

namespace qm {

struct ScreenPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// Message box styles and answers, with the platform's own values.
namespace mb {
inline constexpr int kOk = 0x0;
inline constexpr int kYesNo = 0x4;
inline constexpr int kIconStop = 0x10;
inline constexpr int kIconExclamation = 0x30;
inline constexpr int kDefaultButton2 = 0x100;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;
}  // namespace mb

// Virtual key codes the program asks about.
inline constexpr int kVkLeftButton = 0x01;
inline constexpr int kVkControl = 0x11;

// Show command for started programs (SW_SHOWNORMAL).
inline constexpr int kShowNormal = 1;
// The largest result of ShellExecute that means failure: a start succeeded when its result is above it.
inline constexpr std::intptr_t kShellExecuteLastError = 32;
// Twips in one pixel on a standard screen.
inline constexpr std::int32_t kTwipsPerPixel = 15;

// The desktop services of the user's session: pointer, keys, screen, message boxes, starting programs.
// Calls are made on the user-interface thread. None throws: each reports failure through its result.
class Desktop {
  public:
    Desktop() = default;
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    virtual ~Desktop() = default;

    // The pointer position in screen pixels (GetCursorPos).
    virtual ScreenPoint GetCursorPos() = 0;
    // GetAsyncKeyState: bit 15 set while the key is down; bit 0 set when it was pressed since the last
    // query.
    virtual std::int16_t GetAsyncKeyState(int virtualKey) = 0;
    // Screen size in pixels, and the twips of one pixel (kTwipsPerPixel on a standard screen).
    virtual std::int32_t ScreenWidthPixels() = 0;
    virtual std::int32_t ScreenHeightPixels() = 0;
    virtual std::int32_t TwipsPerPixel() = 0;

    // A modal message box with `style` (mb:: values); returns the answer (mb::kAnswer...).
    virtual int MessageBox(const std::string& text, const std::string& title, int style) = 0;

    // ShellExecuteA with no owner window: `verb` empty for the default action. Returns the platform's
    // result: above kShellExecuteLastError on success, kShellExecuteLastError or less on failure.
    virtual std::intptr_t ShellExecute(const std::string& verb,
                                       const std::string& file,
                                       const std::string& parameters,
                                       const std::string& directory,
                                       int showCommand) = 0;

    // GetComputerNameA into a buffer of `bufferSize` bytes; false when the call fails. `name` holds the
    // buffer's bytes as the call left them (cut at the first NUL by the caller).
    virtual bool GetComputerName(std::string& name, std::size_t bufferSize) = 0;
};

}  // namespace qm
