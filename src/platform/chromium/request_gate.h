#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace qm::cr {

// Holds the page requests of new windows until the program has decided about them.
//
// The browser starts a new window's first request without waiting for the program, so every page
// request of the browser stops at the browser-level interception, and the connection's I/O thread hands
// each one here at once: a request of a window still being decided is held; one of a window the program
// refused fails; every other one goes on at once, without waiting for the user-interface thread (which
// may itself be waiting for that very navigation). When the decision comes, what was held goes on or
// fails with it. Thread-safe.
class RequestGate {
  public:
    // Sends a protocol message to the browser itself (no session), without waiting.
    using Sender = std::function<void(const std::string& method, const std::string& requestId)>;

    explicit RequestGate(Sender send) : send_(std::move(send)) {}
    RequestGate(const RequestGate&) = delete;
    RequestGate& operator=(const RequestGate&) = delete;

    // A new window (page target `targetId`) has appeared and waits for the program's decision. A target
    // decided already is not held again.
    void Expect(const std::string& targetId);
    // A page request of frame `frameId` (a page's main frame has the page's target id) is waiting.
    void Paused(const std::string& frameId, const std::string& requestId);
    // The program's decision about `targetId`: its requests go on (allow) or fail from now on.
    void Decide(const std::string& targetId, bool allow);
    // The target has gone: nothing more is kept for it.
    void Forget(const std::string& targetId);

  private:
    // Takes out what is held for `targetId`; the caller holds the lock.
    std::vector<std::string> TakeHeld(const std::string& targetId);
    void Release(const std::vector<std::string>& requests, bool allow);

    Sender send_;
    std::mutex mutex_;
    std::map<std::string, std::vector<std::string>> undecided_;  // target id -> held request ids
    std::set<std::string> allowed_;
    std::set<std::string> refused_;
};

}  // namespace qm::cr
