#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32/win_com.h"

#include <mshtml.h>

#include "ports/style_sheet.h"

namespace qm::win {

// A style sheet of a page (IHTMLStyleSheet).
class Win32StyleSheet final : public StyleSheet {
  public:
    explicit Win32StyleSheet(ComPtr<IHTMLStyleSheet> sheet);

    std::shared_ptr<Element> OwningElement() override;
    void AddRule(const std::string& selector, const std::string& style, std::int32_t index) override;

  private:
    ComPtr<IHTMLStyleSheet> sheet_;
};

}  // namespace qm::win
