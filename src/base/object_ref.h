#pragma once

#include <memory>

#include "base/platform_error.h"

namespace qm {

// The object behind a reference the page or browser handed out, or PlatformError when it handed out
// nothing (a page without a body, a document without a root): using an absent object is a failing call
// like any other.
template <typename T>
T& Deref(const std::shared_ptr<T>& object) {
    if (!object) {
        throw PlatformError("Object variable not set", 91);
    }
    return *object;
}

}  // namespace qm
