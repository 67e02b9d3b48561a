#include "platform/win32/win_image_button_window.h"

#include "forms/control.h"
#include "platform/win32/win_drawing.h"
#include "platform/win32/win_handles.h"
#include "platform/win32/win_renderer.h"
#include "platform/win32/win_window_peer.h"

namespace qm::win {

ImageButtonWindow::ImageButtonWindow(HWND window,
                                     Win32WindowPeer& peer,
                                     Control& control,
                                     Win32Renderer& renderer)
    : window_(window), peer_(peer), control_(control), renderer_(renderer) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ImageButtonWindow::~ImageButtonWindow() {
    // The window may outlive this object for a moment (it goes with its form): it answers as a bare
    // window until then.
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
}

LRESULT ImageButtonWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETCURSOR:
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            Mouse(msg, wp, lp);  // may end this object: nothing of it is used after
            return 0;
        default:
            return ::DefWindowProcW(window_, msg, wp, lp);
    }
}

void ImageButtonWindow::Paint() {
    const PaintDc paint(window_);
    const HDC dc = paint.Get();
    RECT client{};
    ::GetClientRect(window_, &client);
    FillColour(dc, client, control_.HasBackColor() ? control_.BackColor() : kWhite);
    // The light and the caption stand at fixed places in twips, whatever the window's scale unit.
    const int tpp = renderer_.TwipsPerPixel();
    if (!control_.Picture().empty()) {
        DrawPicture(dc, renderer_.PictureFor(control_.Picture()), 0, 30 / tpp);
    }
    RECT text = client;
    text.left = 240 / tpp;
    DrawWrappedText(dc, control_.Caption(), renderer_.FontFor(control_.Font()), control_.ForeColor(), text,
                    DT_NOPREFIX);
}

void ImageButtonWindow::Mouse(UINT msg, WPARAM wp, LPARAM lp) {
    const POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    bool inside = false;
    if (msg == WM_LBUTTONDOWN) {
        ::SetCapture(window_);
    } else if (msg == WM_LBUTTONUP) {
        ::ReleaseCapture();
        RECT client{};
        ::GetClientRect(window_, &client);
        inside = ::PtInRect(&client, p) != FALSE;
    }
    peer_.FireMouse(control_, msg, wp, p, inside);
}

}  // namespace qm::win
