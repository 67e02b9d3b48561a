#pragma once

#include <map>
#include <memory>
#include <string>

#include "base/task_poster.h"
#include "platform/chromium/cdp_connection.h"

namespace qm::cr {

class ChromiumWorld;
class RequestGate;

// What the connection's I/O thread does with the browser's events for the world: it deals at once with
// what cannot wait for the user-interface thread, and posts every other event there.
//
// Dealt with at once: a page that crashed or went away fails the calls still waiting for it, instead of
// leaving the program waiting for their timeout; and page requests are let through or held at the
// world's RequestGate without waiting for the user-interface thread. Everything else reaches
// ChromiumWorld::HandleEvent (and the end of the connection ChromiumWorld::HandleDisconnect) through the
// poster, as long as the world lives. Runs on the I/O thread only.
class IoThreadDispatcher {
  public:
    IoThreadDispatcher(std::weak_ptr<ChromiumWorld> world,
                       TaskPoster& poster,
                       CdpConnection& connection,
                       std::shared_ptr<RequestGate> gate);

    // The connection's handlers, each running `dispatcher`.
    static CdpConnection::Handlers HandlersFor(std::shared_ptr<IoThreadDispatcher> dispatcher);

    void OnEvent(Json&& event);
    void OnClosed();

  private:
    // Deals with what the event asks of the I/O thread; answers true when the event has been dealt with
    // entirely.
    bool HandleOnIoThread(const Json& event);

    std::weak_ptr<ChromiumWorld> world_;
    TaskPoster& poster_;
    CdpConnection& connection_;
    std::shared_ptr<RequestGate> gate_;
    std::map<std::string, std::string> pages_;  // target id -> session id
};

}  // namespace qm::cr
