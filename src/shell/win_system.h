#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ports/platform.h"

namespace qm {

class Form;
class IECloseDelay;
class IETopWatcher;
class LanguageClass;
class MainWindow;
class MessengerService;
class Settings;
class SystemCore;

inline constexpr char kMutexName[] = "Tarnwick Quillmere";
inline constexpr char kStartupLanguage[] = "English";
inline constexpr char kAppTitle[] = "Varrow Quillmere 4.13";
inline constexpr char kAppTitleChinese[] = "米瑞尔之IE助手";
inline constexpr unsigned kCommonControlsSize = 8;
inline constexpr unsigned kCommonControlsFlags = 0x200;  // ICC_USEREX_CLASSES

// The program itself: start-up, shutdown and the program-wide objects that every part reaches by name.
// One instance per run (tests make one per scenario). Not thread-safe: everything runs on the
// user-interface thread.
class WinSystem {
  public:
    explicit WinSystem(Platform& platform);
    WinSystem(const WinSystem&) = delete;
    WinSystem& operator=(const WinSystem&) = delete;
    ~WinSystem();

    // Start-up. Returns once the working windows are loaded; the program then lives on events. Errors of
    // the later steps are not handled here: they reach the entry point, which reports them and ends.
    void Main();
    // Shutdown, as the settings window's Shut Down button asks for it.
    void QuitProgram();

    // Whether start-up ran to its end and QuitProgram has not ended the program.
    bool Running() const { return running_; }

    Platform& GetPlatform() const { return platform_; }
    // The application title: the caption, the title of message boxes, the tooltip, the settings key.
    const std::string& AppTitle() const { return appTitle_; }

    // The hub; loaded by start-up, unloaded by shutdown. Null before start-up.
    IETopWatcher& Hub() const { return *hub_; }
    bool HasHub() const { return hub_ != nullptr; }
    // The countdown window that start-up loads and keeps hidden for the whole run. Null before start-up.
    IECloseDelay* DefaultCloseDelay() const { return defaultCloseDelay_.get(); }

    // The interface language, AppLanguage. Start-up creates it and sets the language; it comes into
    // being at its first use.
    LanguageClass& AppLanguage();
    // The options store, AppSettings. Start-up creates it; it comes into being at its first use.
    Settings& AppSettings();
    // The hidden Messenger service controller, loaded at its first use (the settings store's first write
    // of KillMsg during start-up) and kept for the whole run.
    MessengerService& Messenger();
    // The restart helper, AppSystemCore. Start-up creates it; it comes into being at its first use.
    SystemCore& AppSystemCore();
    // The hidden window that holds the tray icon; loaded last by start-up. Null before start-up.
    MainWindow* GetMainWindow() const { return mainWindow_.get(); }

    // The title is fixed once, by start-up, from the interface language, before the options are read
    // (the options are stored under it).
    void SetAppTitle(std::string title) { appTitle_ = std::move(title); }
    // The interface language start-up gives AppLanguage ("English" unless the program was asked for
    // another one before Main).
    void SetStartupLanguage(std::string language) { startupLanguage_ = std::move(language); }

    // Keeps a window that nothing else holds (a hidden browser) for as long as it stays loaded; the run
    // lets go of it once it has unloaded.
    void KeepWhileLoaded(std::shared_ptr<Form> form);
    std::size_t KeptWindowCount();

  private:
    void ForgetUnloadedWindows();

    Platform& platform_;
    std::string appTitle_ = kAppTitle;
    std::string startupLanguage_ = kStartupLanguage;
    std::shared_ptr<IETopWatcher> hub_;
    std::unique_ptr<LanguageClass> appLanguage_;
    std::shared_ptr<IECloseDelay> defaultCloseDelay_;
    std::unique_ptr<Settings> appSettings_;
    std::shared_ptr<MessengerService> messenger_;
    std::unique_ptr<SystemCore> appSystemCore_;
    std::shared_ptr<MainWindow> mainWindow_;
    std::vector<std::shared_ptr<Form>> keptWindows_;
    bool running_ = false;
};

}  // namespace qm
