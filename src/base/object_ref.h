#pragma once

#include <memory>

#include "base/platform_error.h"

namespace qm {

// The object behind a reference the page or browser handed out, or PlatformError when it handed out
// nothing (a page without a body, a document without a root): using an absent object is a failing call
// like any other.
//
// Require keeps the object alive in the handle it returns; use it for whatever a call just returned.
// Deref borrows from a handle the caller holds, and refuses temporaries, whose object could be freed at
// the end of the statement while the reference is still in use.
template <typename T>
std::shared_ptr<T> Require(std::shared_ptr<T> object) {
    if (!object) {
        throw PlatformError("Object variable not set", 91);
    }
    return object;
}

template <typename T>
T& Deref(const std::shared_ptr<T>& object) {
    if (!object) {
        throw PlatformError("Object variable not set", 91);
    }
    return *object;
}

template <typename T>
T& Deref(std::shared_ptr<T>&& object) = delete;

}  // namespace qm
