#include "platform/win32/win_window_classes.h"

#include <string>

#include "base/callback_boundary.h"
#include "forms/control.h"
#include "platform/win32/win_image_button_window.h"
#include "platform/win32/win_window_peer.h"

namespace qm::win {

namespace {

// The answer to a message whose handler failed (and was reported): the message counts as handled. A
// failed paint still validates the window, or the system would ask for it again at once, forever.
LRESULT Failed(HWND hwnd, UINT msg) {
    if (msg == WM_PAINT) {
        ::ValidateRect(hwnd, nullptr);
    }
    return 0;
}

// The name a failure of the form's handler is reported under: a control's click for a command from one
// of its controls, else the window's message handling. Worked out before the handler runs, which may
// end the window.
std::string HandlerName(const Win32WindowPeer& peer, UINT msg, LPARAM lp) {
    if (msg == WM_COMMAND && lp != 0) {
        if (const Control* control = peer.ControlOf(reinterpret_cast<HWND>(lp))) {
            return control->Name() + "_Click";
        }
    }
    return "window message";
}

}  // namespace

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
    LRESULT result = 0;
    if (!RunHandler(HandlerName(*peer, msg, lp), [&] { result = peer->OnMessage(hwnd, msg, wp, lp); })) {
        return Failed(hwnd, msg);
    }
    return result;
}

LRESULT CALLBACK WindowClasses::ImageButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* button = reinterpret_cast<ImageButtonWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!button) {
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    LRESULT result = 0;
    if (!RunHandler("image button message", [&] { result = button->OnMessage(msg, wp, lp); })) {
        return Failed(hwnd, msg);
    }
    return result;
}

}  // namespace qm::win
