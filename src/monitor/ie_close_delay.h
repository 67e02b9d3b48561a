#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "forms/control.h"
#include "forms/d_option_button.h"
#include "forms/form.h"

namespace qm {

class WinSystem;

// Texts of the countdown window, in English and in Chinese.
inline constexpr char kAutoCloseText[] = "Auto close after";
inline constexpr char kSecondsText[] = "secs.";
inline constexpr char kOpenCaption[] = "Open";
inline constexpr char kCloseCaption[] = "Close";
inline constexpr char kAutoCloseTextChinese[] = "在";
inline constexpr char kSecondsTextChinese[] = "秒钟后本窗口将自动关闭";
inline constexpr char kOpenCaptionChinese[] = "打开";
inline constexpr char kCloseCaptionChinese[] = "关闭";

// The window's face among the program's assets, the region file beside the program that gives the face
// its outline, and the face's key colour (pure red), which is cut away.
inline constexpr char kCloseDelayPicture[] = "ieclosedelay.bmp";
inline constexpr char kCloseDelayRegionFile[] = "ieclosedelay.wr";
inline constexpr std::uint32_t kCloseDelayKeyColor = Rgb(255, 0, 0);

// The countdown: ticks of one second, ten of them.
inline constexpr int kCloseDelayTickMs = 1000;
inline constexpr int kCloseDelayTicks = 10;

// The small shaped window that holds a blocked popup's address for ten seconds, on top of every other
// window without taking the focus: "Auto close after", the seconds left, "secs.", the address, and the
// Open and Close buttons. Open opens the address in a new browser; Close, and the countdown running out,
// put it into the hub's killed-popup list. Every open countdown window stands in the hub's row along the
// top of the screen.
//
// The popup decision creates one with std::make_shared, loads it (which prepares it: outline, language,
// fonts) and calls Execute; the hidden browser writes the address into TextURL, usually a moment later.
// Start-up keeps one more loaded and hidden for the whole run. User-interface thread only.
//
// A region file that is missing, empty, unreadable or damaged does not stop the window: it is shown
// with its whole rectangle, and everything else works as usual.
class IECloseDelay final : public Form {
  public:
    explicit IECloseDelay(WinSystem& app);
    ~IECloseDelay() override;

    // Starts the countdown, shows the window topmost without activating it, and joins the hub's row,
    // which places it. Does nothing on a window that has been closed.
    void Execute();

    // The controls, in the window's control order. Places in twips.
    Control labelTimeRight;  // lead text, right-aligned
    Control labelTime;       // seconds left, centred
    Control labelTimeLeft;   // trailing text, left-aligned
    Control TextURL;         // the blocked address
    DOptionButton buttonOpen;
    DOptionButton buttonClose;

    // Countdown ticks so far.
    std::int16_t CountSoFar() const { return Count; }
    bool Counting() const { return timerDelay->Enabled(); }

  protected:
    // Form:
    void Form_Load() override;

  private:
    void ShapeFromRegionFile();
    void UseChineseTexts();
    void CloseDelay();
    void buttonOpen_Click();
    void buttonClose_Click();
    void timerDelay_Timer();
    std::shared_ptr<IECloseDelay> Self();

    WinSystem& app_;
    std::unique_ptr<Timer> timerDelay;
    std::int16_t Count = 0;
};

}  // namespace qm
