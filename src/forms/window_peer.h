#pragma once

#include <optional>

namespace qm {

class Control;
class Region;

// How a window is shown.
enum class ShowStyle {
    Normal,            // non-modal, activated
    Modal,             // modal over the program's other windows
    TopmostNoActivate  // on top of every window, without taking the focus (SWP_NOACTIVATE, HWND_TOPMOST)
};

// The native side of one loaded window: a real window with a real widget for each control (Win32, Qt) or
// a record of them (sim). It reads the core's window and controls whenever it is told that something
// changed, and reports the user's input to the window through Form::Fire... calls. Created when the
// window loads, destroyed when it unloads. Used on the user-interface thread only; nothing here throws.
class WindowPeer {
  public:
    WindowPeer() = default;
    WindowPeer(const WindowPeer&) = delete;
    WindowPeer& operator=(const WindowPeer&) = delete;
    virtual ~WindowPeer() = default;

    // The window's own properties (caption, place, size, picture, colours) changed.
    virtual void FormChanged() = 0;
    // A property of one control changed.
    virtual void ControlChanged(const Control& control) = 0;
    // Shows the window. A modal show returns once the window has been hidden or unloaded; the program's
    // events go on meanwhile.
    virtual void Show(ShowStyle style) = 0;
    virtual void Hide() = 0;
    // Cuts the window to `region` (pixels from its top-left corner); none gives it its whole rectangle.
    virtual void SetRegion(const std::optional<Region>& region) = 0;
};

}  // namespace qm
