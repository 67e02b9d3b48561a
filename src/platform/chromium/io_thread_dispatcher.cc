#include "platform/chromium/io_thread_dispatcher.h"

#include "platform/chromium/chromium_world.h"
#include "platform/chromium/json_fields.h"
#include "platform/chromium/request_gate.h"

namespace qm::cr {

IoThreadDispatcher::IoThreadDispatcher(std::weak_ptr<ChromiumWorld> world,
                                       TaskPoster& poster,
                                       CdpConnection& connection,
                                       std::shared_ptr<RequestGate> gate)
    : world_(std::move(world)), poster_(poster), connection_(connection), gate_(std::move(gate)) {}

CdpConnection::Handlers IoThreadDispatcher::HandlersFor(std::shared_ptr<IoThreadDispatcher> dispatcher) {
    return CdpConnection::Handlers{[dispatcher](Json&& event) { dispatcher->OnEvent(std::move(event)); },
                                   [dispatcher] { dispatcher->OnClosed(); }};
}

void IoThreadDispatcher::OnEvent(Json&& event) {
    if (HandleOnIoThread(event)) {
        return;
    }
    poster_.PostTask([weak = world_, event = std::move(event)] {
        if (const auto world = weak.lock()) {
            world->HandleEvent(event);
        }
    });
}

void IoThreadDispatcher::OnClosed() {
    poster_.PostTask([weak = world_] {
        if (const auto world = weak.lock()) {
            world->HandleDisconnect();
        }
    });
}

bool IoThreadDispatcher::HandleOnIoThread(const Json& event) {
    const std::string method = StringField(event, "method");
    const Json params = ObjectField(event, "params");
    if (method == "Fetch.requestPaused" && StringField(event, "sessionId").empty()) {
        gate_->Paused(StringField(params, "frameId"), StringField(params, "requestId"));
        return true;
    }
    if (method == "Target.attachedToTarget") {
        const Json info = ObjectField(params, "targetInfo");
        const std::string targetId = StringField(info, "targetId");
        pages_[targetId] = StringField(params, "sessionId");
        if (StringField(info, "type") == "page" && BoolField(params, "waitingForDebugger") &&
            !StringField(info, "openerId").empty() && !StringField(params, "sessionId").empty()) {
            gate_->Expect(targetId);  // a new window: its requests wait for the program's decision
        }
    } else if (method == "Target.detachedFromTarget") {
        connection_.FailSession(StringField(params, "sessionId"));
        pages_.erase(StringField(params, "targetId"));
    } else if (method == "Target.targetCrashed" || method == "Target.targetDestroyed") {
        const auto page = pages_.find(StringField(params, "targetId"));
        if (page != pages_.end()) {
            connection_.FailSession(page->second);
        }
        if (method == "Target.targetDestroyed") {
            gate_->Forget(StringField(params, "targetId"));
        }
    } else if (method == "Inspector.targetCrashed" || method == "Inspector.detached") {
        connection_.FailSession(StringField(event, "sessionId"));
    }
    return false;
}

}  // namespace qm::cr
