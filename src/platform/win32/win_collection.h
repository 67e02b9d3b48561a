#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32/win_com.h"

#include <mshtml.h>

#include "ports/element_collection.h"

namespace qm::win {

// A list of a page's elements (IHTMLElementCollection).
class Win32Collection final : public ElementCollection {
  public:
    explicit Win32Collection(ComPtr<IHTMLElementCollection> collection);

    std::int32_t Length() override;
    std::shared_ptr<Element> Item(std::int32_t index) override;
    std::shared_ptr<ElementCollection> Tags(const std::string& name) override;

  private:
    ComPtr<IHTMLElementCollection> collection_;
};

}  // namespace qm::win
