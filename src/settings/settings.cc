#include "settings/settings.h"

#include "base/text.h"
#include "ports/platform.h"
#include "ports/settings_store.h"
#include "shell/win_system.h"
#include "system/messenger_service.h"

namespace qm {

namespace {

constexpr char kReadyKey[] = "Ready";

// Each option's value name and its default, as Reset writes it.
constexpr char kWindowFixedKey[] = "WindowFixed";
constexpr bool kWindowFixedDefault = false;
constexpr char kRecogEnableKey[] = "RecogEnable";
constexpr bool kRecogEnableDefault = true;
constexpr char kPopupNotifyKey[] = "PopupNotify";
constexpr bool kPopupNotifyDefault = true;
constexpr char kKillMsgKey[] = "KillMsg";
constexpr bool kKillMsgDefault = true;
constexpr char kKillBannerKey[] = "KillBanner";
constexpr bool kKillBannerDefault = false;
constexpr char kKillFlashKey[] = "KillFlash";
constexpr bool kKillFlashDefault = false;
constexpr char kKillIFrameKey[] = "KillIFrame";
constexpr bool kKillIFrameDefault = false;
constexpr char kKillFloatKey[] = "KillFloat";
constexpr bool kKillFloatDefault = true;
constexpr char kAgentShowKey[] = "AgentShow";
constexpr bool kAgentShowDefault = true;

std::size_t SkipDigits(std::string_view text, std::size_t pos, bool& sawNonZero) {
    while (pos < text.size() && IsAsciiDigit(text[pos])) {
        sawNonZero = sawNonZero || text[pos] != '0';
        ++pos;
    }
    return pos;
}

// Whether `text` is a decimal number (sign, digits with an optional fraction, optional exponent), and
// if so whether it is zero. Only the digits of the mantissa decide that, so no number is too long or
// too large to answer for.
std::optional<bool> NumberIsNonZero(std::string_view text) {
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        ++pos;
    }
    bool nonZero = false;
    const std::size_t intStart = pos;
    pos = SkipDigits(text, pos, nonZero);
    std::size_t mantissaDigits = pos - intStart;
    if (pos < text.size() && text[pos] == '.') {
        const std::size_t fractionStart = ++pos;
        pos = SkipDigits(text, pos, nonZero);
        mantissaDigits += pos - fractionStart;
    }
    if (mantissaDigits == 0) {
        return std::nullopt;
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            ++pos;
        }
        bool ignored = false;
        const std::size_t exponentStart = pos;
        pos = SkipDigits(text, pos, ignored);
        if (pos == exponentStart) {
            return std::nullopt;
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return nonZero;
}

}  // namespace

std::optional<bool> StoredTextToBool(std::string_view text) {
    if (EqualsIgnoreAsciiCase(text, kSettingTrue)) {
        return true;
    }
    if (EqualsIgnoreAsciiCase(text, kSettingFalse)) {
        return false;
    }
    return NumberIsNonZero(TrimSpaces(text));
}

Settings::Settings(WinSystem& app) : app_(app) {}

std::string Settings::Read(const char* key) const {
    const std::string& title = app_.AppTitle();
    return app_.GetPlatform().settings.GetSetting(title, title, key);
}

void Settings::Write(const char* key, const std::string& text) {
    const std::string& title = app_.AppTitle();
    app_.GetPlatform().settings.SaveSetting(title, title, key, text);
}

bool Settings::Get(const char* key, bool defaultValue) const {
    // A value removed or edited by hand must not stop the program: it reads as the default.
    return StoredTextToBool(Read(key)).value_or(defaultValue);
}

void Settings::Set(const char* key, bool value) {
    Write(key, value ? kSettingTrue : kSettingFalse);
}

void Settings::GetReady() {
    if (Ready()) {
        return;
    }
    Reset();
    Write(kReadyKey, kSettingTrue);
}

bool Settings::Ready() const {
    return !Read(kReadyKey).empty();
}

void Settings::Reset() {
    SetWindowFixed(kWindowFixedDefault);
    SetRecogEnable(kRecogEnableDefault);
    SetPopupNotify(kPopupNotifyDefault);
    SetKillMsg(kKillMsgDefault);
    SetKillBanner(kKillBannerDefault);
    SetKillFlash(kKillFlashDefault);
    SetKillIFrame(kKillIFrameDefault);
    SetKillFloat(kKillFloatDefault);
    SetAgentShow(kAgentShowDefault);
}

void Settings::Refresh() {
    SetWindowFixed(WindowFixed());
    SetRecogEnable(RecogEnable());
    SetPopupNotify(PopupNotify());
    SetKillMsg(KillMsg());
    SetKillBanner(KillBanner());
    SetKillFlash(KillFlash());
    SetKillIFrame(KillIFrame());
    SetKillFloat(KillFloat());
    SetAgentShow(AgentShow());
}

bool Settings::RecogEnable() const {
    return Get(kRecogEnableKey, kRecogEnableDefault);
}

void Settings::SetRecogEnable(const bool& NewRecogEnable) {
    Set(kRecogEnableKey, NewRecogEnable);
}

bool Settings::WindowFixed() const {
    return Get(kWindowFixedKey, kWindowFixedDefault);
}

void Settings::SetWindowFixed(const bool& NewWindowFixed) {
    Set(kWindowFixedKey, NewWindowFixed);
}

bool Settings::PopupNotify() const {
    return Get(kPopupNotifyKey, kPopupNotifyDefault);
}

void Settings::SetPopupNotify(const bool& NewPopupNotify) {
    Set(kPopupNotifyKey, NewPopupNotify);
}

bool Settings::KillMsg() const {
    return Get(kKillMsgKey, kKillMsgDefault);
}

void Settings::SetKillMsg(const bool& NewKillMsg) {
    Set(kKillMsgKey, NewKillMsg);
    // Every write re-applies the option, also when the value has not changed.
    if (NewKillMsg) {
        app_.Messenger().StopMsgService();
    } else {
        app_.Messenger().StartMsgService();
    }
}

bool Settings::KillBanner() const {
    return Get(kKillBannerKey, kKillBannerDefault);
}

void Settings::SetKillBanner(const bool& NewKillBanner) {
    Set(kKillBannerKey, NewKillBanner);
}

bool Settings::KillFlash() const {
    return Get(kKillFlashKey, kKillFlashDefault);
}

void Settings::SetKillFlash(const bool& NewKillFlash) {
    Set(kKillFlashKey, NewKillFlash);
}

bool Settings::KillIFrame() const {
    return Get(kKillIFrameKey, kKillIFrameDefault);
}

void Settings::SetKillIFrame(const bool& NewKillIFrame) {
    Set(kKillIFrameKey, NewKillIFrame);
}

bool Settings::KillFloat() const {
    return Get(kKillFloatKey, kKillFloatDefault);
}

void Settings::SetKillFloat(const bool& NewKillFloat) {
    Set(kKillFloatKey, NewKillFloat);
}

bool Settings::AgentShow() const {
    return Get(kAgentShowKey, kAgentShowDefault);
}

void Settings::SetAgentShow(const bool& NewAgentShow) {
    Set(kAgentShowKey, NewAgentShow);
}

}  // namespace qm
