#pragma once

#include <string>
#include <variant>

#include "forms/control.h"

namespace qm {

// A stored property of a control: a text or a font.
using PropertyValue = std::variant<std::string, FontSpec>;

// The stored properties of the controls a window contains, by name, as the window keeps them between
// design and run. Borrowed by a control for one read or write. Calls are made on the user-interface
// thread. ReadProperty throws PlatformError when the property is missing or cannot be read;
// WriteProperty throws PlatformError when it cannot be stored.
class PropertyBag {
  public:
    PropertyBag() = default;
    PropertyBag(const PropertyBag&) = delete;
    PropertyBag& operator=(const PropertyBag&) = delete;
    virtual ~PropertyBag() = default;

    virtual PropertyValue ReadProperty(const std::string& name) = 0;
    virtual void WriteProperty(const std::string& name, const PropertyValue& value) = 0;
};

}  // namespace qm
