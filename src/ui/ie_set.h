#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "forms/control.h"
#include "forms/form.h"

namespace qm {

class WinSystem;

// Texts of the settings window that the program itself says.
inline constexpr char kQuitPrompt[] = "Are you sure you want to quit?";
inline constexpr char kQuitPromptChinese[] = "确定要退出吗？";
inline constexpr char kKilledSuffix[] = " Killed)";
inline constexpr char kStateAllow[] = "Allow";
inline constexpr char kStateBlock[] = "Block";
inline constexpr char kStatePending[] = "Pending";
inline constexpr char kTestMessageProgram[] = "net";
inline constexpr char kTestMessageText[] = "*** Test Message Popup ***";
inline constexpr char kSendMessageError[] =
    "Send message error! Messenger popups only run in Windows 2000/XP or higher. "
    "If your system is Windows 98 or lower, you don't need to set this option.";
inline constexpr char kBrowserError[] = "Browser error!";
inline constexpr char kMailTo[] = "mailto:";

// The status tick's period, and the size of the buffer the computer name is read into.
inline constexpr int kMsgStateIntervalMs = 200;
inline constexpr std::size_t kComputerNameBuffer = 255;

// The settings window: the eight visible options, the ad counters and the killed popups as they stood
// when the window loaded, the Messenger service's state and its test, and the ways to the help page, the
// about box, the spyware check, the messenger explanation and the two mail links. Its Shut Down button
// ends the program.
//
// Options are written only by OK, every one of them, changed or not. The tray icon creates the window
// and shows it; OK, Cancel and the close box unload it, and the next show makes a new one with a fresh
// snapshot. Always owned by a std::shared_ptr. User-interface thread only.
class IESet final : public Form {
  public:
    explicit IESet(WinSystem& app);
    ~IESet() override;

    // The quit prompt, filled at load.
    const std::string& QuitPrompt() const { return quitPrompt_; }

    // The controls, in the window's control order. Places in pixels.
    Control labelTitle;
    Control Label6;
    Control checkEnable;
    Control labelIntro;
    Control checkNotify;
    Control Label4;
    Control checkKillMsg;
    Control Label5;
    Control labelMsgState;
    Control labelWhatsMsgPopup;
    Control buttonTestMsg;
    Control Label7;
    Control Label2;
    Control checkFix;
    Control labelHint;
    Control labelBottom;
    Control labelCheckSpy;
    Control checkKillBanner;
    Control labelKilledBannerNum;
    Control checkKillFlash;
    Control labelKilledFlashNum;
    Control checkKillIFrame;
    Control labelKilledIFrameNum;
    Control checkKillFloat;
    Control labelKilledFloatNum;
    Control Label3;
    Control listKilled;
    Control buttonOpen;
    Control labelTellFriend;
    Control labelEmail;
    Control buttonHelp;
    Control buttonExit;
    Control buttonAbout;
    Control buttonOK;
    Control buttonCancel;

    const Timer& MsgStateTimer() const { return *timerMsgState; }

  protected:
    // Form:
    void Form_Load() override;

  private:
    void checkEnable_Click();
    void buttonOK_Click();
    void buttonCancel_Click();
    void buttonExit_Click();
    void buttonHelp_Click();
    void buttonAbout_Click();
    void labelCheckSpy_Click();
    void labelWhatsMsgPopup_Click();
    void listKilled_Click();
    void buttonOpen_Click();
    void buttonTestMsg_Click();
    void labelEmail_Click();
    void labelTellFriend_Click();
    void timerMsgState_Timer();

    // Starts a mail message to `address` ("" for a blank one).
    void OpenMail(const std::string& address);
    // Shows `window` modal over this one; the run keeps it while it stays loaded.
    void ShowModal(std::shared_ptr<Form> window);

    WinSystem& app_;
    std::string quitPrompt_;
    std::unique_ptr<Timer> timerMsgState;
};

}  // namespace qm
