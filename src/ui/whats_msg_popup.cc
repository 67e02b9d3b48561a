#include "ui/whats_msg_popup.h"

#include "ports/desktop.h"
#include "ports/platform.h"
#include "shell/win_system.h"

namespace qm {

namespace {

const FontSpec kWindowFont{"MS Sans Serif", 8.25, false, 0};

}  // namespace

WhatsMsgPopup::WhatsMsgPopup(WinSystem& app)
    : Form(app.GetPlatform().loop, &app.GetPlatform().renderer),
      Label1(*this, "Label1", ControlKind::Label),
      Image1(*this, "Image1", ControlKind::Image),
      buttonClose(*this, "buttonClose", ControlKind::CommandButton) {
    SetDesign(ScaleUnit::Pixels, BorderStyle::FixedDialog, 185 * kTwipsPerPixel, 129 * kTwipsPerPixel);
    SetCenteredOnScreen(true);
    SetBackColor(kWhite);
    SetFont(kWindowFont);
    SetCaption("What's this?");

    Label1.Move(16, 8, 153, 17);
    Label1.SetCaption("Messenger Popup Screenshot:");
    Label1.SetTransparent();
    Image1.Move(48, 32, 90, 53);
    Image1.SetPicture(kMsgPopupScreenshot);
    buttonClose.Move(64, 96, 57, 25);
    buttonClose.SetCaption("Close");
    buttonClose.Click = [this] { buttonClose_Click(); };
}

WhatsMsgPopup::~WhatsMsgPopup() = default;

void WhatsMsgPopup::buttonClose_Click() {
    Unload();
}

}  // namespace qm
