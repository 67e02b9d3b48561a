#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/linux_platform.h"
#include "monitor/ie_monitor.h"
#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/chromium_browser.h"
#include "platform/chromium/chromium_world.h"
#include "platform/chromium/posix/chromium_process.h"
#include "platform/posix/poll_event_loop.h"
#include "ports/com_object.h"
#include "shell/win_system.h"
#include "support/test_http_server.h"
#include "watch/ie_top_watcher.h"

namespace qm::cr::testing {

// A real headless Chromium driven by the adapter, with the program (WinSystem and its hub) on top, a
// page server on 127.0.0.1, and a second protocol session per page through which the test plays the
// user (real mouse and key input) and looks at the page from the page's own world.
class ChromiumHarness {
  public:
    ChromiumHarness() = default;
    ChromiumHarness(const ChromiumHarness&) = delete;
    ChromiumHarness& operator=(const ChromiumHarness&) = delete;
    ~ChromiumHarness() {
        app.reset();
        platform.reset();
        world.reset();
        process.reset();
    }

    // Starts the browser and the adapter (not the program). False, with the reason, when the browser
    // cannot be run here.
    bool StartBrowser(std::string& why) {
        if (!ChromiumAvailable()) {
            why = "chromium is not installed (apt-get install chromium)";
            return false;
        }
        ChromiumOptions options;
        options.extraArgs = QuietTestFlags();
        process = std::make_unique<ChromiumProcess>(options);
        world = ChromiumWorld::Create(std::make_unique<CdpConnection>(process->TakePipe()), loop, loop);
        world->Start();
        platform = std::make_unique<LinuxPlatform>(loop, world, process->UserDataDir() + "/quillmere.lock");
        // The browser's first page is adopted, and announced to whoever listens by then.
        return RunUntil(
                   [&] {
                       return !world->Browsers().empty() && world->Browsers().front()->Target()->announced;
                   },
                   10000) ||
               (why = "the browser's first page never appeared", false);
    }

    // Starts the browser, the adapter with `startUrl` as its start page, and the program at once, in the
    // order the program's entry point does; the start page loads once the loop runs. False, with the
    // reason, when the browser cannot be run here.
    bool StartWatching(const std::string& startUrl, std::string& why) {
        if (!ChromiumAvailable()) {
            why = "chromium is not installed (apt-get install chromium)";
            return false;
        }
        ChromiumOptions options;
        options.extraArgs = QuietTestFlags();
        options.startUrl = startUrl;
        process = std::make_unique<ChromiumProcess>(options);
        world = ChromiumWorld::Create(std::make_unique<CdpConnection>(process->TakePipe()), loop, loop);
        world->Start(options.startUrl);
        platform = std::make_unique<LinuxPlatform>(loop, world, process->UserDataDir() + "/quillmere.lock");
        StartProgram();
        return true;
    }

    // Starts the program on the platform.
    void StartProgram() {
        app = std::make_unique<WinSystem>(platform->platform);
        app->Main();
    }

    bool RunUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
        return loop.RunUntil(done, timeoutMs);
    }
    void RunFor(int ms) {
        loop.RunUntil([] { return false; }, ms);
    }

    Json Call(const std::string& method, Json params = Json::object(), const std::string& session = {}) {
        return world->Connection().Call(method, std::move(params), session);
    }
    // A session of the test's own to the browser's page (the program's session is not touched).
    std::string AttachDriver(const std::shared_ptr<ChromiumBrowser>& browser) {
        return Call("Target.attachToTarget", {{"targetId", browser->Target()->targetId}, {"flatten", true}})
            .value("sessionId", std::string());
    }
    // Navigates and waits until the program's side knows the new address and its document.
    bool Navigate(const std::shared_ptr<ChromiumBrowser>& browser,
                  const std::string& driver,
                  const std::string& url) {
        world->Connection().Send("Page.navigate", {{"url", url}}, driver);
        return RunUntil([&] { return browser->Target()->url == url && browser->Target()->current; }, 10000);
    }
    // Runs `expression` in the page's own world and returns its value.
    Json Evaluate(const std::string& driver, const std::string& expression) {
        return Call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}}, driver)
            .value("result", Json::object())
            .value("value", Json());
    }
    // A real click, as the user makes it (trusted input). Not waited for: the page may be held inside
    // window.open() until the program has decided about a popup.
    void Click(const std::string& driver, int x, int y, int modifiers = 0) {
        auto& c = world->Connection();
        c.Send("Input.dispatchMouseEvent",
               {{"type", "mouseMoved"}, {"x", x}, {"y", y}, {"modifiers", modifiers}}, driver);
        c.Send("Input.dispatchMouseEvent",
               {{"type", "mousePressed"},
                {"x", x},
                {"y", y},
                {"button", "left"},
                {"clickCount", 1},
                {"modifiers", modifiers}},
               driver);
        c.Send("Input.dispatchMouseEvent",
               {{"type", "mouseReleased"},
                {"x", x},
                {"y", y},
                {"button", "left"},
                {"clickCount", 1},
                {"modifiers", modifiers}},
               driver);
    }
    void Key(const std::string& driver,
             const std::string& type,
             const std::string& key,
             int code,
             int modifiers) {
        world->Connection().Send("Input.dispatchKeyEvent",
                                 {{"type", type},
                                  {"key", key},
                                  {"code", key + "Left"},
                                  {"windowsVirtualKeyCode", code},
                                  {"modifiers", modifiers}},
                                 driver);
    }

    std::shared_ptr<ChromiumBrowser> FirstBrowser() const {
        const auto browsers = world->Browsers();
        return browsers.empty() ? nullptr : browsers.front();
    }
    std::shared_ptr<ChromiumBrowser> BrowserShowing(const std::string& urlPart) const {
        for (const auto& b : world->Browsers()) {
            if (b->Target()->url.find(urlPart) != std::string::npos) {
                return b;
            }
        }
        return nullptr;
    }
    std::shared_ptr<IEMonitor> MonitorOf(const std::shared_ptr<ChromiumBrowser>& browser) const {
        if (!app || !app->HasHub() || !browser) {
            return nullptr;
        }
        for (const auto& m : app->Hub().IEMonitors) {
            if (m->IE && m->IE->Identity() == browser->Identity()) {
                return m;
            }
        }
        return nullptr;
    }

    posix::PollEventLoop loop;
    TestHttpServer server;
    std::unique_ptr<ChromiumProcess> process;
    std::shared_ptr<ChromiumWorld> world;
    std::unique_ptr<LinuxPlatform> platform;
    std::unique_ptr<WinSystem> app;
};

}  // namespace qm::cr::testing
