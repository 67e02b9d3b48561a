#include "platform/win32/win_shell_windows.h"

#include <ocidl.h>

#include "platform/win32/win_browser.h"
#include "platform/win32/win_browser_events.h"
#include "platform/win32/win_guids.h"

namespace qm::win {

namespace {

// The subscription to a list that has no events to give.
class SilentConnection final : public EventConnection {};

}  // namespace

std::vector<std::shared_ptr<Browser>> Win32ShellWindows::Enumerate() {
    std::vector<std::shared_ptr<Browser>> browsers;
    long count = 0;
    const HRESULT hr = windows_->get_Count(&count);
    if (hr == E_NOTIMPL) {
        // A shell that keeps no list of browser windows (Wine's) has none to report; browsers still
        // arrive through the registration events.
        return browsers;
    }
    CheckHr(hr, "IShellWindows::Count");
    for (long i = 0; i < count; ++i) {
        VARIANT index;
        ::VariantInit(&index);
        V_VT(&index) = VT_I4;
        V_I4(&index) = i;
        ComPtr<IDispatch> item;
        if (FAILED(windows_->Item(index, item.Put())) || !item) {
            continue;  // the window closed while the list was read
        }
        // Every object of the list is handed on; the caller tells browsers from other windows by their
        // type name.
        ComPtr<IWebBrowser2> browser = item.As<IWebBrowser2>(kIidIWebBrowser2);
        if (browser) {
            browsers.push_back(std::make_shared<Win32Browser>(std::move(browser)));
        }
    }
    return browsers;
}

std::unique_ptr<EventConnection> Win32ShellWindows::Connect(std::weak_ptr<ShellWindowsEvents> sink) {
    // A shell that keeps no list of browser windows (Wine's) offers no events on it either: there is
    // nothing to subscribe to, which is not a failure of the program.
    ComPtr<IConnectionPointContainer> container =
        windows_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    if (!container) {
        return std::make_unique<SilentConnection>();
    }
    return Advise(windows_.Get(), kDiidDShellWindowsEvents, [sink](DISPID id, DISPPARAMS& params) {
        if (const std::shared_ptr<ShellWindowsEvents> events = sink.lock()) {
            DispatchShellWindowsEvent(*events, id, params);
        }
    });
}

}  // namespace qm::win
