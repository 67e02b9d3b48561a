#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/chromium/cdp_connection.h"

namespace qm::cr {

// Readers of the JSON that the browser and the page send, which may be anything: a value or field that
// is missing or of another kind reads as empty, false, 0 or nothing. Every number is checked against the
// range it is read into; none is converted where the conversion would be undefined or would wrap.

// A string value, else empty.
std::string TextFrom(const Json& value);
// A whole number inside the signed 32-bit range (integer or floating-point without a fraction), else
// nothing.
std::optional<std::int32_t> Int32From(const Json& value);
// Any finite number rounded to the nearest whole one, when that lies inside the signed 32-bit range (a
// position that a page reports may carry a fraction), else nothing.
std::optional<std::int32_t> RoundedInt32From(const Json& value);
// Int32From, with 0 for nothing.
int IntFrom(const Json& value);

// A field of an object (anything else has no fields).
std::string StringField(const Json& object, const char* name);
bool BoolField(const Json& object, const char* name);
std::optional<std::int32_t> Int32Field(const Json& object, const char* name);
int IntField(const Json& object, const char* name);
// The field when it is an object, else an empty object.
Json ObjectField(const Json& object, const char* name);

}  // namespace qm::cr
