#include "platform/win32/win_tray_icon.h"

#include <algorithm>

#include "base/callback_boundary.h"
#include "base/platform_error.h"

namespace qm::win {

namespace {

constexpr wchar_t kTrayWindowClass[] = L"QuillmereTrayIcon";

// "quillmere.ico" is the resource QUILLMERE_ICO.
std::wstring ResourceName(const std::string& asset) {
    std::wstring name;
    for (const char c : asset) {
        name.push_back(c == '.' ? L'_' : static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    }
    return name;
}

}  // namespace

Win32TrayIcon::Win32TrayIcon(std::string assetFolder) : assetFolder_(std::move(assetFolder)) {
    RegisterHiddenWindowClass(kTrayWindowClass, &Win32TrayIcon::WndProc);
    // A top-level window, never shown: only top-level windows hear the taskbar's broadcast.
    window_.Reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kTrayWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr));
    if (!window_) {
        ThrowLastError("CreateWindowExW");
    }
    ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
}

Win32TrayIcon::~Win32TrayIcon() {
    Remove();
    ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
}

int Win32TrayIcon::ButtonOf(UINT mouseMessage) {
    switch (mouseMessage) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return 1;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            return 2;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            return 4;
        default:
            return 0;
    }
}

HICON Win32TrayIcon::IconFor(const std::string& name) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const int cx = ::GetSystemMetrics(SM_CXSMICON);
    const int cy = ::GetSystemMetrics(SM_CYSMICON);
    HANDLE icon = ::LoadImageW(instance, ResourceName(name).c_str(), IMAGE_ICON, cx, cy, 0);
    if (!icon) {
        // The program's window icon is the same picture.
        icon = ::LoadImageW(instance, L"APPICON", IMAGE_ICON, cx, cy, 0);
    }
    if (!icon) {
        icon = ::LoadImageW(nullptr, Widen(assetFolder_ + "\\" + name).c_str(), IMAGE_ICON, cx, cy,
                            LR_LOADFROMFILE);
    }
    if (!icon) {
        // Some picture rather than an empty place in the notification area.
        return ::LoadIconW(nullptr, IDI_APPLICATION);
    }
    icon_.Reset(static_cast<HICON>(icon));
    return icon_.Get();
}

bool Win32TrayIcon::Notify(DWORD action) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_.Get();
    data.uID = kIconId;
    if (action != NIM_DELETE) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = kCallbackMessage;
        data.hIcon = icon_ ? icon_.Get() : ::LoadIconW(nullptr, IDI_APPLICATION);
        // The tip is cut to what the record holds, always ending with a NUL.
        const std::size_t length = std::min(tooltip_.size(), std::size(data.szTip) - 1);
        std::copy_n(tooltip_.data(), length, data.szTip);
        data.szTip[length] = L'\0';
    }
    return ::Shell_NotifyIconW(action, &data) != FALSE;
}

void Win32TrayIcon::Show(const std::string& icon, const std::string& tooltip, ButtonHandler onButton) {
    if (icon != iconName_ || !icon_) {
        IconFor(icon);
        iconName_ = icon;
    }
    tooltip_ = Widen(tooltip);
    onButton_ = std::make_shared<ButtonHandler>(std::move(onButton));
    wanted_ = true;
    if (up_ && Notify(NIM_MODIFY)) {
        return;
    }
    up_ = Notify(NIM_ADD);
    if (!up_) {
        const DWORD error = ::GetLastError();
        // No taskbar yet (early after log-on): the icon goes up when the taskbar announces itself.
        if (!::FindWindowW(L"Shell_TrayWnd", nullptr)) {
            return;
        }
        wanted_ = false;
        ThrowError(error != 0 ? error : static_cast<DWORD>(E_FAIL), "Shell_NotifyIconW");
    }
}

void Win32TrayIcon::Remove() {
    wanted_ = false;
    if (up_) {
        Notify(NIM_DELETE);
        up_ = false;
    }
}

LRESULT CALLBACK Win32TrayIcon::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32TrayIcon*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) {
        if (msg == kCallbackMessage && wp == kIconId) {
            const int button = ButtonOf(static_cast<UINT>(lp));
            if (button != 0 && self->wanted_ && self->onButton_ && *self->onButton_) {
                const std::shared_ptr<ButtonHandler> handler = self->onButton_;
                RunHandler("tray icon click", [&] { (*handler)(button, static_cast<int>(kIconId)); });
            }
            return 0;
        }
        if (msg == self->taskbarCreated_ && self->taskbarCreated_ != 0) {
            // A new taskbar knows no icons: put ours up again.
            if (self->wanted_) {
                self->up_ = self->Notify(NIM_ADD);
            }
            return 0;
        }
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace qm::win
