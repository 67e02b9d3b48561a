#include "platform/chromium/chromium_collection.h"

#include "base/platform_error.h"
#include "base/text.h"
#include "platform/chromium/chromium_element.h"
#include "platform/chromium/json_fields.h"
#include "platform/chromium/page_context.h"
#include "platform/chromium/variant_json.h"

namespace qm::cr {

ChromiumCollection::ChromiumCollection(std::shared_ptr<PageContext> context,
                                       int scopeId,
                                       std::string tag,
                                       bool empty)
    : context_(std::move(context)), scopeId_(scopeId), tag_(ToUpperAscii(tag)), empty_(empty) {}

void ChromiumCollection::Load() {
    if (items_) {
        return;
    }
    std::vector<std::shared_ptr<ChromiumElement>> items;
    if (!empty_) {
        const Json records = context_->RunOne({"items", scopeId_, tag_});
        if (!records.is_array()) {
            throw PlatformError("The page gave no list", 0, "Chromium page");
        }
        items.reserve(records.size());
        const bool batched = context_->GetBatching() == PageContext::Batching::Batched;
        for (const Json& r : records) {
            if (!r.is_array() || r.size() < record::kFields) {
                continue;
            }
            auto element = context_->ElementFor(IntFrom(r[record::kId]));
            if (!element) {
                continue;
            }
            if (!batched) {
                element->ClearSnapshot();
                items.push_back(std::move(element));
                continue;
            }
            ElementSnapshot s;
            s.tag = TextFrom(r[record::kTag]);
            s.parentId = IntFrom(r[record::kParentId]);
            s.parentTag = TextFrom(r[record::kParentTag]);
            if (!r[record::kWidth].is_boolean() && !r[record::kHeight].is_boolean()) {
                s.width = VariantFromJson(r[record::kWidth]);
                s.height = VariantFromJson(r[record::kHeight]);
            }
            if (!r[record::kSrc].is_boolean()) {
                s.src = VariantFromJson(r[record::kSrc]);
            }
            s.href = VariantFromJson(r[record::kHref]);
            if (r[record::kText].is_string()) {
                s.innerText = r[record::kText].get<std::string>();
            }
            s.position = TextFrom(r[record::kPosition]);
            s.visibility = TextFrom(r[record::kVisibility]);
            if (r[record::kImages].is_array()) {
                s.images.emplace();
                for (const Json& id : r[record::kImages]) {
                    if (IntFrom(id) > 0) {
                        s.images->push_back(IntFrom(id));
                    }
                }
            }
            const Json& frame = r[record::kFrame];
            if (frame.is_array() && frame.size() == 2 && frame[1].is_number_integer()) {
                s.frame.emplace(IntFrom(frame[0]), IntFrom(frame[1]));
            }
            if (s.parentId > 0) {
                // The parent's href is what the program reads of a link around an image.
                if (const auto parent = context_->ElementFor(s.parentId)) {
                    parent->SetKnownTag(s.parentTag);
                    if (s.parentTag == "A") {
                        parent->SetKnownHref(VariantFromJson(r[record::kParentHref]));
                    }
                }
            }
            element->SetSnapshot(std::move(s));
            items.push_back(std::move(element));
        }
    }
    count_ = static_cast<std::int32_t>(items.size());
    items_ = std::move(items);
}

void ChromiumCollection::SetKnownItems(const std::vector<int>& ids) {
    std::vector<std::shared_ptr<ChromiumElement>> items;
    items.reserve(ids.size());
    for (const int id : ids) {
        if (auto element = context_->ElementFor(id)) {
            items.push_back(std::move(element));
        }
    }
    count_ = static_cast<std::int32_t>(items.size());
    items_ = std::move(items);
}

std::int32_t ChromiumCollection::Length() {
    if (items_ || count_) {
        return count_.value_or(0);
    }
    if (empty_) {
        count_ = 0;
        return 0;
    }
    if (!tag_.empty()) {
        Load();
        return *count_;
    }
    const Json answer = context_->RunOne({"count", scopeId_, tag_});
    count_ = IntFrom(answer);
    return *count_;
}

std::shared_ptr<Element> ChromiumCollection::Item(std::int32_t index) {
    Load();
    if (index < 0 || static_cast<std::size_t>(index) >= items_->size()) {
        return nullptr;
    }
    return (*items_)[static_cast<std::size_t>(index)];
}

std::shared_ptr<ElementCollection> ChromiumCollection::Tags(const std::string& name) {
    const std::string upper = ToUpperAscii(name);
    auto list = std::make_shared<ChromiumCollection>(context_, scopeId_, upper,
                                                     /*empty=*/empty_ || (!tag_.empty() && tag_ != upper));
    if (!knownTag_.empty() && knownTag_ == upper && !empty_ && tag_.empty()) {
        list->SetKnownItems(knownIds_);
    }
    context_->KeepList(list);
    return list;
}

}  // namespace qm::cr
