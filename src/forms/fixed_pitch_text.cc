#include "forms/fixed_pitch_text.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qm {

namespace {

constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr std::int32_t kLeading = 2;

// The code points of a UTF-8 text; a byte that starts no valid sequence stands for itself.
std::vector<char32_t> CodePoints(const std::string& text) {
    std::vector<char32_t> points;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        char32_t point = lead;
        if (lead >= 0xC0 && lead < 0xE0) {
            length = 2;
            point = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            length = 3;
            point = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF8) {
            length = 4;
            point = lead & 0x07;
        }
        bool valid = length == 1 || i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        if (!valid) {
            length = 1;
            point = lead;
        }
        points.push_back(point);
        i += length;
    }
    return points;
}

bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000;
}

// Lines of one paragraph (a text without line feeds), filled greedily word by word.
std::int32_t ParagraphLines(const std::vector<char32_t>& text,
                            std::int32_t charWidth,
                            std::int32_t maxWidth) {
    std::int32_t lines = 1;
    std::int32_t x = 0;             // pixels used on the current line
    std::int32_t pendingSpace = 0;  // pixels of the spaces before the next word
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == U' ') {
            pendingSpace += charWidth;
            ++i;
            continue;
        }
        // The next word: one East Asian character, or a run of other characters.
        std::int32_t chars = 1;
        std::int32_t wordWidth = 0;
        if (IsWide(text[i])) {
            wordWidth = 2 * charWidth;
            ++i;
        } else {
            std::size_t end = i;
            while (end < text.size() && text[end] != U' ' && !IsWide(text[end])) {
                ++end;
            }
            chars = static_cast<std::int32_t>(end - i);
            wordWidth = chars * charWidth;
            i = end;
        }
        if (x > 0 && x + pendingSpace + wordWidth <= maxWidth) {
            x += pendingSpace + wordWidth;
        } else {
            // Spaces at a line's start count; spaces where it breaks do not.
            const std::int32_t lead = x == 0 ? pendingSpace : 0;
            if (x > 0) {
                ++lines;
            }
            if (lead + wordWidth <= maxWidth) {
                x = lead + wordWidth;
            } else {
                // Too long for a line of its own: broken between characters, at least one a line.
                const std::int32_t perChar = wordWidth / chars;
                const std::int32_t perLine = std::max<std::int32_t>(1, maxWidth / perChar);
                const std::int32_t full = (chars - 1) / perLine;
                lines += full;
                x = (chars - full * perLine) * perChar;
            }
        }
        pendingSpace = 0;
    }
    return lines;
}

}  // namespace

std::int32_t FixedPitchText::LineHeight(const FontSpec& font) {
    return static_cast<std::int32_t>(std::ceil(std::max(font.size, 0.0) * kPixelsPerPoint)) + kLeading;
}

std::int32_t FixedPitchText::CharWidth(const FontSpec& font) {
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::ceil(font.size * kPixelsPerPoint / 2)));
}

std::int32_t FixedPitchText::LineCount(const std::string& text,
                                       const FontSpec& font,
                                       std::int32_t widthPixels) {
    const std::int32_t charWidth = CharWidth(font);
    std::int32_t lines = 0;
    std::vector<char32_t> paragraph;
    for (const char32_t c : CodePoints(text)) {
        if (c == U'\n') {
            lines += ParagraphLines(paragraph, charWidth, widthPixels);
            paragraph.clear();
        } else if (c != U'\r') {
            paragraph.push_back(c);
        }
    }
    return lines + ParagraphLines(paragraph, charWidth, widthPixels);
}

std::int32_t FixedPitchText::TextHeight(const std::string& text,
                                        const FontSpec& font,
                                        std::int32_t widthPixels) {
    return LineCount(text, font, widthPixels) * LineHeight(font);
}

}  // namespace qm
