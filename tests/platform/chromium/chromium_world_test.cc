// The adapter's routing and popup handling against a fake browser: every protocol message the adapter
// sends is recorded, and events are fed to it by hand, malformed ones included.

#include "platform/chromium/chromium_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "base/platform_error.h"
#include "platform/chromium/chromium_browser.h"
#include "platform/chromium/chromium_document.h"
#include "platform/chromium/page_script.h"
#include "platform/chromium/posix/chromium_desktop.h"
#include "platform/posix/poll_event_loop.h"
#include "support/fake_browser.h"

namespace qm::cr {
namespace {

using testing::FakeBrowser;

struct Recorder final : BrowserEvents, ShellWindowsEvents, UiProbeEvents, HiddenBrowserEvents {
    enum class Answer { LetOpen, Hide, Refuse, Throw };
    Answer answer = Answer::LetOpen;
    ChromiumWorld* world = nullptr;
    std::weak_ptr<Recorder> self;
    std::vector<std::string> events;
    std::vector<std::string> hiddenNavigations;
    std::vector<std::int32_t> inputTicks;
    std::vector<std::shared_ptr<HiddenBrowser>> hidden;
    std::vector<std::unique_ptr<EventConnection>> hiddenConnections;
    bool watchOnAnnouncement = false;
    std::vector<std::shared_ptr<ChromiumBrowser>> watched;

    void IE_BeforeNavigate2(const std::string& url, bool&) override {
        events.push_back("BeforeNavigate2 " + url);
    }
    void IE_DownloadBegin() override { events.push_back("DownloadBegin"); }
    void IE_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel) override {
        events.push_back("NewWindow2");
        switch (answer) {
            case Answer::LetOpen:
                break;
            case Answer::Refuse:
                cancel = true;
                break;
            case Answer::Hide:
                hidden.push_back(world->CreateHiddenBrowser());
                hiddenConnections.push_back(hidden.back()->Connect(self.lock()));
                ppDisp = hidden.back();
                break;
            case Answer::Throw:
                throw PlatformError("the decision failed");
        }
    }
    void IE_OnQuit() override { events.push_back("OnQuit"); }
    void IE_StatusTextChange(const std::string&) override { events.push_back("StatusTextChange"); }
    void SWs_WindowRegistered(std::int32_t) override {
        events.push_back("WindowRegistered");
        // As the program does: a browser is watched from its announcement on.
        for (const auto& b :
             watchOnAnnouncement ? world->Browsers() : std::vector<std::shared_ptr<ChromiumBrowser>>{}) {
            if (std::find(watched.begin(), watched.end(), b) == watched.end()) {
                watched.push_back(b);
                hiddenConnections.push_back(b->Connect(self.lock()));
            }
        }
    }
    void SWs_WindowRevoked(std::int32_t) override { events.push_back("WindowRevoked"); }
    void UiProbe_UserInput(std::int32_t& tick) override { inputTicks.push_back(tick); }
    void Browser_BeforeNavigate2(const std::string& url, bool& cancel) override {
        hiddenNavigations.push_back(url);
        cancel = url.find('.') != std::string::npos;
    }
    void Browser_NewWindow2(std::shared_ptr<HiddenBrowser>&, bool& cancel) override { cancel = true; }
};

Json Attached(const std::string& session,
              const std::string& target,
              const std::string& type,
              bool waiting,
              const std::string& opener = {},
              bool canAccessOpener = true) {
    Json info = {{"targetId", target}, {"type", type}, {"url", ""}, {"canAccessOpener", canAccessOpener}};
    if (!opener.empty()) {
        info["openerId"] = opener;
    }
    return {{"method", "Target.attachedToTarget"},
            {"params", {{"sessionId", session}, {"targetInfo", info}, {"waitingForDebugger", waiting}}}};
}

Json SessionEvent(const std::string& session, const std::string& method, Json params) {
    return {{"method", method}, {"sessionId", session}, {"params", std::move(params)}};
}

Json Report(const std::string& session, int context, const std::string& payload) {
    return SessionEvent(session, "Runtime.bindingCalled",
                        {{"name", kReportBinding}, {"payload", payload}, {"executionContextId", context}});
}

Json WorldCreated(const std::string& session, int id, const std::string& frame, bool pageWorld) {
    return SessionEvent(
        session, "Runtime.executionContextCreated",
        {{"context",
          {{"id", id},
           {"name", pageWorld ? "" : kWorldName},
           {"auxData",
            {{"frameId", frame}, {"isDefault", pageWorld}, {"type", pageWorld ? "default" : "isolated"}}}}}});
}

class ChromiumWorldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        browser_.SetResponder([this](const Json& m) -> std::optional<Json> {
            const std::string method = m.value("method", std::string());
            if (method == "Page.createIsolatedWorld") {
                return Json{{"executionContextId", nextContext_++}};
            }
            if (method == "Runtime.evaluate" && m["params"].value("returnByValue", false)) {
                return Json{
                    {"result",
                     {{"type", "object"}, {"value", Json::array({1, Json::array({evaluateAnswer_})})}}}};
            }
            return Json::object();
        });
        world =
            ChromiumWorld::Create(std::make_unique<CdpConnection>(browser_.TakeProgramPipe()), loop, loop);
        world->Start();
        recorder = std::make_shared<Recorder>();
        recorder->world = world.get();
        recorder->self = recorder;
        shell = world->CreateShellWindows();
        shellConnection = shell->Connect(recorder);
    }
    void TearDown() override { world.reset(); }

    void Feed(const Json& event) { world->HandleEvent(event); }
    void Settle() {
        loop.RunUntil([] { return false; }, 30);
    }

    // A watched browser on session `session`, with the recorder on its events.
    std::shared_ptr<ChromiumBrowser> AddBrowser(const std::string& session, const std::string& target) {
        Feed(Attached(session, target, "page", true));
        Settle();
        for (const auto& b : world->Browsers()) {
            if (b->Target()->sessionId == session) {
                connections.push_back(b->Connect(recorder));
                return b;
            }
        }
        return nullptr;
    }
    std::vector<std::string> MethodsAfter(std::size_t from, const std::optional<std::string>& session) {
        browser_.WaitForMessages(from);
        Settle();
        std::vector<std::string> methods;
        const auto all = browser_.Received();
        for (std::size_t i = from; i < all.size(); ++i) {
            if (!session || all[i].value("sessionId", std::string()) == *session) {
                methods.push_back(all[i].value("method", std::string()));
            }
        }
        return methods;
    }

    FakeBrowser browser_;
    posix::PollEventLoop loop;
    std::shared_ptr<ChromiumWorld> world;
    std::shared_ptr<Recorder> recorder;
    std::shared_ptr<ShellWindows> shell;
    std::unique_ptr<EventConnection> shellConnection;
    std::vector<std::unique_ptr<EventConnection>> connections;
    int nextContext_ = 100;
    Json evaluateAnswer_ = 0;
};

TEST_F(ChromiumWorldTest, NewPageIsSetUpBeforeItRunsAndThenAnnounced) {
    const std::size_t before = browser_.Received().size();
    const auto b = AddBrowser("S1", "T1");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(MethodsAfter(before, "S1"),
              (std::vector<std::string>{"Runtime.addBinding", "Page.addScriptToEvaluateOnNewDocument",
                                        "Page.enable", "Runtime.enable", "Runtime.runIfWaitingForDebugger"}));
    EXPECT_EQ(recorder->events, std::vector<std::string>{"WindowRegistered"});
    ASSERT_EQ(shell->Enumerate().size(), 1u);
    EXPECT_EQ(b->TypeName(), "IWebBrowser2");
}

TEST_F(ChromiumWorldTest, OtherTargetsAreLetRunAndLeftAlone) {
    const std::size_t before = browser_.Received().size();
    Feed(Attached("W1", "TW", "service_worker", true));
    Feed(Attached("U1", "TU", "browser_ui", false));
    EXPECT_EQ(MethodsAfter(before, std::nullopt),
              (std::vector<std::string>{"Runtime.runIfWaitingForDebugger", "Target.detachFromTarget",
                                        "Target.detachFromTarget"}));
    EXPECT_TRUE(shell->Enumerate().empty());
    EXPECT_TRUE(recorder->events.empty());
}

TEST_F(ChromiumWorldTest, SecondSessionToAKnownPageChangesNothing) {
    AddBrowser("S1", "T1");
    recorder->events.clear();
    Feed(Attached("DRIVER", "T1", "page", false));
    Feed(
        {{"method", "Target.detachedFromTarget"}, {"params", {{"sessionId", "DRIVER"}, {"targetId", "T1"}}}});
    Settle();
    EXPECT_EQ(shell->Enumerate().size(), 1u);
    EXPECT_TRUE(recorder->events.empty());
}

struct PopupCase {
    const char* name;
    Recorder::Answer answer;
    std::string openedUrl;  // what the opener asked for
    bool canAccessOpener;
    std::vector<std::string> popupMethods;  // sent on the popup's session after the decision
    bool closedFromBrowser;                 // Target.closeTarget sent
    std::vector<std::string> hiddenNavigations;
    bool becomesBrowser;
};

class ChromiumPopupTest : public ChromiumWorldTest, public ::testing::WithParamInterface<PopupCase> {};

TEST_P(ChromiumPopupTest, DecisionOnAPausedPopupIsCarriedOut) {
    const PopupCase& c = GetParam();
    recorder->answer = c.answer;
    AddBrowser("S1", "T1");
    Feed(SessionEvent("S1", "Page.windowOpen", {{"url", c.openedUrl}, {"userGesture", true}}));
    const std::size_t before = browser_.Received().size();
    // Through the pipe, as the browser sends them: the I/O thread sees the request before the decision.
    browser_.WriteMessage(Attached("P1", "TP", "page", true, "T1", c.canAccessOpener));
    browser_.WriteMessage(
        {{"method", "Fetch.requestPaused"},
         {"params", {{"requestId", "R9"}, {"frameId", "TP"}, {"resourceType", "Document"}}}});
    Settle();

    EXPECT_EQ(MethodsAfter(before, "P1"), c.popupMethods);
    const auto browserLevel = MethodsAfter(before, std::string());
    EXPECT_EQ(std::count(browserLevel.begin(), browserLevel.end(), "Target.closeTarget"),
              c.closedFromBrowser ? 1 : 0);
    EXPECT_EQ(recorder->hiddenNavigations, c.hiddenNavigations);
    EXPECT_EQ(shell->Enumerate().size(), c.becomesBrowser ? 2u : 1u);
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "NewWindow2"), 1);

    // The popup's own page request, which the browser starts without waiting for the decision, was held
    // until the decision and then failed or let go with it.
    EXPECT_EQ(std::count(browserLevel.begin(), browserLevel.end(), "Fetch.failRequest"),
              c.closedFromBrowser ? 1 : 0);
    EXPECT_EQ(std::count(browserLevel.begin(), browserLevel.end(), "Fetch.continueRequest"),
              c.closedFromBrowser ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Answers,
    ChromiumPopupTest,
    ::testing::Values(PopupCase{"LetOpen",
                                Recorder::Answer::LetOpen,
                                "http://a.example/x",
                                true,
                                {"Runtime.addBinding", "Page.addScriptToEvaluateOnNewDocument", "Page.enable",
                                 "Runtime.enable", "Runtime.runIfWaitingForDebugger"},
                                false,
                                {},
                                true},
                      PopupCase{"FailingDecisionLetsItOpen",
                                Recorder::Answer::Throw,
                                "http://a.example/x",
                                true,
                                {"Runtime.addBinding", "Page.addScriptToEvaluateOnNewDocument", "Page.enable",
                                 "Runtime.enable", "Runtime.runIfWaitingForDebugger"},
                                false,
                                {},
                                true},
                      PopupCase{"RefusedIsClosedThenLetRun",
                                Recorder::Answer::Refuse,
                                "http://a.example/x",
                                true,
                                {"Runtime.runIfWaitingForDebugger"},
                                true,
                                {},
                                false},
                      PopupCase{"RefusedWithoutOpenerIsClosedTheSameWay",
                                Recorder::Answer::Refuse,
                                "http://a.example/x",
                                false,
                                {"Runtime.runIfWaitingForDebugger"},
                                true,
                                {},
                                false},
                      PopupCase{"HiddenGetsTheAddress",
                                Recorder::Answer::Hide,
                                "http://a.example/x",
                                true,
                                {"Runtime.runIfWaitingForDebugger"},
                                true,
                                {"http://a.example/x"},
                                false},
                      PopupCase{"HiddenBlankWaitsForTheRealAddress",
                                Recorder::Answer::Hide,
                                "about:blank",
                                true,
                                {"Fetch.enable", "Runtime.runIfWaitingForDebugger"},
                                false,
                                {"about:blank"},
                                false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(ChromiumWorldTest, BlankPopupsRealRequestIsStoppedAndHandedToTheHiddenBrowser) {
    recorder->answer = Recorder::Answer::Hide;
    AddBrowser("S1", "T1");
    Feed(SessionEvent("S1", "Page.windowOpen", {{"url", ""}}));
    Feed(Attached("P1", "TP", "page", true, "T1"));
    Settle();
    const std::size_t before = browser_.Received().size();
    Feed(SessionEvent("P1", "Fetch.requestPaused",
                      {{"requestId", "R1"},
                       {"request", {{"url", "http://ads.example/pop"}}},
                       {"resourceType", "Document"}}));
    EXPECT_EQ(MethodsAfter(before, std::nullopt),
              (std::vector<std::string>{"Fetch.failRequest", "Target.closeTarget"}));
    EXPECT_EQ(recorder->hiddenNavigations,
              (std::vector<std::string>{"about:blank", "http://ads.example/pop"}));
    EXPECT_EQ(world->KilledPopupCount(), 1);
}

TEST_F(ChromiumWorldTest, PopupsPairWithTheOpenersRequestsInOrder) {
    recorder->answer = Recorder::Answer::Hide;
    AddBrowser("S1", "T1");
    Feed(SessionEvent("S1", "Page.windowOpen", {{"url", "http://first.example/"}}));
    Feed(SessionEvent("S1", "Page.windowOpen", {{"url", "http://second.example/"}}));
    Feed(Attached("P1", "TP1", "page", true, "T1"));
    Feed(Attached("P2", "TP2", "page", true, "T1"));
    Settle();
    EXPECT_EQ(recorder->hiddenNavigations,
              (std::vector<std::string>{"http://first.example/", "http://second.example/"}));
}

TEST_F(ChromiumWorldTest, MalformedEventsAndUnknownSessionsChangeNothing) {
    const auto b = AddBrowser("S1", "T1");
    Feed(WorldCreated("S1", 5, "T1", false));
    auto probe = world->CreateUiProbe();
    const auto probeConnection = probe->Connect(recorder);
    std::int32_t thread = b->WindowThreadId();
    probe->StartWatch(thread);
    recorder->events.clear();
    const ScreenPoint pointerBefore = world->Input().pointer;
    const Json garbage[] = {
        Json::array({1, 2}),
        Json{{"method", 12}},
        Json{{"method", "Target.attachedToTarget"}, {"params", "not an object"}},
        Json{{"method", "Target.attachedToTarget"}, {"params", {{"targetInfo", 7}}}},
        SessionEvent("NOBODY", "Page.loadEventFired", Json::object()),
        SessionEvent("S1", "Runtime.executionContextCreated", {{"context", "x"}}),
        Report("S1", 5, "not json"),
        Report("S1", 5, "[1,2,3]"),
        Report("S1", 5, R"({"k":"input","sx":"far","sy":null})"),
        Report("S1", 999, R"({"k":"prop"})"),
        Report("S1", 5, R"({"k":"timeout","key":"x"})"),
        SessionEvent("S1", "Runtime.bindingCalled",
                     {{"name", "somethingElse"}, {"payload", R"({"k":"count"})"}}),
        SessionEvent("S1", "Fetch.requestPaused", {{"request", 3}}),
        SessionEvent("S1", "Page.frameNavigated", {{"frame", {{"id", 3}}}}),
    };
    for (const Json& g : garbage) {
        EXPECT_NO_THROW(Feed(g));
    }
    Settle();
    EXPECT_EQ(world->Input().pointer, pointerBefore);
    EXPECT_EQ(shell->Enumerate().size(), 1u);
    EXPECT_TRUE(b->Alive());
    EXPECT_EQ(recorder->inputTicks.size(), 1u) << "an input report without a position still counts as input";
}

TEST_F(ChromiumWorldTest, InputReachesOnlyTheProbeWatchingThatBrowserAndMovesThePointer) {
    const auto one = AddBrowser("S1", "T1");
    const auto two = AddBrowser("S2", "T2");
    Feed(WorldCreated("S1", 5, "T1", false));
    Feed(WorldCreated("S2", 6, "T2", false));
    auto probe = world->CreateUiProbe();
    const auto probeConnection = probe->Connect(recorder);
    std::int32_t thread = one->WindowThreadId();
    probe->StartWatch(thread);

    Feed(Report("S2", 6, R"({"k":"input","t":"mousedown","sx":10,"sy":20,"ctrl":false})"));
    EXPECT_TRUE(recorder->inputTicks.empty());
    Feed(Report("S1", 5,
                R"({"k":"input","t":"mousedown","sx":110,"sy":120,"ctrl":true,"sw":1920,"sh":1080})"));
    ASSERT_EQ(recorder->inputTicks.size(), 1u);
    EXPECT_LE(std::abs(TickDiff(loop.GetTickCount(), recorder->inputTicks[0])), 50);

    ChromiumDesktop desktop(world);
    EXPECT_EQ(desktop.GetCursorPos(), (ScreenPoint{110, 120}));
    EXPECT_LT(desktop.GetAsyncKeyState(kVkControl), 0);
    EXPECT_EQ(desktop.ScreenWidthPixels(), 1920);
    Feed(Report("S1", 5, R"({"k":"leave","ctrl":false})"));
    EXPECT_NE(desktop.GetCursorPos(), (ScreenPoint{110, 120}));
    EXPECT_EQ(desktop.GetAsyncKeyState(kVkControl), 0);

    probe->StopWatch();
    Feed(Report("S1", 5, R"({"k":"input","t":"keydown","ctrl":false})"));
    EXPECT_EQ(recorder->inputTicks.size(), 1u) << "a stopped probe reports nothing";
}

TEST_F(ChromiumWorldTest, PageEventsBecomeBrowserEventsOfTheMainFrameOnly) {
    AddBrowser("S1", "T1");
    Feed(WorldCreated("S1", 5, "T1", false));
    recorder->events.clear();
    Feed(
        SessionEvent("S1", "Page.frameStartedNavigating", {{"frameId", "T1"}, {"url", "http://b.example/"}}));
    Feed(SessionEvent("S1", "Page.frameStartedNavigating",
                      {{"frameId", "CHILD"}, {"url", "http://ad.example/"}}));
    Feed(SessionEvent("S1", "Page.frameStartedLoading", {{"frameId", "T1"}}));
    Feed(
        SessionEvent("S1", "Page.frameNavigated", {{"frame", {{"id", "T1"}, {"url", "http://b.example/"}}}}));
    Feed(SessionEvent("S1", "Page.loadEventFired", Json::object()));
    Feed(Report("S1", 5, R"({"k":"count","n":12})"));
    EXPECT_EQ(recorder->events,
              (std::vector<std::string>{"BeforeNavigate2 http://b.example/", "DownloadBegin",
                                        "StatusTextChange", "StatusTextChange"}));
    EXPECT_EQ(world->Browsers().front()->LocationURL(), "http://b.example/");
}

TEST_F(ChromiumWorldTest, DocumentFollowsTheMainFramesWorldAndKeepsItsIdentity) {
    const auto b = AddBrowser("S1", "T1");
    Feed(WorldCreated("S1", 4, "T1", true));
    Feed(WorldCreated("S1", 5, "T1", false));
    const auto doc = b->Document();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc.get(), b->Document().get());
    EXPECT_EQ(std::static_pointer_cast<ChromiumDocument>(doc)->Context()->PageWorldContextId(), 4);

    Feed(SessionEvent("S1", "Runtime.executionContextDestroyed", {{"executionContextId", 5}}));
    EXPECT_THROW(doc->Body(), PlatformError) << "the old document has gone";
    // The new document's world is not announced yet: the browser asks for it.
    const auto next = b->Document();
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next.get(), doc.get());
}

TEST_F(ChromiumWorldTest, BrowserGoingAwayReportsQuitAndEveryCallFails) {
    const auto one = AddBrowser("S1", "T1");
    const auto two = AddBrowser("S2", "T2");
    recorder->events.clear();
    Feed({{"method", "Target.targetDestroyed"}, {"params", {{"targetId", "T1"}}}});
    Settle();
    EXPECT_THROW(one->TypeName(), PlatformError);
    EXPECT_EQ(shell->Enumerate().size(), 1u);

    browser_.CloseBrowserEnd();
    ASSERT_TRUE(loop.RunUntil([&] { return world->Disconnected(); }, 2000));
    EXPECT_THROW(two->TypeName(), PlatformError);
    EXPECT_THROW(two->Document(), PlatformError);
    EXPECT_TRUE(shell->Enumerate().empty());
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "OnQuit"), 2);
    EXPECT_FALSE(world->OpenWindow("http://example.com/"));
}

TEST_F(ChromiumWorldTest, CrashedPageEndsItsBrowserAndAReloadBringsANewOne) {
    const auto b = AddBrowser("S1", "T1");
    recorder->events.clear();
    Feed({{"method", "Target.targetCrashed"}, {"params", {{"targetId", "T1"}, {"status", "crashed"}}}});
    EXPECT_THROW(b->TypeName(), PlatformError);
    EXPECT_TRUE(shell->Enumerate().empty());
    EXPECT_EQ(recorder->events, std::vector<std::string>{"OnQuit"});

    Feed(SessionEvent("S1", "Page.frameNavigated",
                      {{"frame", {{"id", "T1"}, {"url", "http://again.example/"}}}}));
    ASSERT_EQ(shell->Enumerate().size(), 1u);
    EXPECT_NE(shell->Enumerate().front().get(), b.get());
}

TEST_F(ChromiumWorldTest, KilledPopupIsClosedBeforeItIsLetRunAndNothingWaits) {
    recorder->answer = Recorder::Answer::Refuse;
    AddBrowser("S1", "T1");
    const std::size_t before = browser_.Received().size();
    Feed(Attached("P1", "TP", "page", true, "T1"));
    const auto sent = MethodsAfter(before, std::nullopt);
    const auto close = std::find(sent.begin(), sent.end(), "Target.closeTarget");
    const auto resume = std::find(sent.begin(), sent.end(), "Runtime.runIfWaitingForDebugger");
    ASSERT_NE(close, sent.end());
    ASSERT_NE(resume, sent.end());
    EXPECT_LT(close, resume) << "let run first, the popup's page could start before it is closed";
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "Page.navigate"), 0);
    EXPECT_EQ(world->KilledPopupCount(), 1);
}

// The ways of ending a popup, each measured by the popup benchmark: each sends the same kinds of
// message the browser needs, and the close is acknowledged to the measurement.
TEST_F(ChromiumWorldTest, EveryKillSequenceClosesAndLetsRunAndReportsTheAcknowledgement) {
    recorder->answer = Recorder::Answer::Refuse;
    AddBrowser("S1", "T1");
    std::atomic<int> acknowledged{0};
    world->SetOnPopupCloseAcknowledged([&] { ++acknowledged; });
    const std::pair<ChromiumWorld::KillSequence, std::vector<std::string>> sequences[] = {
        {ChromiumWorld::KillSequence::CloseThenResume,
         {"Target.closeTarget", "Runtime.runIfWaitingForDebugger"}},
        {ChromiumWorld::KillSequence::PageCloseThenResume, {"Page.close", "Runtime.runIfWaitingForDebugger"}},
        {ChromiumWorld::KillSequence::BlankResumeClose,
         {"Page.navigate", "Runtime.runIfWaitingForDebugger", "Target.closeTarget"}},
    };
    int n = 0;
    for (const auto& [sequence, expected] : sequences) {
        world->SetKillSequence(sequence);
        const std::size_t before = browser_.Received().size();
        const std::string id = std::to_string(++n);
        Feed(Attached("P" + id, "TP" + id, "page", true, "T1"));
        auto sent = MethodsAfter(before, std::nullopt);
        std::erase(sent, "Fetch.failRequest");
        EXPECT_EQ(sent, expected);
        EXPECT_TRUE(loop.RunUntil([&] { return acknowledged == n; }, 2000));
    }
}

TEST_F(ChromiumWorldTest, PopupOfAPageNotYetAnnouncedWaitsForTheProgramToWatchIt) {
    recorder->answer = Recorder::Answer::Refuse;
    recorder->watchOnAnnouncement = true;
    // The page and its popup arrive in one go, before the page's announcement has run.
    Feed(Attached("S1", "T1", "page", false));
    Feed(Attached("P1", "TP", "page", true, "T1"));
    EXPECT_EQ(world->KilledPopupCount(), 0) << "decided before anyone watched the opener";
    Settle();
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"WindowRegistered", "NewWindow2"}));
    EXPECT_EQ(world->KilledPopupCount(), 1);
    EXPECT_EQ(shell->Enumerate().size(), 1u);
}

TEST_F(ChromiumWorldTest, PopupOfAPageThatGoesBeforeItsAnnouncementIsKilled) {
    Feed(Attached("S1", "T1", "page", false));
    Feed(Attached("P1", "TP", "page", true, "T1"));
    Feed({{"method", "Target.targetDestroyed"}, {"params", {{"targetId", "T1"}}}});
    Settle();
    EXPECT_EQ(world->KilledPopupCount(), 1);
    EXPECT_TRUE(shell->Enumerate().empty());
}

TEST_F(ChromiumWorldTest, BlankPopupWithoutARequestIsClosedAfterTheGraceAndOneWithARequestIsNot) {
    recorder->answer = Recorder::Answer::Hide;
    AddBrowser("S1", "T1");
    Feed(SessionEvent("S1", "Page.windowOpen", {{"url", ""}}));
    Feed(Attached("P1", "TP1", "page", true, "T1"));
    Feed(SessionEvent("S1", "Page.windowOpen", {{"url", ""}}));
    Feed(Attached("P2", "TP2", "page", true, "T1"));
    Settle();
    // The second goes somewhere the hidden browser lets pass (no dot in it): it stays hosted.
    Feed(SessionEvent(
        "P2", "Fetch.requestPaused",
        {{"requestId", "R2"}, {"request", {{"url", "http://intranet/"}}}, {"resourceType", "Document"}}));
    const std::size_t before = browser_.Received().size();
    EXPECT_EQ(world->KilledPopupCount(), 0);
    loop.RunUntil([] { return false; }, ChromiumWorld::kBlankPopupGraceMs + 200);
    const auto sent = browser_.Received();
    std::vector<std::string> closed;
    for (std::size_t i = before; i < sent.size(); ++i) {
        if (sent[i].value("method", std::string()) == "Target.closeTarget") {
            closed.push_back(sent[i]["params"].value("targetId", std::string()));
        }
    }
    EXPECT_EQ(closed, std::vector<std::string>{"TP1"});
    EXPECT_EQ(world->KilledPopupCount(), 1);
}

TEST(ChromiumWorldStartTest, StartPageLoadsOnlyOnceTheFirstPageIsWatched) {
    testing::FakeBrowser browser;
    posix::PollEventLoop loop;
    auto world =
        ChromiumWorld::Create(std::make_unique<CdpConnection>(browser.TakeProgramPipe()), loop, loop);
    world->Start("http://start.example/");
    auto recorder = std::make_shared<Recorder>();
    recorder->world = world.get();
    recorder->self = recorder;
    recorder->watchOnAnnouncement = true;
    std::size_t watchedAt = 0;
    std::size_t events = 0;
    const auto shell = world->CreateShellWindows();
    const auto shellConnection = shell->Connect(recorder);

    // The browser's blank first page, open before the program came.
    world->HandleEvent(Attached("S1", "T1", "page", false));
    const std::size_t before = browser.Received().size();
    EXPECT_TRUE(loop.RunUntil(
        [&] {
            const auto sent = browser.Received();
            for (std::size_t i = before; i < sent.size(); ++i) {
                if (sent[i].value("method", std::string()) == "Page.navigate") {
                    events = recorder->events.size();
                    watchedAt = recorder->watched.size();
                    EXPECT_EQ(sent[i]["params"].value("url", std::string()), "http://start.example/");
                    EXPECT_EQ(sent[i].value("sessionId", std::string()), "S1");
                    return true;
                }
            }
            return false;
        },
        2000));
    EXPECT_EQ(events, 1u) << "the page was announced first";
    EXPECT_EQ(watchedAt, 1u) << "and watched";

    // A later page gets no start page of its own.
    world->HandleEvent(Attached("S2", "T2", "page", true));
    loop.RunUntil([] { return false; }, 50);
    const auto sent = browser.Received();
    EXPECT_EQ(
        std::count_if(sent.begin(), sent.end(),
                      [](const Json& m) { return m.value("method", std::string()) == "Page.navigate"; }),
        1);
    world.reset();
}

}  // namespace
}  // namespace qm::cr
