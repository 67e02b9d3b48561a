#include "platform/sim/sim_desktop.h"

namespace qm::sim {

std::int16_t SimDesktop::GetAsyncKeyState(int virtualKey) {
    if (const auto forced = forced_.find(virtualKey); forced != forced_.end()) {
        return forced->second;
    }
    KeyState& key = keys_[virtualKey];
    std::uint16_t state = key.down ? 0x8000 : 0;
    if (key.pressedSinceQuery) {
        state |= 0x0001;
        key.pressedSinceQuery = false;
    }
    return static_cast<std::int16_t>(state);
}

void SimDesktop::HoldKey(int virtualKey) {
    forced_.erase(virtualKey);
    keys_[virtualKey] = {true, true};
}

void SimDesktop::ReleaseKey(int virtualKey) {
    forced_.erase(virtualKey);
    keys_[virtualKey].down = false;
}

int SimDesktop::MessageBox(const std::string& text, const std::string& title, int style) {
    int answer = 0;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    } else if ((style & 0xF) == mb::kYesNo) {
        answer = (style & mb::kDefaultButton2) ? mb::kAnswerNo : mb::kAnswerYes;
    } else {
        answer = mb::kAnswerOk;
    }
    messageBoxes_.push_back({text, title, style, answer});
    return answer;
}

std::intptr_t SimDesktop::ShellExecute(const std::string& verb,
                                       const std::string& file,
                                       const std::string& parameters,
                                       const std::string& directory,
                                       int showCommand) {
    shellExecutes_.push_back({verb, file, parameters, directory, showCommand});
    if (shellExecuteResult_ > kShellExecuteLastError && launcher_) {
        launcher_(shellExecutes_.back());
    }
    return shellExecuteResult_;
}

bool SimDesktop::GetComputerName(std::string& name, std::size_t bufferSize) {
    if (!computerNameSucceeds_ || computerName_.size() + 1 > bufferSize) {
        return false;
    }
    name = computerName_;
    name.resize(bufferSize, '\0');
    return true;
}

}  // namespace qm::sim
