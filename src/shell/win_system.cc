#include "shell/win_system.h"

#include "forms/form.h"
#include "monitor/ie_close_delay.h"
#include "ports/process_services.h"
#include "settings/language_class.h"
#include "settings/settings.h"
#include "shell/main_window.h"
#include "system/messenger_service.h"
#include "system/system_core.h"
#include "watch/ie_top_watcher.h"

namespace qm {

WinSystem::WinSystem(Platform& platform) : platform_(platform) {}

WinSystem::~WinSystem() = default;

LanguageClass& WinSystem::AppLanguage() {
    if (!appLanguage_) {
        appLanguage_ = std::make_unique<LanguageClass>();
    }
    return *appLanguage_;
}

Settings& WinSystem::AppSettings() {
    if (!appSettings_) {
        appSettings_ = std::make_unique<Settings>(*this);
    }
    return *appSettings_;
}

MessengerService& WinSystem::Messenger() {
    if (!messenger_) {
        messenger_ = std::make_shared<MessengerService>(*this);
        messenger_->Load();
    }
    return *messenger_;
}

SystemCore& WinSystem::AppSystemCore() {
    if (!appSystemCore_) {
        appSystemCore_ = std::make_unique<SystemCore>(platform_.power);
    }
    return *appSystemCore_;
}

void WinSystem::Main() {
    ProcessServices& process = platform_.process;

    // 1. A second copy ends at once and touches nothing.
    if (process.PrevInstance()) {
        return;
    }
    // 2. The mutex marks the running copy for as long as the process lives; its result is not looked at.
    process.CreateMutex(kMutexName);

    // 3. The language is fixed at start-up, before the options are read: they are kept under the title,
    // and the title follows the language.
    appLanguage_ = std::make_unique<LanguageClass>();
    appLanguage_->Language = startupLanguage_;
    SetAppTitle(appLanguage_->Language == kLanguageChinese ? kAppTitleChinese : kAppTitle);

    // 4. Errors of the common-controls initialisation are ignored by the platform.
    process.InitCommonControls(kCommonControlsSize, kCommonControlsFlags);

    // 5. The options: a first run writes the defaults, every later run re-applies what is stored. Both
    // write KillMsg, so the Messenger service is stopped or started here already.
    Settings& settings = AppSettings();
    if (settings.Ready()) {
        settings.Refresh();
    } else {
        settings.GetReady();
    }

    // 6. The restart helper of the spyware check.
    AppSystemCore();

    // 7. The windows that do the work, loaded and never shown; the last one puts up the tray icon.
    hub_ = std::make_shared<IETopWatcher>(*this);
    hub_->Load();
    Messenger().Load();  // already loaded by its first use in step 5
    defaultCloseDelay_ = std::make_shared<IECloseDelay>(*this);
    defaultCloseDelay_->Load();
    mainWindow_ = std::make_shared<MainWindow>(*this);
    mainWindow_->Load();

    running_ = true;
}

void WinSystem::QuitProgram() {
    // Network messages are allowed again once the program has gone, whatever KillMsg says.
    Messenger().StartMsgService();
    if (hub_) {
        hub_->Unload();
    }
    running_ = false;
    // The icon goes with the process; taking it down here keeps a dead icon from lingering in the
    // notification area until the pointer passes over it.
    platform_.tray.Remove();
    platform_.process.EndProcess();
}

void WinSystem::KeepWhileLoaded(std::shared_ptr<Form> form) {
    ForgetUnloadedWindows();
    keptWindows_.push_back(std::move(form));
}

std::size_t WinSystem::KeptWindowCount() {
    ForgetUnloadedWindows();
    return keptWindows_.size();
}

void WinSystem::ForgetUnloadedWindows() {
    std::erase_if(keptWindows_, [](const std::shared_ptr<Form>& form) { return !form->Loaded(); });
}

}  // namespace qm
