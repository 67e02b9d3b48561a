#include "platform/qt/qt_event_loop.h"

#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <thread>

#include "base/callback_boundary.h"

namespace qm::qt {

namespace {

sigset_t StopSignalSet() {
    sigset_t set;
    ::sigemptyset(&set);
    ::sigaddset(&set, SIGINT);
    ::sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = StopSignalSet();
    masked_ = ::pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
    fd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

StopSignals::~StopSignals() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (masked_) {
        const sigset_t set = StopSignalSet();
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}

// One QTimer per platform timer. The state is shared with the connection, so that a timer stopped or
// destroyed from inside its own tick leaves the call in progress intact; the QTimer itself is then
// deleted once that call has returned.
class QtEventLoop::Timer final : public PlatformTimer {
  public:
    explicit Timer(std::function<void()> onTick) : state_(std::make_shared<State>()) {
        state_->onTick = std::move(onTick);
        timer_ = new QTimer();
        timer_->setTimerType(Qt::PreciseTimer);
        std::weak_ptr<State> weak = state_;
        QObject::connect(timer_, &QTimer::timeout, [weak] {
            const std::shared_ptr<State> state = weak.lock();
            if (!state || state->firing || !state->onTick) {
                return;
            }
            state->firing = true;
            RunHandler("timer tick", state->onTick);
            state->firing = false;
            if (state->orphan) {
                state->orphan->deleteLater();
                state->orphan = nullptr;
            }
        });
    }

    ~Timer() override {
        timer_->stop();
        if (state_->firing) {
            // Our own tick is on the stack: the QTimer goes once it has returned.
            state_->onTick = nullptr;
            state_->orphan = timer_;
        } else {
            delete timer_;
        }
    }

    void Start(int intervalMs) override { timer_->start(intervalMs > 0 ? intervalMs : 1); }
    void Stop() override { timer_->stop(); }

  private:
    struct State {
        std::function<void()> onTick;
        bool firing = false;
        QTimer* orphan = nullptr;
    };
    std::shared_ptr<State> state_;
    QTimer* timer_ = nullptr;
};

QtEventLoop::QtEventLoop() : context_(std::make_unique<QObject>()) {}

QtEventLoop::~QtEventLoop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        posted_.clear();
    }
    // Destroying the context drops the queued calls that still point at this loop.
    signalNotifier_.reset();
    context_.reset();
}

std::int64_t QtEventLoop::NowMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

Tick QtEventLoop::GetTickCount() {
    // The low 32 bits, read as signed: the counter wraps as the system tick counter does.
    return static_cast<Tick>(static_cast<std::uint32_t>(NowMs()));
}

std::unique_ptr<PlatformTimer> QtEventLoop::CreateTimer(std::function<void()> onTick) {
    return std::make_unique<Timer>(std::move(onTick));
}

void QtEventLoop::DoEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::Sleep(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void QtEventLoop::PostTask(std::function<void()> task) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) {
        return;
    }
    posted_.push_back(std::move(task));
    if (!wakePending_) {
        wakePending_ = true;
        QMetaObject::invokeMethod(
            context_.get(), [this] { RunPosted(); }, Qt::QueuedConnection);
    }
}

void QtEventLoop::RunPosted() {
    std::deque<std::function<void()>> tasks;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        tasks.swap(posted_);
        wakePending_ = false;
    }
    for (const auto& task : tasks) {
        RunHandler("posted task", task);
    }
}

void QtEventLoop::Run() {
    if (quit_.load()) {
        return;
    }
    QCoreApplication::exec();
}

void QtEventLoop::Quit() {
    quit_.store(true);
    // Exits the application's loop and every nested one (a modal window's), from any thread.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void QtEventLoop::QuitOn(const StopSignals& stopSignals) {
    signalFd_ = stopSignals.Fd();
    if (signalFd_ < 0) {
        return;
    }
    signalNotifier_ = std::make_unique<QSocketNotifier>(signalFd_, QSocketNotifier::Read);
    QObject::connect(signalNotifier_.get(), &QSocketNotifier::activated, context_.get(), [this] {
        RunHandler("stop signal", [this] {
            signalfd_siginfo info{};
            while (::read(signalFd_, &info, sizeof info) == sizeof info) {
            }
            Quit();
        });
    });
}

}  // namespace qm::qt
