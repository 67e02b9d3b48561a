#include "platform/sim/sim_selector.h"

#include <algorithm>
#include <memory>

#include "base/text.h"
#include "base/variant.h"
#include "platform/sim/sim_element.h"

namespace qm::sim {

namespace {

// The characters that separate the names of a "class" attribute, and the parts of a selector.
constexpr std::string_view kMarkupWhitespace = " \t\n\f\r";

// Splits `text` at runs of markup white space, dropping empty pieces.
std::vector<std::string_view> SplitAtWhitespace(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t start = text.find_first_not_of(kMarkupWhitespace);
    while (start != std::string_view::npos) {
        const std::size_t end = text.find_first_of(kMarkupWhitespace, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        start = end == std::string_view::npos ? end : text.find_first_not_of(kMarkupWhitespace, end);
    }
    return pieces;
}

}  // namespace

SimSelector::SimSelector(std::string_view text) {
    for (const std::string_view token : SplitAtWhitespace(text)) {
        parts_.push_back(ParseCompound(token));
    }
}

SimSelector::Part SimSelector::ParseCompound(std::string_view token) {
    Part part;
    char kind = 't';
    std::string current;
    const auto commit = [&] {
        if (kind == 't') {
            part.tag = current == "*" ? "" : ToUpperAscii(current);
        } else if (kind == '#') {
            part.id = current;
        } else if (!current.empty()) {
            part.classes.push_back(current);
        }
        current.clear();
    };
    for (const char c : token) {
        if (c == '#' || c == '.') {
            commit();
            kind = c;
        } else {
            current += c;
        }
    }
    commit();
    return part;
}

int SimSelector::Specificity() const {
    int result = 0;
    for (const Part& part : parts_) {
        result += (part.id.empty() ? 0 : 100) + 10 * static_cast<int>(part.classes.size()) +
                  (part.tag.empty() ? 0 : 1);
    }
    return result;
}

bool SimSelector::MatchesPart(const SimElement& element, const Part& part) {
    if (!part.tag.empty() && element.Tag() != part.tag) {
        return false;
    }
    if (!part.id.empty() && VariantToText(element.Attribute("id")) != part.id) {
        return false;
    }
    if (part.classes.empty()) {
        return true;
    }
    const std::string classAttribute = VariantToText(element.Attribute("class"));
    const std::vector<std::string_view> names = SplitAtWhitespace(classAttribute);
    return std::all_of(part.classes.begin(), part.classes.end(), [&](const std::string& wanted) {
        return std::find(names.begin(), names.end(), wanted) != names.end();
    });
}

bool SimSelector::Matches(const SimElement& element) const {
    if (parts_.empty() || !MatchesPart(element, parts_.back())) {
        return false;
    }
    // Descendant combinators, matched greedily from the nearest ancestor up: taking the nearest ancestor
    // that fits a part leaves the most room above it for the parts before.
    std::shared_ptr<SimElement> ancestor = element.Parent();
    for (std::size_t i = parts_.size() - 1; i-- > 0;) {
        while (ancestor && !MatchesPart(*ancestor, parts_[i])) {
            ancestor = ancestor->Parent();
        }
        if (!ancestor) {
            return false;
        }
        ancestor = ancestor->Parent();
    }
    return true;
}

}  // namespace qm::sim
