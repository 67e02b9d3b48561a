#include "platform/sim/sim_browser.h"

#include <fstream>
#include <sstream>

#include "base/platform_error.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_window.h"

namespace qm::sim {

namespace {

// The program owns its input component alone; the world keeps the state behind it so that tests can
// still read it once the program has let go.
class ProbeHandle final : public CUiProbe {
  public:
    explicit ProbeHandle(std::shared_ptr<SimUiProbe> probe) : probe_(std::move(probe)) {}
    void StartWatch(std::int32_t& threadId) override { probe_->StartWatch(threadId); }
    void StopWatch() override { probe_->StopWatch(); }
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<UiProbeEvents> sink) override {
        return probe_->Connect(std::move(sink));
    }

  private:
    std::shared_ptr<SimUiProbe> probe_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// SimBrowserWorld

SimBrowserWorld::SimBrowserWorld(SimEventLoop& loop)
    : loop_(loop), shell_(std::make_shared<SimShellWindows>()) {}

SimBrowserWorld::~SimBrowserWorld() = default;

std::shared_ptr<ShellWindows> SimBrowserWorld::CreateShellWindows() {
    return shell_;
}

std::unique_ptr<CUiProbe> SimBrowserWorld::CreateUiProbe() {
    auto probe = std::make_shared<SimUiProbe>();
    probes_.push_back(probe);
    return std::make_unique<ProbeHandle>(probe);
}

std::shared_ptr<HiddenBrowser> SimBrowserWorld::CreateHiddenBrowser() {
    auto browser = std::make_shared<SimHiddenBrowser>();
    hiddenBrowsers_.push_back(browser);
    return browser;
}

void SimBrowserWorld::AddFixturePage(const std::string& url, const std::string& file) {
    std::ifstream in(std::string(QM_SIM_FIXTURES_DIR) + "/" + file, std::ios::binary);
    if (!in) {
        throw PlatformError("No fixture page " + file);
    }
    std::ostringstream html;
    html << in.rdbuf();
    AddPage(url, html.str());
}

std::string SimBrowserWorld::PageHtml(const std::string& url) const {
    const auto page = pages_.find(url);
    return page == pages_.end() ? std::string("<html><head></head><body></body></html>") : page->second;
}

std::string SimBrowserWorld::Resolve(const std::string& base, const std::string& relative) const {
    if (relative.find("://") != std::string::npos || relative.rfind("about:", 0) == 0 ||
        relative.rfind("javascript:", 0) == 0) {
        return relative;
    }
    const std::string site = SiteOf(base);
    if (!relative.empty() && relative.front() == '/') {
        return site + relative;
    }
    const std::size_t slash = base.rfind('/');
    return (slash == std::string::npos || slash < site.size() ? site + "/" : base.substr(0, slash + 1)) +
           relative;
}

std::shared_ptr<SimBrowser> SimBrowserWorld::OpenBrowser(const std::string& url,
                                                         bool visible,
                                                         bool announce) {
    auto browser = std::make_shared<SimBrowser>(*this, NextThreadId());
    browser->SetVisible(visible);
    browser->ShowPage(url);
    if (announce) {
        shell_->Add(browser);
        shell_->FireWindowRegistered();
    }
    return browser;
}

void SimBrowserWorld::UserInput(const SimBrowser& browser) {
    UserInputAt(browser, loop_.GetTickCount());
}

void SimBrowserWorld::UserInputAt(const SimBrowser& browser, std::int32_t tick) {
    const auto probes = probes_;
    for (const auto& probe : probes) {
        if (probe->Watching() && probe->WatchedThread() == browser.ThreadId()) {
            probe->FireUserInput(tick);
        }
    }
}

std::vector<std::shared_ptr<SimUiProbe>> SimBrowserWorld::Probes() const {
    return probes_;
}

std::vector<std::shared_ptr<SimHiddenBrowser>> SimBrowserWorld::HiddenBrowsers() const {
    return hiddenBrowsers_;
}

void SimBrowserWorld::NoteCall() {
    ++callCount_;
    if (callHook_ && !inCallHook_) {
        inCallHook_ = true;
        const auto hook = callHook_;
        hook();
        inCallHook_ = false;
    }
}

void SimBrowserWorld::RunScript(SimDocument& document, const std::string& code) {
    if (scriptHandler_) {
        scriptHandler_(document, code);
    }
}

// ---------------------------------------------------------------------------------------------------------
// SimBrowser

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

// ---------------------------------------------------------------------------------------------------------
// SimShellWindows

std::vector<std::shared_ptr<Browser>> SimShellWindows::Enumerate() {
    return {browsers_.begin(), browsers_.end()};
}

std::unique_ptr<EventConnection> SimShellWindows::Connect(std::weak_ptr<ShellWindowsEvents> sink) {
    return sinks_.Add(std::move(sink));
}

void SimShellWindows::Remove(const SimBrowser& browser) {
    std::erase_if(browsers_, [&](const auto& b) { return b.get() == &browser; });
}

void SimShellWindows::FireWindowRegistered() {
    const std::int32_t cookie = nextCookie_++;
    sinks_.Fire([cookie](ShellWindowsEvents& sink) { sink.SWs_WindowRegistered(cookie); });
}

void SimShellWindows::FireWindowRevoked() {
    sinks_.Fire([](ShellWindowsEvents& sink) { sink.SWs_WindowRevoked(0); });
}

// ---------------------------------------------------------------------------------------------------------
// SimHiddenBrowser

std::unique_ptr<EventConnection> SimHiddenBrowser::Connect(std::weak_ptr<HiddenBrowserEvents> sink) {
    return sinks_.Add(std::move(sink));
}

bool SimHiddenBrowser::Navigate(const std::string& url) {
    bool cancel = false;
    sinks_.Fire([&](HiddenBrowserEvents& sink) { sink.Browser_BeforeNavigate2(url, cancel); });
    (cancel ? cancelled_ : loaded_).push_back(url);
    return cancel;
}

bool SimHiddenBrowser::RequestNewWindow() {
    std::shared_ptr<HiddenBrowser> ppDisp;
    bool cancel = false;
    sinks_.Fire([&](HiddenBrowserEvents& sink) { sink.Browser_NewWindow2(ppDisp, cancel); });
    return cancel;
}

// ---------------------------------------------------------------------------------------------------------
// SimUiProbe

void SimUiProbe::StartWatch(std::int32_t& threadId) {
    watching_ = true;
    thread_ = threadId;
    ++startCalls_;
}

void SimUiProbe::StopWatch() {
    watching_ = false;
    ++stopCalls_;
}

std::unique_ptr<EventConnection> SimUiProbe::Connect(std::weak_ptr<UiProbeEvents> sink) {
    return sinks_.Add(std::move(sink));
}

void SimUiProbe::FireUserInput(std::int32_t tick) {
    sinks_.Fire([tick](UiProbeEvents& sink) {
        std::int32_t tickCount = tick;
        sink.UiProbe_UserInput(tickCount);
    });
}

}  // namespace qm::sim
