#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ports/browser_factory.h"

namespace qm::sim {

class SimBrowser;
class SimDocument;
class SimEventLoop;
class SimHiddenBrowser;
class SimShellWindows;
class SimUiProbe;

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

}  // namespace qm::sim
