#pragma once

#include <string>

#include "platform/chromium/cdp_connection.h"

namespace qm::cr {

// Readers of the JSON that the browser and the page send, which may be anything: a value or field that
// is missing or of another kind reads as empty, false or 0.

// A string value, else empty.
std::string TextFrom(const Json& value);
// An integer value, else 0.
int IntFrom(const Json& value);

// A field of an object (anything else has no fields).
std::string StringField(const Json& object, const char* name);
bool BoolField(const Json& object, const char* name);
int IntField(const Json& object, const char* name);

}  // namespace qm::cr
