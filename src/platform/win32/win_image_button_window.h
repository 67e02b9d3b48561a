#pragma once

#include "platform/win32/win_api.h"

namespace qm {
class Control;
}

namespace qm::win {

class Win32Renderer;
class Win32WindowPeer;

// The image button on a window of its own (of the class WindowClasses::kImageButton), drawn by the
// program: its back colour (white unless it has one), its light picture and its caption at fixed places,
// and the hand over all of it. Its mouse goes to the peer of its window, which raises the control's
// events.
class ImageButtonWindow {
  public:
    // Takes `window` over: its messages come here from now on, and stop when this object goes.
    ImageButtonWindow(HWND window, Win32WindowPeer& peer, Control& control, Win32Renderer& renderer);
    ImageButtonWindow(const ImageButtonWindow&) = delete;
    ImageButtonWindow& operator=(const ImageButtonWindow&) = delete;
    ~ImageButtonWindow();

    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);

  private:
    void Paint();
    void Mouse(UINT msg, WPARAM wp, LPARAM lp);

    HWND window_;
    Win32WindowPeer& peer_;
    Control& control_;
    Win32Renderer& renderer_;
};

}  // namespace qm::win
