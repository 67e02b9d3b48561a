#include "platform/sim/sim_renderer.h"

#include "base/platform_error.h"
#include "forms/fixed_pitch_text.h"
#include "forms/form.h"
#include "platform/sim/sim_desktop.h"
#include "ports/desktop.h"

namespace qm::sim {

namespace {

class SimWindowPeer final : public WindowPeer {
  public:
    SimWindowPeer(std::shared_ptr<SimWindowRecord> record, std::uint64_t& shows)
        : record_(std::move(record)), shows_(shows) {
        record_->region = record_->form->Shape();
    }
    ~SimWindowPeer() override {
        record_->visible = false;
        record_->form = nullptr;
    }

    void FormChanged() override { ++record_->formChanges; }
    void ControlChanged(const Control& /*control*/) override { ++record_->controlChanges; }
    void Show(ShowStyle style) override {
        record_->visible = true;
        record_->lastShow = style;
        record_->shows.push_back(style);
        record_->topmost = record_->topmost || style == ShowStyle::TopmostNoActivate;
        record_->shownAt = ++shows_;
    }
    void Hide() override { record_->visible = false; }
    void SetRegion(const std::optional<Region>& region) override { record_->region = region; }

  private:
    std::shared_ptr<SimWindowRecord> record_;
    std::uint64_t& shows_;
};

// Labels and images draw into their window; every other control has a window of its own.
bool HasOwnWindow(const Control& control) {
    return control.Kind() != ControlKind::Label && control.Kind() != ControlKind::Image;
}

double ToPixels(double value, ScaleUnit unit) {
    return unit == ScaleUnit::Twips ? value / kTwipsPerPixel : value;
}

Control& ControlOf(Form& form, const std::string& name) {
    Control* control = form.FindControl(name);
    if (!control) {
        throw PlatformError("No control " + name);
    }
    return *control;
}

}  // namespace

std::unique_ptr<WindowPeer> SimRenderer::CreatePeer(Form& form) {
    auto record = std::make_shared<SimWindowRecord>();
    record->form = &form;
    windows_.push_back(record);
    return std::make_unique<SimWindowPeer>(record, shows_);
}

WindowAtPoint SimRenderer::WindowFromPoint(ScreenPoint point) {
    const auto [form, control] = FindAt(point);
    return {form, control};
}

std::pair<Form*, Control*> SimRenderer::FindAt(ScreenPoint point) const {
    const SimWindowRecord* top = nullptr;
    for (const auto& record : windows_) {
        if (!record->form || !record->visible) {
            continue;
        }
        const SimScreenRect rect = ScreenRectOf(*record->form);
        if (!rect.Contains(point)) {
            continue;
        }
        if (record->region && !record->region->Contains(static_cast<std::int32_t>(point.x - rect.left),
                                                        static_cast<std::int32_t>(point.y - rect.top))) {
            continue;  // cut away from the window's shape
        }
        if (!top || std::pair(record->topmost, record->shownAt) > std::pair(top->topmost, top->shownAt)) {
            top = record.get();
        }
    }
    if (!top) {
        return {nullptr, nullptr};
    }
    Control* found = nullptr;
    // Controls made later stand above the earlier ones.
    for (Control* control : top->form->Controls()) {
        if (control->Visible() && HasOwnWindow(*control) && ScreenRectOf(*control).Contains(point)) {
            found = control;
        }
    }
    return {top->form, found};
}

std::int32_t SimRenderer::TextHeight(const std::string& text,
                                     const FontSpec& font,
                                     std::int32_t widthPixels) {
    return FixedPitchText::TextHeight(text, font, widthPixels);
}

SimScreenRect SimRenderer::ScreenRectOf(const Form& form) {
    const double left = form.Left() / kTwipsPerPixel;
    const double top = form.Top() / kTwipsPerPixel;
    return {left, top, left + form.Width() / kTwipsPerPixel, top + form.Height() / kTwipsPerPixel};
}

SimScreenRect SimRenderer::ScreenRectOf(const Control& control) {
    const SimScreenRect window = ScreenRectOf(control.Owner());
    const ScaleUnit unit = control.Owner().Scale();
    const double left = window.left + ToPixels(control.Left(), unit);
    const double top = window.top + ToPixels(control.Top(), unit);
    return {left, top, left + ToPixels(control.Width(), unit), top + ToPixels(control.Height(), unit)};
}

ScreenPoint SimRenderer::CentreOf(const Control& control) {
    const SimScreenRect rect = ScreenRectOf(control);
    return {static_cast<std::int32_t>((rect.left + rect.right) / 2),
            static_cast<std::int32_t>((rect.top + rect.bottom) / 2)};
}

void SimRenderer::ToControlUnits(const Control& control, ScreenPoint point, double& x, double& y) {
    const SimScreenRect rect = ScreenRectOf(control);
    const double scale = control.Owner().Scale() == ScaleUnit::Twips ? kTwipsPerPixel : 1;
    x = (point.x - rect.left) * scale;
    y = (point.y - rect.top) * scale;
}

Control* SimRenderer::CapturedControl() const {
    const std::shared_ptr<Form> form = capture_.form.lock();
    return form && form->Loaded() ? capture_.control : nullptr;
}

void SimRenderer::UserMovePointer(SimDesktop& desktop, ScreenPoint to) {
    desktop.MovePointer(to.x, to.y);
    Control* target = CapturedControl();
    if (!target) {
        target = FindAt(to).second;
    }
    if (target) {
        double x = 0;
        double y = 0;
        ToControlUnits(*target, to, x, y);
        target->Owner().FireMouseMove(*target, leftDown_ ? kLeftButton : 0, 0, x, y);
    }
}

void SimRenderer::UserPressLeft(SimDesktop& desktop) {
    desktop.HoldKey(kVkLeftButton);
    leftDown_ = true;
    const ScreenPoint at = desktop.GetCursorPos();
    Control* target = FindAt(at).second;
    capture_ = {};
    if (target) {
        capture_ = {target->Owner().weak_from_this(), target};
        double x = 0;
        double y = 0;
        ToControlUnits(*target, at, x, y);
        target->Owner().FireMouseDown(*target, kLeftButton, 0, x, y);
    }
}

void SimRenderer::UserReleaseLeft(SimDesktop& desktop) {
    desktop.ReleaseKey(kVkLeftButton);
    leftDown_ = false;
    Control* target = CapturedControl();
    capture_ = {};
    if (!target) {
        return;
    }
    const ScreenPoint at = desktop.GetCursorPos();
    double x = 0;
    double y = 0;
    ToControlUnits(*target, at, x, y);
    Form& form = target->Owner();
    const std::shared_ptr<Form> keepAlive = form.shared_from_this();
    form.FireMouseUp(*target, kLeftButton, 0, x, y);
    if (form.Loaded() && FindAt(at).second == target) {
        form.FireClick(*target);
    }
}

std::vector<Form*> SimRenderer::LoadedForms() const {
    std::vector<Form*> forms;
    for (const auto& record : windows_) {
        if (record->form) {
            forms.push_back(record->form);
        }
    }
    return forms;
}

std::vector<Form*> SimRenderer::VisibleForms() const {
    std::vector<Form*> forms;
    for (const auto& record : windows_) {
        if (record->form && record->visible) {
            forms.push_back(record->form);
        }
    }
    return forms;
}

const SimWindowRecord* SimRenderer::RecordOf(const Form& form) const {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        if ((*it)->form == &form) {
            return it->get();
        }
    }
    return nullptr;
}

void SimRenderer::Click(Form& form, const std::string& control) {
    form.FireClick(ControlOf(form, control));
}

void SimRenderer::MouseMove(Form& form, const std::string& control, int button, double x, double y) {
    form.FireMouseMove(ControlOf(form, control), button, 0, x, y);
}

void SimRenderer::MouseDown(Form& form, const std::string& control, int button, double x, double y) {
    form.FireMouseDown(ControlOf(form, control), button, 0, x, y);
}

void SimRenderer::MouseUp(Form& form, const std::string& control, int button, double x, double y) {
    form.FireMouseUp(ControlOf(form, control), button, 0, x, y);
}

}  // namespace qm::sim
