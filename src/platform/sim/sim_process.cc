#include "platform/sim/sim_process.h"

#include "platform/sim/sim_event_loop.h"

namespace qm::sim {

void SimProcess::InitCommonControls(unsigned structureSize, unsigned classFlags) {
    ++commonControlsCalls_;
    commonControlsSize_ = structureSize;
    commonControlsFlags_ = classFlags;
}

void SimProcess::EndProcess() {
    ended_ = true;
    loop_.Stop();
}

}  // namespace qm::sim
