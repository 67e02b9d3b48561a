#pragma once

#include "platform/win32/win_api.h"

namespace qm::win {

// The window classes of the program's windows: the form, and the image button that the program draws
// itself. Their procedures hand each message to the object in the window's user data (the form's peer,
// the image button); a window whose object has let go of it answers as a bare window until it is
// destroyed.
class WindowClasses {
  public:
    static constexpr wchar_t kForm[] = L"QuillmereForm";
    static constexpr wchar_t kImageButton[] = L"QuillmereImageButton";
    // Posted to a form whose peer has gone: it is destroyed once the handler that unloaded it has returned.
    static constexpr UINT kMsgDestroyLater = WM_APP + 1;

    // Registers both classes with this module. Registering them a second time fails harmlessly: the first
    // registration stands.
    static void Register();

  private:
    static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK ImageButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

}  // namespace qm::win
