#include "platform/chromium/win32/win_chromium_desktop.h"

#include "base/text.h"
#include "platform/chromium/chromium_world.h"

namespace qm::cr {

namespace {
// ShellExecute's answers: above 32 is success; 2 is "file not found".
constexpr std::intptr_t kShellSuccess = 33;
constexpr std::intptr_t kShellFileNotFound = 2;
}  // namespace

std::intptr_t WinChromiumDesktop::ShellExecute(const std::string& verb,
                                               const std::string& file,
                                               const std::string& parameters,
                                               const std::string& directory,
                                               int showCommand) {
    if (EqualsIgnoreAsciiCase(file, "iexplore.exe")) {
        const auto world = world_.lock();
        return world && world->OpenWindow(parameters) ? kShellSuccess : kShellFileNotFound;
    }
    return Win32Desktop::ShellExecute(verb, file, parameters, directory, showCommand);
}

}  // namespace qm::cr
