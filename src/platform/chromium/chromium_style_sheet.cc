#include "platform/chromium/chromium_style_sheet.h"

#include "platform/chromium/chromium_element.h"
#include "platform/chromium/json_fields.h"
#include "platform/chromium/page_context.h"

namespace qm::cr {

std::shared_ptr<Element> ChromiumStyleSheet::OwningElement() {
    const Json answer = context_->RunOne({"owner", id_});
    if (!answer.is_array() || answer.size() != 2) {
        return nullptr;
    }
    auto owner = context_->ElementFor(IntFrom(answer[0]));
    if (owner) {
        owner->SetKnownTag(TextFrom(answer[1]));
    }
    return owner;
}

void ChromiumStyleSheet::AddRule(const std::string& selector, const std::string& style, std::int32_t index) {
    // A rule the engine cannot parse is an error the caller sees, so this write waits for its answer.
    context_->RunOne({"addrule", id_, selector, style, index});
}

}  // namespace qm::cr
