#pragma once

#include <string>

namespace qm::sim {

class SimElement;

// Writes simulated elements back as markup, as a browser serialises an element for outerHTML: tag names
// in lower case, attributes in their order with their values between double quotes, no end tag for a
// void element (img, br, input...), and text escaped, except inside the elements whose content the
// parser takes as it stands (script, style, iframe...), where escaping would change the text on every
// round trip through the parser.
class SimMarkupWriter {
  public:
    // The markup of `element` and everything in it.
    static std::string OuterHtml(const SimElement& element);

    void Write(const SimElement& element);
    const std::string& Markup() const { return markup_; }

  private:
    void WriteStartTag(const SimElement& element);
    void WriteContent(const SimElement& element);

    std::string markup_;
};

}  // namespace qm::sim
