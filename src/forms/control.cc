#include "forms/control.h"

#include "forms/form.h"

namespace qm {

Control::Control(Form& owner, std::string name, ControlKind kind)
    : owner_(owner), name_(std::move(name)), kind_(kind) {
    owner_.AddControl(*this);
}

Control::~Control() = default;

void Control::Changed() {
    owner_.ControlChanged(*this);
}

void Control::Move(double left, double top, double width, double height) {
    const bool resized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Changed();
    if (resized) {
        OnResize();
    }
}

void Control::SetCaption(const std::string& caption) {
    caption_ = caption;
    Changed();
}

void Control::SetFont(const FontSpec& font) {
    font_ = font;
    Changed();
}

void Control::SetForeColor(std::uint32_t colour) {
    foreColor_ = colour;
    Changed();
}

void Control::SetBackColor(std::uint32_t colour) {
    hasBackColor_ = true;
    backColor_ = colour;
    Changed();
}

void Control::SetTransparent() {
    hasBackColor_ = false;
    Changed();
}

void Control::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Changed();
}

void Control::SetVisible(bool visible) {
    visible_ = visible;
    Changed();
}

void Control::SetAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    Changed();
}

void Control::SetWordWrap(bool wrap) {
    wordWrap_ = wrap;
    Changed();
}

void Control::SetPointer(MousePointer pointer) {
    pointer_ = pointer;
    Changed();
}

void Control::SetDefault(bool isDefault) {
    default_ = isDefault;
    Changed();
}

void Control::SetCancel(bool isCancel) {
    cancel_ = isCancel;
    Changed();
}

void Control::SetValue(CheckState value) {
    value_ = value;
    Changed();
}

void Control::SetPicture(const std::string& picture) {
    picture_ = picture;
    Changed();
}

void Control::AddItem(const std::string& item) {
    items_.push_back(item);
    selected_.push_back(false);
    Changed();
}

void Control::Clear() {
    items_.clear();
    selected_.clear();
    listIndex_ = -1;
    Changed();
}

void Control::SetMultiSelect(bool multi) {
    multiSelect_ = multi;
    Changed();
}

bool Control::Selected(std::size_t index) const {
    return index < selected_.size() && selected_[index];
}

void Control::SetSelected(std::size_t index, bool selected) {
    if (index >= selected_.size()) {
        return;
    }
    if (selected && !multiSelect_) {
        selected_.assign(selected_.size(), false);
    }
    selected_[index] = selected;
    Changed();
}

void Control::OnClick() {
    if (Click) {
        Click();
    }
}

void Control::OnMouseDown(int button, int shift, double x, double y) {
    if (MouseDown) {
        MouseDown(button, shift, x, y);
    }
}

void Control::OnMouseMove(int button, int shift, double x, double y) {
    if (MouseMove) {
        MouseMove(button, shift, x, y);
    }
}

void Control::OnMouseUp(int button, int shift, double x, double y) {
    if (MouseUp) {
        MouseUp(button, shift, x, y);
    }
}

void Control::SetListIndex(int index) {
    listIndex_ = (index >= 0 && static_cast<std::size_t>(index) < items_.size()) ? index : -1;
    if (listIndex_ >= 0 && !multiSelect_) {
        selected_.assign(selected_.size(), false);
        selected_[static_cast<std::size_t>(listIndex_)] = true;
    }
    Changed();
}

}  // namespace qm
