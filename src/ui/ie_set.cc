#include "ui/ie_set.h"

#include <string>

#include "ports/desktop.h"
#include "ports/platform.h"
#include "ports/process_services.h"
#include "ports/service_manager.h"
#include "settings/language_class.h"
#include "settings/settings.h"
#include "shell/win_system.h"
#include "system/check_spy.h"
#include "system/messenger_service.h"
#include "ui/about_window.h"
#include "ui/help_page.h"
#include "ui/whats_msg_popup.h"
#include "watch/ie_top_watcher.h"

namespace qm {

namespace {

// The window's inner area, in pixels, and its background picture among the program's assets.
constexpr int kWidthPixels = 720;
constexpr int kHeightPixels = 511;
constexpr char kBackgroundPicture[] = "ieset.bmp";

const FontSpec kWindowFont{"Verdana", 8.25, false, 0};
const FontSpec kTitleFont{"Arial", 14.25, true, 0};
const FontSpec kBottomFont{"Arial", 12, true, 0};
constexpr std::uint32_t kStateColour = Rgb(16, 48, 223);
constexpr std::uint32_t kHintColour = Rgb(255, 0, 0);

void Place(Control& control, const char* caption, double left, double top, double width, double height) {
    control.Move(left, top, width, height);
    control.SetCaption(caption);
    switch (control.Kind()) {
        case ControlKind::Label:
            control.SetTransparent();  // drawn over the background picture
            break;
        case ControlKind::CheckBox:
        case ControlKind::CommandButton:
            control.SetBackColor(kWhite);
            break;
        default:
            break;
    }
}

void PlaceLink(Control& control, const char* caption, double left, double top, double width, double height) {
    Place(control, caption, left, top, width, height);
    control.SetPointer(MousePointer::Hand);
}

CheckState ToCheck(bool on) {
    return on ? CheckState::Checked : CheckState::Unchecked;
}

// Grayed counts as true as well.
bool IsOn(const Control& box) {
    return box.Value() != CheckState::Unchecked;
}

std::string KilledText(std::int32_t number) {
    // Built by appending: "(" + std::string trips a false -Wrestrict in GCC 12 at -O3.
    std::string text = "(";
    text += std::to_string(number);
    text += kKilledSuffix;
    return text;
}

}  // namespace

IESet::IESet(WinSystem& app)
    : Form(app.GetPlatform().loop, &app.GetPlatform().renderer),
      labelTitle(*this, "labelTitle", ControlKind::Label),
      Label6(*this, "Label6", ControlKind::Label),
      checkEnable(*this, "checkEnable", ControlKind::CheckBox),
      labelIntro(*this, "labelIntro", ControlKind::Label),
      checkNotify(*this, "checkNotify", ControlKind::CheckBox),
      Label4(*this, "Label4", ControlKind::Label),
      checkKillMsg(*this, "checkKillMsg", ControlKind::CheckBox),
      Label5(*this, "Label5", ControlKind::Label),
      labelMsgState(*this, "labelMsgState", ControlKind::Label),
      labelWhatsMsgPopup(*this, "labelWhatsMsgPopup", ControlKind::Label),
      buttonTestMsg(*this, "buttonTestMsg", ControlKind::CommandButton),
      Label7(*this, "Label7", ControlKind::Label),
      Label2(*this, "Label2", ControlKind::Label),
      checkFix(*this, "checkFix", ControlKind::CheckBox),
      labelHint(*this, "labelHint", ControlKind::Label),
      labelBottom(*this, "labelBottom", ControlKind::Label),
      labelCheckSpy(*this, "labelCheckSpy", ControlKind::Label),
      checkKillBanner(*this, "checkKillBanner", ControlKind::CheckBox),
      labelKilledBannerNum(*this, "labelKilledBannerNum", ControlKind::Label),
      checkKillFlash(*this, "checkKillFlash", ControlKind::CheckBox),
      labelKilledFlashNum(*this, "labelKilledFlashNum", ControlKind::Label),
      checkKillIFrame(*this, "checkKillIFrame", ControlKind::CheckBox),
      labelKilledIFrameNum(*this, "labelKilledIFrameNum", ControlKind::Label),
      checkKillFloat(*this, "checkKillFloat", ControlKind::CheckBox),
      labelKilledFloatNum(*this, "labelKilledFloatNum", ControlKind::Label),
      Label3(*this, "Label3", ControlKind::Label),
      listKilled(*this, "listKilled", ControlKind::ListBox),
      buttonOpen(*this, "buttonOpen", ControlKind::CommandButton),
      labelTellFriend(*this, "labelTellFriend", ControlKind::Label),
      labelEmail(*this, "labelEmail", ControlKind::Label),
      buttonHelp(*this, "buttonHelp", ControlKind::CommandButton),
      buttonExit(*this, "buttonExit", ControlKind::CommandButton),
      buttonAbout(*this, "buttonAbout", ControlKind::CommandButton),
      buttonOK(*this, "buttonOK", ControlKind::CommandButton),
      buttonCancel(*this, "buttonCancel", ControlKind::CommandButton),
      app_(app) {
    SetDesign(ScaleUnit::Pixels, BorderStyle::FixedSingle, kWidthPixels * kTwipsPerPixel,
              kHeightPixels * kTwipsPerPixel);
    SetCenteredOnScreen(true);
    SetBackColor(kWhite);
    SetPicture(kBackgroundPicture);
    SetFont(kWindowFont);

    // The caption shows one ampersand: a doubled one is how a caption writes it.
    Place(labelTitle, "Enhance Your Web Experience && Protect Your Privacy", 24, 16, 521, 25);
    labelTitle.SetFont(kTitleFont);
    labelTitle.SetForeColor(kWhite);
    Place(Label6, "IE Popups:", 24, 80, 73, 17);
    Place(checkEnable, "Kill IE Popups", 128, 80, 105, 17);
    Place(labelIntro, "If You don't want to see a dialog box while popup, please disable \"Notify Me\".", 24,
          112, 329, 33);
    Place(checkNotify, "Notify Me", 104, 152, 81, 17);
    Place(Label4, "Messenger Popups (Windows 2000/XP):", 24, 192, 329, 17);
    Place(checkKillMsg, "Kill Messenger Popups", 104, 216, 153, 17);
    Place(Label5, "Current State:", 120, 240, 89, 17);
    Place(labelMsgState, "N/A", 224, 240, 49, 17);
    labelMsgState.SetForeColor(kStateColour);
    PlaceLink(labelWhatsMsgPopup, "What's this?", 128, 264, 73, 17);
    Place(buttonTestMsg, "Test", 208, 264, 65, 21);
    Place(Label7, "Note: It's not recommended to test in \"pending\" state.", 136, 288, 217, 33);
    Place(Label2,
          "If you don't like too many IEs in your taskbar, please enable \"One-window Browsing\". All links "
          "you "
          "click will be opened in current window to make your taskbar clean.",
          24, 336, 329, 41);
    Place(checkFix, "One-window Browsing", 192, 384, 153, 17);
    Place(labelHint, "Note: hold [Ctrl] while webpage opens to disable all the features temporarily.", 24,
          416, 449, 17);
    labelHint.SetForeColor(kHintColour);
    Place(labelBottom, "Varrow Quillmere", 24, 448, 185, 25);
    labelBottom.SetFont(kBottomFont);
    labelBottom.SetForeColor(kWhite);
    PlaceLink(
        labelCheckSpy,
        "If you get popups not only on IE, but also on regular screen, you may have spyware on your "
        "computer. They are \"Trojan Horse\" viruses that do not hurt your computer. Click here to detect "
        "them.",
        384, 80, 305, 57);
    Place(checkKillBanner, "Kill Banner Ads", 400, 144, 121, 17);
    Place(labelKilledBannerNum, "0", 408, 160, 89, 17);
    Place(checkKillFlash, "Kill Flash Movies", 560, 144, 121, 17);
    Place(labelKilledFlashNum, "0", 568, 160, 89, 17);
    Place(checkKillIFrame, "Kill IFrame Ads", 400, 184, 113, 17);
    Place(labelKilledIFrameNum, "0", 408, 200, 89, 17);
    Place(checkKillFloat, "Kill Float Ads", 560, 184, 121, 17);
    Place(labelKilledFloatNum, "0", 568, 200, 89, 17);
    Place(Label3, "Killed Popups (Hold [Ctrl] while opening to view ads)", 384, 216, 305, 17);
    Place(listKilled, "", 384, 232, 305, 173);
    Place(buttonOpen, "Open", 608, 408, 81, 21);
    buttonOpen.SetEnabled(false);
    PlaceLink(labelTellFriend, "Tell a Friend about Varrow Quillmere", 384, 451, 241, 17);
    PlaceLink(labelEmail, "Contact Us", 632, 451, 73, 17);
    Place(buttonHelp, "Help", 16, 485, 81, 21);
    Place(buttonExit, "Shut Down", 208, 485, 81, 21);
    Place(buttonAbout, "About", 304, 485, 81, 21);
    Place(buttonOK, "OK", 528, 485, 81, 21);
    buttonOK.SetDefault(true);
    Place(buttonCancel, "Cancel", 624, 485, 81, 21);
    buttonCancel.SetCancel(true);

    checkEnable.Click = [this] { checkEnable_Click(); };
    buttonOK.Click = [this] { buttonOK_Click(); };
    buttonCancel.Click = [this] { buttonCancel_Click(); };
    buttonExit.Click = [this] { buttonExit_Click(); };
    buttonHelp.Click = [this] { buttonHelp_Click(); };
    buttonAbout.Click = [this] { buttonAbout_Click(); };
    labelCheckSpy.Click = [this] { labelCheckSpy_Click(); };
    labelWhatsMsgPopup.Click = [this] { labelWhatsMsgPopup_Click(); };
    listKilled.Click = [this] { listKilled_Click(); };
    buttonOpen.Click = [this] { buttonOpen_Click(); };
    buttonTestMsg.Click = [this] { buttonTestMsg_Click(); };
    labelEmail.Click = [this] { labelEmail_Click(); };
    labelTellFriend.Click = [this] { labelTellFriend_Click(); };
    timerMsgState = NewTimer(&IESet::timerMsgState_Timer);
}

IESet::~IESet() = default;

void IESet::Form_Load() {
    LanguageClass& language = app_.AppLanguage();
    // The Chinese interface has a prompt of its own; a quit question with no text would leave the user
    // guessing what Yes does.
    quitPrompt_ = language.Language == kLanguageChinese ? kQuitPromptChinese : kQuitPrompt;
    language.SetFormFont(*this);
    SetCaption(app_.AppTitle());

    const Settings& settings = app_.AppSettings();
    checkFix.SetValue(ToCheck(settings.WindowFixed()));
    checkEnable.SetValue(ToCheck(settings.RecogEnable()));
    checkNotify.SetValue(ToCheck(settings.PopupNotify()));
    checkKillMsg.SetValue(ToCheck(settings.KillMsg()));
    checkKillBanner.SetValue(ToCheck(settings.KillBanner()));
    checkKillFlash.SetValue(ToCheck(settings.KillFlash()));
    checkKillIFrame.SetValue(ToCheck(settings.KillIFrame()));
    checkKillFloat.SetValue(ToCheck(settings.KillFloat()));
    checkNotify.SetEnabled(checkEnable.Value() == CheckState::Checked);

    // A snapshot: what the hub counts and kills while the window is open shows at its next load.
    const IETopWatcher& hub = app_.Hub();
    labelKilledBannerNum.SetCaption(KilledText(hub.KilledBannerNumber));
    labelKilledFlashNum.SetCaption(KilledText(hub.KilledFlashNumber));
    labelKilledIFrameNum.SetCaption(KilledText(hub.KilledIFrameNumber));
    labelKilledFloatNum.SetCaption(KilledText(hub.KilledFloatNumber));
    listKilled.Clear();
    for (const std::string& popup : hub.KilledPopups) {
        listKilled.AddItem(popup);
    }

    timerMsgState->SetInterval(kMsgStateIntervalMs);
    timerMsgState->SetEnabled(true);
    timerMsgState_Timer();
}

void IESet::checkEnable_Click() {
    checkNotify.SetEnabled(checkEnable.Value() == CheckState::Checked);
}

void IESet::buttonOK_Click() {
    Settings& settings = app_.AppSettings();
    settings.SetWindowFixed(IsOn(checkFix));
    settings.SetRecogEnable(IsOn(checkEnable));
    settings.SetPopupNotify(IsOn(checkNotify));
    settings.SetKillMsg(IsOn(checkKillMsg));
    settings.SetKillBanner(IsOn(checkKillBanner));
    settings.SetKillFlash(IsOn(checkKillFlash));
    settings.SetKillIFrame(IsOn(checkKillIFrame));
    settings.SetKillFloat(IsOn(checkKillFloat));
    Unload();
}

void IESet::buttonCancel_Click() {
    Unload();
}

void IESet::buttonExit_Click() {
    const int answer = app_.GetPlatform().desktop.MessageBox(
        quitPrompt_, app_.AppTitle(), mb::kYesNo | mb::kIconExclamation | mb::kDefaultButton2);
    if (answer == mb::kAnswerYes) {
        app_.QuitProgram();
    }
}

void IESet::buttonHelp_Click() {
    app_.Hub().OpenURL(HelpPageUrl(app_.GetPlatform().process.AppPath()));
}

void IESet::buttonAbout_Click() {
    ShowModal(std::make_shared<AboutWindow>(app_));
}

void IESet::labelCheckSpy_Click() {
    ShowModal(std::make_shared<CheckSpy>(app_));
}

void IESet::labelWhatsMsgPopup_Click() {
    ShowModal(std::make_shared<WhatsMsgPopup>(app_));
}

void IESet::ShowModal(std::shared_ptr<Form> window) {
    app_.KeepWhileLoaded(window);
    window->Show(ShowStyle::Modal);
}

void IESet::listKilled_Click() {
    buttonOpen.SetEnabled(true);
}

void IESet::buttonOpen_Click() {
    const int line = listKilled.ListIndex();
    // With no line selected there is nothing to open.
    if (line < 0) {
        return;
    }
    app_.Hub().OpenURL(listKilled.Items()[static_cast<std::size_t>(line)]);
}

void IESet::buttonTestMsg_Click() {
    Desktop& desktop = app_.GetPlatform().desktop;
    std::string computerName;
    if (!desktop.GetComputerName(computerName, kComputerNameBuffer)) {
        return;
    }
    computerName = computerName.substr(0, computerName.find('\0'));
    const std::string parameters = std::string("send ") + computerName + " " + kTestMessageText;
    if (desktop.ShellExecute("", kTestMessageProgram, parameters, "", kShowNormal) <=
        kShellExecuteLastError) {
        desktop.MessageBox(kSendMessageError, app_.AppTitle(), mb::kOk | mb::kIconStop);
    }
}

void IESet::labelEmail_Click() {
    OpenMail(ContactEmail());
}

void IESet::labelTellFriend_Click() {
    OpenMail("");
}

void IESet::OpenMail(const std::string& address) {
    Desktop& desktop = app_.GetPlatform().desktop;
    if (desktop.ShellExecute("", kMailTo + address, "", "", kShowNormal) <= kShellExecuteLastError) {
        desktop.MessageBox(kBrowserError, app_.AppTitle(), mb::kOk | mb::kIconStop);
    }
}

void IESet::timerMsgState_Timer() {
    switch (app_.Messenger().MsgServiceCurState()) {
        case kServiceRunning:
            labelMsgState.SetCaption(kStateAllow);
            break;
        case kServiceStopped:
            labelMsgState.SetCaption(kStateBlock);
            break;
        case kServiceStartPending:
        case kServiceStopPending:
            labelMsgState.SetCaption(kStatePending);
            break;
        default:
            break;  // any other state leaves the label as it was
    }
}

}  // namespace qm
