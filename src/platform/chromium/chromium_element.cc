#include "platform/chromium/chromium_element.h"

#include "base/text.h"
#include "platform/chromium/chromium_collection.h"
#include "platform/chromium/chromium_window.h"
#include "platform/chromium/json_fields.h"
#include "platform/chromium/page_context.h"
#include "platform/chromium/variant_json.h"

namespace qm::cr {

void ChromiumElement::SetSnapshot(ElementSnapshot snapshot) {
    tag_ = snapshot.tag;
    snapshot_ = std::move(snapshot);
}

Variant ChromiumElement::GetAttribute(const std::string& name) {
    const std::string lower = ToLowerAscii(name);
    if (snapshot_ && lower == "src" && snapshot_->src) {
        return *snapshot_->src;
    }
    if (snapshot_ && lower == "href") {
        return snapshot_->href;
    }
    if (knownHref_ && lower == "href") {
        return *knownHref_;
    }
    return VariantFromJson(context_->RunOne({"attr", id_, name}));
}

void ChromiumElement::SetAttribute(const std::string& name, const Variant& value) {
    const std::string lower = ToLowerAscii(name);
    if (lower.rfind("on", 0) == 0) {
        context_->SetAttributeInPageWorld(id_, name, value);
        return;
    }
    context_->Write({"setattr", id_, name, ValueToJson(value)});
    const Variant stored = value.IsNull() ? Variant() : Variant(VariantToText(value));
    if (lower == "href") {
        knownHref_ = stored;
        if (snapshot_) {
            snapshot_->href = stored;
        }
    } else if (lower == "src" && snapshot_) {
        snapshot_->src = stored;
    } else if ((lower == "width" || lower == "height" || lower == "style") && snapshot_) {
        snapshot_.reset();  // sizes and inline styles are read afresh
    }
}

std::string ChromiumElement::GetStyle(StyleProperty property) {
    if (snapshot_ && property == StyleProperty::Position) {
        return snapshot_->position;
    }
    if (snapshot_ && property == StyleProperty::Visibility) {
        return snapshot_->visibility;
    }
    return TextFrom(context_->RunOne({"style", id_, StyleName(property)}));
}

void ChromiumElement::SetStyle(StyleProperty property, const std::string& value) {
    context_->Write({"setstyle", id_, StyleName(property), value});
    if (snapshot_ && property == StyleProperty::Position) {
        snapshot_->position = value;
    } else if (snapshot_ && property == StyleProperty::Visibility) {
        snapshot_->visibility = value;
    }
}

std::string ChromiumElement::InnerText() {
    if (snapshot_ && snapshot_->innerText) {
        return *snapshot_->innerText;
    }
    return TextFrom(context_->RunOne({"text", id_}));
}

std::shared_ptr<Element> ChromiumElement::ParentElement() {
    if (snapshot_) {
        auto parent = context_->ElementFor(snapshot_->parentId);
        if (parent && !snapshot_->parentTag.empty()) {
            parent->SetKnownTag(snapshot_->parentTag);
        }
        return parent;
    }
    return context_->TaggedElementFor(context_->RunOne({"parent", id_}));
}

std::string ChromiumElement::TagName() {
    if (!tag_) {
        tag_ = TextFrom(context_->RunOne({"tag", id_}));
    }
    return *tag_;
}

std::shared_ptr<ElementCollection> ChromiumElement::All() {
    auto list = std::make_shared<ChromiumCollection>(context_, id_, std::string());
    if (snapshot_ && snapshot_->images) {
        list->SetKnownTagged("IMG", *snapshot_->images);
    }
    context_->KeepList(list);
    return list;
}

void ChromiumElement::SetOuterHTML(const std::string& html) {
    context_->Write({"outer", id_, html});
    snapshot_.reset();
}

std::string ChromiumElement::ComponentFromPoint(std::int32_t x, std::int32_t y) {
    return TextFrom(context_->RunOne({"part", id_, x, y}));
}

Variant ChromiumElement::Width() {
    if (snapshot_ && snapshot_->width) {
        return *snapshot_->width;
    }
    const Json answer = context_->RunOne({"dims", id_});
    return answer.is_array() && answer.size() == 2 ? VariantFromJson(answer[0]) : Variant();
}

Variant ChromiumElement::Height() {
    if (snapshot_ && snapshot_->height) {
        return *snapshot_->height;
    }
    const Json answer = context_->RunOne({"dims", id_});
    return answer.is_array() && answer.size() == 2 ? VariantFromJson(answer[1]) : Variant();
}

std::shared_ptr<PageWindow> ChromiumElement::ContentWindow() {
    if (snapshot_ && snapshot_->frame) {
        const auto window = context_->WindowFor(snapshot_->frame->first);
        if (window) {
            window->SetKnownDocument(snapshot_->frame->second);
        }
        return window;
    }
    return context_->WindowFor(IntFrom(context_->RunOne({"cwin", id_})));
}

}  // namespace qm::cr
