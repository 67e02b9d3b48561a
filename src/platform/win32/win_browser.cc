#include "platform/win32/win_browser.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>

#include <algorithm>

#include "base/platform_error.h"
#include "platform/win32/win_com.h"
#include "platform/win32/win_guids.h"
#include "platform/win32/win_hidden_browser.h"
#include "platform/win32/win_page.h"

namespace qm::win {

namespace {

// Every use of a browser that has gone fails; a call that "succeeds" without its answer is a failure too.
void CheckBrowserHr(HRESULT hr, const char* source) {
    if (FAILED(hr)) {
        ThrowError(static_cast<DWORD>(hr), source);
    }
}

VARIANT_BOOL* BoolRefArgument(DISPPARAMS& params, UINT index) {
    VARIANT* v = EventArgument(params, index);
    return v && V_VT(v) == (VT_BYREF | VT_BOOL) ? V_BOOLREF(v) : nullptr;
}

}  // namespace

// --- browser ----------------------------------------------------------------------------------------

Win32Browser::Win32Browser(ComPtr<IWebBrowser2> browser)
    : browser_(std::move(browser)), identity_(IdentityOf(browser_.Get())) {}

std::string Win32Browser::TypeName() {
    ComPtr<ITypeInfo> info;
    CheckBrowserHr(browser_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()), "GetTypeInfo");
    if (!info) {
        throw NotSupported("TypeName");
    }
    Bstr name;
    CheckBrowserHr(info->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr),
                   "GetDocumentation");
    return Narrow(name.Text());
}

bool Win32Browser::Visible() {
    VARIANT_BOOL visible = VARIANT_FALSE;
    CheckBrowserHr(browser_->get_Visible(&visible), "IWebBrowser2::Visible");
    return visible != VARIANT_FALSE;
}

std::shared_ptr<PageDocument> Win32Browser::Document() {
    ComPtr<IDispatch> document;
    CheckBrowserHr(browser_->get_Document(document.Put()), "IWebBrowser2::Document");
    return WrapDocument(document.Get());
}

std::string Win32Browser::LocationURL() {
    Bstr url;
    CheckBrowserHr(browser_->get_LocationURL(url.Put()), "IWebBrowser2::LocationURL");
    return Narrow(url.Text());
}

std::int32_t Win32Browser::WindowThreadId() {
    SHANDLE_PTR window = 0;
    CheckBrowserHr(browser_->get_HWND(&window), "IWebBrowser2::HWND");
    return static_cast<std::int32_t>(::GetWindowThreadProcessId(reinterpret_cast<HWND>(window), nullptr));
}

void Win32Browser::Navigate(const std::string& url) {
    const Bstr address(Widen(url));
    ScopedVariant flags;
    ScopedVariant target;
    ScopedVariant postData;
    ScopedVariant headers;
    CheckBrowserHr(
        browser_->Navigate(address.Get(), flags.Get(), target.Get(), postData.Get(), headers.Get()),
        "IWebBrowser2::Navigate");
}

std::unique_ptr<EventConnection> Win32Browser::Connect(std::weak_ptr<BrowserEvents> sink) {
    return Advise(browser_.Get(), kDiidDWebBrowserEvents2, [sink](DISPID id, DISPPARAMS& params) {
        if (const std::shared_ptr<BrowserEvents> events = sink.lock()) {
            DispatchBrowserEvent(*events, id, params);
        }
    });
}

// --- event decoding ---------------------------------------------------------------------------------

namespace {

// NewWindow2(ppDisp, Cancel): asks `handler` for the new window's host and cancel flag and writes both
// back into the by-reference arguments.
template <typename Handler>
void DecodeNewWindow2(DISPPARAMS& params, Handler handler) {
    VARIANT* slot = EventArgument(params, 0);
    IDispatch** ppDisp = slot && V_VT(slot) == (VT_BYREF | VT_DISPATCH) ? V_DISPATCHREF(slot) : nullptr;
    VARIANT_BOOL* cancelSlot = BoolRefArgument(params, 1);
    std::shared_ptr<HiddenBrowser> host;
    bool cancel = cancelSlot && *cancelSlot != VARIANT_FALSE;
    handler(host, cancel);
    if (ppDisp && host) {
        if (IDispatch* automation = AutomationOf(*host)) {
            // The browser takes the object over with a reference of its own.
            automation->AddRef();
            if (*ppDisp) {
                (*ppDisp)->Release();
            }
            *ppDisp = automation;
        }
    }
    if (cancelSlot) {
        *cancelSlot = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    }
}

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel).
template <typename Handler>
void DecodeBeforeNavigate2(DISPPARAMS& params, Handler handler) {
    VARIANT_BOOL* cancelSlot = BoolRefArgument(params, 6);
    bool cancel = cancelSlot && *cancelSlot != VARIANT_FALSE;
    handler(TextArgument(params, 1), cancel);
    if (cancelSlot) {
        *cancelSlot = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    }
}

}  // namespace

void DispatchBrowserEvent(BrowserEvents& events, DISPID id, DISPPARAMS& params) {
    switch (id) {
        case DISPID_BEFORENAVIGATE2:
            DecodeBeforeNavigate2(params, [&](const std::string& url, bool& cancel) {
                events.IE_BeforeNavigate2(url, cancel);
            });
            break;
        case DISPID_DOWNLOADBEGIN:
            events.IE_DownloadBegin();
            break;
        case DISPID_NEWWINDOW2:
            DecodeNewWindow2(params, [&](std::shared_ptr<HiddenBrowser>& host, bool& cancel) {
                events.IE_NewWindow2(host, cancel);
            });
            break;
        case DISPID_ONQUIT:
            events.IE_OnQuit();
            break;
        case DISPID_STATUSTEXTCHANGE:
            events.IE_StatusTextChange(TextArgument(params, 0));
            break;
        default:
            break;
    }
}

void DispatchHiddenBrowserEvent(HiddenBrowserEvents& events, DISPID id, DISPPARAMS& params) {
    if (id == DISPID_BEFORENAVIGATE2) {
        DecodeBeforeNavigate2(params, [&](const std::string& url, bool& cancel) {
            events.Browser_BeforeNavigate2(url, cancel);
        });
    } else if (id == DISPID_NEWWINDOW2) {
        DecodeNewWindow2(params, [&](std::shared_ptr<HiddenBrowser>& host, bool& cancel) {
            events.Browser_NewWindow2(host, cancel);
        });
    }
}

void DispatchShellWindowsEvent(ShellWindowsEvents& events, DISPID id, DISPPARAMS& params) {
    VARIANT* cookie = EventArgument(params, 0);
    const std::int32_t lCookie = cookie && V_VT(cookie) == VT_I4 ? V_I4(cookie) : 0;
    if (id == DISPID_WINDOWREGISTERED) {
        events.SWs_WindowRegistered(lCookie);
    } else if (id == DISPID_WINDOWREVOKED) {
        events.SWs_WindowRevoked(lCookie);
    }
}

// --- shell windows ----------------------------------------------------------------------------------

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

namespace {

// The subscription to a list that has no events to give.
class SilentConnection final : public EventConnection {};

}  // namespace

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

// --- user input -------------------------------------------------------------------------------------

namespace {

struct HookState {
    std::vector<Win32UiProbe*> probes;
    UniqueHook mouse;
    UniqueHook keyboard;
};

HookState& Hooks() {
    static HookState state;
    return state;
}

void NoticeInputTo(HWND window) {
    if (!window) {
        return;
    }
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    const auto tick = static_cast<std::int32_t>(::GetTickCount());
    for (Win32UiProbe* probe : Hooks().probes) {
        probe->Noticed(thread, tick);
    }
}

LRESULT CALLBACK MouseHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && (wp == WM_LBUTTONDOWN || wp == WM_RBUTTONDOWN || wp == WM_MBUTTONDOWN)) {
        const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lp);
        NoticeInputTo(::WindowFromPoint(info->pt));
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && (wp == WM_KEYDOWN || wp == WM_SYSKEYDOWN)) {
        NoticeInputTo(::GetForegroundWindow());
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

void UpdateHooks() {
    HookState& state = Hooks();
    if (state.probes.empty()) {
        state.mouse.Reset();
        state.keyboard.Reset();
        return;
    }
    const HINSTANCE module = ::GetModuleHandleW(nullptr);
    if (!state.mouse) {
        state.mouse.Reset(::SetWindowsHookExW(WH_MOUSE_LL, &MouseHook, module, 0));
        if (!state.mouse) {
            ThrowLastError("SetWindowsHookExW");
        }
    }
    if (!state.keyboard) {
        state.keyboard.Reset(::SetWindowsHookExW(WH_KEYBOARD_LL, &KeyboardHook, module, 0));
        if (!state.keyboard) {
            ThrowLastError("SetWindowsHookExW");
        }
    }
}

}  // namespace

Win32UiProbe::Win32UiProbe(EventLoop& loop)
    : loop_(loop), delivery_(loop.CreateTimer([this] { Deliver(); })) {}

Win32UiProbe::~Win32UiProbe() {
    std::erase(Hooks().probes, this);
    UpdateHooks();
}

void Win32UiProbe::StartWatch(std::int32_t& threadId) {
    threadId_ = static_cast<DWORD>(threadId);
    if (!watching_) {
        Hooks().probes.push_back(this);
        watching_ = true;
        try {
            UpdateHooks();
        } catch (const PlatformError&) {
            std::erase(Hooks().probes, this);
            watching_ = false;
            throw;
        }
    }
}

void Win32UiProbe::StopWatch() {
    if (watching_) {
        std::erase(Hooks().probes, this);
        watching_ = false;
        UpdateHooks();
    }
    pending_.clear();
}

void Win32UiProbe::Noticed(DWORD threadId, std::int32_t tick) {
    if (!watching_ || threadId != threadId_) {
        return;
    }
    pending_.push_back(tick);
    delivery_->Start(1);
}

void Win32UiProbe::Deliver() {
    delivery_->Stop();
    // A subscriber may stop the watch or go away during its call: each notice is taken off first.
    const auto sinks = sinks_;
    while (!pending_.empty()) {
        std::int32_t tick = pending_.front();
        pending_.pop_front();
        const std::vector<std::weak_ptr<UiProbeEvents>> snapshot = *sinks;
        for (const auto& weak : snapshot) {
            if (const auto sink = weak.lock()) {
                sink->UiProbe_UserInput(tick);
            }
        }
    }
}

namespace {

class ProbeConnection final : public EventConnection {
  public:
    ProbeConnection(std::weak_ptr<std::vector<std::weak_ptr<UiProbeEvents>>> sinks,
                    std::weak_ptr<UiProbeEvents> sink)
        : sinks_(std::move(sinks)), sink_(std::move(sink)) {}
    ~ProbeConnection() override {
        if (const auto sinks = sinks_.lock()) {
            std::erase_if(*sinks, [this](const std::weak_ptr<UiProbeEvents>& s) {
                return !s.owner_before(sink_) && !sink_.owner_before(s);
            });
        }
    }

  private:
    std::weak_ptr<std::vector<std::weak_ptr<UiProbeEvents>>> sinks_;
    std::weak_ptr<UiProbeEvents> sink_;
};

}  // namespace

std::unique_ptr<EventConnection> Win32UiProbe::Connect(std::weak_ptr<UiProbeEvents> sink) {
    sinks_->push_back(sink);
    return std::make_unique<ProbeConnection>(sinks_, std::move(sink));
}

// --- factory ----------------------------------------------------------------------------------------

std::shared_ptr<ShellWindows> Win32BrowserFactory::CreateShellWindows() {
    ComPtr<IShellWindows> windows;
    CheckHr(::CoCreateInstance(kClsidShellWindows, nullptr, CLSCTX_ALL, kIidIShellWindows,
                               reinterpret_cast<void**>(windows.Put())),
            "CoCreateInstance(ShellWindows)");
    return std::make_shared<Win32ShellWindows>(std::move(windows));
}

std::unique_ptr<CUiProbe> Win32BrowserFactory::CreateUiProbe() {
    return std::make_unique<Win32UiProbe>(loop_);
}

std::shared_ptr<HiddenBrowser> Win32BrowserFactory::CreateHiddenBrowser() {
    return Win32HiddenBrowser::Create();
}

IDispatch* AutomationOf(HiddenBrowser& hidden) {
    auto* win32 = dynamic_cast<Win32HiddenBrowser*>(&hidden);
    return win32 ? win32->Automation() : nullptr;
}

}  // namespace qm::win
