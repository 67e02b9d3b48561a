#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_liveness.h"
#include "ports/browser.h"
#include "ports/sink_list.h"

namespace qm::sim {

class SimBrowser;
class SimBrowserWorld;
class SimDocument;
class SimHiddenBrowser;

// What became of a page's request for a new window.
struct NewWindowOutcome {
    enum class Kind { Opened, Refused, Captured };
    Kind kind = Kind::Opened;
    std::shared_ptr<SimBrowser> opened;          // Opened: the new browser window
    std::shared_ptr<SimHiddenBrowser> captured;  // Captured: the hidden browser that took the window
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
    // The browser's process ends just as the next sink connects to it: that Connect already fails.
    void VanishOnConnect() { vanishOnConnect_ = true; }
    std::size_t SinkCount() const { return sinks_.Count(); }

  private:
    void CheckCall() const;

    SimBrowserWorld& world_;
    std::shared_ptr<Liveness> liveness_ = std::make_shared<Liveness>();
    std::int32_t threadId_;
    bool visible_ = true;
    bool vanishOnConnect_ = false;
    bool html_ = true;
    std::string url_;
    std::shared_ptr<SimDocument> document_;
    std::vector<std::string> navigations_;
    SinkList<BrowserEvents> sinks_;
};

}  // namespace qm::sim
