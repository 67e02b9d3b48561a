#include "platform/chromium/cdp_connection.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "base/callback_boundary.h"
#include "base/platform_error.h"
#include "platform/chromium/json_fields.h"
#include "platform/chromium/message_framer.h"

namespace qm::cr {

namespace {

constexpr int kWriteTimeoutMs = 5000;
constexpr std::size_t kReadChunk = 256 * 1024;

}  // namespace

CdpConnection::CdpConnection(std::unique_ptr<BrowserPipe> pipe) : pipe_(std::move(pipe)) {
    if (!pipe_ || !pipe_->Valid()) {
        closed_ = true;
        closedReported_ = true;
    }
}

CdpConnection::~CdpConnection() {
    Stop();
}

void CdpConnection::Start(Handlers handlers) {
    if (started_) {
        return;
    }
    started_ = true;
    handlers_ = std::move(handlers);
    if (closed_) {
        if (handlers_.onClosed) {
            handlers_.onClosed();
        }
        return;
    }
    reader_ = std::thread([this] { ReaderMain(); });
}

void CdpConnection::Stop() {
    if (pipe_) {
        pipe_->Interrupt();
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    // The handler for the end is not run from here: whoever stops the connection knows.
    closedReported_ = true;
    MarkClosed();
    const std::lock_guard<std::mutex> lock(writeMutex_);
    if (pipe_) {
        pipe_->Close();
    }
}

void CdpConnection::MarkClosed() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        for (auto& [id, pending] : pending_) {
            pending->done = true;
            pending->ok = false;
            pending->error = "The browser has gone";
            pending->code = kErrorDisconnected;
        }
        pending_.clear();
    }
    replied_.notify_all();
}

std::int64_t CdpConnection::Write(const std::string& method,
                                  Json&& params,
                                  const std::string& sessionId,
                                  std::shared_ptr<Pending>* track) {
    const std::int64_t id = nextId_++;
    Json message = {{"id", id}, {"method", method}, {"params", std::move(params)}};
    if (!sessionId.empty()) {
        message["sessionId"] = sessionId;
    }
    std::string text = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    text.push_back('\0');

    if (track) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) {
            return -1;
        }
        // Registered before the message goes out: the reply may come back before Write returns.
        if (!*track) {
            *track = std::make_shared<Pending>();
        }
        (*track)->sessionId = sessionId;
        pending_[id] = *track;
    }

    const std::lock_guard<std::mutex> lock(writeMutex_);
    if (closed_ || !pipe_) {
        return -1;
    }
    if (!pipe_->Write(text, kWriteTimeoutMs)) {
        // A browser that stopped reading (or has gone) leaves half a message in the pipe: the stream is
        // of no further use.
        MarkClosed();
        return -1;
    }
    return id;
}

void CdpConnection::FailSession(const std::string& sessionId) {
    if (sessionId.empty()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::erase_if(pending_, [&](const auto& entry) {
            const auto& pending = entry.second;
            if (pending->sessionId != sessionId) {
                return false;
            }
            pending->done = true;
            pending->ok = false;
            pending->error = "The page has gone";
            pending->code = kErrorDisconnected;
            return true;
        });
    }
    replied_.notify_all();
}

Json CdpConnection::Call(const std::string& method,
                         Json params,
                         const std::string& sessionId,
                         int timeoutMs) {
    std::shared_ptr<Pending> pending;
    const std::int64_t id = Write(method, std::move(params), sessionId, &pending);
    if (id < 0 || !pending) {
        throw PlatformError("The browser has gone (" + method + ")", kErrorDisconnected, "Chromium");
    }
    std::unique_lock<std::mutex> lock(mutex_);
    const bool answered =
        replied_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pending->done; });
    if (!answered) {
        pending_.erase(id);
        throw PlatformError("The browser did not answer " + method + " in time", kErrorTimeout, "Chromium");
    }
    if (!pending->ok) {
        throw PlatformError(pending->error + " (" + method + ")", pending->code, "Chromium");
    }
    return std::move(pending->result);
}

bool CdpConnection::Send(const std::string& method, Json params, const std::string& sessionId) {
    return Write(method, std::move(params), sessionId, nullptr) >= 0;
}

bool CdpConnection::Send(const std::string& method,
                         Json params,
                         const std::string& sessionId,
                         std::function<void(bool ok)> onReply) {
    auto pending = std::make_shared<Pending>();
    pending->onReply = std::move(onReply);
    return Write(method, std::move(params), sessionId, &pending) >= 0;
}

void CdpConnection::ReaderMain() {
    // The thread's entry: nothing may leave it. A reader that failed outright (no memory for a message)
    // ends the connection as the browser's end of file would.
    bool stopped = false;
    RunHandler("protocol reader", [&] { stopped = ReadLoop(); });
    if (stopped) {
        return;  // Stop(): the owner knows, nobody is told
    }
    MarkClosed();
    if (!closedReported_.exchange(true) && handlers_.onClosed) {
        RunHandler("protocol end", handlers_.onClosed);
    }
}

bool CdpConnection::ReadLoop() {
    MessageFramer framer;
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        const std::ptrdiff_t n = pipe_->Read(chunk.data(), chunk.size());
        if (n == BrowserPipe::kInterrupted) {
            return true;
        }
        if (n <= 0) {
            break;  // end of file: the browser has gone
        }
        framer.Feed(
            std::string_view(chunk.data(), static_cast<std::size_t>(n)),
            [this](std::string_view text) { RunHandler("protocol message", [&] { HandleMessage(text); }); });
    }
    return false;
}

void CdpConnection::HandleMessage(std::string_view text) {
    Json message = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (message.is_discarded() || !message.is_object()) {
        ++malformed_;
        return;
    }
    const auto id = message.find("id");
    if (id != message.end()) {
        if (!id->is_number_integer()) {
            ++malformed_;
            return;
        }
        HandleReply(id->get<std::int64_t>(), message);
        return;
    }
    const auto method = message.find("method");
    if (method == message.end() || !method->is_string()) {
        ++malformed_;
        return;
    }
    if (!handlers_.onEvent) {
        return;
    }
    RunHandler("protocol event", [&] { handlers_.onEvent(std::move(message)); });
}

void CdpConnection::HandleReply(std::int64_t id, Json& message) {
    std::shared_ptr<Pending> pending;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto entry = pending_.find(id);
        if (entry == pending_.end()) {
            ++unmatched_;
            return;
        }
        pending = entry->second;
        pending_.erase(entry);
        // The reply is read field by field, each of its own kind or not at all: a message or code of
        // another kind, or a code outside the 32-bit range, leaves the general text and code 0.
        const auto error = message.find("error");
        const auto result = message.find("result");
        if (error != message.end()) {
            pending->ok = false;
            pending->error = "The browser refused the call";
            if (const std::string text = StringField(*error, "message"); !text.empty()) {
                pending->error = text;
            }
            if (const auto code = Int32Field(*error, "code")) {
                pending->code = *code;
            }
        } else if (result != message.end() && !result->is_object()) {
            // Every answer of the protocol is an object; the callers read fields of it.
            pending->ok = false;
            pending->error = "The browser answered with something that is no result";
        } else {
            pending->ok = true;
            pending->result = result != message.end() ? std::move(*result) : Json::object();
        }
        pending->done = true;
    }
    replied_.notify_all();
    if (pending->onReply) {
        pending->onReply(pending->ok);
    }
}

}  // namespace qm::cr
