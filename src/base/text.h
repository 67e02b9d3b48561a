#pragma once

#include <string>
#include <string_view>

namespace qm {

// Texts in the core are UTF-8. Every rule of the program that looks at single characters compares ASCII
// characters only, and a UTF-8 text holds an ASCII byte exactly where its UTF-16 form holds the same
// ASCII code unit, with every other byte above 0x7F; so these helpers give the same answers on UTF-8 as
// the rules give on UTF-16.

constexpr bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Lower-cases (upper-cases) the ASCII letters and leaves every other byte as it is.
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Drops leading and trailing spaces and tabs.
std::string_view TrimSpaces(std::string_view text);
// Drops leading and trailing ASCII white space (space, tab, line feed, carriage return, form feed,
// vertical tab), as markup and style sheets read it.
std::string_view TrimAsciiWhitespace(std::string_view text);

bool Contains(std::string_view text, std::string_view part);

// Markup-safe forms of a text: in an attribute value written between double quotes ("&", """, "<" and
// ">" escaped), and as element content ("&", "<" and ">" escaped).
std::string EscapeHtmlAttribute(std::string_view text);
std::string EscapeHtmlText(std::string_view text);

}  // namespace qm
