#include "platform/win32/win_drawing.h"

#include "platform/win32/win_handles.h"

namespace qm::win {

COLORREF ToColorRef(std::uint32_t colour) {
    if (colour & 0x80000000u) {
        return ::GetSysColor(static_cast<int>(colour & 0xFF));
    }
    return static_cast<COLORREF>(colour & 0xFFFFFF);
}

void FillColour(HDC dc, const RECT& rect, std::uint32_t colour) {
    const UniqueGdiObject brush(::CreateSolidBrush(ToColorRef(colour)));
    ::FillRect(dc, &rect, static_cast<HBRUSH>(brush.Get()));
}

void DrawPicture(HDC dc, HBITMAP picture, int x, int y) {
    if (!picture) {
        return;
    }
    BITMAP info{};
    ::GetObjectW(picture, sizeof info, &info);
    const UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    const SelectedObject selected(memory.Get(), picture);
    ::BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
}

void DrawWrappedText(HDC dc,
                     const std::string& text,
                     HFONT font,
                     std::uint32_t colour,
                     RECT rect,
                     UINT format) {
    const SelectedObject selected(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ToColorRef(colour));
    const std::wstring wide = Widen(text);
    ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect,
                DT_WORDBREAK | DT_EDITCONTROL | format);
}

}  // namespace qm::win
