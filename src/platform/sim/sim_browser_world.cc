#include "platform/sim/sim_browser_world.h"

#include <fstream>
#include <sstream>

#include "base/platform_error.h"
#include "platform/sim/sim_browser.h"
#include "platform/sim/sim_document.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_hidden_browser.h"
#include "platform/sim/sim_shell_windows.h"
#include "platform/sim/sim_ui_probe.h"

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

}  // namespace qm::sim
