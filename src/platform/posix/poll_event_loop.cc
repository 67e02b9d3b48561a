#include "platform/posix/poll_event_loop.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "base/callback_boundary.h"
#include "base/platform_error.h"

namespace qm::posix {

struct PollEventLoop::TimerEntry {
    std::function<void()> fn;
    std::int64_t intervalMs = 1;
    std::int64_t due = 0;
    std::uint64_t seq = 0;
    bool active = false;
    bool firing = false;
};

struct PollEventLoop::FdEntry {
    int fd = -1;
    std::function<void()> fn;
    bool active = true;
    bool firing = false;
};

class PollEventLoop::Timer final : public PlatformTimer {
  public:
    Timer(PollEventLoop& loop, std::shared_ptr<TimerEntry> entry) : loop_(loop), entry_(std::move(entry)) {}
    ~Timer() override { entry_->active = false; }

    void Start(int intervalMs) override {
        entry_->intervalMs = intervalMs > 0 ? intervalMs : 1;
        entry_->due = NowMs() + entry_->intervalMs;
        entry_->seq = loop_.nextSeq_++;
        if (!entry_->active) {
            entry_->active = true;
            if (std::find(loop_.timers_.begin(), loop_.timers_.end(), entry_) == loop_.timers_.end()) {
                loop_.timers_.push_back(entry_);
            }
        }
    }
    void Stop() override { entry_->active = false; }

  private:
    PollEventLoop& loop_;
    std::shared_ptr<TimerEntry> entry_;
};

class PollEventLoop::Watch final : public FdWatch {
  public:
    explicit Watch(std::shared_ptr<FdEntry> entry) : entry_(std::move(entry)) {}
    ~Watch() override { entry_->active = false; }

  private:
    std::shared_ptr<FdEntry> entry_;
};

PollEventLoop::PollEventLoop() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!wakeFd_.Valid()) {
        throw PlatformError("eventfd failed", errno);
    }
}

PollEventLoop::~PollEventLoop() = default;

std::int64_t PollEventLoop::NowMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

Tick PollEventLoop::GetTickCount() {
    // The tick counter is the monotonic clock in milliseconds, cut to 32 bits as GetTickCount's is.
    return static_cast<Tick>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(NowMs())));
}

std::unique_ptr<PlatformTimer> PollEventLoop::CreateTimer(std::function<void()> onTick) {
    auto entry = std::make_shared<TimerEntry>();
    entry->fn = std::move(onTick);
    return std::make_unique<Timer>(*this, std::move(entry));
}

void PollEventLoop::Sleep(int ms) {
    // The thread simply blocks; timers that fell behind meanwhile fire once, without a burst.
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void PollEventLoop::DoEvents() {
    Turn(0);
}

void PollEventLoop::PostTask(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back(std::move(task));
    }
    const std::uint64_t one = 1;
    // A full counter (never reached in practice) or an interrupted write still leaves the loop awake.
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_.Get(), &one, sizeof one);
}

std::unique_ptr<PollEventLoop::FdWatch> PollEventLoop::WatchReadable(int fd,
                                                                     std::function<void()> onReadable) {
    auto entry = std::make_shared<FdEntry>();
    entry->fd = fd;
    entry->fn = std::move(onReadable);
    fds_.push_back(entry);
    return std::make_unique<Watch>(std::move(entry));
}

void PollEventLoop::Run() {
    while (!QuitRequested()) {
        Turn(-1);
    }
}

bool PollEventLoop::RunUntil(const std::function<bool()>& done, std::int64_t timeoutMs) {
    const std::int64_t deadline = NowMs() + timeoutMs;
    while (!done()) {
        const std::int64_t left = deadline - NowMs();
        if (left <= 0 || QuitRequested()) {
            return done();
        }
        Turn(static_cast<int>(std::min<std::int64_t>(left, 20)));
    }
    return true;
}

void PollEventLoop::Quit() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_.Get(), &one, sizeof one);
}

bool PollEventLoop::QuitRequested() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return quit_;
}

int PollEventLoop::MsUntilNextTimer() const {
    std::int64_t best = -1;
    const std::int64_t now = NowMs();
    for (const auto& t : timers_) {
        if (!t->active || t->firing) {
            continue;
        }
        const std::int64_t wait = std::max<std::int64_t>(0, t->due - now);
        if (best < 0 || wait < best) {
            best = wait;
        }
    }
    return best < 0 ? -1 : static_cast<int>(std::min<std::int64_t>(best, 60000));
}

void PollEventLoop::Turn(int waitMs) {
    std::erase_if(timers_, [](const auto& t) { return !t->active && !t->firing; });
    std::erase_if(fds_, [](const auto& f) { return !f->active && !f->firing; });

    int timeout = waitMs;
    const int timerWait = MsUntilNextTimer();
    if (timerWait >= 0 && (timeout < 0 || timerWait < timeout)) {
        timeout = timerWait;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!posted_.empty() || quit_) {
            timeout = 0;
        }
    }

    std::vector<pollfd> pfds;
    std::vector<std::shared_ptr<FdEntry>> watched;
    pfds.push_back(pollfd{wakeFd_.Get(), POLLIN, 0});
    for (const auto& f : fds_) {
        if (f->active && !f->firing) {
            pfds.push_back(pollfd{f->fd, POLLIN, 0});
            watched.push_back(f);
        }
    }
    const int ready = ::poll(pfds.data(), pfds.size(), timeout);
    if (ready > 0 && (pfds[0].revents & POLLIN)) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(wakeFd_.Get(), &count, sizeof count);
    }

    RunPosted();
    RunDueTimers();
    if (ready > 0) {
        for (std::size_t i = 0; i < watched.size(); ++i) {
            const auto& f = watched[i];
            if ((pfds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) && f->active && !f->firing) {
                f->firing = true;
                RunHandler("descriptor watch", f->fn);
                f->firing = false;
            }
        }
    }
}

void PollEventLoop::RunPosted() {
    // Only what was queued when this turn began runs now; a task that calls DoEvents takes the next ones
    // from the same queue, so tasks always run in the order they were posted.
    std::size_t budget;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        budget = posted_.size();
    }
    while (budget-- > 0) {
        std::function<void()> task;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (posted_.empty() || quit_) {
                return;
            }
            task = std::move(posted_.front());
            posted_.pop_front();
        }
        RunHandler("posted task", task);
    }
}

void PollEventLoop::RunDueTimers() {
    const std::int64_t now = NowMs();
    std::vector<std::shared_ptr<TimerEntry>> due;
    for (const auto& t : timers_) {
        if (t->active && !t->firing && t->due <= now) {
            due.push_back(t);
        }
    }
    std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
        return a->due != b->due ? a->due < b->due : a->seq < b->seq;
    });
    for (const auto& t : due) {
        if (!t->active || t->firing || t->due > now || QuitRequested()) {
            continue;
        }
        // A timer that fell behind does not fire a burst to catch up.
        t->due = std::max(t->due + t->intervalMs, now + 1);
        t->seq = nextSeq_++;
        t->firing = true;
        RunHandler("timer tick", t->fn);
        t->firing = false;
    }
}

}  // namespace qm::posix
