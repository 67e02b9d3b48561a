#include "ui/about_window.h"

#include "ports/desktop.h"
#include "ports/platform.h"
#include "ports/process_services.h"
#include "shell/win_system.h"
#include "ui/help_page.h"
#include "version.h"
#include "watch/ie_top_watcher.h"

namespace qm {

namespace {

constexpr char kAboutCaptionPrefix[] = "About ";
constexpr char kVersionPrefix[] = "Version ";
constexpr char kProgramIcon[] = "quillmere.ico";
const FontSpec kWindowFont{"MS Sans Serif", 8.25, false, 0};
const FontSpec kTitleFont{"MS Sans Serif", 12, true, 0};

void Place(Control& control, double left, double top, double width, double height) {
    control.Move(left, top, width, height);
}

}  // namespace

std::string VersionText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

AboutWindow::AboutWindow(WinSystem& app)
    : Form(app.GetPlatform().loop, &app.GetPlatform().renderer),
      imageIcon(*this, "imageIcon", ControlKind::Image),
      lblTitle(*this, "lblTitle", ControlKind::Label),
      lblVersion(*this, "lblVersion", ControlKind::Label),
      Label1(*this, "Label1", ControlKind::Label),
      Label2(*this, "Label2", ControlKind::Label),
      Label3(*this, "Label3", ControlKind::Label),
      labelHomePage(*this, "labelHomePage", ControlKind::Label),
      cmdOK(*this, "cmdOK", ControlKind::CommandButton),
      app_(app) {
    SetDesign(ScaleUnit::Pixels, BorderStyle::FixedDialog, 400 * kTwipsPerPixel, 250 * kTwipsPerPixel);
    SetCenteredOnScreen(true);
    SetFont(kWindowFont);

    Place(imageIcon, 16, 16, 32, 32);
    imageIcon.SetPicture(kProgramIcon);
    Place(lblTitle, 64, 16, 320, 21);
    lblTitle.SetFont(kTitleFont);
    Place(lblVersion, 64, 40, 320, 17);
    Place(Label1, 64, 72, 320, 17);
    Label1.SetCaption(kAboutPublisher);
    Place(Label2, 64, 100, 320, 33);
    Label2.SetCaption(kAboutNotice1);
    Place(Label3, 64, 140, 320, 33);
    Label3.SetCaption(kAboutNotice2);
    Place(labelHomePage, 64, 184, 320, 17);
    labelHomePage.SetCaption(HomePageUrl(app.GetPlatform().process.AppPath()));
    labelHomePage.SetForeColor(Rgb(0, 0, 255));
    labelHomePage.SetPointer(MousePointer::Hand);
    Place(cmdOK, 304, 214, 81, 23);
    cmdOK.SetCaption("OK");
    cmdOK.SetDefault(true);
    cmdOK.SetCancel(true);

    cmdOK.Click = [this] { cmdOK_Click(); };
    labelHomePage.Click = [this] { labelHomePage_Click(); };
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::Form_Load() {
    SetCaption(kAboutCaptionPrefix + app_.AppTitle());
    lblVersion.SetCaption(kVersionPrefix + VersionText());
    lblTitle.SetCaption(app_.AppTitle());
}

void AboutWindow::cmdOK_Click() {
    Unload();
}

void AboutWindow::labelHomePage_Click() {
    app_.Hub().OpenURL(labelHomePage.Caption());
}

}  // namespace qm
