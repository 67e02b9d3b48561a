#pragma once

#include "base/variant.h"
#include "platform/chromium/cdp_connection.h"

namespace qm::cr {

// A page value (JSON) as the program reads it.
Variant VariantFromJson(const Json& value);
// A value of the program as the page gets it: null, or the value's text.
Json ValueToJson(const Variant& value);

}  // namespace qm::cr
