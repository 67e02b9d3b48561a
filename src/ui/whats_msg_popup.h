#pragma once

#include "forms/control.h"
#include "forms/form.h"

namespace qm {

class WinSystem;

// The screenshot of a messenger popup among the program's assets.
inline constexpr char kMsgPopupScreenshot[] = "msgpopup.bmp";

// The small window that shows what a messenger popup looks like, opened modal from the settings window.
// Its one button closes it. Always owned by a std::shared_ptr. User-interface thread only.
class WhatsMsgPopup final : public Form {
  public:
    explicit WhatsMsgPopup(WinSystem& app);
    ~WhatsMsgPopup() override;

    // The controls, in the window's control order. Places in pixels.
    Control Label1;
    Control Image1;
    Control buttonClose;

  private:
    void buttonClose_Click();
};

}  // namespace qm
