#include "platform/sim/sim_liveness.h"

namespace qm::sim {

const PlatformError kGone(kDisconnectedText, kErrorDisconnected);

}  // namespace qm::sim
