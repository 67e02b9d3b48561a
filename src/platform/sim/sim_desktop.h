#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ports/desktop.h"

namespace qm::sim {

// The user's desktop, scripted by tests: a pointer they place, keys they hold, message boxes they answer
// and programs whose start they record.
class SimDesktop final : public Desktop {
  public:
    struct MessageBoxCall {
        std::string text;
        std::string title;
        int style = 0;
        int answer = 0;
    };
    struct ShellExecuteCall {
        std::string verb;
        std::string file;
        std::string parameters;
        std::string directory;
        int showCommand = 0;
    };

    // Desktop:
    ScreenPoint GetCursorPos() override { return cursor_; }
    std::int16_t GetAsyncKeyState(int virtualKey) override;
    std::int32_t ScreenWidthPixels() override { return screenWidth_; }
    std::int32_t ScreenHeightPixels() override { return screenHeight_; }
    std::int32_t TwipsPerPixel() override { return kTwipsPerPixel; }
    int MessageBox(const std::string& text, const std::string& title, int style) override;
    std::intptr_t ShellExecute(const std::string& verb,
                               const std::string& file,
                               const std::string& parameters,
                               const std::string& directory,
                               int showCommand) override;
    bool GetComputerName(std::string& name, std::size_t bufferSize) override;

    // Control side.
    void MovePointer(std::int32_t x, std::int32_t y) { cursor_ = {x, y}; }
    // Key down (and pressed since the last query); key up keeps the "pressed since" bit until it is read.
    void HoldKey(int virtualKey);
    void ReleaseKey(int virtualKey);
    // Sets the exact value the next GetAsyncKeyState queries of the key return.
    void SetKeyState(int virtualKey, std::int16_t state) { forced_[virtualKey] = state; }
    void SetScreenSize(std::int32_t width, std::int32_t height) {
        screenWidth_ = width;
        screenHeight_ = height;
    }
    // The next message boxes answer these, in order; without a scripted answer a box answers with its
    // default button.
    void QueueAnswer(int answer) { answers_.push_back(answer); }
    const std::vector<MessageBoxCall>& MessageBoxes() const { return messageBoxes_; }
    // What the next program starts return (above kShellExecuteLastError: success).
    void SetShellExecuteResult(std::intptr_t result) { shellExecuteResult_ = result; }
    const std::vector<ShellExecuteCall>& ShellExecutes() const { return shellExecutes_; }
    // Runs for every successful program start: the simulated world's way to open what was started.
    void SetLauncher(std::function<void(const ShellExecuteCall&)> launcher) {
        launcher_ = std::move(launcher);
    }
    void SetComputerName(std::string name, bool succeeds = true) {
        computerName_ = std::move(name);
        computerNameSucceeds_ = succeeds;
    }

  private:
    struct KeyState {
        bool down = false;
        bool pressedSinceQuery = false;
    };

    ScreenPoint cursor_;
    std::map<int, KeyState> keys_;
    std::map<int, std::int16_t> forced_;
    std::int32_t screenWidth_ = 1024;
    std::int32_t screenHeight_ = 768;
    std::deque<int> answers_;
    std::vector<MessageBoxCall> messageBoxes_;
    std::intptr_t shellExecuteResult_ = 42;
    std::vector<ShellExecuteCall> shellExecutes_;
    std::function<void(const ShellExecuteCall&)> launcher_;
    std::string computerName_ = "SIMPC";
    bool computerNameSucceeds_ = true;
};

}  // namespace qm::sim
