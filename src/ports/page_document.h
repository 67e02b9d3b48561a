#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ports/event_connection.h"

namespace qm {

class Element;
class ElementCollection;
class PageWindow;
class StyleSheet;

// Events of a page document.
class PageDocumentEvents {
  public:
    virtual ~PageDocumentEvents() = default;
    virtual void Document_onactivate() = 0;
    virtual void Document_onpropertychange() = 0;
};

// The HTML document of a page or frame (IHTMLDocument2). Any call may throw PlatformError: the page has
// gone or the engine refused. Engines where every call is a round trip may batch reads behind this
// interface; the program reads lengths once and items by index.
class PageDocument {
  public:
    PageDocument() = default;
    PageDocument(const PageDocument&) = delete;
    PageDocument& operator=(const PageDocument&) = delete;
    virtual ~PageDocument() = default;

    virtual const void* Identity() const = 0;

    virtual std::shared_ptr<ElementCollection> All() = 0;
    // Null while the page has no body yet.
    virtual std::shared_ptr<Element> Body() = 0;
    virtual std::shared_ptr<PageWindow> ParentWindow() = 0;
    // The root element; null when there is none.
    virtual std::shared_ptr<Element> DocumentElement() = 0;

    // The first-level frames (frames.length, frames.item(i) from 0), each as its window.
    virtual std::int32_t FramesLength() = 0;
    virtual std::shared_ptr<PageWindow> FramesItem(std::int32_t index) = 0;

    virtual std::int32_t StyleSheetsLength() = 0;
    virtual std::shared_ptr<StyleSheet> StyleSheetsItem(std::int32_t index) = 0;
    // createStyleSheet(href, index): a new sheet at `index` of the page's list of sheets.
    virtual std::shared_ptr<StyleSheet> CreateStyleSheet(const std::string& href, std::int32_t index) = 0;

    virtual std::unique_ptr<EventConnection> Connect(std::weak_ptr<PageDocumentEvents> sink) = 0;
};

}  // namespace qm
