#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ports/page_element.h"
#include "ports/style_sheet.h"

namespace qm::cr {

class PageContext;

// A style sheet of the document; a rule added to it waits for the page's answer.
class ChromiumStyleSheet final : public StyleSheet {
  public:
    ChromiumStyleSheet(std::shared_ptr<PageContext> context, int id)
        : context_(std::move(context)), id_(id) {}

    // StyleSheet:
    std::shared_ptr<Element> OwningElement() override;
    void AddRule(const std::string& selector, const std::string& style, std::int32_t index) override;

  private:
    std::shared_ptr<PageContext> context_;
    int id_;
};

}  // namespace qm::cr
