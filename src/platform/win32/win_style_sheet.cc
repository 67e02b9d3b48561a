#include "platform/win32/win_style_sheet.h"

#include <utility>

#include "platform/win32/win_page_support.h"

namespace qm::win {

Win32StyleSheet::Win32StyleSheet(ComPtr<IHTMLStyleSheet> sheet) : sheet_(std::move(sheet)) {}

std::shared_ptr<Element> Win32StyleSheet::OwningElement() {
    ComPtr<IHTMLElement> owner;
    Check(sheet_->get_owningElement(owner.Put()), "owningElement");
    return WrapElement(std::move(owner));
}

void Win32StyleSheet::AddRule(const std::string& selector, const std::string& style, std::int32_t index) {
    const Bstr s(Widen(selector));
    const Bstr body(Widen(style));
    long added = 0;
    Check(sheet_->addRule(s.Get(), body.Get(), index, &added), "addRule");
}

}  // namespace qm::win
