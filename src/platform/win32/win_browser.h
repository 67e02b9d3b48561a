#pragma once

#include <deque>
#include <memory>
#include <vector>

#include <exdisp.h>

#include "base/event_loop.h"
#include "platform/win32/win_com.h"
#include "ports/browser.h"
#include "ports/browser_factory.h"
#include "ports/hidden_browser.h"
#include "ports/shell_windows.h"
#include "ports/ui_probe.h"

namespace qm::win {

// Internet Explorer's browser object (IWebBrowser2), in a browser window of its own or hosted.
class Win32Browser final : public Browser {
  public:
    explicit Win32Browser(ComPtr<IWebBrowser2> browser);

    const void* Identity() const override { return identity_.Get(); }
    std::string TypeName() override;
    bool Visible() override;
    std::shared_ptr<PageDocument> Document() override;
    std::string LocationURL() override;
    std::int32_t WindowThreadId() override;
    void Navigate(const std::string& url) override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<BrowserEvents> sink) override;

  private:
    ComPtr<IWebBrowser2> browser_;
    ComPtr<IUnknown> identity_;
};

// The shell's list of browser windows.
class Win32ShellWindows final : public ShellWindows {
  public:
    explicit Win32ShellWindows(ComPtr<IShellWindows> windows) : windows_(std::move(windows)) {}

    std::vector<std::shared_ptr<Browser>> Enumerate() override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<ShellWindowsEvents> sink) override;

  private:
    ComPtr<IShellWindows> windows_;
};

// The user-input component: low-level mouse and keyboard hooks of this process that report the button
// presses and key presses aimed at the windows of the watched thread. Each notice is delivered from the
// event loop shortly after the hook saw it (a hook must return at once), with the tick of the input.
class Win32UiProbe final : public CUiProbe {
  public:
    explicit Win32UiProbe(EventLoop& loop);
    ~Win32UiProbe() override;

    void StartWatch(std::int32_t& threadId) override;
    void StopWatch() override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<UiProbeEvents> sink) override;

    // Called by the hooks: the input went to a window of thread `threadId` at `tick`.
    void Noticed(DWORD threadId, std::int32_t tick);

  private:
    void Deliver();

    EventLoop& loop_;
    std::unique_ptr<PlatformTimer> delivery_;
    std::deque<std::int32_t> pending_;
    DWORD threadId_ = 0;
    bool watching_ = false;
    std::shared_ptr<std::vector<std::weak_ptr<UiProbeEvents>>> sinks_ =
        std::make_shared<std::vector<std::weak_ptr<UiProbeEvents>>>();
};

// The events of a browser (DWebBrowserEvents2), of a hidden browser and of the shell's window list,
// decoded from COM's arguments (which come last argument first) and handed to the program's handlers. The
// by-reference arguments (Cancel, and NewWindow2's ppDisp) are written back with what the handler left.
void DispatchBrowserEvent(BrowserEvents& events, DISPID id, DISPPARAMS& params);
void DispatchHiddenBrowserEvent(HiddenBrowserEvents& events, DISPID id, DISPPARAMS& params);
void DispatchShellWindowsEvent(ShellWindowsEvents& events, DISPID id, DISPPARAMS& params);

// Gives a hidden browser's automation object to the browser that asked for a new window.
IDispatch* AutomationOf(HiddenBrowser& hidden);

// Internet Explorer's objects through COM, on the user-interface thread (which must have OLE
// initialised).
class Win32BrowserFactory final : public BrowserFactory {
  public:
    explicit Win32BrowserFactory(EventLoop& loop) : loop_(loop) {}

    std::shared_ptr<ShellWindows> CreateShellWindows() override;
    std::unique_ptr<CUiProbe> CreateUiProbe() override;
    std::shared_ptr<HiddenBrowser> CreateHiddenBrowser() override;

  private:
    EventLoop& loop_;
};

}  // namespace qm::win
