#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qm {

class Element;

// A list of elements as the page gives it (document.all, element.all, tags(name)). The engine may hand
// out a live list or a snapshot; the program reads the length once and then items by index, so either
// serves. Any call may throw PlatformError.
class ElementCollection {
  public:
    ElementCollection() = default;
    ElementCollection(const ElementCollection&) = delete;
    ElementCollection& operator=(const ElementCollection&) = delete;
    virtual ~ElementCollection() = default;

    virtual std::int32_t Length() = 0;
    // Item `index`, from 0; null past the end.
    virtual std::shared_ptr<Element> Item(std::int32_t index) = 0;
    // The elements of this list whose tag name is `name` (compared without regard to case).
    virtual std::shared_ptr<ElementCollection> Tags(const std::string& name) = 0;
};

}  // namespace qm
