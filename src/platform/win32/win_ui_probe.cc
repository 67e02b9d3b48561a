#include "platform/win32/win_ui_probe.h"

#include "base/callback_boundary.h"
#include "base/platform_error.h"
#include "platform/win32/win_handles.h"

namespace qm::win {

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
        RunHandler("mouse hook", [&] { NoticeInputTo(::WindowFromPoint(info->pt)); });
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && (wp == WM_KEYDOWN || wp == WM_SYSKEYDOWN)) {
        RunHandler("keyboard hook", [] { NoticeInputTo(::GetForegroundWindow()); });
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

std::unique_ptr<EventConnection> Win32UiProbe::Connect(std::weak_ptr<UiProbeEvents> sink) {
    sinks_->push_back(sink);
    return std::make_unique<ProbeConnection>(sinks_, std::move(sink));
}

}  // namespace qm::win
