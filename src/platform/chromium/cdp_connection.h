#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "base/platform_error.h"

#include "platform/chromium/browser_pipe.h"

namespace qm::cr {

using Json = nlohmann::json;

// PlatformError numbers of the connection: kErrorTimeout when the browser did not answer in time,
// kErrorDisconnected when it has gone (both in base/platform_error.h).

// One DevTools-protocol connection over the browser's private pipe (messages are JSON texts, each ending
// in a NUL byte). An I/O thread owns the reading end: it matches replies to their calls and hands every
// event (a message with a "method" and no "id") to the event handler, on the I/O thread. Calls are made
// from any thread: Call waits for its own reply, at most its timeout; Send does not wait and drops the
// reply. Nothing from the browser can make a call hang or crash the program: malformed messages and
// replies nobody waits for are counted and dropped, end-of-file fails every waiting call and every later
// one with PlatformError(kErrorDisconnected), and the handler for it runs once. The handlers run at the
// callback boundary: one that throws is reported and the reader goes on with the next message.
class CdpConnection {
  public:
    struct Handlers {
        std::function<void(Json&& event)> onEvent;  // I/O thread
        std::function<void()> onClosed;             // I/O thread, once
    };

    static constexpr int kDefaultTimeoutMs = 5000;

    explicit CdpConnection(std::unique_ptr<BrowserPipe> pipe);
    CdpConnection(const CdpConnection&) = delete;
    CdpConnection& operator=(const CdpConnection&) = delete;
    // Stops the I/O thread (no handler runs after this returns) and fails the calls still waiting.
    ~CdpConnection();

    // Starts the I/O thread. Handlers are fixed from here on.
    void Start(Handlers handlers);
    // Stops the I/O thread and closes the pipe; waiting calls fail. Idempotent.
    void Stop();

    // Sends `method` and waits for its reply: the "result" object. Throws PlatformError when the browser
    // answers with an error (its message and code), when no answer comes within `timeoutMs`, or when the
    // connection is closed.
    Json Call(const std::string& method,
              Json params = Json::object(),
              const std::string& sessionId = {},
              int timeoutMs = kDefaultTimeoutMs);
    // Sends `method` without waiting; the reply is dropped. Answers false when the connection is closed
    // (nothing is sent then).
    bool Send(const std::string& method, Json params = Json::object(), const std::string& sessionId = {});
    // Sends `method` without waiting; `onReply` runs on the I/O thread when the reply comes, with whether
    // the browser did what was asked. It never runs when no reply comes (the connection or the page has
    // gone). It must not throw.
    bool Send(const std::string& method,
              Json params,
              const std::string& sessionId,
              std::function<void(bool ok)> onReply);

    bool Closed() const { return closed_.load(); }
    // Fails at once every call still waiting for an answer from `sessionId` (its page crashed or went
    // away, so no answer will come). Thread-safe.
    void FailSession(const std::string& sessionId);

    // What the reader dropped: texts that were not JSON objects of the protocol, and replies that no call
    // waited for (late replies of timed-out calls, replies to Send).
    std::size_t MalformedCount() const { return malformed_.load(); }
    std::size_t UnmatchedReplyCount() const { return unmatched_.load(); }

  private:
    struct Pending {
        std::string sessionId;
        bool done = false;
        bool ok = false;
        Json result;
        std::string error;
        std::int32_t code = 0;
        std::function<void(bool ok)> onReply;  // a Send that wants to hear of its reply
    };

    // Sends one message; with `track`, registers a call waiting for its reply first. -1 when the
    // connection is closed.
    std::int64_t Write(const std::string& method,
                       Json&& params,
                       const std::string& sessionId,
                       std::shared_ptr<Pending>* track);
    void ReaderMain();
    // Reads until the end of the stream (false) or until Stop() (true).
    bool ReadLoop();
    void HandleMessage(std::string_view text);
    // Hands the reply `message` to the call `id` waiting for it (a reply nobody waits for is counted).
    void HandleReply(std::int64_t id, Json& message);
    void MarkClosed();

    std::unique_ptr<BrowserPipe> pipe_;
    Handlers handlers_;
    std::thread reader_;
    bool started_ = false;

    std::mutex writeMutex_;
    std::mutex mutex_;
    std::condition_variable replied_;
    std::map<std::int64_t, std::shared_ptr<Pending>> pending_;
    std::atomic<std::int64_t> nextId_{1};
    std::atomic<bool> closed_{false};
    std::atomic<bool> closedReported_{false};
    std::atomic<std::size_t> malformed_{0};
    std::atomic<std::size_t> unmatched_{0};
};

}  // namespace qm::cr
