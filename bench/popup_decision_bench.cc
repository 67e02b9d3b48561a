// One new-window decision of a monitor on the simulated platform: a requested window (fresh click over
// the page) and an unrequested one (blocked into a hidden browser, silently or with the countdown window).
#include <benchmark/benchmark.h>

#include "monitor/ie_monitor.h"
#include "platform/sim/sim_platform.h"
#include "settings/settings.h"
#include "shell/win_system.h"
#include "watch/ie_top_watcher.h"

namespace qm {
namespace {

struct Fixture {
    explicit Fixture(bool notify) {
        sim.world.AddPage("http://news.example/", "<html><body><p>Story</p></body></html>");
        app.Main();
        app.AppSettings().SetPopupNotify(notify);
        browser = sim.world.OpenBrowser("http://news.example/");
        monitor = app.Hub().IEMonitors.front();
        browser->FireStatusTextChange();
        sim.loop.Advance(100);
        sim.desktop.MovePointer(500, 400);
    }

    sim::SimPlatform sim;
    WinSystem app{sim.platform};
    std::shared_ptr<sim::SimBrowser> browser;
    std::shared_ptr<IEMonitor> monitor;
};

void BM_RequestedWindow(benchmark::State& state) {
    Fixture f(false);
    std::int32_t tick = f.sim.loop.GetTickCount();
    for (auto _ : state) {
        ++tick;
        f.monitor->UiProbe_UserInput(tick);  // a fresh click each time
        std::shared_ptr<HiddenBrowser> ppDisp;
        bool cancel = false;
        f.monitor->IE_NewWindow2(ppDisp, cancel);
        benchmark::DoNotOptimize(ppDisp);
    }
}
BENCHMARK(BM_RequestedWindow);

void BlockedWindow(benchmark::State& state, bool notify) {
    Fixture f(notify);
    int made = 0;
    for (auto _ : state) {
        std::shared_ptr<HiddenBrowser> ppDisp;
        bool cancel = false;
        f.monitor->IE_NewWindow2(ppDisp, cancel);
        benchmark::DoNotOptimize(ppDisp);
        if (++made == 200) {
            // Let the hidden browsers and countdown windows of this batch run out.
            state.PauseTiming();
            f.sim.loop.Advance(31000);
            made = 0;
            state.ResumeTiming();
        }
    }
}

void BM_BlockedSilently(benchmark::State& state) {
    BlockedWindow(state, false);
}
BENCHMARK(BM_BlockedSilently);

void BM_BlockedWithCountdown(benchmark::State& state) {
    BlockedWindow(state, true);
}
BENCHMARK(BM_BlockedWithCountdown);

}  // namespace
}  // namespace qm
