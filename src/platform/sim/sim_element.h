#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/variant.h"
#include "ports/element_collection.h"
#include "ports/page_element.h"
#include "ports/page_window.h"

namespace qm::sim {

class SimDocument;

// One element of a simulated page, built from real HTML by an HTML5 parser. Attributes keep their
// order; the inline style is kept in step with the "style" attribute.
class SimElement final : public Element, public std::enable_shared_from_this<SimElement> {
  public:
    struct Child {
        std::shared_ptr<SimElement> element;  // null for a text node
        std::string text;
    };

    SimElement(std::weak_ptr<SimDocument> document, std::string tagUpper);
    ~SimElement() override;

    // Element:
    const void* Identity() const override { return this; }
    Variant GetAttribute(const std::string& name) override;
    void SetAttribute(const std::string& name, const Variant& value) override;
    std::string GetStyle(StyleProperty property) override;
    void SetStyle(StyleProperty property, const std::string& value) override;
    std::string InnerText() override;
    std::shared_ptr<Element> ParentElement() override;
    std::string TagName() override;
    std::shared_ptr<ElementCollection> All() override;
    void SetOuterHTML(const std::string& html) override;
    std::string ComponentFromPoint(std::int32_t x, std::int32_t y) override;
    Variant Width() override;
    Variant Height() override;
    std::shared_ptr<PageWindow> ContentWindow() override;

    // Control side: read and shape the element without going through the page's rules.
    const std::string& Tag() const { return tag_; }
    std::shared_ptr<SimElement> Parent() const { return parent_.lock(); }
    // Still part of its document (not replaced through outerHTML).
    bool Attached() const;
    Variant Attribute(const std::string& name) const;
    // The attributes with lower-case names, in the order the markup or the page gave them.
    const std::vector<std::pair<std::string, Variant>>& Attributes() const { return attributes_; }
    void SetAttributeRaw(const std::string& name, const Variant& value);
    // The element's inline value of a CSS property ("" when not set inline).
    std::string InlineStyle(const std::string& property) const;
    // Whether the element would be seen: no "display:none" on it or above it, and its visibility, from its
    // inline style, else from the page's style sheets (by specificity, later sheets and rules winning
    // ties), else inherited, is not "hidden".
    bool IsVisible() const;
    std::string OuterHTML() const;
    std::string InnerText() const;
    void CollectElements(std::vector<std::shared_ptr<SimElement>>& out) const;
    std::shared_ptr<SimDocument> FrameDocument() const { return frameDocument_; }
    void SetFrameDocument(std::shared_ptr<SimDocument> document) { frameDocument_ = std::move(document); }

    std::vector<Child> children;

  private:
    friend class SimDocument;

    void CheckCall() const;
    // Makes this element the parent of its child elements, and each of them of theirs, down the tree.
    void LinkChildren();
    Variant Dimension(const char* attribute) const;
    std::shared_ptr<SimDocument> OwnerDocument() const;
    void WriteStyleAttribute();
    void ParseStyleAttribute(const std::string& text);
    std::string CascadedValue(const std::string& property) const;

    std::weak_ptr<SimDocument> document_;
    std::string tag_;
    std::weak_ptr<SimElement> parent_;
    std::vector<std::pair<std::string, Variant>> attributes_;
    std::vector<std::pair<std::string, std::string>> style_;
    std::shared_ptr<SimDocument> frameDocument_;
};

}  // namespace qm::sim
