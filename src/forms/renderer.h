#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "forms/control.h"
#include "ports/desktop.h"

namespace qm {

class Form;
class WindowPeer;

// What the window system finds at a point of the screen (WindowFromPoint), among the program's windows.
// `control` is set when the point lies on a control that has a native window of its own (text boxes,
// buttons, lists, frames, the image button); labels and images draw into their window, so a point on
// them finds the window alone. Both are null when the point lies outside every window of the program,
// on a part cut away from a shaped window, or on a window of another program.
struct WindowAtPoint {
    const Form* form = nullptr;
    const Control* control = nullptr;
};

// Makes the native side of the program's windows, and answers what only the window system knows: which
// window lies under a point of the screen, and how tall a text grows when it wraps. The peer keeps a
// reference to `form` and must not outlive it (the form destroys its peer when it unloads). Calls are
// made on the user-interface thread; a renderer that cannot make a window throws PlatformError; the two
// questions never throw.
class Renderer {
  public:
    Renderer() = default;
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;
    virtual ~Renderer() = default;

    virtual std::unique_ptr<WindowPeer> CreatePeer(Form& form) = 0;

    // The topmost of the program's visible windows at `point` (screen pixels), as WindowFromPoint sees
    // it: window regions are respected.
    virtual WindowAtPoint WindowFromPoint(ScreenPoint point) = 0;

    // The height in pixels of `text` drawn in `font` within lines of at most `widthPixels`, broken at
    // spaces (and between East Asian characters, and inside a word too long for a line), as a
    // word-wrapping label that fits its height to its text grows. A text with no characters is one line
    // high; a width below one character still shows one character a line.
    virtual std::int32_t TextHeight(const std::string& text,
                                    const FontSpec& font,
                                    std::int32_t widthPixels) = 0;
};

}  // namespace qm
