#include "platform/chromium/json_fields.h"

namespace qm::cr {

namespace {

// The field `name` of `object`, or null when `object` is no object or has no such field.
const Json* FindField(const Json& object, const char* name) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto field = object.find(name);
    return field != object.end() ? &*field : nullptr;
}

}  // namespace

std::string TextFrom(const Json& value) {
    return value.is_string() ? value.get<std::string>() : std::string();
}

int IntFrom(const Json& value) {
    return value.is_number_integer() ? value.get<int>() : 0;
}

std::string StringField(const Json& object, const char* name) {
    const Json* field = FindField(object, name);
    return field ? TextFrom(*field) : std::string();
}

bool BoolField(const Json& object, const char* name) {
    const Json* field = FindField(object, name);
    return field && field->is_boolean() && field->get<bool>();
}

int IntField(const Json& object, const char* name) {
    const Json* field = FindField(object, name);
    return field ? IntFrom(*field) : 0;
}

}  // namespace qm::cr
