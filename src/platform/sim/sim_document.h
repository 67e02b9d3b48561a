#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_element.h"
#include "platform/sim/sim_liveness.h"
#include "ports/page_document.h"
#include "ports/sink_list.h"

namespace qm::sim {

class SimBrowserWorld;
class SimStyleSheet;
class SimWindow;

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
