#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/variant.h"

namespace qm {

class ElementCollection;
class PageWindow;

// The inline style properties the program reads and writes.
enum class StyleProperty { Position, Visibility, Display };

// The property's name in style sheets and in an element's style attribute.
constexpr const char* StyleName(StyleProperty property) {
    switch (property) {
        case StyleProperty::Position:
            return "position";
        case StyleProperty::Visibility:
            return "visibility";
        case StyleProperty::Display:
            return "display";
    }
    return "";
}

// An element of a page (IHTMLElement and its image and frame forms). Any call may throw PlatformError:
// the page has gone, the element was replaced, or the engine refused. Calls are made on the
// user-interface thread only.
class Element {
  public:
    Element() = default;
    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;
    virtual ~Element() = default;

    virtual const void* Identity() const = 0;

    // getAttribute(name, 0): null when the attribute is absent.
    virtual Variant GetAttribute(const std::string& name) = 0;
    // setAttribute(name, value, 1). A null value clears what the attribute held.
    virtual void SetAttribute(const std::string& name, const Variant& value) = 0;

    // The element's own inline style (element.style): "" when the property is not set inline.
    virtual std::string GetStyle(StyleProperty property) = 0;
    virtual void SetStyle(StyleProperty property, const std::string& value) = 0;

    virtual std::string InnerText() = 0;
    // The parent element; null for the root.
    virtual std::shared_ptr<Element> ParentElement() = 0;
    // The tag name in upper case ("A", "IMG").
    virtual std::string TagName() = 0;
    // Every element below this one, in document order.
    virtual std::shared_ptr<ElementCollection> All() = 0;
    // Replaces the element, in its parent, by the parsed markup.
    virtual void SetOuterHTML(const std::string& html) = 0;

    // The part of the element at a point of its window's client area: "" for its client area, otherwise
    // the name of a part (a scroll bar part, or "outside").
    virtual std::string ComponentFromPoint(std::int32_t x, std::int32_t y) = 0;

    // Image and inline-frame dimensions as the engine reports them: a number for images, for frames a
    // number or the text of the attribute (which may be a percentage).
    virtual Variant Width() = 0;
    virtual Variant Height() = 0;
    // The window shown by an inline frame.
    virtual std::shared_ptr<PageWindow> ContentWindow() = 0;
};

}  // namespace qm
