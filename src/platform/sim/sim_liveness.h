#pragma once

#include "base/platform_error.h"

namespace qm::sim {

// Shared by a browser and every page object it handed out: once the browser has gone, every call on any
// of them fails, as calls into a browser process that has ended do.
struct Liveness {
    bool alive = true;
};

// What every call on a browser or a page object throws once the browser has gone.
extern const PlatformError kGone;

}  // namespace qm::sim
