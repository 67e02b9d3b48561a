#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/sim_liveness.h"
#include "ports/style_sheet.h"

namespace qm::sim {

class SimElement;

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

// The declarations of an inline style or of a rule's body ("name: value; ..."), names lower-cased and
// both sides trimmed; a name declared again replaces its earlier declaration.
std::vector<std::pair<std::string, std::string>> ParseDeclarations(std::string_view text);

}  // namespace qm::sim
