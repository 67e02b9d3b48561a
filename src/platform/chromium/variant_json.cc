#include "platform/chromium/variant_json.h"

#include <string>

namespace qm::cr {

Variant VariantFromJson(const Json& value) {
    if (value.is_boolean()) {
        return Variant(value.get<bool>());
    }
    if (value.is_number()) {
        return Variant(value.get<double>());
    }
    if (value.is_string()) {
        return Variant(value.get<std::string>());
    }
    return Variant();
}

Json ValueToJson(const Variant& value) {
    if (value.IsNull()) {
        return nullptr;
    }
    // Attributes of this engine are texts; the page gets the value's text as setAttribute would make it.
    return VariantToText(value);
}

}  // namespace qm::cr
