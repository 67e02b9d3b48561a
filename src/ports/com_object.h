#pragma once

#include <memory>

namespace qm {

// Objects handed out by the browser ports carry an identity: two handles of the same browser, document,
// page window or element report the same Identity(), and a different object never does, for as long
// as either handle lives. Identity() never fails, even for an object whose browser has gone.
template <typename T>
bool SameObject(const std::shared_ptr<T>& a, const std::shared_ptr<T>& b) {
    return a && b && a->Identity() == b->Identity();
}

}  // namespace qm
