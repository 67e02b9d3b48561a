#include "platform/chromium/json_fields.h"

#include <cmath>
#include <limits>

namespace qm::cr {

namespace {

constexpr double kInt32Min = static_cast<double>(std::numeric_limits<std::int32_t>::min());
constexpr double kInt32Max = static_cast<double>(std::numeric_limits<std::int32_t>::max());

// The field `name` of `object`, or null when `object` is no object or has no such field.
const Json* FindField(const Json& object, const char* name) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto field = object.find(name);
    return field != object.end() ? &*field : nullptr;
}

std::optional<std::int32_t> FromWholeDouble(double v) {
    // Also false for NaN, so only finite values inside the range reach the conversion.
    if (!(v >= kInt32Min && v <= kInt32Max)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(v);
}

}  // namespace

std::string TextFrom(const Json& value) {
    return value.is_string() ? value.get<std::string>() : std::string();
}

std::optional<std::int32_t> Int32From(const Json& value) {
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        return v <= static_cast<std::uint64_t>(kInt32Max)
                   ? std::optional<std::int32_t>(static_cast<std::int32_t>(v))
                   : std::nullopt;
    }
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()
                   ? std::optional<std::int32_t>(static_cast<std::int32_t>(v))
                   : std::nullopt;
    }
    if (value.is_number_float()) {
        const double v = value.get<double>();
        return std::trunc(v) == v ? FromWholeDouble(v) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::int32_t> RoundedInt32From(const Json& value) {
    if (!value.is_number_float()) {
        return Int32From(value);
    }
    const double v = value.get<double>();
    return std::isfinite(v) ? FromWholeDouble(std::nearbyint(v)) : std::nullopt;
}

int IntFrom(const Json& value) {
    return Int32From(value).value_or(0);
}

std::string StringField(const Json& object, const char* name) {
    const Json* field = FindField(object, name);
    return field ? TextFrom(*field) : std::string();
}

bool BoolField(const Json& object, const char* name) {
    const Json* field = FindField(object, name);
    return field && field->is_boolean() && field->get<bool>();
}

std::optional<std::int32_t> Int32Field(const Json& object, const char* name) {
    const Json* field = FindField(object, name);
    return field ? Int32From(*field) : std::nullopt;
}

int IntField(const Json& object, const char* name) {
    return Int32Field(object, name).value_or(0);
}

Json ObjectField(const Json& object, const char* name) {
    const Json* field = FindField(object, name);
    return field && field->is_object() ? *field : Json::object();
}

}  // namespace qm::cr
