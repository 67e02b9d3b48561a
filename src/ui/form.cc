#include "ui/form.h"

namespace qm {

Form::~Form() = default;

void Form::Load() {
    if (loaded_ || unloaded_) {
        return;
    }
    loaded_ = true;
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
}

}  // namespace qm
