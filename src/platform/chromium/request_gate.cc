#include "platform/chromium/request_gate.h"

namespace qm::cr {

namespace {

constexpr char kContinue[] = "Fetch.continueRequest";
constexpr char kFail[] = "Fetch.failRequest";

}  // namespace

void RequestGate::Expect(const std::string& targetId) {
    const std::lock_guard lock(mutex_);
    if (!allowed_.count(targetId) && !refused_.count(targetId)) {
        undecided_.try_emplace(targetId);
    }
}

void RequestGate::Paused(const std::string& frameId, const std::string& requestId) {
    bool allow = true;
    {
        const std::lock_guard lock(mutex_);
        const auto held = undecided_.find(frameId);
        if (held != undecided_.end()) {
            held->second.push_back(requestId);
            return;
        }
        allow = !refused_.count(frameId);
    }
    send_(allow ? kContinue : kFail, requestId);
}

void RequestGate::Decide(const std::string& targetId, bool allow) {
    std::vector<std::string> held;
    {
        const std::lock_guard lock(mutex_);
        held = TakeHeld(targetId);
        (allow ? allowed_ : refused_).insert(targetId);
        (allow ? refused_ : allowed_).erase(targetId);
    }
    Release(held, allow);
}

void RequestGate::Forget(const std::string& targetId) {
    std::vector<std::string> held;
    {
        const std::lock_guard lock(mutex_);
        held = TakeHeld(targetId);
        allowed_.erase(targetId);
        refused_.erase(targetId);
    }
    // The browser drops a gone page's requests itself; failing them is only tidy.
    Release(held, false);
}

std::vector<std::string> RequestGate::TakeHeld(const std::string& targetId) {
    std::vector<std::string> held;
    const auto found = undecided_.find(targetId);
    if (found != undecided_.end()) {
        held = std::move(found->second);
        undecided_.erase(found);
    }
    return held;
}

void RequestGate::Release(const std::vector<std::string>& requests, bool allow) {
    for (const std::string& requestId : requests) {
        send_(allow ? kContinue : kFail, requestId);
    }
}

}  // namespace qm::cr
