#include "forms/d_option_button.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <variant>

#include "base/event_loop.h"
#include "base/platform_error.h"
#include "forms/form.h"
#include "forms/property_bag.h"
#include "forms/renderer.h"
#include "forms/timer.h"
#include "ports/desktop.h"
#include "ports/platform.h"

namespace qm {

namespace {

constexpr int kTimerCheckInterval = 100;
// The click is held back this long, so that the pressed light is seen before whatever the click does.
constexpr int kClickDelay = 150;
// The left button's state that means "held": bit 15 alone. With bit 0 as well (pressed since the last
// query) the poll takes the button as not held.
constexpr std::uint16_t kHeld = 0x8000;

constexpr char kCaptionProperty[] = "Caption";
constexpr char kFontProperty[] = "Font";

}  // namespace

DOptionButton::DOptionButton(Form& owner, std::string name, Platform& platform)
    : Control(owner, std::move(name), ControlKind::ImageButton), platform_(platform) {
    SetBackColor(kWhite);
    SetPicture(kLightOutPicture);
    SetForeColor(kButtonTextColor);
    SetPointer(MousePointer::Hand);
    TimerCheck = owner.NewControlTimer([this] { TimerCheck_Timer(); });
    TimerCheck->SetInterval(kTimerCheckInterval);
}

DOptionButton::~DOptionButton() = default;

void DOptionButton::SetCaption(const std::string& caption) {
    Control::SetCaption(caption);
    ArrangeParts();
}

void DOptionButton::InitProperties() {
    SetCaption(Name());
}

void DOptionButton::ReadProperties(PropertyBag& bag) {
    // Each value on its own: one that is missing or unreadable (or of the wrong kind) leaves its property
    // as it was and does not keep the other from being read.
    try {
        const PropertyValue caption = bag.ReadProperty(kCaptionProperty);
        if (const auto* text = std::get_if<std::string>(&caption)) {
            SetCaption(*text);
        }
    } catch (const PlatformError&) {
    }
    try {
        const PropertyValue font = bag.ReadProperty(kFontProperty);
        if (const auto* stored = std::get_if<FontSpec>(&font)) {
            SetFont(*stored);
        }
    } catch (const PlatformError&) {
    }
}

void DOptionButton::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty(kCaptionProperty, Caption());
    bag.WriteProperty(kFontProperty, Font());
}

bool DOptionButton::Polling() const {
    return TimerCheck->Enabled();
}

void DOptionButton::OnClick() {
    platform_.loop.Sleep(kClickDelay);
    if (Click) {
        Click();
    }
}

void DOptionButton::OnMouseDown(int button, int /*shift*/, double /*x*/, double /*y*/) {
    if (button == kLeftButton) {
        ShowDown();
    }
}

void DOptionButton::OnMouseMove(int button, int /*shift*/, double /*x*/, double /*y*/) {
    if (button == 0) {
        TimerCheck->SetEnabled(true);
        ShowOver();
    }
}

void DOptionButton::OnMouseUp(int /*button*/, int /*shift*/, double /*x*/, double /*y*/) {
    ShowOver();
}

void DOptionButton::OnResize() {
    // A control narrower than the light's column leaves the caption no room rather than a negative width.
    buttonTextWidth_ = std::max(0.0, Width() * TwipsPerUnit() - kButtonTextLeft);
    ArrangeParts();
}

void DOptionButton::ShowOver() {
    SetPicture(kLightOverPicture);
}

void DOptionButton::ShowDown() {
    SetPicture(kLightDownPicture);
}

void DOptionButton::ShowOut() {
    SetPicture(kLightOutPicture);
}

void DOptionButton::ArrangeParts() {
    // The caption has grown to fit its wrapped text; the control (and the surface over it) takes its
    // height. The resize this raises finds nothing left to change.
    const double twipsPerPixel = std::max(1, platform_.desktop.TwipsPerPixel());
    const auto widthPixels = static_cast<std::int32_t>(std::floor(buttonTextWidth_ / twipsPerPixel));
    const std::int32_t heightPixels = platform_.renderer.TextHeight(Caption(), Font(), widthPixels);
    Move(Left(), Top(), Width(), heightPixels * twipsPerPixel / TwipsPerUnit());
}

void DOptionButton::TimerCheck_Timer() {
    Desktop& desktop = platform_.desktop;
    const WindowAtPoint under = platform_.renderer.WindowFromPoint(desktop.GetCursorPos());
    const auto leftButton = static_cast<std::uint16_t>(desktop.GetAsyncKeyState(kVkLeftButton));
    if (under.control == this || leftButton == kHeld) {
        return;
    }
    ShowOut();
    TimerCheck->SetEnabled(false);
}

double DOptionButton::TwipsPerUnit() const {
    return Owner().Scale() == ScaleUnit::Twips ? 1.0 : std::max(1, platform_.desktop.TwipsPerPixel());
}

}  // namespace qm
