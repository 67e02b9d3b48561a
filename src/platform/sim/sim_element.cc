#include "platform/sim/sim_element.h"

#include <algorithm>

#include "base/platform_error.h"
#include "base/text.h"
#include "platform/sim/sim_collection.h"
#include "platform/sim/sim_document.h"
#include "platform/sim/sim_liveness.h"
#include "platform/sim/sim_markup_writer.h"
#include "platform/sim/sim_selector.h"
#include "platform/sim/sim_style_sheet.h"
#include "platform/sim/sim_window.h"

namespace qm::sim {

SimElement::SimElement(std::weak_ptr<SimDocument> document, std::string tagUpper)
    : document_(std::move(document)), tag_(std::move(tagUpper)) {}

SimElement::~SimElement() = default;

std::shared_ptr<SimDocument> SimElement::OwnerDocument() const {
    return document_.lock();
}

void SimElement::CheckCall() const {
    const auto document = OwnerDocument();
    if (!document) {
        throw kGone;
    }
    document->CheckCall();
}

bool SimElement::Attached() const {
    const auto document = OwnerDocument();
    if (!document) {
        return false;
    }
    const SimElement* node = this;
    while (const auto parent = node->Parent()) {
        node = parent.get();
    }
    return node == document->root_.get();
}

Variant SimElement::Attribute(const std::string& name) const {
    const std::string key = ToLowerAscii(name);
    for (const auto& [n, v] : attributes_) {
        if (n == key) {
            return v;
        }
    }
    return {};
}

void SimElement::SetAttributeRaw(const std::string& name, const Variant& value) {
    const std::string key = ToLowerAscii(name);
    auto it =
        std::find_if(attributes_.begin(), attributes_.end(), [&](const auto& a) { return a.first == key; });
    if (value.IsNull()) {
        if (it != attributes_.end()) {
            attributes_.erase(it);
        }
    } else if (it != attributes_.end()) {
        it->second = value;
    } else {
        attributes_.emplace_back(key, value);
    }
    if (key == "style") {
        ParseStyleAttribute(value.IsNull() ? std::string() : VariantToText(value));
    }
}

void SimElement::ParseStyleAttribute(const std::string& text) {
    style_ = ParseDeclarations(text);
}

void SimElement::WriteStyleAttribute() {
    std::string text;
    for (const auto& [name, value] : style_) {
        if (!text.empty()) {
            text += "; ";
        }
        text += name + ": " + value;
    }
    auto it = std::find_if(attributes_.begin(), attributes_.end(),
                           [](const auto& a) { return a.first == "style"; });
    if (it != attributes_.end()) {
        it->second = Variant(text);
    } else {
        attributes_.emplace_back("style", Variant(text));
    }
}

std::string SimElement::InlineStyle(const std::string& property) const {
    for (const auto& [name, value] : style_) {
        if (name == property) {
            return value;
        }
    }
    return {};
}

Variant SimElement::GetAttribute(const std::string& name) {
    CheckCall();
    return Attribute(name);
}

void SimElement::SetAttribute(const std::string& name, const Variant& value) {
    CheckCall();
    SetAttributeRaw(name, value);
}

std::string SimElement::GetStyle(StyleProperty property) {
    CheckCall();
    return InlineStyle(StyleName(property));
}

void SimElement::SetStyle(StyleProperty property, const std::string& value) {
    CheckCall();
    const std::string name = StyleName(property);
    std::erase_if(style_, [&](const auto& d) { return d.first == name; });
    if (!value.empty()) {
        style_.emplace_back(name, value);
    }
    WriteStyleAttribute();
}

std::string SimElement::InnerText() const {
    std::string text;
    for (const auto& child : children) {
        if (!child.element) {
            text += child.text;
        } else if (child.element->tag_ != "SCRIPT" && child.element->tag_ != "STYLE") {
            text += child.element->InnerText();
        }
    }
    return text;
}

std::string SimElement::InnerText() {
    CheckCall();
    return static_cast<const SimElement*>(this)->InnerText();
}

std::shared_ptr<Element> SimElement::ParentElement() {
    CheckCall();
    return parent_.lock();
}

std::string SimElement::TagName() {
    CheckCall();
    return tag_;
}

void SimElement::LinkChildren() {
    for (const auto& child : children) {
        if (child.element) {
            child.element->parent_ = weak_from_this();
            child.element->LinkChildren();
        }
    }
}

void SimElement::CollectElements(std::vector<std::shared_ptr<SimElement>>& out) const {
    for (const auto& child : children) {
        if (child.element) {
            out.push_back(child.element);
            child.element->CollectElements(out);
        }
    }
}

std::shared_ptr<ElementCollection> SimElement::All() {
    CheckCall();
    std::vector<std::shared_ptr<SimElement>> elements;
    CollectElements(elements);
    return std::make_shared<SimCollection>(OwnerDocument()->liveness_, std::move(elements));
}

void SimElement::SetOuterHTML(const std::string& html) {
    CheckCall();
    const auto parent = Parent();
    if (!parent) {
        throw PlatformError("Invalid target element for this operation.", -2146827688);
    }
    auto replacement = OwnerDocument()->ParseFragment(html);
    auto& siblings = parent->children;
    const auto it = std::find_if(siblings.begin(), siblings.end(),
                                 [this](const Child& c) { return c.element.get() == this; });
    if (it == siblings.end()) {
        throw PlatformError("Invalid target element for this operation.", -2146827688);
    }
    for (auto& child : replacement) {
        if (child.element) {
            child.element->parent_ = parent;
        }
    }
    const auto self = shared_from_this();  // keep this element alive while it leaves the tree
    const auto position = siblings.erase(it);
    siblings.insert(position, replacement.begin(), replacement.end());
    parent_.reset();
    OwnerDocument()->AttachFrames([&] {
        std::vector<std::shared_ptr<SimElement>> added;
        for (const auto& child : replacement) {
            if (child.element) {
                added.push_back(child.element);
                child.element->CollectElements(added);
            }
        }
        return added;
    }());
}

std::string SimElement::ComponentFromPoint(std::int32_t x, std::int32_t y) {
    CheckCall();
    const auto& window = OwnerDocument()->window_;
    if (x < 0 || y < 0 || x >= window->ClientWidth() || y >= window->ClientHeight()) {
        return "outside";
    }
    if (x >= window->ClientWidth() - window->ScrollBarWidth()) {
        return "scrollbarVThumb";
    }
    return "";
}

Variant SimElement::Dimension(const char* attribute) const {
    // An image reports its size as a number (0 when the markup gives none); a frame reports the
    // attribute's text as written, which may be a percentage.
    const Variant value = Attribute(attribute);
    if (tag_ == "IMG") {
        try {
            return Variant(VariantToInt32(value));
        } catch (const PlatformError&) {
            return Variant(0);
        }
    }
    return value.IsNull() ? Variant("") : value;
}

Variant SimElement::Width() {
    CheckCall();
    return Dimension("width");
}

Variant SimElement::Height() {
    CheckCall();
    return Dimension("height");
}

std::shared_ptr<PageWindow> SimElement::ContentWindow() {
    CheckCall();
    return frameDocument_ ? frameDocument_->window_ : nullptr;
}

std::string SimElement::CascadedValue(const std::string& property) const {
    if (std::string inlineValue = InlineStyle(property); !inlineValue.empty()) {
        return ToLowerAscii(inlineValue);
    }
    const auto document = OwnerDocument();
    if (!document) {
        return {};
    }
    std::string best;
    int bestSpecificity = -1;
    for (const auto& sheet : document->sheets_) {
        for (const auto& rule : sheet->Rules()) {
            std::string value;
            for (const auto& [name, v] : rule.declarations) {
                if (name == property) {
                    value = v;
                }
            }
            if (value.empty()) {
                continue;
            }
            const SimSelector selector(rule.selector);
            const int specificity = selector.Specificity();
            if (specificity >= bestSpecificity && selector.Matches(*this)) {
                best = ToLowerAscii(value);
                bestSpecificity = specificity;
            }
        }
    }
    return best;
}

bool SimElement::IsVisible() const {
    for (const SimElement* node = this; node; node = node->Parent().get()) {
        if (node->CascadedValue("display") == "none") {
            return false;
        }
    }
    for (const SimElement* node = this; node; node = node->Parent().get()) {
        const std::string visibility = node->CascadedValue("visibility");
        if (!visibility.empty() && visibility != "inherit") {
            return visibility != "hidden";
        }
    }
    return true;
}

std::string SimElement::OuterHTML() const {
    return SimMarkupWriter::OuterHtml(*this);
}

}  // namespace qm::sim
