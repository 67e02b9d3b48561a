#pragma once

#include <memory>
#include <string>

#include "monitor/ie_monitor.h"
#include "platform/sim/sim_platform.h"
#include "ports/com_object.h"
#include "shell/win_system.h"
#include "watch/ie_top_watcher.h"

namespace qm::testing {

// A simulated platform with the program on it, for scenario tests.
class SimScenario {
  public:
    SimScenario() { sim.world.AddFixturePage("http://news.example/", "plain_article.html"); }

    // The monitor that watches `browser`, or null.
    std::shared_ptr<IEMonitor> MonitorOf(const std::shared_ptr<sim::SimBrowser>& browser) const {
        for (const auto& monitor : app.Hub().IEMonitors) {
            if (monitor->IE && monitor->IE->Identity() == browser->Identity()) {
                return monitor;
            }
        }
        return nullptr;
    }

    std::size_t MonitorCount() const { return app.Hub().IEMonitors.size(); }

    Tick Now() { return sim.loop.GetTickCount(); }

    sim::SimPlatform sim;
    WinSystem app{sim.platform};
};

}  // namespace qm::testing
