#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "forms/renderer.h"
#include "platform/win32/win_drawing.h"
#include "platform/win32/win_event_loop.h"
#include "platform/win32/win_handles.h"

namespace qm::win {

class Win32WindowPeer;

// The program's windows as real Win32 windows: one top-level window per loaded form with a renderer, a
// standard control (BUTTON, EDIT, LISTBOX) for each control that has a window of its own, labels and
// images drawn with GDI into the form, the image button as a small window class of its own. Pictures
// come from the program's resources (named after the asset: "light_out.bmp" is LIGHT_OUT_BMP) or,
// failing that, from the file of that name in the program's folder.
class Win32Renderer final : public Renderer {
  public:
    // `assetFolder`: where pictures are looked for when the resources lack them.
    Win32Renderer(Win32EventLoop& loop, std::string assetFolder);
    ~Win32Renderer() override;

    // Renderer:
    std::unique_ptr<WindowPeer> CreatePeer(Form& form) override;
    WindowAtPoint WindowFromPoint(ScreenPoint point) override;
    std::int32_t TextHeight(const std::string& text, const FontSpec& font, std::int32_t widthPixels) override;

    // Shared by the peers.
    HFONT FontFor(const FontSpec& font);
    HBITMAP PictureFor(const std::string& name);
    int TwipsPerPixel() const { return twipsPerPixel_; }
    Win32EventLoop& Loop() const { return loop_; }
    void Register(HWND window, Win32WindowPeer* peer);
    void Unregister(HWND window);
    Win32WindowPeer* PeerOf(HWND window) const;
    std::vector<HWND> TopLevelWindows() const;

  private:
    bool PreTranslate(MSG& msg);

    Win32EventLoop& loop_;
    std::string assetFolder_;
    int twipsPerPixel_ = 15;
    std::vector<std::pair<FontSpec, UniqueGdiObject>> fonts_;
    std::map<std::string, UniqueGdiObject> pictures_;
    std::map<HWND, Win32WindowPeer*> peers_;
};

}  // namespace qm::win
