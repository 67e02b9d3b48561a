#pragma once

#include <unistd.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/posix/fd_browser_pipe.h"
#include "platform/posix/unique_fd.h"

namespace qm::cr::testing {

// The browser's end of a protocol pipe, played by the test: it records every message the program sends
// and answers calls through a responder (by default with an empty result), and the test can write any
// bytes it likes towards the program.
class FakeBrowser {
  public:
    // What the responder answers: a result object, or nothing at all (the call then times out).
    using Responder = std::function<std::optional<Json>(const Json& message)>;

    FakeBrowser() {
        posix::PipePair toBrowser = posix::PipePair::Create();
        posix::PipePair fromBrowser = posix::PipePair::Create();
        programRead_ = std::move(fromBrowser.read);
        programWrite_ = std::move(toBrowser.write);
        browserRead_ = std::move(toBrowser.read);
        browserWrite_ = std::move(fromBrowser.write);
        reader_ = std::thread([this] { ReadLoop(); });
    }
    // The connection that holds the program's ends must be gone first: the reader ends when the
    // program's writing end closes.
    ~FakeBrowser() {
        CloseBrowserEnd();
        programWrite_.Reset();
        if (reader_.joinable()) {
            reader_.join();
        }
    }

    // The program's ends, handed once to a connection.
    // The program's ends, once, for its connection.
    std::unique_ptr<BrowserPipe> TakeProgramPipe() {
        return MakeFdPipe(std::move(programRead_), std::move(programWrite_));
    }

    void SetResponder(Responder responder) {
        const std::lock_guard<std::mutex> lock(mutex_);
        responder_ = std::move(responder);
    }

    // Writes raw bytes towards the program.
    void WriteRaw(const std::string& bytes) {
        const std::lock_guard<std::mutex> lock(writeMutex_);
        if (browserWrite_.Valid()) {
            [[maybe_unused]] const ssize_t n = ::write(browserWrite_.Get(), bytes.data(), bytes.size());
        }
    }
    void WriteMessage(const Json& message) { WriteRaw(message.dump() + std::string(1, '\0')); }

    // The browser goes away: the program reads end-of-file.
    void CloseBrowserEnd() {
        {
            const std::lock_guard<std::mutex> lock(writeMutex_);
            browserWrite_.Reset();
        }
    }

    std::vector<Json> Received() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    // The methods received so far, in order, optionally only those of one session.
    std::vector<std::string> Methods(const std::optional<std::string>& sessionId = std::nullopt) const {
        std::vector<std::string> methods;
        for (const Json& m : Received()) {
            if (!sessionId || m.value("sessionId", std::string()) == *sessionId) {
                methods.push_back(m.value("method", std::string()));
            }
        }
        return methods;
    }
    bool WaitForMessages(std::size_t count, int timeoutMs = 2000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return received_.size() >= count; });
    }

  private:
    void ReadLoop() {
        std::string buffer;
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(browserRead_.Get(), chunk, sizeof chunk);
            if (n <= 0) {
                return;
            }
            buffer.append(chunk, static_cast<std::size_t>(n));
            for (std::size_t end; (end = buffer.find('\0')) != std::string::npos;) {
                Json message = Json::parse(buffer.substr(0, end), nullptr, false);
                buffer.erase(0, end + 1);
                std::optional<Json> answer = Json::object();
                {
                    const std::lock_guard<std::mutex> lock(mutex_);
                    received_.push_back(message);
                    if (responder_) {
                        answer = responder_(message);
                    }
                }
                arrived_.notify_all();
                if (answer && message.contains("id")) {
                    Json reply = answer->contains("error")
                                     ? Json{{"id", message["id"]}, {"error", (*answer)["error"]}}
                                     : Json{{"id", message["id"]}, {"result", *answer}};
                    if (message.contains("sessionId")) {
                        reply["sessionId"] = message["sessionId"];
                    }
                    WriteMessage(reply);
                }
            }
        }
    }

    posix::UniqueFd programRead_;
    posix::UniqueFd programWrite_;
    posix::UniqueFd browserRead_;
    posix::UniqueFd browserWrite_;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::mutex writeMutex_;
    std::condition_variable arrived_;
    std::vector<Json> received_;
    Responder responder_;
};

}  // namespace qm::cr::testing
