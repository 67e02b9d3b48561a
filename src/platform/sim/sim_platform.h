#pragma once

#include "platform/sim/sim_browser.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_process.h"
#include "shell/platform.h"

namespace qm::sim {

// One complete simulated platform: create it first and let it outlive the program objects that use it.
class SimPlatform {
  public:
    explicit SimPlatform(Tick startTick = 100000)
        : loop(startTick), process(loop), world(loop), platform{loop, desktop, process, world} {}
    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    SimEventLoop loop;
    SimDesktop desktop;
    SimProcess process;
    SimBrowserWorld world;
    Platform platform;
};

}  // namespace qm::sim
