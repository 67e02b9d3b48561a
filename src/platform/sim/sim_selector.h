#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm::sim {

class SimElement;

// A selector of a simulated page's style sheet: compound parts (a tag or "*", an #id, .classes) joined
// by descendant combinators, as in "div.banner a img". Tags match whatever their case; ids and class
// names match exactly, a class against any of the white-space separated names of the element's "class"
// attribute. Anything else a browser knows (child and sibling combinators, attribute selectors,
// pseudo-classes) leaves a part that matches no element, so such a rule never applies rather than
// applying where a browser would not.
class SimSelector {
  public:
    explicit SimSelector(std::string_view text);

    // The weight of the selector in the cascade: 100 for each id, 10 for each class and 1 for each tag
    // over all its parts. Of two matching rules the weightier wins; on a tie, the later one.
    int Specificity() const;
    // Whether `element` is what the selector names: the last part matches the element itself, and every
    // part before it matches one of its ancestors, in order from the root down.
    bool Matches(const SimElement& element) const;

  private:
    struct Part {
        std::string tag;  // upper case, "" for any
        std::string id;
        std::vector<std::string> classes;
    };

    static Part ParseCompound(std::string_view token);
    static bool MatchesPart(const SimElement& element, const Part& part);

    std::vector<Part> parts_;
};

}  // namespace qm::sim
