#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "forms/control.h"

namespace qm {

struct Platform;
class PropertyBag;
class Timer;

// The pictures of the button's light, among the program's assets: resting, hover and pressed.
inline constexpr char kLightOutPicture[] = "light_out.bmp";
inline constexpr char kLightOverPicture[] = "light_over.bmp";
inline constexpr char kLightDownPicture[] = "light_down.bmp";

// Colour of the caption, 0x00BBGGRR: dark blue.
inline constexpr std::uint32_t kButtonTextColor = 0x7F0000;

// The program's image button: a small light on the left and a wrapped caption to its right, on white,
// with the hand cursor. The light rests, lights up while the mouse is over the button and darkens while
// the left button is held on it; the button raises Click a moment (150 ms) after the platform's click.
//
// Its parts, in twips whatever the window's scale unit: the light at (0, 30), 10 x 10 pixels, shown as
// the control's Picture; the caption (ButtonText: the control's Caption, Font and ForeColor) at (240, 0),
// as wide as the control less 240 and as tall as its wrapped text; a transparent surface over the whole
// control that takes all mouse input (the control itself); and TimerCheck, a 100 ms timer of the
// containing window that finds out when the mouse has left.
//
// The control's height always follows its caption: setting Caption or resizing the control fits the
// height to the wrapped caption. Changing the font (SetFont) changes the caption at once but fits
// nothing until the next caption change or resize.
//
// Lives on the user-interface thread, as a member of its window; `platform` must outlive it.
class DOptionButton final : public Control {
  public:
    DOptionButton(Form& owner, std::string name, Platform& platform);
    ~DOptionButton() override;

    // Caption: the text of ButtonText. Setting it fits the control's height to the text.
    void SetCaption(const std::string& caption) override;

    // The container's notifications: a new control without stored properties takes its own name as
    // caption; reading ignores a missing or unreadable value, which leaves that property as it was;
    // writing stores "Caption" and "Font".
    void InitProperties();
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // The caption's place inside the control, in twips.
    double ButtonTextLeft() const { return kButtonTextLeft; }
    double ButtonTextWidth() const { return buttonTextWidth_; }
    // Whether the leave poll runs.
    bool Polling() const;

    // Control: the input of the surface.
    void OnClick() override;
    void OnMouseDown(int button, int shift, double x, double y) override;
    void OnMouseMove(int button, int shift, double x, double y) override;
    void OnMouseUp(int button, int shift, double x, double y) override;

    static constexpr double kButtonTextLeft = 240;
    static constexpr double kLightLeft = 0;
    static constexpr double kLightTop = 30;

  protected:
    // Control:
    void OnResize() override;

  private:
    void ShowOver();
    void ShowDown();
    void ShowOut();
    void ArrangeParts();
    void TimerCheck_Timer();

    double TwipsPerUnit() const;

    Platform& platform_;
    std::unique_ptr<Timer> TimerCheck;
    double buttonTextWidth_ = 0;  // twips
};

}  // namespace qm
