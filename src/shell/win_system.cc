#include "shell/win_system.h"

#include "shell/process_services.h"
#include "watch/ie_top_watcher.h"

namespace qm {

WinSystem::WinSystem(Platform& platform) : platform_(platform) {}

WinSystem::~WinSystem() = default;

void WinSystem::Main() {
    ProcessServices& process = platform_.process;

    // 1. A second copy ends at once and touches nothing.
    if (process.PrevInstance()) {
        return;
    }
    // 2. The mutex marks the running copy for as long as the process lives; its result is not looked at.
    process.CreateMutex(kMutexName);

    // 3. The language is fixed to English at start-up, so the title stays the English one.
    // FIXME: the language object joins here, and a Chinese language switches the title.
    appTitle_ = kAppTitle;

    // 4. Errors of the common-controls initialisation are ignored by the platform.
    process.InitCommonControls(kCommonControlsSize, kCommonControlsFlags);

    // 7. The windows that do the work, loaded and never shown.
    hub_ = std::make_shared<IETopWatcher>(*this);
    hub_->Load();

    running_ = true;
}

void WinSystem::QuitProgram() {
    if (hub_) {
        hub_->Unload();
    }
    running_ = false;
    platform_.process.EndProcess();
}

}  // namespace qm
