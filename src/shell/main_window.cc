#include "shell/main_window.h"

#include "base/platform_error.h"
#include "ports/platform.h"
#include "ports/tray_icon.h"
#include "shell/win_system.h"
#include "ui/ie_set.h"

namespace qm {

MainWindow::MainWindow(WinSystem& app) : Form(app.GetPlatform().loop), app_(app) {}

MainWindow::~MainWindow() = default;

void MainWindow::Form_Load() {
    const std::weak_ptr<Form> weakSelf = weak_from_this();
    app_.GetPlatform().tray.Show(kTrayIconPicture, app_.AppTitle(), [this, weakSelf](int button, int id) {
        // The icon answers only while its window is loaded, with the window kept alive meanwhile.
        const std::shared_ptr<Form> keepAlive = weakSelf.lock();
        if (keepAlive && Loaded()) {
            ST_MouseDown(button, id);
        }
    });
}

void MainWindow::ST_MouseDown(int /*Button*/, int /*Id*/) {
    try {
        ShowSettingsWindow();
    } catch (const PlatformError&) {
        // The icon stays as it is; the user can try again.
    }
}

void MainWindow::ShowSettingsWindow() {
    // A window that was closed (OK, Cancel, the close box) is gone for good: the next show makes a new
    // one, which takes a fresh snapshot of the options, counters and killed popups.
    if (!settingsWindow_ || !settingsWindow_->Loaded()) {
        settingsWindow_ = std::make_shared<IESet>(app_);
        settingsWindow_->Load();
    }
    settingsWindow_->Show(ShowStyle::Normal);
}

}  // namespace qm
