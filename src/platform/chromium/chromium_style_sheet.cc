#include "platform/chromium/chromium_style_sheet.h"

#include "platform/chromium/chromium_element.h"
#include "platform/chromium/page_context.h"

namespace qm::cr {

std::shared_ptr<Element> ChromiumStyleSheet::OwningElement() {
    return context_->TaggedElementFor(context_->RunOne({"owner", id_}));
}

void ChromiumStyleSheet::AddRule(const std::string& selector, const std::string& style, std::int32_t index) {
    // A rule the engine cannot parse is an error the caller sees, so this write waits for its answer.
    context_->RunOne({"addrule", id_, selector, style, index});
}

}  // namespace qm::cr
