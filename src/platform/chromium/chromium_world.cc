#include "platform/chromium/chromium_world.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "base/platform_error.h"
#include "platform/chromium/chromium_browser.h"
#include "platform/chromium/chromium_document.h"
#include "platform/chromium/chromium_hidden_browser.h"
#include "platform/chromium/chromium_shell_windows.h"
#include "platform/chromium/chromium_ui_probe.h"
#include "platform/chromium/chromium_window.h"
#include "platform/chromium/io_thread_dispatcher.h"
#include "platform/chromium/json_fields.h"
#include "platform/chromium/page_context.h"
#include "platform/chromium/page_script.h"
#include "platform/chromium/page_target.h"
#include "platform/chromium/request_gate.h"

namespace qm::cr {

namespace {

// A request for a new window older than this no longer pairs with a new target: the page named a
// window that already existed, and no target came of it.
constexpr std::int64_t kWindowOpenMaxAgeMs = 2000;
// A popup taken by a hidden browser while still blank is closed after this long at the latest.
constexpr int kHostedPopupMs = 30000;
// The objects of a document that has gone are kept this long before they are let go.
constexpr std::int64_t kObjectGraceMs = 5000;
// How long the browser may take to start and give its first answer.
constexpr int kStartTimeoutMs = 30000;

// Fetch.enable's parameters that stop every page (document) request of a target before it is sent.
Json DocumentRequestPatterns() {
    return {
        {"patterns",
         Json::array({{{"urlPattern", "*"}, {"resourceType", "Document"}, {"requestStage", "Request"}}})}};
}

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A coordinate reported by the page, held inside the 32-bit range whatever the page said.
std::optional<std::int32_t> Coordinate(const Json& object, const char* name) {
    const auto field = object.find(name);
    if (field == object.end() || !field->is_number()) {
        return std::nullopt;
    }
    const double v = field->get<double>();
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    constexpr double kLimit = 1e9;
    return static_cast<std::int32_t>(std::lround(std::fmax(-kLimit, std::fmin(kLimit, v))));
}

// The gate of one connection: what it lets go on or fails is answered on that connection.
std::shared_ptr<RequestGate> MakeGate(CdpConnection& connection) {
    return std::make_shared<RequestGate>(
        [&connection](const std::string& method, const std::string& requestId) {
            Json params = {{"requestId", requestId}};
            if (method == "Fetch.failRequest") {
                params["errorReason"] = "Aborted";
            }
            connection.Send(method, std::move(params));
        });
}

bool IsBlankAddress(const std::string& url) {
    return url.empty() || url.rfind("about:blank", 0) == 0;
}

}  // namespace

std::shared_ptr<ChromiumWorld> ChromiumWorld::Create(std::unique_ptr<CdpConnection> connection,
                                                     EventLoop& loop,
                                                     TaskPoster& poster) {
    return std::make_shared<ChromiumWorld>(std::move(connection), loop, poster);
}

ChromiumWorld::ChromiumWorld(std::unique_ptr<CdpConnection> connection, EventLoop& loop, TaskPoster& poster)
    : connection_(std::move(connection)),
      loop_(loop),
      poster_(poster),
      shell_(std::make_shared<ChromiumShellWindows>()),
      gate_(MakeGate(*connection_)) {}

ChromiumWorld::~ChromiumWorld() {
    // No event reaches this object once it is being destroyed; page objects still held by the program
    // fail their calls from now on.
    connection_->Stop();
    for (const auto& [id, target] : sessions_) {
        target->alive = false;
        for (auto& [cid, info] : target->contexts) {
            if (info.program) {
                info.program->MarkGone();
                info.program->ReleaseObjects();
            }
        }
        target->hostTimer.reset();
        target->graceTimer.reset();
    }
    for (const auto& grave : graveyard_) {
        grave.context->ReleaseObjects();
    }
}

void ChromiumWorld::Bury(const std::shared_ptr<PageContext>& context) {
    context->MarkGone();
    graveyard_.push_back({context, SteadyMs()});
}

void ChromiumWorld::BuryPrograms(const PageTarget& target) {
    for (const auto& [id, info] : target.contexts) {
        if (info.program) {
            Bury(info.program);
        }
    }
}

void ChromiumWorld::SweepGraveyard() {
    // The objects of a document that has gone are let go only a while later: a handler that was working
    // with one when the document went may still be on the stack.
    const std::int64_t now = SteadyMs();
    std::erase_if(graveyard_, [now](const Grave& grave) {
        if (now - grave.buriedAtMs < kObjectGraceMs) {
            return false;
        }
        grave.context->ReleaseObjects();
        return true;
    });
}

void ChromiumWorld::Start(const std::string& startUrl) {
    if (started_) {
        return;
    }
    started_ = true;
    startUrl_ = IsBlankAddress(startUrl) ? std::string() : startUrl;
    // The I/O thread deals with what cannot wait (see IoThreadDispatcher) and posts the rest here.
    connection_->Start(IoThreadDispatcher::HandlersFor(
        std::make_shared<IoThreadDispatcher>(weak_from_this(), poster_, *connection_, gate_)));
    // The first answer comes only once the browser has started, which on a busy machine takes longer
    // than any later call may.
    connection_->Call("Target.setDiscoverTargets", {{"discover", true}}, std::string(), kStartTimeoutMs);
    // Every new page, popups included, is attached paused: nothing of it runs before the program has
    // decided about it and set it up.
    connection_->Call("Target.setAutoAttach",
                      {{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}});
    // Every page request of the browser stops at the gate (see RequestGate), so that a new window the
    // program refuses never reaches the network.
    connection_->Call("Fetch.enable", DocumentRequestPatterns());
}

void ChromiumWorld::Reconnect(std::unique_ptr<CdpConnection> connection, const std::string& startUrl) {
    // What is left of the old browser has gone with it.
    HandleDisconnect();
    connection_->Stop();
    connection_ = std::move(connection);
    gate_ = MakeGate(*connection_);
    disconnected_ = false;
    started_ = false;
    Start(startUrl);
}

void ChromiumWorld::StopWatching() {
    if (disconnected_) {
        return;
    }
    try {
        // Nothing new is attached or held from now on.
        connection_->Send("Target.setAutoAttach", {{"autoAttach", false}, {"waitForDebuggerOnStart", false}});
        connection_->Send("Target.setDiscoverTargets", {{"discover", false}});
        connection_->Send("Fetch.disable");
        const auto sessions = sessions_;
        for (const auto& [sessionId, target] : sessions) {
            // A window still waiting for the program's decision is let through; the person decides now.
            gate_->Decide(target->targetId, true);
            if (target->role != PageTarget::Role::Browser) {
                connection_->Send("Runtime.runIfWaitingForDebugger", Json::object(), sessionId);
            }
            connection_->Send("Target.detachFromTarget", {{"sessionId", sessionId}});
        }
        // The browser handles its messages in order: once this answers, all of the above is done.
        connection_->Call("Browser.getVersion", Json::object(), std::string(), 2000);
    } catch (const PlatformError&) {
        // A browser that has gone needs no letting go.
    }
    // The program's side ends as if the browser had gone, without closing the pipe.
    auto onDisconnected = std::move(onDisconnected_);
    HandleDisconnect();
    onDisconnected_ = std::move(onDisconnected);
}

std::shared_ptr<ShellWindows> ChromiumWorld::CreateShellWindows() {
    return shell_;
}

std::unique_ptr<CUiProbe> ChromiumWorld::CreateUiProbe() {
    auto state = std::make_shared<ProbeState>();
    std::erase_if(probes_, [](const auto& p) { return p.expired(); });
    probes_.push_back(state);
    return std::make_unique<ChromiumUiProbe>(std::move(state));
}

std::shared_ptr<HiddenBrowser> ChromiumWorld::CreateHiddenBrowser() {
    return std::make_shared<ChromiumHiddenBrowser>();
}

bool ChromiumWorld::OpenWindow(const std::string& url) {
    if (disconnected_) {
        return false;
    }
    // Not waited for: the new target is attached paused, and the browser may hold its answer until the
    // target runs, which needs this thread.
    return connection_->Send("Target.createTarget", {{"url", url}, {"newWindow", true}});
}

std::vector<std::shared_ptr<ChromiumBrowser>> ChromiumWorld::Browsers() const {
    return shell_->Browsers();
}

const PageTarget* ChromiumWorld::TargetOf(const ChromiumBrowser& browser) const {
    return browser.Target().get();
}

std::shared_ptr<PageTarget> ChromiumWorld::FindSession(const std::string& sessionId) const {
    const auto entry = sessions_.find(sessionId);
    return entry == sessions_.end() ? nullptr : entry->second;
}

std::shared_ptr<PageTarget> ChromiumWorld::FindTarget(const std::string& targetId) const {
    const auto entry = targetSessions_.find(targetId);
    return entry == targetSessions_.end() ? nullptr : FindSession(entry->second);
}

void ChromiumWorld::HandleEvent(const Json& event) {
    SweepGraveyard();
    if (disconnected_ || !event.is_object()) {
        return;
    }
    const std::string method = StringField(event, "method");
    const auto paramsEntry = event.find("params");
    const Json params =
        paramsEntry != event.end() && paramsEntry->is_object() ? *paramsEntry : Json::object();
    const std::string sessionId = StringField(event, "sessionId");

    if (method == "Target.attachedToTarget") {
        OnAttached(params);
        return;
    }
    if (method == "Target.detachedFromTarget") {
        // Only the end of one of the program's own sessions matters; other sessions to the same page come
        // and go without changing anything.
        const auto target = FindSession(StringField(params, "sessionId"));
        if (target) {
            OnTargetGone(target->targetId);
        }
        return;
    }
    if (method == "Target.targetDestroyed") {
        OnTargetGone(StringField(params, "targetId"));
        return;
    }
    if (method == "Target.targetCrashed") {
        OnTargetCrashed(StringField(params, "targetId"));
        return;
    }
    if (sessionId.empty()) {
        return;
    }
    const auto target = FindSession(sessionId);
    if (!target || !target->alive) {
        return;  // a session the program does not know, or one that has ended
    }
    OnSessionEvent(target, method, params);
}

void ChromiumWorld::OnAttached(const Json& params) {
    const std::string sessionId = StringField(params, "sessionId");
    const Json info = params.contains("targetInfo") ? params["targetInfo"] : Json::object();
    const std::string targetId = StringField(info, "targetId");
    const bool waiting = BoolField(params, "waitingForDebugger");
    if (sessionId.empty() || targetId.empty()) {
        return;
    }
    if (StringField(info, "type") != "page") {
        // Workers and the browser's own pages are none of the program's business; they must not stay
        // paused because of it.
        if (waiting) {
            connection_->Send("Runtime.runIfWaitingForDebugger", Json::object(), sessionId);
        }
        connection_->Send("Target.detachFromTarget", {{"sessionId", sessionId}});
        return;
    }
    if (targetSessions_.count(targetId) || sessions_.count(sessionId)) {
        return;  // a second session to a page the program already watches
    }

    auto target = std::make_shared<PageTarget>();
    target->targetId = targetId;
    target->sessionId = sessionId;
    target->openerId = StringField(info, "openerId");
    target->canAccessOpener = BoolField(info, "canAccessOpener");
    target->url = StringField(info, "url");
    target->mainFrameId = targetId;  // a page's main frame carries its target's id
    target->threadId = nextThreadId_++;
    sessions_[sessionId] = target;
    targetSessions_[targetId] = sessionId;

    const auto opener = target->openerId.empty() ? nullptr : FindTarget(target->openerId);
    if (waiting && opener && opener->alive &&
        (opener->role == PageTarget::Role::Browser || opener->role == PageTarget::Role::Hosted)) {
        target->role = PageTarget::Role::Popup;
        if (opener->role == PageTarget::Role::Browser && !opener->announced) {
            // Nobody watches the opener yet: the new window waits, paused, with its requests held.
            opener->heldPopups.push_back(target);
            return;
        }
        DecidePopup(target, opener);
        return;
    }
    gate_->Decide(targetId, true);
    AdoptAsBrowser(target, waiting);
}

void ChromiumWorld::AdoptAsBrowser(const std::shared_ptr<PageTarget>& target, bool paused) {
    target->role = PageTarget::Role::Browser;
    const std::string& sid = target->sessionId;
    try {
        // The probe and the page library go in before anything of the page runs.
        // FIXME: frames of another site run in processes of their own, which this session does not
        // attach to; input given inside them is not reported.
        connection_->Call("Runtime.addBinding",
                          {{"name", kReportBinding}, {"executionContextName", kWorldName}}, sid);
        connection_->Call("Page.addScriptToEvaluateOnNewDocument",
                          {{"source", std::string(kPageScript)}, {"worldName", kWorldName}}, sid);
        connection_->Call("Page.enable", Json::object(), sid);
        connection_->Call("Runtime.enable", Json::object(), sid);
        if (paused) {
            connection_->Send("Runtime.runIfWaitingForDebugger", Json::object(), sid);
        } else {
            // A page that was open before the program: its current document gets the world now.
            const int contextId = CreateProgramWorld(*target);
            if (contextId != 0) {
                connection_->Call("Runtime.evaluate",
                                  {{"expression", std::string(kPageScript)}, {"contextId", contextId}}, sid);
                AdoptProgramWorld(target, contextId);
            }
        }
    } catch (const PlatformError& e) {
        // A page that went away while it was set up is dropped when its end is reported; one that is still
        // there is watched all the same (its probe may be missing, which only makes its windows
        // unrequested).
        std::fprintf(stderr, "quillmere: setting up a page failed: %s\n", e.what());
        if (paused) {
            connection_->Send("Runtime.runIfWaitingForDebugger", Json::object(), sid);
        }
    }
    if (!target->alive) {
        return;
    }
    auto browser = std::make_shared<ChromiumBrowser>(weak_from_this(), target);
    target->browser = browser;
    shell_->Add(browser);
    // Announced after the current event, as the shell announces a new window.
    poster_.PostTask([weakWorld = weak_from_this(), weakTarget = std::weak_ptr<PageTarget>(target)] {
        const auto world = weakWorld.lock();
        const auto page = weakTarget.lock();
        if (world && page) {
            world->Announce(page);
        }
    });
}

void ChromiumWorld::Announce(const std::shared_ptr<PageTarget>& target) {
    if (!target->alive || target->announced) {
        return;
    }
    target->announced = true;
    shell_->FireWindowRegistered();
    // The program watches the page now: what it asked for meanwhile is decided as it would have been.
    const auto held = std::exchange(target->heldPopups, {});
    for (const auto& weakPopup : held) {
        const auto popup = weakPopup.lock();
        if (popup && popup->alive && popup->role == PageTarget::Role::Popup && target->alive) {
            DecidePopup(popup, target);
        }
    }
    if (!startUrl_.empty() && target->alive && target->role == PageTarget::Role::Browser) {
        connection_->Send("Page.navigate", {{"url", std::exchange(startUrl_, {})}}, target->sessionId);
    }
}

void ChromiumWorld::DecidePopup(const std::shared_ptr<PageTarget>& popup,
                                const std::shared_ptr<PageTarget>& opener) {
    // The address the opener asked for: its requests for new windows pair with new targets in order.
    std::string url = popup->url;
    const std::int64_t now = SteadyMs();
    while (!opener->windowOpens.empty() && now - opener->windowOpens.front().atMs > kWindowOpenMaxAgeMs) {
        opener->windowOpens.pop_front();
    }
    if (!opener->windowOpens.empty()) {
        url = opener->windowOpens.front().url;
        opener->windowOpens.pop_front();
    }

    std::shared_ptr<HiddenBrowser> ppDisp;
    bool cancel = false;
    try {
        if (opener->role == PageTarget::Role::Hosted && opener->host) {
            opener->host->FireNewWindow2(ppDisp, cancel);
        } else if (const auto browser = opener->browser.lock()) {
            browser->FireNewWindow2(ppDisp, cancel);
        }
    } catch (const std::exception& e) {
        // A decision that fails lets the window open, as a browser without the program would.
        std::fprintf(stderr, "quillmere: the new-window decision failed: %s\n", e.what());
        ppDisp.reset();
        cancel = false;
    }
    if (!popup->alive) {
        return;
    }
    if (cancel) {
        KillPausedPopup(popup);
        return;
    }
    if (ppDisp) {
        const auto host = std::dynamic_pointer_cast<ChromiumHiddenBrowser>(ppDisp);
        if (!host) {
            KillPausedPopup(popup);
            return;
        }
        if (IsBlankAddress(url)) {
            HostPopup(popup, host);
            return;
        }
        KillPausedPopup(popup);
        poster_.PostTask([host, url] { host->FireBeforeNavigate2(url); });
        return;
    }
    gate_->Decide(popup->targetId, true);
    AdoptAsBrowser(popup, /*paused=*/true);
}

void ChromiumWorld::HostPopup(const std::shared_ptr<PageTarget>& popup,
                              const std::shared_ptr<ChromiumHiddenBrowser>& host) {
    // A popup opened blank shows its real address only when its opener sends it somewhere, after it has
    // been let run: every page request it makes is stopped and handed to the hidden browser instead.
    // FIXME: an opener that writes into the blank popup instead of sending it anywhere makes no request;
    // that popup stays (blank to the network, but showing what was written) until its time is up.
    popup->role = PageTarget::Role::Hosted;
    popup->host = host;
    try {
        connection_->Call("Fetch.enable", DocumentRequestPatterns(), popup->sessionId);
    } catch (const PlatformError&) {
        KillPausedPopup(popup);
        return;
    }
    // From now on its page requests stop at its own interception, which hands them to the hidden browser.
    gate_->Decide(popup->targetId, true);
    connection_->Send("Runtime.runIfWaitingForDebugger", Json::object(), popup->sessionId);
    poster_.PostTask([host] { host->FireBeforeNavigate2("about:blank"); });

    std::weak_ptr<ChromiumWorld> weakWorld = weak_from_this();
    std::weak_ptr<PageTarget> weakPopup = popup;
    const auto closeIf = [weakWorld, weakPopup](bool onlyWithoutRequest) {
        const auto world = weakWorld.lock();
        const auto target = weakPopup.lock();
        if (world && target && target->alive && target->role == PageTarget::Role::Hosted &&
            !(onlyWithoutRequest && target->requestedSinceHosted)) {
            world->ClosePopup(target);
        }
    };
    popup->hostTimer = loop_.CreateTimer([closeIf] { closeIf(false); });
    popup->hostTimer->Start(kHostedPopupMs);
    // An opener that sends its blank window somewhere does so right after window.open() returns; one
    // that writes into the window instead makes no request at all, and what it wrote is never shown for
    // long.
    popup->graceTimer = loop_.CreateTimer([closeIf] { closeIf(true); });
    popup->graceTimer->Start(kBlankPopupGraceMs);
}

void ChromiumWorld::KillPausedPopup(const std::shared_ptr<PageTarget>& popup) {
    popup->role = PageTarget::Role::Closing;
    ++killedPopups_;
    // Whatever page request it made or makes fails: its page never reaches the network.
    gate_->Decide(popup->targetId, false);
    // None of this is waited for. A popup that can reach its opener holds the opener inside
    // window.open() until it is let run, so it is always let run, and it is closed first: the browser
    // ends it before it runs anything. (Closed and never let run, it would neither close nor let its
    // opener go.)
    switch (killSequence_) {
        case KillSequence::CloseThenResume:
            SendClose(popup, "Target.closeTarget");
            connection_->Send("Runtime.runIfWaitingForDebugger", Json::object(), popup->sessionId);
            break;
        case KillSequence::PageCloseThenResume:
            SendClose(popup, "Page.close");
            connection_->Send("Runtime.runIfWaitingForDebugger", Json::object(), popup->sessionId);
            break;
        case KillSequence::BlankResumeClose:
            connection_->Send("Page.navigate", {{"url", "about:blank"}}, popup->sessionId);
            connection_->Send("Runtime.runIfWaitingForDebugger", Json::object(), popup->sessionId);
            SendClose(popup, "Target.closeTarget");
            break;
    }
}

void ChromiumWorld::SendClose(const std::shared_ptr<PageTarget>& popup, const char* method) {
    const bool perPage = std::string_view(method) == "Page.close";
    Json params = perPage ? Json::object() : Json{{"targetId", popup->targetId}};
    const std::string session = perPage ? popup->sessionId : std::string();
    if (const auto acknowledged = onCloseAcknowledged_) {
        connection_->Send(method, std::move(params), session, [acknowledged](bool) { (*acknowledged)(); });
    } else {
        connection_->Send(method, std::move(params), session);
    }
}

void ChromiumWorld::ClosePopup(const std::shared_ptr<PageTarget>& popup) {
    if (popup->role != PageTarget::Role::Closing) {
        ++killedPopups_;
    }
    popup->role = PageTarget::Role::Closing;
    popup->hostTimer.reset();
    popup->graceTimer.reset();
    gate_->Decide(popup->targetId, false);
    SendClose(popup, "Target.closeTarget");
}

void ChromiumWorld::OnRequestPaused(const std::shared_ptr<PageTarget>& target, const Json& params) {
    const std::string requestId = StringField(params, "requestId");
    if (requestId.empty()) {
        return;
    }
    if (target->role == PageTarget::Role::Closing) {
        connection_->Send("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "Aborted"}},
                          target->sessionId);
        return;
    }
    if (target->role != PageTarget::Role::Hosted || !target->host) {
        connection_->Send("Fetch.continueRequest", {{"requestId", requestId}}, target->sessionId);
        return;
    }
    target->requestedSinceHosted = true;
    const std::string url = StringField(params.value("request", Json::object()), "url");
    const auto host = target->host;
    const bool cancelled = host->FireBeforeNavigate2(url);
    // The hidden browser never shows a page: the request fails either way, and a cancelled one ends the
    // popup.
    connection_->Send("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "Aborted"}},
                      target->sessionId);
    if (cancelled && target->alive) {
        ClosePopup(target);
    }
}

void ChromiumWorld::MarkGone(const std::shared_ptr<PageTarget>& target) {
    if (!target->alive) {
        return;
    }
    target->alive = false;
    BuryPrograms(*target);
    target->current.reset();
    target->hostTimer.reset();
    target->graceTimer.reset();
    // New windows that waited for this page's announcement had no one to ask for them.
    for (const auto& weakPopup : std::exchange(target->heldPopups, {})) {
        if (const auto popup = weakPopup.lock();
            popup && popup->alive && popup->role == PageTarget::Role::Popup) {
            KillPausedPopup(popup);
        }
    }
    if (const auto browser = target->browser.lock()) {
        shell_->Remove(*browser);
        browser->FireOnQuit();
        std::weak_ptr<ChromiumShellWindows> shell = shell_;
        poster_.PostTask([shell] {
            if (const auto s = shell.lock()) {
                s->FireWindowRevoked();
            }
        });
    }
}

void ChromiumWorld::OnTargetGone(const std::string& targetId) {
    const auto target = FindTarget(targetId);
    if (!target) {
        return;
    }
    const bool killed = target->role == PageTarget::Role::Closing;
    MarkGone(target);
    sessions_.erase(target->sessionId);
    targetSessions_.erase(targetId);
    if (killed && onPopupClosed_) {
        onPopupClosed_();
    }
}

void ChromiumWorld::OnTargetCrashed(const std::string& targetId) {
    const auto target = FindTarget(targetId);
    if (!target) {
        return;
    }
    // The page's window stays (showing that it crashed); its browser object is over. If the user
    // reloads it, the page becomes a new browser.
    BuryPrograms(*target);
    target->contexts.clear();
    target->current.reset();
    if (const auto browser = target->browser.lock()) {
        browser->SetGone();
        shell_->Remove(*browser);
        target->browser.reset();
        browser->FireOnQuit();
    }
}

void ChromiumWorld::FireStatusChange(const std::shared_ptr<PageTarget>& target) {
    if (target->role != PageTarget::Role::Browser) {
        return;
    }
    if (const auto browser = target->browser.lock(); browser && browser->Alive()) {
        browser->FireStatusTextChange("Done");
    }
}

void ChromiumWorld::OnSessionEvent(const std::shared_ptr<PageTarget>& target,
                                   const std::string& method,
                                   const Json& params) {
    if (method == "Runtime.bindingCalled") {
        if (StringField(params, "name") == kReportBinding) {
            OnReport(target, IntField(params, "executionContextId"), StringField(params, "payload"));
        }
    } else if (method == "Runtime.executionContextCreated") {
        OnContextCreated(target, params.value("context", Json::object()));
    } else if (method == "Runtime.executionContextDestroyed") {
        OnContextDestroyed(target, IntField(params, "executionContextId"));
    } else if (method == "Runtime.executionContextsCleared") {
        BuryPrograms(*target);
        target->contexts.clear();
        target->current.reset();
    } else if (method == "Page.windowOpen") {
        target->windowOpens.push_back({StringField(params, "url"), SteadyMs()});
    } else if (method == "Fetch.requestPaused") {
        OnRequestPaused(target, params);
    } else if (method == "Inspector.targetCrashed") {
        OnTargetCrashed(target->targetId);
    } else if (method == "Inspector.detached") {
        OnTargetGone(target->targetId);
    } else if (target->role == PageTarget::Role::Browser) {
        OnBrowserPageEvent(target, method, params);
    }
}

void ChromiumWorld::OnBrowserPageEvent(const std::shared_ptr<PageTarget>& target,
                                       const std::string& method,
                                       const Json& params) {
    const bool isMainFrame = StringField(params, "frameId") == target->mainFrameId;
    if (method == "Page.frameStartedNavigating" && isMainFrame) {
        if (const auto browser = target->browser.lock(); browser && browser->Alive()) {
            if (browser->FireBeforeNavigate2(StringField(params, "url"))) {
                connection_->Send("Page.stopLoading", Json::object(), target->sessionId);
            }
        }
    } else if (method == "Page.frameStartedLoading" && isMainFrame) {
        if (const auto browser = target->browser.lock(); browser && browser->Alive()) {
            browser->FireDownloadBegin();
        }
    } else if (method == "Page.frameNavigated") {
        OnFrameNavigated(target, params.value("frame", Json::object()));
    } else if (method == "Page.navigatedWithinDocument" && isMainFrame) {
        target->url = StringField(params, "url");
        FireStatusChange(target);
    } else if (method == "Page.domContentEventFired" || method == "Page.loadEventFired") {
        FireStatusChange(target);
    }
}

void ChromiumWorld::OnFrameNavigated(const std::shared_ptr<PageTarget>& target, const Json& frame) {
    if (!StringField(frame, "parentId").empty()) {
        return;
    }
    target->mainFrameId = StringField(frame, "id").empty() ? target->mainFrameId : StringField(frame, "id");
    target->url = StringField(frame, "url") + StringField(frame, "urlFragment");
    if (!target->browser.lock()) {
        // A crashed page that the user reloaded: a browser again, announced like a new one.
        auto browser = std::make_shared<ChromiumBrowser>(weak_from_this(), target);
        target->browser = browser;
        shell_->Add(browser);
        target->announced = true;
        shell_->FireWindowRegistered();
    }
}

void ChromiumWorld::OnContextCreated(const std::shared_ptr<PageTarget>& target, const Json& context) {
    const int id = IntField(context, "id");
    if (id == 0) {
        return;
    }
    const Json aux = context.value("auxData", Json::object());
    PageTarget::ContextInfo info;
    info.frameId = StringField(aux, "frameId");
    info.pageWorld = BoolField(aux, "isDefault");
    const auto existing = target->contexts.find(id);
    if (existing != target->contexts.end() && existing->second.program && existing->second.program->Alive()) {
        info.program = existing->second.program;  // made already, when the world was created by hand
    } else if (existing != target->contexts.end() && existing->second.program) {
        // The world's earlier document has gone; the same world now serves a new one.
        Bury(existing->second.program);
        info.program =
            std::make_shared<PageContext>(connection_, loop_, poster_, target->sessionId, id, info.frameId);
    } else if (StringField(context, "name") == kWorldName && !info.pageWorld) {
        info.program =
            std::make_shared<PageContext>(connection_, loop_, poster_, target->sessionId, id, info.frameId);
    }
    if (info.pageWorld) {
        for (auto& [otherId, other] : target->contexts) {
            if (other.program && other.frameId == info.frameId) {
                other.program->SetPageWorldContextId(id);
            }
        }
    } else if (info.program) {
        for (const auto& [otherId, other] : target->contexts) {
            if (other.pageWorld && other.frameId == info.frameId) {
                info.program->SetPageWorldContextId(otherId);
            }
        }
    }
    if (info.program && info.frameId == target->mainFrameId) {
        target->current = info.program;
    }
    target->contexts[id] = std::move(info);
}

int ChromiumWorld::CreateProgramWorld(const PageTarget& target) {
    const Json world =
        connection_->Call("Page.createIsolatedWorld",
                          {{"frameId", target.mainFrameId}, {"worldName", kWorldName}}, target.sessionId);
    return IntField(world, "executionContextId");
}

void ChromiumWorld::AdoptProgramWorld(const std::shared_ptr<PageTarget>& target, int contextId) {
    OnContextCreated(target, {{"id", contextId},
                              {"name", kWorldName},
                              {"auxData", {{"frameId", target->mainFrameId}, {"type", "isolated"}}}});
}

void ChromiumWorld::OnContextDestroyed(const std::shared_ptr<PageTarget>& target, int contextId) {
    const auto entry = target->contexts.find(contextId);
    if (entry == target->contexts.end()) {
        return;
    }
    if (entry->second.program) {
        Bury(entry->second.program);
        if (target->current == entry->second.program) {
            target->current.reset();
        }
    }
    target->contexts.erase(entry);
}

void ChromiumWorld::OnReport(const std::shared_ptr<PageTarget>& target,
                             int contextId,
                             const std::string& payload) {
    // The report comes from the program's own world, which the page cannot reach; it is read with care
    // all the same.
    const Json report = Json::parse(payload, nullptr, /*allow_exceptions=*/false);
    if (!report.is_object()) {
        return;
    }
    const std::string kind = StringField(report, "k");
    const auto contextEntry = target->contexts.find(contextId);
    const std::shared_ptr<PageContext> program =
        contextEntry != target->contexts.end() ? contextEntry->second.program : nullptr;
    const bool mainDocument = program && program == target->current;

    if (kind == "input" || kind == "move" || kind == "leave" || kind == "keys") {
        OnInputReport(target, kind, report);
    } else if (kind == "doc") {
        OnNewDocument(target, contextId, report);
    } else if (kind == "count") {
        if (mainDocument) {
            FireStatusChange(target);
        }
    } else if (kind == "prop") {
        if (const auto document = mainDocument ? program->ExistingDocument() : nullptr) {
            document->FirePropertyChange();
        }
    } else if (kind == "activate") {
        if (mainDocument) {
            program->DocumentFor(1)->FireActivate();
        }
    } else if (kind == "unload") {
        if (const auto window = mainDocument ? program->ExistingWindow() : nullptr) {
            window->FireBeforeUnload();
        }
    } else if (kind == "timeout" && program) {
        OnTimeoutReport(target, *program, report);
    }
}

void ChromiumWorld::OnInputReport(const std::shared_ptr<PageTarget>& target,
                                  const std::string& kind,
                                  const Json& report) {
    const auto sx = Coordinate(report, "sx");
    const auto sy = Coordinate(report, "sy");
    if (kind == "leave") {
        input_.pointer = {-32768, -32768};
    } else if (sx && sy) {
        input_.pointer = {*sx, *sy};
    }
    input_.ctrlDown = BoolField(report, "ctrl");
    if (const auto sw = Coordinate(report, "sw")) {
        input_.screenWidth = *sw;
    }
    if (const auto sh = Coordinate(report, "sh")) {
        input_.screenHeight = *sh;
    }
    if (kind == "input" && target->role == PageTarget::Role::Browser) {
        FireUserInput(target->threadId);
    }
}

void ChromiumWorld::FireUserInput(std::int32_t threadId) {
    const std::int32_t tick = loop_.GetTickCount();
    std::erase_if(probes_, [](const auto& p) { return p.expired(); });
    const auto probes = probes_;
    for (const auto& weakProbe : probes) {
        const auto probe = weakProbe.lock();
        if (probe && probe->watching && probe->thread == threadId) {
            probe->sinks.Fire([tick](UiProbeEvents& sink) {
                std::int32_t tickCount = tick;
                sink.UiProbe_UserInput(tickCount);
            });
        }
    }
}

void ChromiumWorld::OnTimeoutReport(const std::shared_ptr<PageTarget>& target,
                                    PageContext& program,
                                    const Json& report) {
    const auto key = report.find("key");
    if (key == report.end() || !key->is_number_integer()) {
        return;
    }
    const auto code = program.TakeTimeout(key->get<std::int64_t>());
    if (code && program.PageWorldContextId() != 0) {
        connection_->Send(
            "Runtime.evaluate",
            {{"expression", *code}, {"contextId", program.PageWorldContextId()}, {"silent", true}},
            target->sessionId);
    }
}

void ChromiumWorld::OnNewDocument(const std::shared_ptr<PageTarget>& target,
                                  int contextId,
                                  const Json& report) {
    const auto entry = target->contexts.find(contextId);
    const auto gen = report.find("gen");
    if (entry == target->contexts.end() || !entry->second.program || gen == report.end() ||
        !gen->is_number_integer()) {
        return;
    }
    const std::int64_t generation = gen->get<std::int64_t>();
    const std::shared_ptr<PageContext> old = entry->second.program;
    if (old->Generation() == 0 || old->Generation() == generation) {
        old->SetGeneration(generation);
        return;
    }
    // The window kept its world but shows a new document (a new window's first, empty document was
    // replaced): to the program that is a new document with new objects.
    auto fresh = std::make_shared<PageContext>(connection_, loop_, poster_, target->sessionId, contextId,
                                               old->FrameId());
    fresh->SetGeneration(generation);
    fresh->SetPageWorldContextId(old->PageWorldContextId());
    entry->second.program = fresh;
    if (target->current == old) {
        target->current = fresh;
    }
    Bury(old);
}

void ChromiumWorld::HandleDisconnect() {
    if (disconnected_) {
        return;
    }
    disconnected_ = true;
    const auto sessions = sessions_;
    for (const auto& [id, target] : sessions) {
        MarkGone(target);
    }
    sessions_.clear();
    targetSessions_.clear();
    if (onDisconnected_) {
        onDisconnected_();
    }
}

}  // namespace qm::cr
