#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/chromium/page_context.h"
#include "ports/element_collection.h"
#include "ports/page_document.h"
#include "ports/page_element.h"
#include "ports/page_window.h"
#include "ports/sink_list.h"
#include "ports/style_sheet.h"

namespace qm::cr {

// The page's document (number 1) or the document of a same-site frame.
class ChromiumDocument final : public PageDocument, public std::enable_shared_from_this<ChromiumDocument> {
  public:
    ChromiumDocument(std::shared_ptr<PageContext> context, int id) : context_(std::move(context)), id_(id) {}

    // PageDocument:
    const void* Identity() const override { return this; }
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

    const std::shared_ptr<PageContext>& Context() const { return context_; }
    // An activation that nobody hears yet is kept for the first listener.
    void FireActivate();
    void FirePropertyChange();

  private:
    std::shared_ptr<PageContext> context_;
    int id_;
    bool activationPending_ = false;
    SinkList<PageDocumentEvents> sinks_;
};

}  // namespace qm::cr
