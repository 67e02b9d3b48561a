// The text rules that page addresses meet: the ad-address rule against a plain reference of its rule,
// and the grey "Ad" box, which a page's link address must never break out of: parsed back as the
// browser parses it, the box is always one link whose address is exactly the one given.

#include <gumbo.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "monitor/ad_remover.h"
#include "watch/ad_url.h"

namespace {

// The rule as written: lower-case the text, test the words in order, then walk the "ad"s.
bool ReferenceIsAd(std::string_view url) {
    std::string s(url);
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    const auto has = [&s](const char* word) { return s.find(word) != std::string::npos; };
    if (has("load") || has("advi")) {
        return false;
    }
    if (has("ads") || has("adv") || has("sponsor") || has("promot") || has("?ref")) {
        return true;
    }
    const auto letter = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 'a' && u <= 'z';
    };
    for (std::size_t p = s.find("ad"); p != std::string::npos; p = s.find("ad", p + 1)) {
        if (p == 0 || p + 2 == s.size()) {
            return true;
        }
        if (!letter(s[p - 1]) && !letter(s[p + 2])) {
            return true;
        }
    }
    return false;
}

// Whether the parser reads `text` back unchanged as an attribute value: valid UTF-8 without what the
// markup's input stream itself changes or this parser replaces (NUL, carriage return, the other control
// characters, non-characters).
bool SurvivesParsing(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0 || c == '\r') {
            return false;
        }
        std::size_t length = c < 0x80           ? 1
                             : (c >> 5) == 0x6  ? 2
                             : (c >> 4) == 0xE  ? 3
                             : (c >> 3) == 0x1E ? 4
                                                : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        std::uint32_t code = length == 1 ? c : c & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        const bool control =
            (code < 0x20 && code != '\t' && code != '\n' && code != '\f') || (code >= 0x7F && code <= 0x9F);
        const bool nonCharacter = (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE;
        if (control || nonCharacter) {
            return false;
        }
        i += length;
    }
    return true;
}

void CollectLinks(const GumboNode* node, std::vector<const GumboElement*>& links) {
    if (node->type != GUMBO_NODE_ELEMENT) {
        return;
    }
    const GumboElement& element = node->v.element;
    if (element.tag == GUMBO_TAG_A) {
        links.push_back(&element);
    }
    for (unsigned i = 0; i < element.children.length; ++i) {
        CollectLinks(static_cast<const GumboNode*>(element.children.data[i]), links);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(qm::IsAdUrl(text) == ReferenceIsAd(text));

    if (!SurvivesParsing(text)) {
        return 0;
    }
    const std::int32_t width = size > 0 ? 17 + data[0] : 468;
    const std::int32_t height = size > 1 ? 17 + data[size - 1] : 60;
    const std::string box = qm::BuildAdPlaceholder(width, height, std::string(text));
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, box.data(), box.size());
    std::vector<const GumboElement*> links;
    CollectLinks(output->root, links);
    FUZZ_CHECK(links.size() == 1);
    const GumboElement& link = *links.front();
    FUZZ_CHECK(link.attributes.length == 2);
    const GumboAttribute* href = gumbo_get_attribute(&link.attributes, "href");
    FUZZ_CHECK(href && std::string_view(href->value) == text);
    FUZZ_CHECK(gumbo_get_attribute(&link.attributes, "style") != nullptr);
    FUZZ_CHECK(link.children.length == 1);
    const auto* label = static_cast<const GumboNode*>(link.children.data[0]);
    FUZZ_CHECK(label->type == GUMBO_NODE_TEXT && std::strcmp(label->v.text.text, "Ad") == 0);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return 0;
}
