#include "platform/chromium/posix/chromium_desktop.h"

#include <unistd.h>

#include <cstdio>

#include "base/text.h"
#include "platform/chromium/chromium_world.h"
#include "platform/posix/desktop_opener.h"
#include "ports/desktop.h"

namespace qm::cr {

namespace {

constexpr std::int32_t kDefaultScreenWidth = 1024;
constexpr std::int32_t kDefaultScreenHeight = 768;
constexpr std::int16_t kKeyDown = static_cast<std::int16_t>(0x8000);
// ShellExecute's answers: above 32 is success; 2 is "file not found".
constexpr std::intptr_t kShellSuccess = posix::DesktopOpener::kOpened;
constexpr std::intptr_t kShellFileNotFound = posix::DesktopOpener::kFileNotFound;

bool SameFileName(const std::string& a, const char* b) {
    return EqualsIgnoreAsciiCase(a, b);
}

}  // namespace

ScreenPoint ChromiumDesktop::GetCursorPos() {
    const auto world = world_.lock();
    return world ? world->Input().pointer : ScreenPoint{-32768, -32768};
}

std::int16_t ChromiumDesktop::GetAsyncKeyState(int virtualKey) {
    const auto world = world_.lock();
    if (world && virtualKey == kVkControl && world->Input().ctrlDown) {
        return kKeyDown;
    }
    return 0;
}

std::int32_t ChromiumDesktop::ScreenWidthPixels() {
    const auto world = world_.lock();
    return world && world->Input().screenWidth > 0 ? world->Input().screenWidth : kDefaultScreenWidth;
}

std::int32_t ChromiumDesktop::ScreenHeightPixels() {
    const auto world = world_.lock();
    return world && world->Input().screenHeight > 0 ? world->Input().screenHeight : kDefaultScreenHeight;
}

std::int32_t ChromiumDesktop::TwipsPerPixel() {
    return kTwipsPerPixel;
}

int ChromiumDesktop::MessageBox(const std::string& text, const std::string& title, int style) {
    // Without a screen nobody can answer: the question is written down and answered safely. The Qt
    // front end asks the user with a real message box instead.
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return (style & 0xF) == mb::kYesNo ? mb::kAnswerNo : mb::kAnswerOk;
}

std::intptr_t ChromiumDesktop::ShellExecute(const std::string& /*verb*/,
                                            const std::string& file,
                                            const std::string& parameters,
                                            const std::string& /*directory*/,
                                            int /*showCommand*/) {
    if (SameFileName(file, "iexplore.exe")) {
        // The program's own way to open an address: a new window of the browser it watches.
        const auto world = world_.lock();
        return world && world->OpenWindow(parameters) ? kShellSuccess : kShellFileNotFound;
    }
    // Anything else (a mail link, a web page, a document) goes to the desktop's own opener, which is
    // left to run.
    return posix::DesktopOpener().ShellExecute(file, parameters);
}

bool ChromiumDesktop::GetComputerName(std::string& name, std::size_t bufferSize) {
    char host[256] = {};
    if (bufferSize == 0 || ::gethostname(host, sizeof host - 1) != 0) {
        return false;
    }
    name.assign(host);
    if (name.size() >= bufferSize) {
        return false;  // the buffer is too small, as GetComputerNameA reports it
    }
    return true;
}

}  // namespace qm::cr
