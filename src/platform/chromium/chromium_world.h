#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/event_loop.h"
#include "base/task_poster.h"
#include "platform/chromium/cdp_connection.h"
#include "ports/browser_factory.h"
#include "ports/desktop.h"
#include "ports/hidden_browser.h"
#include "ports/shell_windows.h"
#include "ports/ui_probe.h"

namespace qm::cr {

class ChromiumBrowser;
class ChromiumHiddenBrowser;
class ChromiumShellWindows;
class PageContext;
struct PageTarget;
struct ProbeState;
class RequestGate;

// What the probes last reported of the user's pointer and keys, for the desktop.
struct InputState {
    ScreenPoint pointer{-32768, -32768};  // outside every page until the first report
    bool ctrlDown = false;
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
};

// The Chromium engine as the program's browser factory. It attaches to every page target of one browser
// process (new ones paused until the program has set them up), turns each resumed page into a watched
// browser window, catches each page's request for a new window before the new page runs, and routes the
// protocol's events and the in-page probe's reports to the program's objects.
//
// Threading: the connection's I/O thread only posts events to the user-interface thread (TaskPoster);
// everything else, every object handed out included, lives on the user-interface thread. Calls into the
// browser wait for their own reply (at most the connection's timeout) while other events queue behind.
// Failure: when the browser has gone (end of file on the pipe), every browser reports OnQuit, every call
// throws PlatformError, and the program goes on.
class ChromiumWorld final : public BrowserFactory, public std::enable_shared_from_this<ChromiumWorld> {
  public:
    static std::shared_ptr<ChromiumWorld> Create(std::unique_ptr<CdpConnection> connection,
                                                 EventLoop& loop,
                                                 TaskPoster& poster);
    ChromiumWorld(std::unique_ptr<CdpConnection> connection, EventLoop& loop, TaskPoster& poster);
    ~ChromiumWorld() override;

    // Starts the connection and attaches to the browser's pages. Throws PlatformError when the browser
    // does not answer.
    //
    // `startUrl` (none when empty) is the first page to show. The browser is started on a blank page, and
    // the start page is loaded into that page only once every page is attached, every new window is
    // caught and every page request stops at the gate, and once the page has been announced to the
    // shell's listeners: the program, started before the loop runs, then watches it from its first
    // request. Until a page has been announced, the new windows it asks for wait, paused, for its
    // announcement.
    void Start(const std::string& startUrl = {});
    // Watches a browser started anew after the last one has gone (its start page loaded as by Start): the
    // watched windows, the probes and the shell's listeners stay, the new browser's pages join them as they
    // appear. Throws PlatformError when the new browser does not answer.
    void Reconnect(std::unique_ptr<CdpConnection> connection, const std::string& startUrl = {});
    // Stops watching and leaves the browser to the person: pages held at their start run, page requests
    // are no longer stopped, and every session of the program is let go, so that the browser goes on
    // as if the program had never been there. The connection stays open (the browser ends when it
    // closes); every browser reports OnQuit. Failures are ignored: a browser that has gone needs none of
    // this.
    void StopWatching();
    // Called on the user-interface thread once the browser has gone.
    void SetOnDisconnected(std::function<void()> handler) { onDisconnected_ = std::move(handler); }
    bool Disconnected() const { return disconnected_; }

    // BrowserFactory:
    std::shared_ptr<ShellWindows> CreateShellWindows() override;
    std::unique_ptr<CUiProbe> CreateUiProbe() override;
    std::shared_ptr<HiddenBrowser> CreateHiddenBrowser() override;

    // Opens `url` in a new window of the browser, which then joins the watched browsers. False when the
    // browser has gone.
    bool OpenWindow(const std::string& url);

    const InputState& Input() const { return input_; }
    CdpConnection& Connection() const { return *connection_; }
    const std::shared_ptr<CdpConnection>& SharedConnection() const { return connection_; }
    TaskPoster& Poster() const { return poster_; }

    // The watched browsers, in the order they were added.
    std::vector<std::shared_ptr<ChromiumBrowser>> Browsers() const;
    // The target behind a browser (for tests: its target and session ids).
    const PageTarget* TargetOf(const ChromiumBrowser& browser) const;
    // Popups killed so far and how (for tests and measurements).
    int KilledPopupCount() const { return killedPopups_; }
    // Called whenever a killed popup's target is confirmed closed (for measurements).
    void SetOnPopupClosed(std::function<void()> handler) { onPopupClosed_ = std::move(handler); }
    // Called when the browser answers the call that closes a killed popup, on the connection's I/O thread
    // (for measurements; the handler must not throw).
    void SetOnPopupCloseAcknowledged(std::function<void()> handler) {
        onCloseAcknowledged_ =
            handler ? std::make_shared<std::function<void()>>(std::move(handler)) : nullptr;
    }

    // How a popup that has not run is ended. Every way fails its page requests at the gate first, so its
    // page is never requested, and lets its opener go on past window.open().
    enum class KillSequence {
        // The target is closed, then let run: the browser ends it before it runs anything.
        CloseThenResume,
        // The same through the page's own close.
        PageCloseThenResume,
        // Sent to a blank page, let run, then closed: the way of earlier versions, kept for measurements.
        BlankResumeClose,
    };
    void SetKillSequence(KillSequence sequence) { killSequence_ = sequence; }
    // How long a popup opened blank and taken by a hidden browser may stay without a page request of its
    // own once its opener has been let go; after that it is closed (an opener that writes into the blank
    // window makes no request).
    static constexpr int kBlankPopupGraceMs = 300;

    // Dispatches one protocol event; the I/O thread's events arrive here through the poster. Public so
    // that tests can feed events without a browser.
    void HandleEvent(const Json& event);
    void HandleDisconnect();

  private:
    friend class ChromiumBrowser;

    std::shared_ptr<PageTarget> FindSession(const std::string& sessionId) const;
    std::shared_ptr<PageTarget> FindTarget(const std::string& targetId) const;

    void OnAttached(const Json& params);
    void OnTargetGone(const std::string& targetId);
    void OnTargetCrashed(const std::string& targetId);
    void OnSessionEvent(const std::shared_ptr<PageTarget>& target,
                        const std::string& method,
                        const Json& params);
    void OnContextCreated(const std::shared_ptr<PageTarget>& target, const Json& context);
    // Makes the program's world in the target's current main-frame document now, without waiting for its
    // announcement; answers its context id (0 when the page made none). Throws PlatformError.
    int CreateProgramWorld(const PageTarget& target);
    // The program's world made by hand joins the target's worlds, as if it had been announced.
    void AdoptProgramWorld(const std::shared_ptr<PageTarget>& target, int contextId);
    void OnContextDestroyed(const std::shared_ptr<PageTarget>& target, int contextId);
    // Page events of a watched browser window.
    void OnBrowserPageEvent(const std::shared_ptr<PageTarget>& target,
                            const std::string& method,
                            const Json& params);
    void OnFrameNavigated(const std::shared_ptr<PageTarget>& target, const Json& frame);
    // A report of the in-page probe or page library, from the program's world `contextId`.
    void OnReport(const std::shared_ptr<PageTarget>& target, int contextId, const std::string& payload);
    // The user's pointer and keys; input given to a watched browser reaches the probes that watch it.
    void OnInputReport(const std::shared_ptr<PageTarget>& target,
                       const std::string& kind,
                       const Json& report);
    void FireUserInput(std::int32_t threadId);
    // A page timer set through SetTimeout has fired: its code runs in the page's world.
    void OnTimeoutReport(const std::shared_ptr<PageTarget>& target, PageContext& program, const Json& report);
    void OnNewDocument(const std::shared_ptr<PageTarget>& target, int contextId, const Json& report);
    void OnRequestPaused(const std::shared_ptr<PageTarget>& target, const Json& params);

    // A new page becomes a watched browser: the probe and the program's world go in first, then the page
    // runs (if it waits) and the shell announces it.
    void AdoptAsBrowser(const std::shared_ptr<PageTarget>& target, bool paused);
    // The shell announces the browser; the new windows it asked for meanwhile are decided, and the first
    // page announced gets the start page.
    void Announce(const std::shared_ptr<PageTarget>& target);
    void DecidePopup(const std::shared_ptr<PageTarget>& popup, const std::shared_ptr<PageTarget>& opener);
    void HostPopup(const std::shared_ptr<PageTarget>& popup,
                   const std::shared_ptr<ChromiumHiddenBrowser>& host);
    // Ends a popup that has not run: its page is never requested and its opener goes on.
    void KillPausedPopup(const std::shared_ptr<PageTarget>& popup);
    void ClosePopup(const std::shared_ptr<PageTarget>& popup);
    // Closes a popup's target; its answer is reported to the measurement handler.
    void SendClose(const std::shared_ptr<PageTarget>& popup, const char* method);
    void MarkGone(const std::shared_ptr<PageTarget>& target);
    void FireStatusChange(const std::shared_ptr<PageTarget>& target);
    // A document has gone: its calls fail at once, its objects are let go a while later.
    void Bury(const std::shared_ptr<PageContext>& context);
    // Buries the program's worlds of every document of the target.
    void BuryPrograms(const PageTarget& target);
    void SweepGraveyard();

    std::shared_ptr<CdpConnection> connection_;
    EventLoop& loop_;
    TaskPoster& poster_;
    std::shared_ptr<ChromiumShellWindows> shell_;
    // Holds the page requests of new windows until they are decided; shared with the I/O thread.
    std::shared_ptr<RequestGate> gate_;
    std::map<std::string, std::shared_ptr<PageTarget>> sessions_;  // by session id
    std::map<std::string, std::string> targetSessions_;            // target id -> session id
    std::vector<std::weak_ptr<ProbeState>> probes_;
    struct Grave {
        std::shared_ptr<PageContext> context;
        std::int64_t buriedAtMs = 0;
    };
    std::vector<Grave> graveyard_;
    InputState input_;
    std::function<void()> onDisconnected_;
    std::function<void()> onPopupClosed_;
    std::shared_ptr<std::function<void()>> onCloseAcknowledged_;
    KillSequence killSequence_ = KillSequence::CloseThenResume;
    std::string startUrl_;
    bool disconnected_ = false;
    bool started_ = false;
    std::int32_t nextThreadId_ = 4100;
    int killedPopups_ = 0;
};

}  // namespace qm::cr
