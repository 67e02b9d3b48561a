#pragma once

#include <memory>
#include <string>

#include "shell/platform.h"

namespace qm {

class IETopWatcher;

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

  private:
    Platform& platform_;
    std::string appTitle_ = kAppTitle;
    std::shared_ptr<IETopWatcher> hub_;
    bool running_ = false;
};

}  // namespace qm
