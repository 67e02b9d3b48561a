#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/variant.h"
#include "ports/element_collection.h"
#include "ports/page_document.h"
#include "ports/page_element.h"
#include "ports/page_window.h"
#include "ports/sink_list.h"
#include "ports/style_sheet.h"

namespace qm::sim {

class SimBrowserWorld;
class SimDocument;
class SimWindow;

// Shared by a browser and every page object it handed out: once the browser has gone, every call on any
// of them fails, as calls into a browser process that has ended do.
struct Liveness {
    bool alive = true;
};

// One element of a simulated page, built from real HTML by an HTML5 parser. Attributes keep their
// order; the inline style is kept in step with the "style" attribute.
class SimElement final : public Element, public std::enable_shared_from_this<SimElement> {
  public:
    struct Child {
        std::shared_ptr<SimElement> element;  // null for a text node
        std::string text;
    };

    SimElement(std::weak_ptr<SimDocument> document, std::string tagUpper);
    ~SimElement() override;

    // Element:
    const void* Identity() const override { return this; }
    Variant GetAttribute(const std::string& name) override;
    void SetAttribute(const std::string& name, const Variant& value) override;
    std::string GetStyle(StyleProperty property) override;
    void SetStyle(StyleProperty property, const std::string& value) override;
    std::string InnerText() override;
    std::shared_ptr<Element> ParentElement() override;
    std::string TagName() override;
    std::shared_ptr<ElementCollection> All() override;
    void SetOuterHTML(const std::string& html) override;
    std::string ComponentFromPoint(std::int32_t x, std::int32_t y) override;
    Variant Width() override;
    Variant Height() override;
    std::shared_ptr<PageWindow> ContentWindow() override;

    // Control side: read and shape the element without going through the page's rules.
    const std::string& Tag() const { return tag_; }
    std::shared_ptr<SimElement> Parent() const { return parent_.lock(); }
    // Still part of its document (not replaced through outerHTML).
    bool Attached() const;
    Variant Attribute(const std::string& name) const;
    // The attributes with lower-case names, in the order the markup or the page gave them.
    const std::vector<std::pair<std::string, Variant>>& Attributes() const { return attributes_; }
    void SetAttributeRaw(const std::string& name, const Variant& value);
    // The element's inline value of a CSS property ("" when not set inline).
    std::string InlineStyle(const std::string& property) const;
    // Whether the element would be seen: no "display:none" on it or above it, and its visibility, from its
    // inline style, else from the page's style sheets (by specificity, later sheets and rules winning
    // ties), else inherited, is not "hidden".
    bool IsVisible() const;
    std::string OuterHTML() const;
    std::string InnerText() const;
    void CollectElements(std::vector<std::shared_ptr<SimElement>>& out) const;
    std::shared_ptr<SimDocument> FrameDocument() const { return frameDocument_; }
    void SetFrameDocument(std::shared_ptr<SimDocument> document) { frameDocument_ = std::move(document); }

    std::vector<Child> children;

  private:
    friend class SimDocument;

    void CheckCall() const;
    // Makes this element the parent of its child elements, and each of them of theirs, down the tree.
    void LinkChildren();
    Variant Dimension(const char* attribute) const;
    std::shared_ptr<SimDocument> OwnerDocument() const;
    void WriteStyleAttribute();
    void ParseStyleAttribute(const std::string& text);
    std::string CascadedValue(const std::string& property) const;

    std::weak_ptr<SimDocument> document_;
    std::string tag_;
    std::weak_ptr<SimElement> parent_;
    std::vector<std::pair<std::string, Variant>> attributes_;
    std::vector<std::pair<std::string, std::string>> style_;
    std::shared_ptr<SimDocument> frameDocument_;
};

// A fixed list of elements (a snapshot taken when the list was asked for).
class SimCollection final : public ElementCollection {
  public:
    SimCollection(std::shared_ptr<Liveness> liveness, std::vector<std::shared_ptr<SimElement>> elements);

    // ElementCollection:
    std::int32_t Length() override;
    std::shared_ptr<Element> Item(std::int32_t index) override;
    std::shared_ptr<ElementCollection> Tags(const std::string& name) override;

  private:
    std::shared_ptr<Liveness> liveness_;
    std::vector<std::shared_ptr<SimElement>> elements_;
};

struct SimRule {
    std::string selector;
    std::vector<std::pair<std::string, std::string>> declarations;
};

class SimStyleSheet final : public StyleSheet {
  public:
    SimStyleSheet(std::shared_ptr<Liveness> liveness, std::shared_ptr<SimElement> owner);

    // StyleSheet:
    std::shared_ptr<Element> OwningElement() override;
    void AddRule(const std::string& selector, const std::string& style, std::int32_t index) override;

    // Control side.
    void ParseRules(const std::string& css);
    const std::vector<SimRule>& Rules() const { return rules_; }
    const std::shared_ptr<SimElement>& Owner() const { return owner_; }

  private:
    std::shared_ptr<Liveness> liveness_;
    std::shared_ptr<SimElement> owner_;
    std::vector<SimRule> rules_;
};

// The window of a simulated page or frame: where its client area stands on the screen, how large it is,
// and how wide its vertical scroll bar is.
class SimWindow final : public PageWindow, public std::enable_shared_from_this<SimWindow> {
  public:
    SimWindow(SimBrowserWorld& world, std::shared_ptr<Liveness> liveness);

    // PageWindow:
    const void* Identity() const override { return this; }
    std::shared_ptr<PageDocument> Document() override;
    std::int32_t ScreenLeft() override;
    std::int32_t ScreenTop() override;
    void SetTimeout(const std::string& code, std::int32_t milliseconds) override;
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<PageWindowEvents> sink) override;

    // Control side.
    void SetClientArea(std::int32_t screenLeft,
                       std::int32_t screenTop,
                       std::int32_t width,
                       std::int32_t height,
                       std::int32_t scrollBarWidth = 16);
    std::int32_t ClientWidth() const { return width_; }
    std::int32_t ClientHeight() const { return height_; }
    std::int32_t ScrollBarWidth() const { return scrollBarWidth_; }
    std::int32_t Left() const { return left_; }
    std::int32_t Top() const { return top_; }
    void FireBeforeUnload();
    std::shared_ptr<SimDocument> Doc() const { return document_.lock(); }
    // Reading the document from outside fails, as for a frame of another site.
    void SetForeign(bool foreign) { foreign_ = foreign; }
    bool Foreign() const { return foreign_; }

  private:
    friend class SimDocument;

    void CheckCall() const;

    SimBrowserWorld& world_;
    std::shared_ptr<Liveness> liveness_;
    std::weak_ptr<SimDocument> document_;
    std::int32_t left_ = 0;
    std::int32_t top_ = 0;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t scrollBarWidth_ = 16;
    bool foreign_ = false;
    SinkList<PageWindowEvents> sinks_;
};

// A simulated HTML document built from markup, with its window, its frames' documents (pages of the
// world's registry, of the same or another site), its style sheets and its events.
class SimDocument final : public PageDocument, public std::enable_shared_from_this<SimDocument> {
  public:
    // Builds the document for `url` from `html`. Inline frames get documents of their own from the world's
    // pages (an empty page where the world has none), marked foreign when their site differs.
    static std::shared_ptr<SimDocument> Create(SimBrowserWorld& world,
                                               std::shared_ptr<Liveness> liveness,
                                               const std::string& url,
                                               const std::string& html);
    SimDocument(SimBrowserWorld& world, std::shared_ptr<Liveness> liveness, std::string url);
    ~SimDocument() override;

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

    // Control side.
    const std::string& Url() const { return url_; }
    const std::shared_ptr<SimWindow>& Window() const { return window_; }
    std::shared_ptr<SimElement> Root() const { return root_; }
    std::shared_ptr<SimElement> BodyElement() const;
    std::shared_ptr<SimElement> ElementById(const std::string& id) const;
    std::vector<std::shared_ptr<SimElement>> ElementsByTag(const std::string& tag) const;
    std::vector<std::shared_ptr<SimElement>> AllElements() const;
    // The markup of the whole document as it stands now.
    std::string Markup() const;
    // The documents of the first-level frames, in document order.
    std::vector<std::shared_ptr<SimDocument>> FrameDocuments() const;
    const std::vector<std::shared_ptr<SimStyleSheet>>& Sheets() const { return sheets_; }
    // While false, Body() answers null, as for a page whose body has not been parsed yet.
    void SetHasBody(bool hasBody) { hasBody_ = hasBody; }
    // While loading, the page has no elements at all: All() is empty and Body() null.
    void SetLoading(bool loading) { loading_ = loading; }
    void FireActivate();
    void FirePropertyChange();
    // Runs page script: a script made only of the statements the page knows by itself (a Boolean
    // attribute set on the root element, the title assigned to itself; the input marker is such a
    // script) does what it does in a browser; other code goes to the world's script handler. Every
    // script run is recorded.
    void RunScript(const std::string& code);
    const std::vector<std::string>& ScriptsRun() const { return scriptsRun_; }
    std::size_t SinkCount() const { return sinks_.Count(); }
    SimBrowserWorld& World() const { return world_; }
    bool Alive() const { return liveness_->alive; }

    // Parses a fragment of markup into elements owned by this document.
    std::vector<SimElement::Child> ParseFragment(const std::string& html);

  private:
    friend class SimElement;
    friend class SimWindow;

    // Create, for a document shown in a frame of the documents at `framedBy` (from the top down).
    static std::shared_ptr<SimDocument> Build(SimBrowserWorld& world,
                                              std::shared_ptr<Liveness> liveness,
                                              const std::string& url,
                                              const std::string& html,
                                              std::vector<std::string> framedBy);
    void CheckCall() const;
    // Runs `code` when every statement in it is one the page knows by itself; false otherwise.
    bool RunBuiltInStatements(const std::string& code);
    void AttachFrames(const std::vector<std::shared_ptr<SimElement>>& elements);
    void CollectSheet(const std::shared_ptr<SimElement>& styleElement);

    SimBrowserWorld& world_;
    std::shared_ptr<Liveness> liveness_;
    std::string url_;
    // The addresses of the documents this one stands in a frame of, from the top down.
    std::vector<std::string> framedBy_;
    std::shared_ptr<SimWindow> window_;
    std::shared_ptr<SimElement> root_;
    std::vector<std::shared_ptr<SimStyleSheet>> sheets_;
    bool hasBody_ = true;
    bool loading_ = false;
    std::vector<std::string> scriptsRun_;
    SinkList<PageDocumentEvents> sinks_;
};

// The site of an address: scheme and host (with port), lower-cased; "" for addresses without one.
std::string SiteOf(const std::string& url);

}  // namespace qm::sim
