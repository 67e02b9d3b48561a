#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/event_loop.h"
#include "forms/control.h"
#include "forms/region.h"
#include "forms/timer.h"
#include "forms/window_peer.h"

namespace qm {

class Renderer;

// The unit a window's controls are placed in.
enum class ScaleUnit { Twips, Pixels };

enum class BorderStyle { None, FixedSingle, FixedDialog };

// A window of the program, shown or not: the hub, each monitor, each hidden browser and each countdown
// window are forms. A form is always owned by a std::shared_ptr (create it with std::make_shared), so
// that every handler can keep its own form alive while it runs: a handler may unload the form, or
// remove the last reference to it from a list, and still return safely.
//
// A form owns its controls (as members of the derived class, registered in the order they are made),
// its timers and, while it is loaded and if it has a renderer, its native side. Loading happens once;
// unloading stops every timer for good, runs Form_Unload and releases the native side. A form that was
// unloaded is not loaded again; the program creates a new one instead.
class Form : public std::enable_shared_from_this<Form> {
  public:
    // `renderer` makes the native side of a window that can be shown; hidden windows have none.
    explicit Form(EventLoop& loop, Renderer* renderer = nullptr) : loop_(loop), renderer_(renderer) {}
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    bool Loaded() const { return loaded_; }
    void Load();
    void Unload();

    // Shows the window, loading it first if needed. A modal show returns once the window is closed.
    void Show(ShowStyle style = ShowStyle::Normal);
    void Hide();
    bool Visible() const { return visible_; }

    // The window's place and size on the screen, in twips, as single-precision values.
    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    virtual void Move(float left, float top);
    virtual void Resize(float width, float height);

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    ScaleUnit Scale() const { return scale_; }
    BorderStyle Border() const { return border_; }
    std::uint32_t BackColor() const { return backColor_; }
    // The name of the window's background picture among the program's assets ("" for none).
    const std::string& Picture() const { return picture_; }
    // The default font of the window's controls.
    const FontSpec& Font() const { return font_; }
    bool CenteredOnScreen() const { return centered_; }
    // The window's shape: none while it has its whole rectangle.
    const std::optional<Region>& Shape() const { return shape_; }
    void SetShape(std::optional<Region> shape);

    // The controls in the order the window made them.
    const std::vector<Control*>& Controls() const { return controls_; }
    Control* FindControl(const std::string& name) const;

    // Input from the native side. Each runs the control's handler with this window kept alive, and only
    // while it is loaded and the control is enabled.
    void FireClick(Control& control);
    void FireMouseDown(Control& control, int button, int shift, double x, double y);
    void FireMouseMove(Control& control, int button, int shift, double x, double y);
    void FireMouseUp(Control& control, int button, int shift, double x, double y);
    // Enter and Esc: a click of the default or the cancel button, when there is one that can be pressed.
    void FireEnter();
    void FireEscape();
    // The close box of the title bar.
    void FireCloseBox();

    // Called by the window's controls.
    void AddControl(Control& control);
    void ControlChanged(const Control& control);
    // A timer of this window for one of its controls: its ticks run `handler` while the window is loaded,
    // with the window kept alive for the length of the call. The control owns the timer and must not
    // outlive the window.
    std::unique_ptr<Timer> NewControlTimer(std::function<void()> handler);

  protected:
    EventLoop& Loop() const { return loop_; }

    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    // The user asked to close the window from its title bar; the window unloads unless this says no.
    virtual bool Form_QueryUnload() { return true; }

    // The window's design-time look, set by the derived class before it loads.
    void SetDesign(ScaleUnit scale, BorderStyle border, float widthTwips, float heightTwips);
    void SetBackColor(std::uint32_t colour);
    void SetPicture(const std::string& picture);
    void SetFont(const FontSpec& font);
    void SetCenteredOnScreen(bool centered) { centered_ = centered; }

    // A new timer of this form whose ticks run `handler` on it while the form is loaded, with the form
    // kept alive for the length of the call.
    template <typename Derived>
    std::unique_ptr<Timer> NewTimer(void (Derived::*handler)()) {
        Derived* self = static_cast<Derived*>(this);
        auto timer = std::make_unique<Timer>(loop_, [this, self, handler] {
            const std::shared_ptr<Form> keepAlive = weak_from_this().lock();
            if (keepAlive && loaded_) {
                (self->*handler)();
            }
        });
        timers_.push_back(timer.get());
        return timer;
    }

  private:
    template <typename F>
    void Dispatch(Control& control, const F& call);
    void NotifyForm();

    EventLoop& loop_;
    Renderer* renderer_;
    std::unique_ptr<WindowPeer> peer_;
    std::vector<Timer*> timers_;
    std::vector<Control*> controls_;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool visible_ = false;
    float left_ = 0;
    float top_ = 0;
    float width_ = 0;
    float height_ = 0;
    std::string caption_;
    ScaleUnit scale_ = ScaleUnit::Twips;
    BorderStyle border_ = BorderStyle::FixedSingle;
    std::uint32_t backColor_ = 0x8000000F;  // the system's button face colour
    std::string picture_;
    FontSpec font_;
    bool centered_ = false;
    std::optional<Region> shape_;
};

}  // namespace qm
