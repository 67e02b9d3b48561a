#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

class WinSystem;

// The texts the options are stored as.
inline constexpr char kSettingTrue[] = "True";
inline constexpr char kSettingFalse[] = "False";

// The program's one place for user options: nine Booleans and the marker that the store has been
// initialised, kept in the user's settings store under the application title (application and section
// alike). Nothing is held in memory: every read goes to the store and every write goes straight to it,
// so each part of the program sees the last value written. Writing KillMsg also applies it to the
// Messenger service at once.
//
// Errors of the store are not handled here: they reach the caller as PlatformError. A stored option that
// cannot be read as a Boolean (removed or edited by hand) reads as that option's default, and the next
// Refresh writes the default back.
class Settings {
  public:
    explicit Settings(WinSystem& app);
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // Initialises the store with the defaults (and the marker) unless it is initialised already.
    void GetReady();
    // Whether the store has been initialised: the marker holds any text at all, even "False".
    bool Ready() const;
    // Writes every option's default, in the table's order; the marker is left as it is.
    void Reset();
    // Reads every option and writes it back, in the table's order: every value ends up stored as "True" or
    // "False", and the stored KillMsg is applied to the Messenger service.
    void Refresh();

    bool RecogEnable() const;
    void SetRecogEnable(const bool& NewRecogEnable);
    bool WindowFixed() const;
    void SetWindowFixed(const bool& NewWindowFixed);
    bool PopupNotify() const;
    void SetPopupNotify(const bool& NewPopupNotify);
    bool KillMsg() const;
    // Also stops the Messenger service (true) or starts it (false), on every write.
    void SetKillMsg(const bool& NewKillMsg);
    bool KillBanner() const;
    void SetKillBanner(const bool& NewKillBanner);
    bool KillFlash() const;
    void SetKillFlash(const bool& NewKillFlash);
    bool KillIFrame() const;
    void SetKillIFrame(const bool& NewKillIFrame);
    bool KillFloat() const;
    void SetKillFloat(const bool& NewKillFloat);
    bool AgentShow() const;
    void SetAgentShow(const bool& NewAgentShow);

  private:
    // The option stored under `key` read as a Boolean, or `defaultValue` when its text cannot be read as
    // one.
    bool Get(const char* key, bool defaultValue) const;
    void Set(const char* key, bool value);
    std::string Read(const char* key) const;
    void Write(const char* key, const std::string& text);

    WinSystem& app_;
};

// Reads a stored text as a Boolean the way the platform's own conversion does: "True" or "False" in any
// letter case, or a number (surrounding spaces, a sign, a fraction and an exponent allowed), where zero
// is false and any other number true. Any other text, the empty text included, gives nothing.
std::optional<bool> StoredTextToBool(std::string_view text);

}  // namespace qm
