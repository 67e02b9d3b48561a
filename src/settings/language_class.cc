#include "settings/language_class.h"

#include <cmath>

#include "forms/control.h"
#include "forms/form.h"

namespace qm {

namespace {

bool TakesLanguageFont(ControlKind kind) {
    switch (kind) {
        case ControlKind::Frame:
        case ControlKind::Label:
        case ControlKind::OptionButton:
        case ControlKind::TextBox:
        case ControlKind::ImageButton:
            return true;
        default:
            return false;
    }
}

}  // namespace

void LanguageClass::SetFormFont(Form& Form) const {
    if (Language != kLanguageChinese) {
        return;
    }
    for (Control* control : Form.Controls()) {
        if (!TakesLanguageFont(control->Kind())) {
            continue;
        }
        // Name, size, character set, in that order: naming a font may reset its character set to the
        // font's own, so the character set comes last. The native side sees each step.
        FontSpec font = control->Font();
        font.name = kChineseFontName;
        control->SetFont(font);
        font.size = std::ceil(font.size);
        control->SetFont(font);
        font.charset = kChineseCharset;
        control->SetFont(font);
    }
}

}  // namespace qm
