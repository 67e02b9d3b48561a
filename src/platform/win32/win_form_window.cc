#include "platform/win32/win_form_window.h"

#include <cstdint>
#include <vector>

#include "forms/form.h"
#include "forms/region.h"
#include "platform/win32/win_window_classes.h"

namespace qm::win {

namespace {

struct FrameStyle {
    DWORD style = WS_CLIPCHILDREN;
    DWORD exStyle = 0;
};

FrameStyle FrameStyleFor(BorderStyle border) {
    FrameStyle frame;
    switch (border) {
        case BorderStyle::None:
            frame.style |= WS_POPUP;
            frame.exStyle |= WS_EX_TOOLWINDOW;
            break;
        case BorderStyle::FixedSingle:
            frame.style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
            break;
        case BorderStyle::FixedDialog:
            frame.style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
            frame.exStyle |= WS_EX_DLGMODALFRAME;
            break;
    }
    return frame;
}

}  // namespace

FormWindow::FormWindow(const Form& form, int twipsPerPixel, void* owner) {
    const FrameStyle frame = FrameStyleFor(form.Border());
    const int tpp = twipsPerPixel;
    const SIZE outer = OuterSize(frame.style, frame.exStyle, static_cast<int>(form.Width() / tpp),
                                 static_cast<int>(form.Height() / tpp));
    window_ =
        ::CreateWindowExW(frame.exStyle, WindowClasses::kForm, Widen(form.Caption()).c_str(), frame.style,
                          static_cast<int>(form.Left() / tpp), static_cast<int>(form.Top() / tpp), outer.cx,
                          outer.cy, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!window_) {
        ThrowLastError("CreateWindowExW");
    }
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
}

FormWindow::~FormWindow() {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::ShowWindow(window_, SW_HIDE);
    if (!::PostMessageW(window_, WindowClasses::kMsgDestroyLater, 0, 0)) {
        ::DestroyWindow(window_);
    }
}

SIZE FormWindow::OuterSize(DWORD style, DWORD exStyle, int width, int height) {
    RECT r{0, 0, width, height};
    if (!::AdjustWindowRectEx(&r, style, FALSE, exStyle)) {
        return SIZE{width, height};
    }
    return SIZE{r.right - r.left, r.bottom - r.top};
}

SIZE FormWindow::OuterSize(int width, int height) const {
    return OuterSize(static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE)),
                     static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_EXSTYLE)), width, height);
}

void FormWindow::SetRegion(const std::optional<Region>& region) {
    if (!region) {
        ::SetWindowRgn(window_, nullptr, TRUE);
        return;
    }
    const std::vector<std::uint8_t> data = region->ToRegionData();
    const HRGN rgn = ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                       reinterpret_cast<const RGNDATA*>(data.data()));
    if (!rgn) {
        return;
    }
    // The window owns the region from here on.
    if (!::SetWindowRgn(window_, rgn, TRUE)) {
        ::DeleteObject(rgn);
    }
}

}  // namespace qm::win
