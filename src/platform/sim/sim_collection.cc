#include "platform/sim/sim_collection.h"

#include "base/text.h"
#include "platform/sim/sim_element.h"

namespace qm::sim {

SimCollection::SimCollection(std::shared_ptr<Liveness> liveness,
                             std::vector<std::shared_ptr<SimElement>> elements)
    : liveness_(std::move(liveness)), elements_(std::move(elements)) {}

std::int32_t SimCollection::Length() {
    if (!liveness_->alive) {
        throw kGone;
    }
    return static_cast<std::int32_t>(elements_.size());
}

std::shared_ptr<Element> SimCollection::Item(std::int32_t index) {
    if (!liveness_->alive) {
        throw kGone;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= elements_.size()) {
        return nullptr;
    }
    return elements_[static_cast<std::size_t>(index)];
}

std::shared_ptr<ElementCollection> SimCollection::Tags(const std::string& name) {
    if (!liveness_->alive) {
        throw kGone;
    }
    const std::string tag = ToUpperAscii(name);
    std::vector<std::shared_ptr<SimElement>> matching;
    for (const auto& element : elements_) {
        if (element->Tag() == tag) {
            matching.push_back(element);
        }
    }
    return std::make_shared<SimCollection>(liveness_, std::move(matching));
}

}  // namespace qm::sim
