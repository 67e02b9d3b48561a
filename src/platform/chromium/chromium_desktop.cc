#include "platform/chromium/chromium_desktop.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/chromium/chromium_world.h"

extern char** environ;

namespace qm::cr {

namespace {

constexpr std::int32_t kDefaultScreenWidth = 1024;
constexpr std::int32_t kDefaultScreenHeight = 768;
constexpr std::int32_t kTwipsPerPixel = 15;
constexpr std::int16_t kKeyDown = static_cast<std::int16_t>(0x8000);
// ShellExecute's answers: above 32 is success; 2 is "file not found".
constexpr std::intptr_t kShellSuccess = 42;
constexpr std::intptr_t kShellFileNotFound = 2;

bool SameFileName(const std::string& a, const char* b) {
    std::string lower;
    for (const char c : a) {
        lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    }
    return lower == b;
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
    // FIXME: the Qt front end shows real message boxes; until then the question is answered safely.
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
    if (file.find(':') == std::string::npos || !parameters.empty()) {
        return kShellFileNotFound;
    }
    // An address (a mail link, a web page) goes to the desktop's own opener.
    std::vector<std::string> args = {"xdg-open", file};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv.data(), environ) != 0) {
        return kShellFileNotFound;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? kShellSuccess : kShellFileNotFound;
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
