#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/win32/win_com.h"

#include <mshtml.h>

#include "ports/page_document.h"

namespace qm::win {

// A page's HTML document (IHTMLDocument2, and IHTMLDocument3 for its root element and its events).
class Win32PageDocument final : public PageDocument {
  public:
    explicit Win32PageDocument(ComPtr<IHTMLDocument2> document);

    const void* Identity() const override { return identity_.Get(); }
    std::shared_ptr<ElementCollection> All() override;
    std::shared_ptr<Element> Body() override;
    std::shared_ptr<PageWindow> ParentWindow() override;
    std::shared_ptr<Element> DocumentElement() override;
    std::int32_t FramesLength() override;
    std::shared_ptr<PageWindow> FramesItem(std::int32_t index) override;
    std::int32_t StyleSheetsLength() override;
    std::shared_ptr<StyleSheet> StyleSheetsItem(std::int32_t index) override;
    std::shared_ptr<StyleSheet> CreateStyleSheet(const std::string& href, std::int32_t index) override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<PageDocumentEvents> sink) override;

  private:
    class Pair final : public EventConnection {
      public:
        Pair(std::unique_ptr<EventConnection> a, std::unique_ptr<EventConnection> b)
            : a_(std::move(a)), b_(std::move(b)) {}

      private:
        std::unique_ptr<EventConnection> a_;
        std::unique_ptr<EventConnection> b_;
    };

    ComPtr<IHTMLDocument3> Document3();
    ComPtr<IHTMLFramesCollection2> Frames();
    ComPtr<IHTMLStyleSheetsCollection> Sheets();

    ComPtr<IHTMLDocument2> document_;
    ComPtr<IUnknown> identity_;
};

}  // namespace qm::win
