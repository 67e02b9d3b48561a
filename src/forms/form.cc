#include "forms/form.h"

#include <algorithm>

#include "forms/renderer.h"

namespace qm {

Form::~Form() = default;

void Form::Load() {
    if (loaded_ || unloaded_) {
        return;
    }
    loaded_ = true;
    if (renderer_) {
        peer_ = renderer_->CreatePeer(*this);
    }
    Form_Load();
}

void Form::Unload() {
    if (!loaded_) {
        return;
    }
    loaded_ = false;
    unloaded_ = true;
    for (Timer* timer : timers_) {
        timer->Kill();
    }
    Form_Unload();
    visible_ = false;
    if (peer_) {
        peer_->Hide();
        peer_.reset();
    }
}

void Form::Show(ShowStyle style) {
    Load();
    if (!loaded_) {
        return;
    }
    visible_ = true;
    if (peer_) {
        peer_->Show(style);
    }
}

void Form::Hide() {
    visible_ = false;
    if (peer_) {
        peer_->Hide();
    }
}

void Form::NotifyForm() {
    if (peer_) {
        peer_->FormChanged();
    }
}

void Form::Move(float left, float top) {
    left_ = left;
    top_ = top;
    NotifyForm();
}

void Form::Resize(float width, float height) {
    width_ = width;
    height_ = height;
    NotifyForm();
}

void Form::SetCaption(const std::string& caption) {
    caption_ = caption;
    NotifyForm();
}

void Form::SetShape(std::optional<Region> shape) {
    shape_ = std::move(shape);
    if (peer_) {
        peer_->SetRegion(shape_);
    }
}

void Form::SetDesign(ScaleUnit scale, BorderStyle border, float widthTwips, float heightTwips) {
    scale_ = scale;
    border_ = border;
    width_ = widthTwips;
    height_ = heightTwips;
    NotifyForm();
}

void Form::SetBackColor(std::uint32_t colour) {
    backColor_ = colour;
    NotifyForm();
}

void Form::SetPicture(const std::string& picture) {
    picture_ = picture;
    NotifyForm();
}

void Form::SetFont(const FontSpec& font) {
    // Controls take the window's font, as they do when the window is designed.
    font_ = font;
    for (Control* control : controls_) {
        control->SetFont(font);
    }
    NotifyForm();
}

Control* Form::FindControl(const std::string& name) const {
    const auto it =
        std::find_if(controls_.begin(), controls_.end(), [&](Control* c) { return c->Name() == name; });
    return it == controls_.end() ? nullptr : *it;
}

void Form::AddControl(Control& control) {
    control.SetFont(font_);
    controls_.push_back(&control);
}

void Form::ControlChanged(const Control& control) {
    if (peer_) {
        peer_->ControlChanged(control);
    }
}

template <typename F>
void Form::Dispatch(Control& control, const F& call) {
    const std::shared_ptr<Form> keepAlive = weak_from_this().lock();
    if (!keepAlive || !loaded_ || !control.Enabled()) {
        return;
    }
    call();
}

void Form::FireClick(Control& control) {
    Dispatch(control, [&] { control.OnClick(); });
}

void Form::FireMouseDown(Control& control, int button, int shift, double x, double y) {
    Dispatch(control, [&] { control.OnMouseDown(button, shift, x, y); });
}

void Form::FireMouseMove(Control& control, int button, int shift, double x, double y) {
    Dispatch(control, [&] { control.OnMouseMove(button, shift, x, y); });
}

void Form::FireMouseUp(Control& control, int button, int shift, double x, double y) {
    Dispatch(control, [&] { control.OnMouseUp(button, shift, x, y); });
}

std::unique_ptr<Timer> Form::NewControlTimer(std::function<void()> handler) {
    auto timer = std::make_unique<Timer>(loop_, [this, handler = std::move(handler)] {
        const std::shared_ptr<Form> keepAlive = weak_from_this().lock();
        if (keepAlive && loaded_) {
            handler();
        }
    });
    timers_.push_back(timer.get());
    return timer;
}

void Form::FireEnter() {
    for (Control* control : controls_) {
        if (control->IsDefault() && control->Visible()) {
            FireClick(*control);
            return;
        }
    }
}

void Form::FireEscape() {
    for (Control* control : controls_) {
        if (control->IsCancel() && control->Visible()) {
            FireClick(*control);
            return;
        }
    }
}

void Form::FireCloseBox() {
    const std::shared_ptr<Form> keepAlive = weak_from_this().lock();
    if (!keepAlive || !loaded_) {
        return;
    }
    if (Form_QueryUnload()) {
        Unload();
    }
}

}  // namespace qm
