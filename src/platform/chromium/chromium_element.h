#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/variant.h"
#include "ports/element_collection.h"
#include "ports/page_element.h"
#include "ports/page_window.h"

namespace qm::cr {

class PageContext;

// What one batched read tells of an element; the element answers these from it until it is written or
// read again in a newer batch.
struct ElementSnapshot {
    std::string tag;
    int parentId = 0;
    std::string parentTag;
    // Not read for an image outside a link (the page answers a size with a layout check of its own).
    std::optional<Variant> width;
    std::optional<Variant> height;
    std::optional<Variant> src;
    Variant href;
    // Read only for a layer positioned absolutely.
    std::optional<std::string> innerText;
    std::string position;
    std::string visibility;
    // The images inside, read only for a layer positioned absolutely that has no text.
    std::optional<std::vector<int>> images;
    // For an inline frame: its window (0: none) and that window's document (-1: refused, another site).
    std::optional<std::pair<int, int>> frame;
};

// An element of the document, known to the page library by number. What a batched read told of it
// (ElementSnapshot) is answered without a call.
class ChromiumElement final : public Element {
  public:
    ChromiumElement(std::shared_ptr<PageContext> context, int id) : context_(std::move(context)), id_(id) {}

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

    int Id() const { return id_; }
    void SetSnapshot(ElementSnapshot snapshot);
    void ClearSnapshot() { snapshot_.reset(); }
    // What the parent's side of a batched read tells: its tag and its href.
    void SetKnownTag(const std::string& tag) { tag_ = tag; }
    void SetKnownHref(Variant href) { knownHref_ = std::move(href); }
    bool HasSnapshot() const { return snapshot_.has_value(); }

  private:
    std::shared_ptr<PageContext> context_;
    int id_;
    std::optional<ElementSnapshot> snapshot_;
    std::optional<std::string> tag_;
    std::optional<Variant> knownHref_;
};

}  // namespace qm::cr
