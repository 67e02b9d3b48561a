#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qm {

class Element;

// A style sheet of a page. Its rules lose to an element's inline style. Any call may throw PlatformError.
class StyleSheet {
  public:
    StyleSheet() = default;
    StyleSheet(const StyleSheet&) = delete;
    StyleSheet& operator=(const StyleSheet&) = delete;
    virtual ~StyleSheet() = default;

    // The style or link element that holds the sheet.
    virtual std::shared_ptr<Element> OwningElement() = 0;
    // Inserts the rule `selector { style }` at `index` of the sheet's rules (-1 appends).
    virtual void AddRule(const std::string& selector, const std::string& style, std::int32_t index) = 0;
};

}  // namespace qm
