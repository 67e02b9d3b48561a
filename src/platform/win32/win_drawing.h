#pragma once

#include <cstdint>
#include <string>

#include "platform/win32/win_api.h"

namespace qm::win {

// A colour of the program (0x00BBGGRR, or a system colour index with the top bit set) as a COLORREF.
COLORREF ToColorRef(std::uint32_t colour);

// Fills `rect` with a colour of the program.
void FillColour(HDC dc, const RECT& rect, std::uint32_t colour);

// Draws `picture` at its own size with its top-left corner at (x, y); a missing picture draws nothing.
void DrawPicture(HDC dc, HBITMAP picture, int x, int y);

// Draws `text` in `font` and a colour of the program over what is there, wrapped at spaces within
// `rect`; `format` adds DrawText's alignment and prefix flags.
void DrawWrappedText(HDC dc,
                     const std::string& text,
                     HFONT font,
                     std::uint32_t colour,
                     RECT rect,
                     UINT format);

}  // namespace qm::win
