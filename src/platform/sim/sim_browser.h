#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_document.h"
#include "ports/browser.h"
#include "ports/browser_factory.h"
#include "ports/hidden_browser.h"
#include "ports/shell_windows.h"
#include "ports/sink_list.h"
#include "ports/ui_probe.h"

namespace qm::sim {

class SimEventLoop;
class SimBrowser;
class SimShellWindows;
class SimHiddenBrowser;
class SimUiProbe;

// What became of a page's request for a new window.
struct NewWindowOutcome {
    enum class Kind { Opened, Refused, Captured };
    Kind kind = Kind::Opened;
    std::shared_ptr<SimBrowser> opened;          // Opened: the new browser window
    std::shared_ptr<SimHiddenBrowser> captured;  // Captured: the hidden browser that took the window
};

// The simulated browser world: the pages that exist (address → markup), the shell's browser windows,
// the input probes and hidden browsers the program created. It is the program's browser factory.
class SimBrowserWorld final : public BrowserFactory {
  public:
    explicit SimBrowserWorld(SimEventLoop& loop);
    ~SimBrowserWorld() override;

    // BrowserFactory:
    std::shared_ptr<ShellWindows> CreateShellWindows() override;
    std::unique_ptr<CUiProbe> CreateUiProbe() override;
    std::shared_ptr<HiddenBrowser> CreateHiddenBrowser() override;

    // Control side.
    SimEventLoop& Loop() const { return loop_; }
    SimShellWindows& Shell() const { return *shell_; }
    // A page the world can show at `url`.
    void AddPage(const std::string& url, std::string html) { pages_[url] = std::move(html); }
    // Loads `file` from the test fixtures folder as the page at `url`.
    void AddFixturePage(const std::string& url, const std::string& file);
    std::string PageHtml(const std::string& url) const;
    std::string Resolve(const std::string& base, const std::string& relative) const;

    // A new browser window showing `url` (its page from the world, or an empty one). `announce` adds it to
    // the shell's list and fires WindowRegistered; otherwise the test adds it itself.
    std::shared_ptr<SimBrowser> OpenBrowser(const std::string& url,
                                            bool visible = true,
                                            bool announce = true);

    // Input the user gives on the browser's thread: every probe watching that thread reports it.
    void UserInput(const SimBrowser& browser);
    void UserInputAt(const SimBrowser& browser, std::int32_t tick);
    std::vector<std::shared_ptr<SimUiProbe>> Probes() const;
    std::vector<std::shared_ptr<SimHiddenBrowser>> HiddenBrowsers() const;

    // Called at the start of every browser and page call; a test's way to act while the program waits on
    // the browser (calls into another process let events through).
    void SetCallHook(std::function<void()> hook) { callHook_ = std::move(hook); }
    void NoteCall();
    int CallCount() const { return callCount_; }

    // Runs page script other than the input marker.
    void SetScriptHandler(std::function<void(SimDocument&, const std::string&)> handler) {
        scriptHandler_ = std::move(handler);
    }
    void RunScript(SimDocument& document, const std::string& code);

    std::int32_t NextThreadId() { return nextThreadId_++; }

  private:
    SimEventLoop& loop_;
    std::shared_ptr<SimShellWindows> shell_;
    std::map<std::string, std::string> pages_;
    std::vector<std::shared_ptr<SimUiProbe>> probes_;
    std::vector<std::shared_ptr<SimHiddenBrowser>> hiddenBrowsers_;
    std::function<void()> callHook_;
    bool inCallHook_ = false;
    int callCount_ = 0;
    std::function<void(SimDocument&, const std::string&)> scriptHandler_;
    std::int32_t nextThreadId_ = 1000;
};

// A browser window. Tests drive its events; once closed or vanished every call fails.
class SimBrowser final : public Browser, public std::enable_shared_from_this<SimBrowser> {
  public:
    SimBrowser(SimBrowserWorld& world, std::int32_t threadId);
    ~SimBrowser() override;

    // Browser:
    const void* Identity() const override { return this; }
    std::string TypeName() override;
    bool Visible() override;
    std::shared_ptr<PageDocument> Document() override;
    std::string LocationURL() override;
    std::int32_t WindowThreadId() override;
    void Navigate(const std::string& url) override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<BrowserEvents> sink) override;

    // Control side.
    bool Alive() const { return liveness_->alive; }
    std::int32_t ThreadId() const { return threadId_; }
    void SetVisible(bool visible) { visible_ = visible; }
    // Shows `url` at once, without events: its page from the world, or `html` when given.
    void ShowPage(const std::string& url, const std::string* html = nullptr);
    // Shows something that is not an HTML document (a folder view).
    void ShowNonHtml(const std::string& url);
    // The whole navigation as the browser reports it: BeforeNavigate2, the old page's onbeforeunload,
    // DownloadBegin, the new page, then a status-text change.
    void GoTo(const std::string& url);
    std::shared_ptr<SimDocument> Page() const { return document_; }
    const std::vector<std::string>& Navigations() const { return navigations_; }

    bool FireBeforeNavigate2(const std::string& url);  // returns whether a handler cancelled
    void FireDownloadBegin();
    void FireStatusTextChange(const std::string& text = "Done");
    // The page asks for a new window showing `url`. A popup that opens blank and is sent elsewhere later
    // asks for "about:blank"; the test then drives the captured window's next navigation itself.
    NewWindowOutcome RequestNewWindow(const std::string& url);
    // The user closes the window: OnQuit, then the browser is gone and leaves the shell's list.
    void Close();
    // The browser's process ends without a word: every call fails from now on.
    void Vanish();
    std::size_t SinkCount() const { return sinks_.Count(); }

  private:
    void CheckCall() const;

    SimBrowserWorld& world_;
    std::shared_ptr<Liveness> liveness_ = std::make_shared<Liveness>();
    std::int32_t threadId_;
    bool visible_ = true;
    bool html_ = true;
    std::string url_;
    std::shared_ptr<SimDocument> document_;
    std::vector<std::string> navigations_;
    SinkList<BrowserEvents> sinks_;
};

// The shell's list of browser windows.
class SimShellWindows final : public ShellWindows {
  public:
    // ShellWindows:
    std::vector<std::shared_ptr<Browser>> Enumerate() override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<ShellWindowsEvents> sink) override;

    // Control side.
    void Add(std::shared_ptr<SimBrowser> browser) { browsers_.push_back(std::move(browser)); }
    void Remove(const SimBrowser& browser);
    void FireWindowRegistered();
    void FireWindowRevoked();
    const std::vector<std::shared_ptr<SimBrowser>>& Browsers() const { return browsers_; }

  private:
    std::vector<std::shared_ptr<SimBrowser>> browsers_;
    std::int32_t nextCookie_ = 1;
    SinkList<ShellWindowsEvents> sinks_;
};

// An off-screen browser the program made; tests drive what the page it hosts does.
class SimHiddenBrowser final : public HiddenBrowser {
  public:
    // HiddenBrowser:
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<HiddenBrowserEvents> sink) override;

    // Control side.
    // A navigation of the hosted window; returns whether the program cancelled it. Navigations that go
    // on are recorded as loaded.
    bool Navigate(const std::string& url);
    // The hosted page asks for a window of its own; returns whether the program refused it.
    bool RequestNewWindow();
    const std::vector<std::string>& Loaded() const { return loaded_; }
    const std::vector<std::string>& Cancelled() const { return cancelled_; }

  private:
    std::vector<std::string> loaded_;
    std::vector<std::string> cancelled_;
    SinkList<HiddenBrowserEvents> sinks_;
};

// The user-input component of one monitor.
class SimUiProbe final : public CUiProbe {
  public:
    // CUiProbe:
    void StartWatch(std::int32_t& threadId) override;
    void StopWatch() override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<UiProbeEvents> sink) override;

    // Control side.
    void FireUserInput(std::int32_t tick);
    bool Watching() const { return watching_; }
    std::int32_t WatchedThread() const { return thread_; }
    int StartWatchCalls() const { return startCalls_; }
    int StopWatchCalls() const { return stopCalls_; }

  private:
    bool watching_ = false;
    std::int32_t thread_ = 0;
    int startCalls_ = 0;
    int stopCalls_ = 0;
    SinkList<UiProbeEvents> sinks_;
};

}  // namespace qm::sim
