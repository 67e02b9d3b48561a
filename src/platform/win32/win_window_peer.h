#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "forms/window_peer.h"
#include "platform/win32/win_api.h"
#include "platform/win32/win_form_window.h"
#include "platform/win32/win_image_button_window.h"

namespace qm {
class Control;
class Form;
}  // namespace qm

namespace qm::win {

class Win32Renderer;

// The Win32 side of one loaded window: its form window, a standard control (BUTTON, EDIT, LISTBOX) or an
// image button for each control that has a window of its own, labels and images drawn into the form,
// and the copying of the controls' properties to their windows and of the user's input back.
class Win32WindowPeer final : public WindowPeer {
  public:
    Win32WindowPeer(Win32Renderer& renderer, Form& form);
    ~Win32WindowPeer() override;

    // WindowPeer:
    void FormChanged() override;
    void ControlChanged(const Control& control) override;
    void Show(ShowStyle style) override;
    void Hide() override;
    void SetRegion(const std::optional<Region>& region) override;

    HWND Window() const { return window_.Get(); }
    Form& GetForm() const { return form_; }
    const Control* ControlOf(HWND child) const;
    // Enter and Esc anywhere in the window go to the window itself.
    bool HandleKey(MSG& msg);

    // The form window's messages, from its window procedure.
    LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // Raises the mouse events of `control` for a move, press or release at `local` (pixels from the
    // control's top-left corner); a release raises Click too when it came `inside` the control.
    void FireMouse(Control& control, UINT msg, WPARAM wp, POINT local, bool inside);

  private:
    struct Child {
        Control* control = nullptr;
        HWND window = nullptr;  // null for the controls drawn into the form
        RECT drawnAt{};         // where a drawn control was last drawn
        std::vector<std::string> items;
        std::unique_ptr<ImageButtonWindow> imageButton;
    };

    // While one lives, the peer is copying between a control and its window: the notifications that the
    // copying itself raises, from either side, are not the user's doing and are not passed on.
    class SyncScope {
      public:
        explicit SyncScope(Win32WindowPeer& peer)
            : flag_(peer.syncing_), before_(std::exchange(peer.syncing_, true)) {}
        SyncScope(const SyncScope&) = delete;
        SyncScope& operator=(const SyncScope&) = delete;
        ~SyncScope() { flag_ = before_; }

      private:
        bool& flag_;
        const bool before_;
    };

    int ToPixels(double units) const;
    double FromPixels(int pixels) const;
    RECT RectOf(const Control& control) const;
    SIZE FormOuterSize() const;
    Child* ChildOf(const Control& control);
    Child* ChildOfWindow(HWND window);
    Control* DrawnControlAt(POINT p);

    void MakeChild(Control& control);

    // The control's properties onto its window: those every window has, then those of its kind.
    void UpdateChild(Child& child);
    void UpdateDrawn(Child& child);
    static void UpdateCaption(HWND window, const Control& control);
    static void UpdateCommandButton(HWND window, const Control& control);
    static void UpdateCheckButton(HWND window, const Control& control);
    static void UpdateListBox(Child& child);

    void PlaceOnFirstShow();
    void ShowModal();

    void Paint();
    void PaintDrawnControl(HDC dc, const Control& control);

    // The user's input: the controls' notifications, one function a kind, and the mouse over the form.
    void OnCommand(HWND childWindow, int code);
    void ReadCheckButton(HWND window, Control& control);
    void ReadTextBox(HWND window, Control& control);
    void ReadListBox(HWND window, Control& control);
    void OnMouse(UINT msg, WPARAM wp, LPARAM lp);
    void OnSetCursor();
    HBRUSH ControlBrush(UINT msg, HDC dc, HWND childWindow);

    Win32Renderer& renderer_;
    Form& form_;
    FormWindow window_;
    std::vector<Child> children_;
    bool syncing_ = false;
    bool placed_ = false;
    Control* pressed_ = nullptr;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qm::win
