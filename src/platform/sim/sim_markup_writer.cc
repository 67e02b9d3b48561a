#include "platform/sim/sim_markup_writer.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "base/text.h"
#include "base/variant.h"
#include "platform/sim/sim_element.h"

namespace qm::sim {

namespace {

// Elements that never have content, and so no end tag.
bool IsVoidTag(const std::string& tag) {
    static constexpr std::string_view kVoid[] = {"AREA",  "BASE",  "BASEFONT", "BGSOUND", "BR",    "COL",
                                                 "EMBED", "FRAME", "HR",       "IMG",     "INPUT", "KEYGEN",
                                                 "LINK",  "META",  "PARAM",    "SOURCE",  "TRACK", "WBR"};
    return std::find(std::begin(kVoid), std::end(kVoid), tag) != std::end(kVoid);
}

// Elements whose text the parser keeps as written, character references and "<" included; their text
// goes out unescaped so that parsing the markup again gives the same text.
bool HasRawText(const std::string& tag) {
    static constexpr std::string_view kRaw[] = {"SCRIPT",  "STYLE",    "XMP",      "IFRAME",
                                                "NOEMBED", "NOFRAMES", "PLAINTEXT"};
    return std::find(std::begin(kRaw), std::end(kRaw), tag) != std::end(kRaw);
}

}  // namespace

std::string SimMarkupWriter::OuterHtml(const SimElement& element) {
    SimMarkupWriter writer;
    writer.Write(element);
    return std::move(writer.markup_);
}

void SimMarkupWriter::Write(const SimElement& element) {
    WriteStartTag(element);
    if (IsVoidTag(element.Tag())) {
        return;
    }
    WriteContent(element);
    markup_ += "</" + ToLowerAscii(element.Tag()) + ">";
}

void SimMarkupWriter::WriteStartTag(const SimElement& element) {
    markup_ += "<" + ToLowerAscii(element.Tag());
    for (const auto& [name, value] : element.Attributes()) {
        markup_ += " " + name + "=\"" + EscapeHtmlAttribute(VariantToText(value)) + "\"";
    }
    markup_ += ">";
}

void SimMarkupWriter::WriteContent(const SimElement& element) {
    const bool rawText = HasRawText(element.Tag());
    for (const auto& child : element.children) {
        if (child.element) {
            Write(*child.element);
        } else {
            markup_ += rawText ? child.text : EscapeHtmlText(child.text);
        }
    }
}

}  // namespace qm::sim
