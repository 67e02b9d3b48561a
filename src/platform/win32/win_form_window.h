#pragma once

#include <optional>

#include "platform/win32/win_api.h"

namespace qm {
class Form;
class Region;
}  // namespace qm

namespace qm::win {

// The top-level window of one loaded form (of the class WindowClasses::kForm), made hidden with the frame
// its border style asks for and its owner in its user data, where the window procedure finds it. Sizes
// given to it are those of its client area: the frame and caption surround them.
//
// The window goes with this object, but not at once: it may be in the middle of one of its own messages
// (a click that unloaded the form), so it stops reaching its owner and disappears now, and is destroyed
// once that message has been handled.
class FormWindow {
  public:
    // Throws PlatformError when the window cannot be made.
    FormWindow(const Form& form, int twipsPerPixel, void* owner);
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;
    ~FormWindow();

    HWND Get() const { return window_; }

    // The window's outer size for a client area of `width` x `height` pixels.
    SIZE OuterSize(int width, int height) const;
    // Cuts the window to `region` (pixels from its top-left corner); none gives it its whole rectangle.
    void SetRegion(const std::optional<Region>& region);

  private:
    static SIZE OuterSize(DWORD style, DWORD exStyle, int width, int height);

    HWND window_ = nullptr;
};

}  // namespace qm::win
