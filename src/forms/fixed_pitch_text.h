#pragma once

#include <cstdint>
#include <string>

#include "forms/control.h"

namespace qm {

// Text measured as if every character had one width and every line one height, both taken from the
// font's size alone (at 96 dots per inch): the measurement of a screen without fonts, such as the
// simulated screen and the headless one. East Asian characters are twice as wide as the others. Pure
// functions; any UTF-8 text, valid or not, gives an answer.
struct FixedPitchText {
    // Pixels of one line: the font's size in pixels, rounded up, and 2 pixels of leading (13 for 8.25
    // points, 14 for 9).
    static std::int32_t LineHeight(const FontSpec& font);
    // Pixels of one narrow character: half the font's size in pixels, rounded up (6 for 8.25 and for 9).
    static std::int32_t CharWidth(const FontSpec& font);
    // The number of lines `text` takes within lines of at most `widthPixels`, as Renderer::TextHeight
    // breaks them: at spaces, between East Asian characters, at line feeds, and inside a word too long
    // for a line; every line holds at least one character.
    static std::int32_t LineCount(const std::string& text, const FontSpec& font, std::int32_t widthPixels);
    // LineCount lines of LineHeight.
    static std::int32_t TextHeight(const std::string& text, const FontSpec& font, std::int32_t widthPixels);
};

}  // namespace qm
