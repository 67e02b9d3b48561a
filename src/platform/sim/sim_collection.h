#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_liveness.h"
#include "ports/element_collection.h"

namespace qm::sim {

class SimElement;

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

}  // namespace qm::sim
