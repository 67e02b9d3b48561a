#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/event_loop.h"

namespace qm::cr {

class ChromiumBrowser;
class ChromiumHiddenBrowser;
class PageContext;

// One page target of the browser that the program is attached to.
struct PageTarget {
    enum class Role {
        Browser,  // a watched browser window
        Popup,    // a new window waiting for the program's decision
        Hosted,   // a popup taken by a hidden browser, waiting for its real address
        Closing,  // killed; waiting for the browser to confirm
    };

    std::string targetId;
    std::string sessionId;
    std::string openerId;
    bool canAccessOpener = false;
    Role role = Role::Browser;
    bool alive = true;
    // The shell has announced the target as a browser window, so the program watches it: only then are
    // the new windows it asks for decided.
    bool announced = false;
    std::string url;
    std::string mainFrameId;
    std::int32_t threadId = 0;

    // Script worlds by context id: the frame, and whether it is the page's own world.
    struct ContextInfo {
        std::string frameId;
        bool pageWorld = false;
        std::shared_ptr<PageContext> program;  // the program's world of that document
    };
    std::map<int, ContextInfo> contexts;
    // The program's world of the main frame's current document.
    std::shared_ptr<PageContext> current;

    // Requests of the page for new windows, oldest first, waiting for the new target they announce.
    struct WindowOpen {
        std::string url;
        std::int64_t atMs = 0;
    };
    std::deque<WindowOpen> windowOpens;
    // New windows of this page that wait, paused, until the page has been announced.
    std::vector<std::weak_ptr<PageTarget>> heldPopups;

    std::weak_ptr<ChromiumBrowser> browser;
    std::shared_ptr<ChromiumHiddenBrowser> host;
    std::unique_ptr<PlatformTimer> hostTimer;
    // For a hosted popup: ends it when it has made no page request within a short while of being let go.
    std::unique_ptr<PlatformTimer> graceTimer;
    bool requestedSinceHosted = false;
};

}  // namespace qm::cr
