#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "forms/region.h"
#include "forms/renderer.h"
#include "forms/window_peer.h"
#include "ports/desktop.h"

namespace qm {
class Control;
class Form;
}  // namespace qm

namespace qm::sim {

class SimDesktop;

// What the simulated screen knows of one window.
struct SimWindowRecord {
    Form* form = nullptr;  // null once the window has been unloaded
    bool visible = false;
    std::optional<ShowStyle> lastShow;
    std::vector<ShowStyle> shows;
    std::optional<Region> region;
    int formChanges = 0;
    int controlChanges = 0;
    // Stacking: topmost windows stand above all others; within each layer the latest shown is on top.
    bool topmost = false;
    std::uint64_t shownAt = 0;
};

// A rectangle of the simulated screen in pixels; right and bottom exclusive.
struct SimScreenRect {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    bool Contains(ScreenPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
};

// The native side of windows on the simulated platform: it records every window, what was shown how,
// and lets tests act as the user (click a control by name, press Enter or Esc, use the close box, or
// move, press and release the mouse over the windows on screen). Modal shows return at once; the test
// plays the user afterwards.
//
// The screen has 15 twips to a pixel, as the simulated desktop. A window's inner area stands at its own
// left and top (borders and title bars take no room here). Text is measured with FixedPitchText.
class SimRenderer final : public Renderer {
  public:
    // Renderer:
    std::unique_ptr<WindowPeer> CreatePeer(Form& form) override;
    WindowAtPoint WindowFromPoint(ScreenPoint point) override;
    std::int32_t TextHeight(const std::string& text, const FontSpec& font, std::int32_t widthPixels) override;

    // Control side.
    // Every window made so far, in the order they were made.
    const std::vector<std::shared_ptr<SimWindowRecord>>& Windows() const { return windows_; }
    // The loaded windows whose caption is `caption`, or whose class made them, newest last.
    std::vector<Form*> LoadedForms() const;
    std::vector<Form*> VisibleForms() const;
    const SimWindowRecord* RecordOf(const Form& form) const;

    // The user's actions on a loaded window. Each fails the test through an exception when the control
    // is missing.
    static void Click(Form& form, const std::string& control);
    static void MouseMove(Form& form, const std::string& control, int button = 0, double x = 1, double y = 1);
    static void MouseDown(Form& form, const std::string& control, int button = 1, double x = 1, double y = 1);
    static void MouseUp(Form& form, const std::string& control, int button = 1, double x = 1, double y = 1);

    // Where things stand on the screen, in pixels.
    static SimScreenRect ScreenRectOf(const Form& form);
    static SimScreenRect ScreenRectOf(const Control& control);
    static ScreenPoint CentreOf(const Control& control);

    // The user's hand on the mouse, as the window system delivers it. The pointer and the left button
    // are the desktop's. A move reaches the control with a window of its own under the pointer, or the
    // control that holds the mouse while the left button is down (capture); pressing the left button
    // over such a control gives it the mouse down and captures it; releasing gives the captured control
    // the mouse up and, when the pointer is still over it, a click.
    void UserMovePointer(SimDesktop& desktop, ScreenPoint to);
    void UserPressLeft(SimDesktop& desktop);
    void UserReleaseLeft(SimDesktop& desktop);

  private:
    struct Capture {
        std::weak_ptr<Form> form;
        Control* control = nullptr;
    };
    // The topmost visible window at `point` and its control there with a window of its own, if any.
    std::pair<Form*, Control*> FindAt(ScreenPoint point) const;
    // The captured control while its window is still loaded.
    Control* CapturedControl() const;
    static void ToControlUnits(const Control& control, ScreenPoint point, double& x, double& y);

    std::vector<std::shared_ptr<SimWindowRecord>> windows_;
    std::uint64_t shows_ = 0;
    bool leftDown_ = false;
    Capture capture_;
};

}  // namespace qm::sim
