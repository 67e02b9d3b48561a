#include "platform/sim/sim_style_sheet.h"

#include "base/text.h"
#include "platform/sim/sim_element.h"

namespace qm::sim {

namespace {

std::string Trim(std::string_view text) {
    return std::string(TrimAsciiWhitespace(text));
}

// The style sheet text without its comments; a comment left open runs to the end.
std::string WithoutComments(const std::string& css) {
    std::string text = css;
    for (std::size_t open = text.find("/*"); open != std::string::npos; open = text.find("/*")) {
        const std::size_t close = text.find("*/", open + 2);
        text.erase(open, close == std::string::npos ? std::string::npos : close + 2 - open);
    }
    return text;
}

// The selectors of a comma-separated list that heads a rule, trimmed, the empty ones dropped.
std::vector<std::string> SplitSelectorList(std::string_view selectors) {
    std::vector<std::string> out;
    std::size_t from = 0;
    while (from <= selectors.size()) {
        std::size_t comma = selectors.find(',', from);
        if (comma == std::string_view::npos) {
            comma = selectors.size();
        }
        if (std::string selector = Trim(selectors.substr(from, comma - from)); !selector.empty()) {
            out.push_back(std::move(selector));
        }
        from = comma + 1;
    }
    return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ParseDeclarations(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view item = text.substr(start, end - start);
        if (const std::size_t colon = item.find(':'); colon != std::string_view::npos) {
            std::string name = ToLowerAscii(Trim(item.substr(0, colon)));
            std::string value = Trim(item.substr(colon + 1));
            if (!name.empty()) {
                std::erase_if(out, [&](const auto& d) { return d.first == name; });
                out.emplace_back(std::move(name), std::move(value));
            }
        }
        start = end + 1;
    }
    return out;
}

SimStyleSheet::SimStyleSheet(std::shared_ptr<Liveness> liveness, std::shared_ptr<SimElement> owner)
    : liveness_(std::move(liveness)), owner_(std::move(owner)) {}

std::shared_ptr<Element> SimStyleSheet::OwningElement() {
    if (!liveness_->alive) {
        throw kGone;
    }
    return owner_;
}

void SimStyleSheet::AddRule(const std::string& selector, const std::string& style, std::int32_t index) {
    if (!liveness_->alive) {
        throw kGone;
    }
    SimRule rule{Trim(selector), ParseDeclarations(style)};
    if (index < 0 || static_cast<std::size_t>(index) >= rules_.size()) {
        rules_.push_back(std::move(rule));
    } else {
        rules_.insert(rules_.begin() + index, std::move(rule));
    }
}

void SimStyleSheet::ParseRules(const std::string& css) {
    const std::string text = WithoutComments(css);
    std::size_t start = 0;
    while (true) {
        const std::size_t open = text.find('{', start);
        if (open == std::string::npos) {
            break;
        }
        const std::size_t close = text.find('}', open);
        const std::string_view body = std::string_view(text).substr(
            open + 1, (close == std::string::npos ? text.size() : close) - open - 1);
        for (std::string& selector : SplitSelectorList(std::string_view(text).substr(start, open - start))) {
            rules_.push_back({std::move(selector), ParseDeclarations(body)});
        }
        if (close == std::string::npos) {
            break;
        }
        start = close + 1;
    }
}

}  // namespace qm::sim
