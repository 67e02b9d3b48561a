#include "platform/sim/sim_browser.h"

#include "platform/sim/sim_browser_world.h"
#include "platform/sim/sim_document.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_hidden_browser.h"
#include "platform/sim/sim_shell_windows.h"
#include "platform/sim/sim_window.h"

namespace qm::sim {

SimBrowser::SimBrowser(SimBrowserWorld& world, std::int32_t threadId) : world_(world), threadId_(threadId) {}

SimBrowser::~SimBrowser() = default;

void SimBrowser::CheckCall() const {
    world_.NoteCall();
    if (!liveness_->alive) {
        throw kGone;
    }
}

std::string SimBrowser::TypeName() {
    CheckCall();
    return "IWebBrowser2";
}

bool SimBrowser::Visible() {
    CheckCall();
    return visible_;
}

std::shared_ptr<PageDocument> SimBrowser::Document() {
    CheckCall();
    return html_ ? document_ : nullptr;
}

std::string SimBrowser::LocationURL() {
    CheckCall();
    return url_;
}

std::int32_t SimBrowser::WindowThreadId() {
    CheckCall();
    return threadId_;
}

void SimBrowser::Navigate(const std::string& url) {
    CheckCall();
    navigations_.push_back(url);
    // The browser starts the navigation after the call has returned.
    std::weak_ptr<SimBrowser> self = weak_from_this();
    world_.Loop().Post([self, url] {
        if (const auto browser = self.lock(); browser && browser->Alive()) {
            browser->GoTo(url);
        }
    });
}

std::unique_ptr<EventConnection> SimBrowser::Connect(std::weak_ptr<BrowserEvents> sink) {
    if (vanishOnConnect_) {
        Vanish();
    }
    CheckCall();
    return sinks_.Add(std::move(sink));
}

void SimBrowser::ShowPage(const std::string& url, const std::string* html) {
    url_ = url;
    html_ = true;
    document_ = SimDocument::Create(world_, liveness_, url, html ? *html : world_.PageHtml(url));
}

void SimBrowser::ShowNonHtml(const std::string& url) {
    url_ = url;
    html_ = false;
    document_.reset();
}

void SimBrowser::GoTo(const std::string& url) {
    if (FireBeforeNavigate2(url)) {
        return;
    }
    if (document_ && html_) {
        document_->Window()->FireBeforeUnload();
    }
    FireDownloadBegin();
    ShowPage(url);
    FireStatusTextChange("Done");
}

bool SimBrowser::FireBeforeNavigate2(const std::string& url) {
    bool cancel = false;
    sinks_.Fire([&](BrowserEvents& sink) { sink.IE_BeforeNavigate2(url, cancel); });
    return cancel;
}

void SimBrowser::FireDownloadBegin() {
    sinks_.Fire([](BrowserEvents& sink) { sink.IE_DownloadBegin(); });
}

void SimBrowser::FireStatusTextChange(const std::string& text) {
    sinks_.Fire([&](BrowserEvents& sink) { sink.IE_StatusTextChange(text); });
}

NewWindowOutcome SimBrowser::RequestNewWindow(const std::string& url) {
    std::shared_ptr<HiddenBrowser> ppDisp;
    bool cancel = false;
    sinks_.Fire([&](BrowserEvents& sink) { sink.IE_NewWindow2(ppDisp, cancel); });

    NewWindowOutcome outcome;
    if (cancel) {
        outcome.kind = NewWindowOutcome::Kind::Refused;
        return outcome;
    }
    if (ppDisp) {
        outcome.kind = NewWindowOutcome::Kind::Captured;
        outcome.captured = std::static_pointer_cast<SimHiddenBrowser>(ppDisp);
        outcome.captured->Navigate(url);
        return outcome;
    }
    outcome.kind = NewWindowOutcome::Kind::Opened;
    outcome.opened = world_.OpenBrowser(url);
    return outcome;
}

void SimBrowser::Close() {
    if (!liveness_->alive) {
        return;
    }
    sinks_.Fire([](BrowserEvents& sink) { sink.IE_OnQuit(); });
    liveness_->alive = false;
    world_.Shell().Remove(*this);
    world_.Shell().FireWindowRevoked();
}

void SimBrowser::Vanish() {
    liveness_->alive = false;
    world_.Shell().Remove(*this);
}

}  // namespace qm::sim
