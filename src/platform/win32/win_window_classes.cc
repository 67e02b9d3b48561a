#include "platform/win32/win_window_classes.h"

#include "platform/win32/win_image_button_window.h"
#include "platform/win32/win_window_peer.h"

namespace qm::win {

void WindowClasses::Register() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowClasses::FormProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconW(instance, L"APPICON");
    wc.lpszClassName = kForm;
    ::RegisterClassExW(&wc);
    wc.lpfnWndProc = &WindowClasses::ImageButtonProc;
    wc.hIcon = nullptr;
    wc.lpszClassName = kImageButton;
    ::RegisterClassExW(&wc);
}

LRESULT CALLBACK WindowClasses::FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgDestroyLater) {
        ::DestroyWindow(hwnd);
        return 0;
    }
    auto* peer = reinterpret_cast<Win32WindowPeer*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!peer) {
        return msg == WM_CLOSE ? 0 : ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    return peer->OnMessage(hwnd, msg, wp, lp);
}

LRESULT CALLBACK WindowClasses::ImageButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* button = reinterpret_cast<ImageButtonWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!button) {
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    return button->OnMessage(msg, wp, lp);
}

}  // namespace qm::win
