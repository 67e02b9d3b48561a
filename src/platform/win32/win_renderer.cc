#include "platform/win32/win_renderer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/win32/win_window_classes.h"
#include "platform/win32/win_window_peer.h"

namespace qm::win {

Win32Renderer::Win32Renderer(Win32EventLoop& loop, std::string assetFolder)
    : loop_(loop), assetFolder_(std::move(assetFolder)) {
    WindowClasses::Register();

    const WindowDc screen(nullptr);
    const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
    twipsPerPixel_ = dpi > 0 ? std::max(1, 1440 / dpi) : kTwipsPerPixel;

    loop_.SetPreTranslate([this](MSG& msg) { return PreTranslate(msg); });
}

Win32Renderer::~Win32Renderer() {
    loop_.SetPreTranslate(nullptr);
}

std::unique_ptr<WindowPeer> Win32Renderer::CreatePeer(Form& form) {
    return std::make_unique<Win32WindowPeer>(*this, form);
}

bool Win32Renderer::PreTranslate(MSG& msg) {
    if (!msg.hwnd) {
        return false;
    }
    const HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    Win32WindowPeer* peer = PeerOf(root);
    if (!peer) {
        return false;
    }
    if (peer->HandleKey(msg)) {
        return true;
    }
    // Tab and the arrow keys move between the controls as in a dialog box.
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_TAB)) {
        return ::IsDialogMessageW(root, &msg) != FALSE;
    }
    return false;
}

void Win32Renderer::Register(HWND window, Win32WindowPeer* peer) {
    peers_[window] = peer;
}

void Win32Renderer::Unregister(HWND window) {
    peers_.erase(window);
}

Win32WindowPeer* Win32Renderer::PeerOf(HWND window) const {
    const auto found = peers_.find(window);
    return found == peers_.end() ? nullptr : found->second;
}

std::vector<HWND> Win32Renderer::TopLevelWindows() const {
    std::vector<HWND> windows;
    for (const auto& entry : peers_) {
        windows.push_back(entry.first);
    }
    return windows;
}

WindowAtPoint Win32Renderer::WindowFromPoint(ScreenPoint point) {
    const HWND hit = ::WindowFromPoint(POINT{point.x, point.y});
    if (!hit) {
        return {};
    }
    const HWND root = ::GetAncestor(hit, GA_ROOT);
    const Win32WindowPeer* peer = PeerOf(root);
    if (!peer || !::IsWindowVisible(root)) {
        return {};
    }
    WindowAtPoint result;
    result.form = &peer->GetForm();
    if (hit != root) {
        result.control = peer->ControlOf(hit);
    }
    return result;
}

HFONT Win32Renderer::FontFor(const FontSpec& font) {
    for (const auto& entry : fonts_) {
        if (entry.first == font) {
            return static_cast<HFONT>(entry.second.Get());
        }
    }
    const WindowDc screen(nullptr);
    const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    const int height = -static_cast<int>(std::lround(font.size * dpi / 72.0));
    const HFONT created =
        ::CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                      static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                      DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Widen(font.name).c_str());
    fonts_.emplace_back(font, UniqueGdiObject(created));
    return created;
}

HBITMAP Win32Renderer::PictureFor(const std::string& name) {
    const auto found = pictures_.find(name);
    if (found != pictures_.end()) {
        return static_cast<HBITMAP>(found->second.Get());
    }
    std::wstring resource;
    for (const char c : name) {
        resource.push_back(c == '.' ? L'_' : static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    }
    HANDLE picture =
        ::LoadImageW(::GetModuleHandleW(nullptr), resource.c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
    if (!picture) {
        picture = ::LoadImageW(nullptr, Widen(assetFolder_ + "\\" + name).c_str(), IMAGE_BITMAP, 0, 0,
                               LR_LOADFROMFILE);
    }
    pictures_.emplace(name, UniqueGdiObject(static_cast<HGDIOBJ>(picture)));
    return static_cast<HBITMAP>(picture);
}

std::int32_t Win32Renderer::TextHeight(const std::string& text,
                                       const FontSpec& font,
                                       std::int32_t widthPixels) {
    const WindowDc screen(nullptr);
    const SelectedObject selected(screen.Get(), FontFor(font));
    std::wstring wide = Widen(text);
    if (wide.empty()) {
        wide = L" ";
    }
    RECT r{0, 0, std::max<std::int32_t>(widthPixels, 1), 0};
    return ::DrawTextW(screen.Get(), wide.c_str(), static_cast<int>(wide.size()), &r,
                       DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
}

}  // namespace qm::win
