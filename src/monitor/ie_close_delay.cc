#include "monitor/ie_close_delay.h"

#include <string>

#include "base/platform_error.h"
#include "forms/form_shape_target.h"
#include "ports/desktop.h"
#include "ports/platform.h"
#include "ports/process_services.h"
#include "settings/language_class.h"
#include "shell/win_system.h"
#include "system/color_key_form.h"
#include "watch/ie_top_watcher.h"

namespace qm {

namespace {

// The window's inner area, in twips.
constexpr float kWidth = 3195;
constexpr float kHeight = 1050;

struct Place {
    double left;
    double top;
    double width;
    double height;
};

// The countdown line. In Chinese the trailing text ("秒钟后本窗口将自动关闭", eleven characters) is
// four times as long as the English one, so the line moves left, to start just right of the face's
// badge, and the trailing text takes the room up to the right edge of the address field. The lead text
// still stands right-aligned before the number and the trailing text left-aligned after it; the number
// keeps its width.
constexpr Place kLeadPlace{600, 120, 1215, 225};
constexpr Place kNumberPlace{1800, 120, 375, 225};
constexpr Place kTrailPlace{2160, 120, 495, 225};
constexpr Place kLeadPlaceChinese{390, 120, 240, 225};
constexpr Place kNumberPlaceChinese{615, 120, 375, 225};
constexpr Place kTrailPlaceChinese{975, 120, 2040, 225};

constexpr Place kAddressPlace{240, 330, 2775, 225};
constexpr Place kOpenPlace{840, 555, 735, 195};
constexpr Place kClosePlace{1680, 555, 735, 195};

void MoveTo(Control& control, const Place& place) {
    control.Move(place.left, place.top, place.width, place.height);
}

void SetUpLabel(Control& label, const Place& place, TextAlignment alignment, const std::string& text) {
    MoveTo(label, place);
    label.SetAlignment(alignment);
    label.SetWordWrap(false);
    label.SetTransparent();  // over the face
    label.SetCaption(text);
}

// The region file stands in the program's folder, joined with the separator that folder's own path uses.
std::string RegionFilePath(const std::string& folder) {
    const bool posixPath = folder.find('\\') == std::string::npos && folder.find('/') != std::string::npos;
    return folder + (posixPath ? '/' : '\\') + kCloseDelayRegionFile;
}

}  // namespace

IECloseDelay::IECloseDelay(WinSystem& app)
    : Form(app.GetPlatform().loop, &app.GetPlatform().renderer),
      labelTimeRight(*this, "labelTimeRight", ControlKind::Label),
      labelTime(*this, "labelTime", ControlKind::Label),
      labelTimeLeft(*this, "labelTimeLeft", ControlKind::Label),
      TextURL(*this, "TextURL", ControlKind::TextBox),
      buttonOpen(*this, "buttonOpen", app.GetPlatform()),
      buttonClose(*this, "buttonClose", app.GetPlatform()),
      app_(app) {
    SetDesign(ScaleUnit::Twips, BorderStyle::None, kWidth, kHeight);
    SetPicture(kCloseDelayPicture);

    SetUpLabel(labelTimeRight, kLeadPlace, TextAlignment::Right, kAutoCloseText);
    SetUpLabel(labelTime, kNumberPlace, TextAlignment::Center, std::to_string(kCloseDelayTicks));
    SetUpLabel(labelTimeLeft, kTrailPlace, TextAlignment::Left, kSecondsText);
    MoveTo(TextURL, kAddressPlace);
    TextURL.SetWordWrap(false);
    TextURL.SetBackColor(kWhite);
    MoveTo(buttonOpen, kOpenPlace);
    buttonOpen.SetCaption(kOpenCaption);
    MoveTo(buttonClose, kClosePlace);
    buttonClose.SetCaption(kCloseCaption);

    buttonOpen.Click = [this] { buttonOpen_Click(); };
    buttonClose.Click = [this] { buttonClose_Click(); };
    timerDelay = NewTimer(&IECloseDelay::timerDelay_Timer);
    timerDelay->SetInterval(kCloseDelayTickMs);
}

IECloseDelay::~IECloseDelay() = default;

void IECloseDelay::Form_Load() {
    ShapeFromRegionFile();
    LanguageClass& language = app_.AppLanguage();
    if (language.Language == kLanguageChinese) {
        UseChineseTexts();
    }
    language.SetFormFont(*this);
}

void IECloseDelay::ShapeFromRegionFile() {
    Platform& platform = app_.GetPlatform();
    FormShapeTarget target(*this, platform.desktop.TwipsPerPixel());
    try {
        ColorKeyForm(platform.files)
            .ShapeMe(target, kCloseDelayKeyColor, true, RegionFilePath(platform.process.AppPath()));
    } catch (const PlatformError&) {
        // The region file is missing, empty or unreadable: the window keeps its whole rectangle and works
        // as usual. (A damaged file is refused by the shaper itself, with the same result.)
    }
}

void IECloseDelay::UseChineseTexts() {
    SetUpLabel(labelTimeRight, kLeadPlaceChinese, TextAlignment::Right, kAutoCloseTextChinese);
    MoveTo(labelTime, kNumberPlaceChinese);
    SetUpLabel(labelTimeLeft, kTrailPlaceChinese, TextAlignment::Left, kSecondsTextChinese);
    buttonOpen.SetCaption(kOpenCaptionChinese);
    buttonClose.SetCaption(kCloseCaptionChinese);
}

void IECloseDelay::Execute() {
    timerDelay->SetEnabled(true);
    Show(ShowStyle::TopmostNoActivate);
    // A window that has closed does not come back, and must not take a place in the row for good.
    if (!Loaded()) {
        return;
    }
    app_.Hub().AddDelay(Self());
}

void IECloseDelay::CloseDelay() {
    app_.Hub().RemoveDelay(Self());
    Unload();
}

void IECloseDelay::buttonOpen_Click() {
    app_.Hub().OpenURL(TextURL.Text());
    CloseDelay();
}

void IECloseDelay::buttonClose_Click() {
    app_.Hub().AddKilledPopup(TextURL.Text());
    CloseDelay();
}

void IECloseDelay::timerDelay_Timer() {
    ++Count;
    labelTime.SetCaption(std::to_string(kCloseDelayTicks - Count));
    if (Count == kCloseDelayTicks) {
        app_.Hub().AddKilledPopup(TextURL.Text());
        CloseDelay();
    }
}

std::shared_ptr<IECloseDelay> IECloseDelay::Self() {
    return std::static_pointer_cast<IECloseDelay>(shared_from_this());
}

}  // namespace qm
