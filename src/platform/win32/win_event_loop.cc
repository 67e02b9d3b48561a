#include "platform/win32/win_event_loop.h"

#include "base/callback_boundary.h"
#include "base/platform_error.h"

namespace qm::win {

namespace {
constexpr wchar_t kLoopClass[] = L"QuillmereLoop";
// Tells the loop's window that tasks have been posted.
constexpr UINT kRunPostedTasks = WM_APP + 1;
}  // namespace

class Win32Timer final : public PlatformTimer {
  public:
    Win32Timer(Win32EventLoop& loop, UINT_PTR id) : loop_(loop), id_(id) {}
    ~Win32Timer() override { loop_.RemoveTimer(id_); }
    void Start(int intervalMs) override { loop_.StartTimer(id_, intervalMs); }
    void Stop() override { loop_.StopTimer(id_); }

  private:
    Win32EventLoop& loop_;
    UINT_PTR id_;
};

Win32EventLoop::Win32EventLoop() {
    SetHandlerFailureReporter(&ReportToDebugOutput);
    RegisterHiddenWindowClass(kLoopClass, &Win32EventLoop::WndProc);
    window_.Reset(::CreateWindowExW(0, kLoopClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr));
    if (!window_) {
        ThrowLastError("CreateWindowExW");
    }
    ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32EventLoop::~Win32EventLoop() {
    for (const auto& entry : timers_) {
        ::KillTimer(window_.Get(), entry.first);
    }
    ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
}

Tick Win32EventLoop::GetTickCount() {
    return static_cast<Tick>(::GetTickCount());
}

std::unique_ptr<PlatformTimer> Win32EventLoop::CreateTimer(std::function<void()> onTick) {
    const UINT_PTR id = AddTimer(std::make_shared<std::function<void()>>(std::move(onTick)));
    return std::make_unique<Win32Timer>(*this, id);
}

UINT_PTR Win32EventLoop::AddTimer(std::shared_ptr<std::function<void()>> onTick) {
    const UINT_PTR id = nextId_++;
    timers_.emplace(id, std::move(onTick));
    return id;
}

void Win32EventLoop::StartTimer(UINT_PTR id, int intervalMs) {
    // SetTimer on a running timer replaces it and restarts its period. The system's minimum period
    // (about 10 ms) applies to shorter intervals.
    ::SetTimer(window_.Get(), id, static_cast<UINT>(intervalMs > 0 ? intervalMs : 1), nullptr);
    running_.insert(id);
}

void Win32EventLoop::StopTimer(UINT_PTR id) {
    ::KillTimer(window_.Get(), id);
    // A tick already in the queue is dropped by the tick handler: it finds the timer stopped.
    running_.erase(id);
}

void Win32EventLoop::RemoveTimer(UINT_PTR id) {
    ::KillTimer(window_.Get(), id);
    running_.erase(id);
    timers_.erase(id);
}

void Win32EventLoop::PostTask(std::function<void()> task) {
    const std::lock_guard<std::mutex> lock(postedMutex_);
    posted_.push_back(std::move(task));
    if (!wakePosted_) {
        // PostMessage is thread-safe; a full message queue (10,000 messages) loses the wake-up, and the
        // next task posts it again.
        wakePosted_ = ::PostMessageW(window_.Get(), kRunPostedTasks, 0, 0) != FALSE;
    }
}

void Win32EventLoop::RunPostedTasks() {
    // The tasks queued now run; those their work posts wait for the next message, so that a stream of
    // tasks never starves the window messages.
    std::size_t budget = 0;
    {
        const std::lock_guard<std::mutex> lock(postedMutex_);
        wakePosted_ = false;
        budget = posted_.size();
    }
    while (budget-- > 0 && !stopped_) {
        std::function<void()> task;
        {
            const std::lock_guard<std::mutex> lock(postedMutex_);
            if (posted_.empty()) {
                return;
            }
            task = std::move(posted_.front());
            posted_.pop_front();
        }
        RunHandler("posted task", task);
    }
}

LRESULT CALLBACK Win32EventLoop::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kRunPostedTasks) {
        auto* self = reinterpret_cast<Win32EventLoop*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && !self->stopped_) {
            self->RunPostedTasks();
        }
        return 0;
    }
    if (msg == WM_TIMER) {
        auto* self = reinterpret_cast<Win32EventLoop*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && !self->stopped_) {
            const auto found = self->timers_.find(wp);
            if (found != self->timers_.end() && self->running_.contains(wp)) {
                // The timer may stop or destroy itself during its tick: the call keeps its own reference.
                const std::shared_ptr<std::function<void()>> onTick = found->second;
                RunHandler("timer tick", *onTick);
            }
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void Win32EventLoop::Deliver(MSG& msg) {
    if (preTranslate_ && preTranslate_(msg)) {
        return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

void Win32EventLoop::DoEvents() {
    MSG msg;
    while (!stopped_ && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            stopped_ = true;
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Deliver(msg);
    }
}

bool Win32EventLoop::PumpOne() {
    if (stopped_) {
        return false;
    }
    MSG msg;
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        stopped_ = true;
        ::PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 1);
        return false;
    }
    Deliver(msg);
    return !stopped_;
}

void Win32EventLoop::Sleep(int ms) {
    ::Sleep(static_cast<DWORD>(ms > 0 ? ms : 0));
}

int Win32EventLoop::Run() {
    MSG msg;
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            return got == 0 ? static_cast<int>(msg.wParam) : 1;
        }
        if (!stopped_) {
            Deliver(msg);
        }
    }
}

void Win32EventLoop::Quit(int exitCode) {
    stopped_ = true;
    for (const auto& entry : timers_) {
        ::KillTimer(window_.Get(), entry.first);
    }
    ::PostQuitMessage(exitCode);
}

}  // namespace qm::win
