#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/element_collection.h"
#include "ports/page_element.h"

namespace qm::cr {

class ChromiumElement;
class PageContext;

// A list of elements: everything below a document or element, possibly narrowed to one tag. A narrowed
// list is read whole at its first use: one call answers every element's tag, parent, size, src, href,
// inline position and visibility, and what the ad passes read of layers and frames (the text and the
// images of a layer positioned absolutely, a frame's window and whether its document may be read). The
// whole-document list answers its length alone and is read whole only when an item is asked for. Once
// read, the list is a snapshot.
class ChromiumCollection final : public ElementCollection {
  public:
    ChromiumCollection(std::shared_ptr<PageContext> context,
                       int scopeId,
                       std::string tag,
                       bool empty = false);

    // ElementCollection:
    std::int32_t Length() override;
    std::shared_ptr<Element> Item(std::int32_t index) override;
    std::shared_ptr<ElementCollection> Tags(const std::string& name) override;

    // What a batched read already told of the elements of tag `tag` below this scope: that list is
    // answered from it without a call.
    void SetKnownTagged(std::string tag, std::vector<int> ids) {
        knownTag_ = std::move(tag);
        knownIds_ = std::move(ids);
    }

  private:
    void Load();
    // The list as a batched read told it, without a call.
    void SetKnownItems(const std::vector<int>& ids);

    std::shared_ptr<PageContext> context_;
    int scopeId_;
    std::string tag_;
    bool empty_;
    std::optional<std::int32_t> count_;
    std::optional<std::vector<std::shared_ptr<ChromiumElement>>> items_;
    std::string knownTag_;
    std::vector<int> knownIds_;
};

}  // namespace qm::cr
