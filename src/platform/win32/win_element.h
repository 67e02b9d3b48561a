#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32/win_com.h"

#include <mshtml.h>

#include "base/variant.h"
#include "ports/page_element.h"

namespace qm::win {

// An element of a page (IHTMLElement, and its image and frame forms where the call needs them).
class Win32Element final : public Element {
  public:
    explicit Win32Element(ComPtr<IHTMLElement> element);

    const void* Identity() const override { return identity_.Get(); }
    Variant GetAttribute(const std::string& name) override;
    void SetAttribute(const std::string& name, const Variant& value) override;
    std::string GetStyle(StyleProperty property) override;
    void SetStyle(StyleProperty property, const std::string& text) override;
    std::string InnerText() override;
    std::shared_ptr<Element> ParentElement() override;
    std::string TagName() override;
    std::shared_ptr<ElementCollection> All() override;
    void SetOuterHTML(const std::string& html) override;
    std::string ComponentFromPoint(std::int32_t x, std::int32_t y) override;
    Variant Width() override { return Dimension(true); }
    Variant Height() override { return Dimension(false); }
    std::shared_ptr<PageWindow> ContentWindow() override;

  private:
    ComPtr<IHTMLStyle> Style();
    Variant Dimension(bool width);

    ComPtr<IHTMLElement> element_;
    ComPtr<IUnknown> identity_;
};

}  // namespace qm::win
