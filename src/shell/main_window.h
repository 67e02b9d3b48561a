#pragma once

#include <memory>

#include "forms/form.h"

namespace qm {

class IESet;
class WinSystem;

// The program's icon in the notification area: the same picture as its windows' icon.
inline constexpr char kTrayIconPicture[] = "quillmere.ico";

// The hidden window that holds the program's icon in the notification area, loaded last by start-up and
// never shown. Its load puts the icon up with the application title as tooltip; any mouse button on the
// icon shows the settings window, making it first when none is loaded, and only brings an open one to
// the front. The icon has no menu, and there is no way to quit from it. Always owned by a
// std::shared_ptr. User-interface thread only.
class MainWindow final : public Form {
  public:
    explicit MainWindow(WinSystem& app);
    ~MainWindow() override;

    // The settings window the icon shows; null until the icon is first used.
    IESet* SettingsWindow() const { return settingsWindow_.get(); }

  protected:
    // Form:
    void Form_Load() override;

  private:
    // A mouse button on the icon; which one, and the icon's id, do not matter.
    void ST_MouseDown(int Button, int Id);
    void ShowSettingsWindow();

    WinSystem& app_;
    std::shared_ptr<IESet> settingsWindow_;
};

}  // namespace qm
