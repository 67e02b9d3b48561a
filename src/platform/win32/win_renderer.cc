#include "platform/win32/win_renderer.h"

#include <algorithm>
#include <cmath>

#include "base/platform_error.h"
#include "forms/form.h"
#include "forms/region.h"
#include "ports/desktop.h"

namespace qm::win {

namespace {

constexpr wchar_t kFormClass[] = L"QuillmereForm";
constexpr wchar_t kImageButtonClass[] = L"QuillmereImageButton";
// Posted to a window whose peer has gone: it is destroyed once the handler that unloaded it has returned.
constexpr UINT kMsgDestroyLater = WM_APP + 1;

int ShiftState() {
    int shift = 0;
    if (::GetKeyState(VK_SHIFT) < 0) {
        shift |= 1;
    }
    if (::GetKeyState(VK_CONTROL) < 0) {
        shift |= 2;
    }
    if (::GetKeyState(VK_MENU) < 0) {
        shift |= 4;
    }
    return shift;
}

int ButtonState(WPARAM wp) {
    int button = 0;
    if (wp & MK_LBUTTON) {
        button |= kLeftButton;
    }
    if (wp & MK_RBUTTON) {
        button |= kRightButton;
    }
    if (wp & MK_MBUTTON) {
        button |= kMiddleButton;
    }
    return button;
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

}  // namespace

COLORREF ToColorRef(std::uint32_t colour) {
    if (colour & 0x80000000u) {
        return ::GetSysColor(static_cast<int>(colour & 0xFF));
    }
    return static_cast<COLORREF>(colour & 0xFFFFFF);
}

// ---------------------------------------------------------------------------------------------------

class Win32WindowPeer final : public WindowPeer {
  public:
    Win32WindowPeer(Win32Renderer& renderer, Form& form);
    ~Win32WindowPeer() override;

    void FormChanged() override;
    void ControlChanged(const Control& control) override;
    void Show(ShowStyle style) override;
    void Hide() override;
    void SetRegion(const std::optional<Region>& region) override;

    HWND Window() const { return window_; }
    Form& GetForm() const { return form_; }

    // The window's outer size for a client area of `width` x `height` pixels: the window's size is the
    // size of its contents, which the frame and caption surround.
    static SIZE OuterSize(DWORD style, DWORD exStyle, int width, int height);
    SIZE OuterSize(int width, int height) const;
    const Control* ControlOf(HWND child) const;
    bool HandleKey(MSG& msg);

    static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK ImageButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  private:
    struct Child {
        Control* control = nullptr;
        HWND window = nullptr;  // null for the controls drawn into the form
        RECT drawnAt{};         // where a drawn control was last drawn
        std::vector<std::string> items;
    };

    int ToPixels(double units) const;
    double FromPixels(int pixels) const;
    RECT RectOf(const Control& control) const;
    Child* ChildOf(const Control& control);
    Child* ChildOfWindow(HWND window);
    Control* DrawnControlAt(POINT p);
    void MakeChild(Control& control);
    void UpdateChild(Child& child);
    void Paint();
    void PaintImageButton(HWND window, const Control& control);
    LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnImageButtonMessage(Child& child, UINT msg, WPARAM wp, LPARAM lp);
    void OnCommand(HWND child, int code);
    void OnMouse(UINT msg, WPARAM wp, LPARAM lp);

    Win32Renderer& renderer_;
    Form& form_;
    HWND window_ = nullptr;
    std::vector<Child> children_;
    bool syncing_ = false;
    bool placed_ = false;
    Control* pressed_ = nullptr;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

Win32WindowPeer::Win32WindowPeer(Win32Renderer& renderer, Form& form) : renderer_(renderer), form_(form) {
    DWORD style = WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    switch (form.Border()) {
        case BorderStyle::None:
            style |= WS_POPUP;
            exStyle |= WS_EX_TOOLWINDOW;
            break;
        case BorderStyle::FixedSingle:
            style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
            break;
        case BorderStyle::FixedDialog:
            style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
            exStyle |= WS_EX_DLGMODALFRAME;
            break;
    }
    const int tpp = renderer.TwipsPerPixel();
    const SIZE outer = OuterSize(style, exStyle, static_cast<int>(form.Width() / tpp),
                                 static_cast<int>(form.Height() / tpp));
    window_ = ::CreateWindowExW(exStyle, kFormClass, Widen(form.Caption()).c_str(), style,
                                static_cast<int>(form.Left() / tpp), static_cast<int>(form.Top() / tpp),
                                outer.cx, outer.cy, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!window_) {
        ThrowLastError("CreateWindowExW");
    }
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    renderer_.Register(window_, this);
    children_.reserve(form.Controls().size());
    for (Control* control : form.Controls()) {
        MakeChild(*control);
    }
    if (form.Shape()) {
        SetRegion(form.Shape());
    }
}

Win32WindowPeer::~Win32WindowPeer() {
    *alive_ = false;
    renderer_.Unregister(window_);
    // The window may be in the middle of one of its own messages (a click that unloaded it): it stops
    // reaching this peer now, disappears now, and is destroyed once that message has been handled.
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    for (const Child& child : children_) {
        if (child.window) {
            ::SetWindowLongPtrW(child.window, GWLP_USERDATA, 0);
        }
    }
    ::ShowWindow(window_, SW_HIDE);
    if (!::PostMessageW(window_, kMsgDestroyLater, 0, 0)) {
        ::DestroyWindow(window_);
    }
}

SIZE Win32WindowPeer::OuterSize(DWORD style, DWORD exStyle, int width, int height) {
    RECT r{0, 0, width, height};
    if (!::AdjustWindowRectEx(&r, style, FALSE, exStyle)) {
        return SIZE{width, height};
    }
    return SIZE{r.right - r.left, r.bottom - r.top};
}

SIZE Win32WindowPeer::OuterSize(int width, int height) const {
    return OuterSize(static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE)),
                     static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_EXSTYLE)), width, height);
}

int Win32WindowPeer::ToPixels(double units) const {
    return form_.Scale() == ScaleUnit::Twips
               ? static_cast<int>(std::lround(units / renderer_.TwipsPerPixel()))
               : static_cast<int>(std::lround(units));
}

double Win32WindowPeer::FromPixels(int pixels) const {
    return form_.Scale() == ScaleUnit::Twips ? static_cast<double>(pixels) * renderer_.TwipsPerPixel()
                                             : pixels;
}

RECT Win32WindowPeer::RectOf(const Control& control) const {
    const int left = ToPixels(control.Left());
    const int top = ToPixels(control.Top());
    return RECT{left, top, left + ToPixels(control.Width()), top + ToPixels(control.Height())};
}

Win32WindowPeer::Child* Win32WindowPeer::ChildOf(const Control& control) {
    for (Child& child : children_) {
        if (child.control == &control) {
            return &child;
        }
    }
    return nullptr;
}

Win32WindowPeer::Child* Win32WindowPeer::ChildOfWindow(HWND window) {
    for (Child& child : children_) {
        if (child.window == window && window) {
            return &child;
        }
    }
    return nullptr;
}

const Control* Win32WindowPeer::ControlOf(HWND child) const {
    for (const Child& c : children_) {
        if (c.window == child && child) {
            return c.control;
        }
    }
    return nullptr;
}

void Win32WindowPeer::MakeChild(Control& control) {
    Child child;
    child.control = &control;
    const wchar_t* cls = nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    switch (control.Kind()) {
        case ControlKind::Label:
        case ControlKind::Image:
        case ControlKind::PictureBox:
            break;
        case ControlKind::CommandButton:
            cls = L"BUTTON";
            style |= WS_TABSTOP | (control.IsDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            break;
        case ControlKind::CheckBox:
            cls = L"BUTTON";
            style |= WS_TABSTOP | BS_AUTOCHECKBOX;
            break;
        case ControlKind::OptionButton:
            cls = L"BUTTON";
            style |= WS_TABSTOP | BS_AUTORADIOBUTTON;
            break;
        case ControlKind::TextBox:
            cls = L"EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::ListBox:
            cls = L"LISTBOX";
            style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                     (control.MultiSelect() ? LBS_EXTENDEDSEL : 0);
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Frame:
            cls = L"BUTTON";
            style |= BS_GROUPBOX;
            break;
        case ControlKind::ImageButton:
            cls = kImageButtonClass;
            break;
    }
    if (cls) {
        const RECT r = RectOf(control);
        child.window = ::CreateWindowExW(exStyle, cls, Widen(control.Caption()).c_str(), style, r.left, r.top,
                                         r.right - r.left, r.bottom - r.top, window_, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
        if (!child.window) {
            ThrowLastError("CreateWindowExW");
        }
        if (control.Kind() == ControlKind::ImageButton) {
            ::SetWindowLongPtrW(child.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
    }
    children_.push_back(std::move(child));
    UpdateChild(children_.back());
}

void Win32WindowPeer::UpdateChild(Child& child) {
    const Control& control = *child.control;
    if (!child.window) {
        // Drawn into the form: only its own place is drawn again (it may have moved: its old place too).
        const RECT now = RectOf(control);
        ::InvalidateRect(window_, &child.drawnAt, TRUE);
        ::InvalidateRect(window_, &now, TRUE);
        child.drawnAt = now;
        return;
    }
    const HWND w = child.window;
    syncing_ = true;
    const RECT r = RectOf(control);
    ::SetWindowPos(w, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(renderer_.FontFor(control.Font())), FALSE);
    if (control.Kind() != ControlKind::ListBox) {
        const std::wstring text = Widen(control.Caption());
        wchar_t current[1024] = L"";
        ::GetWindowTextW(w, current, 1024);
        if (text != current) {
            ::SetWindowTextW(w, text.c_str());
        }
    }
    switch (control.Kind()) {
        case ControlKind::CommandButton:
            ::SendMessageW(w, BM_SETSTYLE, control.IsDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
            break;
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            ::SendMessageW(w, BM_SETCHECK,
                           control.Value() == CheckState::Checked  ? BST_CHECKED
                           : control.Value() == CheckState::Grayed ? BST_INDETERMINATE
                                                                   : BST_UNCHECKED,
                           0);
            break;
        case ControlKind::ListBox: {
            if (child.items != control.Items()) {
                ::SendMessageW(w, LB_RESETCONTENT, 0, 0);
                for (const std::string& item : control.Items()) {
                    ::SendMessageW(w, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
                }
                child.items = control.Items();
            }
            if (control.MultiSelect()) {
                for (std::size_t i = 0; i < control.Items().size(); ++i) {
                    ::SendMessageW(w, LB_SETSEL, control.Selected(i) ? TRUE : FALSE, static_cast<LPARAM>(i));
                }
                if (control.ListIndex() >= 0) {
                    ::SendMessageW(w, LB_SETCARETINDEX, static_cast<WPARAM>(control.ListIndex()), FALSE);
                }
            } else {
                ::SendMessageW(w, LB_SETCURSEL, static_cast<WPARAM>(control.ListIndex()), 0);
            }
            break;
        }
        default:
            break;
    }
    ::EnableWindow(w, control.Enabled());
    ::ShowWindow(w, control.Visible() ? SW_SHOWNA : SW_HIDE);
    ::InvalidateRect(w, nullptr, TRUE);
    syncing_ = false;
}

void Win32WindowPeer::FormChanged() {
    const int tpp = renderer_.TwipsPerPixel();
    ::SetWindowTextW(window_, Widen(form_.Caption()).c_str());
    if (!form_.CenteredOnScreen() || placed_) {
        const SIZE outer =
            OuterSize(static_cast<int>(form_.Width() / tpp), static_cast<int>(form_.Height() / tpp));
        ::SetWindowPos(window_, nullptr, static_cast<int>(form_.Left() / tpp),
                       static_cast<int>(form_.Top() / tpp), outer.cx, outer.cy,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::InvalidateRect(window_, nullptr, TRUE);
}

void Win32WindowPeer::ControlChanged(const Control& control) {
    if (Child* child = ChildOf(control)) {
        UpdateChild(*child);
    }
}

void Win32WindowPeer::Show(ShowStyle style) {
    const int tpp = renderer_.TwipsPerPixel();
    if (!placed_) {
        placed_ = true;
        int left = static_cast<int>(form_.Left() / tpp);
        int top = static_cast<int>(form_.Top() / tpp);
        const SIZE outer =
            OuterSize(static_cast<int>(form_.Width() / tpp), static_cast<int>(form_.Height() / tpp));
        const int width = outer.cx;
        const int height = outer.cy;
        if (form_.CenteredOnScreen()) {
            left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
            top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        }
        ::SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    switch (style) {
        case ShowStyle::Normal:
            ::ShowWindow(window_, SW_SHOW);
            ::SetForegroundWindow(window_);
            break;
        case ShowStyle::TopmostNoActivate:
            ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
            break;
        case ShowStyle::Modal: {
            // The program's other windows wait until this one is closed; its events go on.
            std::vector<HWND> disabled;
            for (const HWND other : renderer_.TopLevelWindows()) {
                if (other != window_ && ::IsWindowEnabled(other)) {
                    ::EnableWindow(other, FALSE);
                    disabled.push_back(other);
                }
            }
            const HWND self = window_;
            const std::shared_ptr<bool> alive = alive_;
            ::ShowWindow(self, SW_SHOW);
            ::SetForegroundWindow(self);
            Win32EventLoop& loop = renderer_.Loop();
            while (*alive && ::IsWindowVisible(self)) {
                if (!loop.PumpOne()) {
                    break;
                }
            }
            for (const HWND other : disabled) {
                if (::IsWindow(other)) {
                    ::EnableWindow(other, TRUE);
                }
            }
            break;
        }
    }
}

void Win32WindowPeer::Hide() {
    ::ShowWindow(window_, SW_HIDE);
}

void Win32WindowPeer::SetRegion(const std::optional<Region>& region) {
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

Control* Win32WindowPeer::DrawnControlAt(POINT p) {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        if (!it->window && it->control->Visible()) {
            const RECT r = RectOf(*it->control);
            if (::PtInRect(&r, p)) {
                return it->control;
            }
        }
    }
    return nullptr;
}

void Win32WindowPeer::Paint() {
    const PaintDc paint(window_);
    const HDC dc = paint.Get();
    RECT client{};
    ::GetClientRect(window_, &client);
    const UniqueGdiObject back(::CreateSolidBrush(ToColorRef(form_.BackColor())));
    ::FillRect(dc, &client, static_cast<HBRUSH>(back.Get()));
    if (!form_.Picture().empty()) {
        DrawPicture(dc, renderer_.PictureFor(form_.Picture()), 0, 0);
    }
    for (const Child& child : children_) {
        const Control& control = *child.control;
        if (child.window || !control.Visible()) {
            continue;
        }
        RECT r = RectOf(control);
        if (control.HasBackColor()) {
            const UniqueGdiObject brush(::CreateSolidBrush(ToColorRef(control.BackColor())));
            ::FillRect(dc, &r, static_cast<HBRUSH>(brush.Get()));
        }
        if (!control.Picture().empty()) {
            DrawPicture(dc, renderer_.PictureFor(control.Picture()), r.left, r.top);
        }
        if (control.Kind() == ControlKind::Label && !control.Caption().empty()) {
            const SelectedObject font(dc, renderer_.FontFor(control.Font()));
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, ToColorRef(control.Enabled() ? control.ForeColor() : 0x80000011));
            // "&&" in a caption shows one ampersand, as in every other caption of the program.
            UINT format = DT_WORDBREAK | DT_EDITCONTROL;
            format |= control.Alignment() == TextAlignment::Center  ? DT_CENTER
                      : control.Alignment() == TextAlignment::Right ? DT_RIGHT
                                                                    : DT_LEFT;
            const std::wstring text = Widen(control.Caption());
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
        }
    }
}

void Win32WindowPeer::PaintImageButton(HWND window, const Control& control) {
    const PaintDc paint(window);
    const HDC dc = paint.Get();
    RECT client{};
    ::GetClientRect(window, &client);
    const UniqueGdiObject back(
        ::CreateSolidBrush(ToColorRef(control.HasBackColor() ? control.BackColor() : kWhite)));
    ::FillRect(dc, &client, static_cast<HBRUSH>(back.Get()));
    // The light and the caption stand at fixed places in twips, whatever the window's scale unit.
    const int tpp = renderer_.TwipsPerPixel();
    if (!control.Picture().empty()) {
        DrawPicture(dc, renderer_.PictureFor(control.Picture()), 0, 30 / tpp);
    }
    RECT text = client;
    text.left = 240 / tpp;
    const SelectedObject font(dc, renderer_.FontFor(control.Font()));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ToColorRef(control.ForeColor()));
    const std::wstring caption = Widen(control.Caption());
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
}

void Win32WindowPeer::OnCommand(HWND childWindow, int code) {
    Child* child = ChildOfWindow(childWindow);
    if (!child || syncing_) {
        return;
    }
    Control& control = *child->control;
    switch (control.Kind()) {
        case ControlKind::CommandButton:
            if (code == BN_CLICKED) {
                form_.FireClick(control);  // may unload the window: nothing of this peer is used after it
            }
            return;
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            if (code == BN_CLICKED) {
                const LRESULT state = ::SendMessageW(childWindow, BM_GETCHECK, 0, 0);
                syncing_ = true;
                control.SetValue(state == BST_CHECKED         ? CheckState::Checked
                                 : state == BST_INDETERMINATE ? CheckState::Grayed
                                                              : CheckState::Unchecked);
                syncing_ = false;
                form_.FireClick(control);
            }
            return;
        case ControlKind::TextBox:
            if (code == EN_CHANGE) {
                const int length = ::GetWindowTextLengthW(childWindow);
                std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
                ::GetWindowTextW(childWindow, text.data(), length + 1);
                text.resize(static_cast<std::size_t>(length));
                syncing_ = true;
                control.SetText(Narrow(text));
                syncing_ = false;
            }
            return;
        case ControlKind::ListBox:
            if (code == LBN_SELCHANGE) {
                syncing_ = true;
                if (control.MultiSelect()) {
                    for (std::size_t i = 0; i < control.Items().size(); ++i) {
                        control.SetSelected(i, ::SendMessageW(childWindow, LB_GETSEL, i, 0) > 0);
                    }
                    control.SetListIndex(
                        static_cast<int>(::SendMessageW(childWindow, LB_GETCARETINDEX, 0, 0)));
                } else {
                    control.SetListIndex(static_cast<int>(::SendMessageW(childWindow, LB_GETCURSEL, 0, 0)));
                }
                syncing_ = false;
                form_.FireClick(control);
            }
            return;
        default:
            return;
    }
}

void Win32WindowPeer::OnMouse(UINT msg, WPARAM wp, LPARAM lp) {
    const POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    Control* control = (msg == WM_LBUTTONUP && pressed_) ? pressed_ : DrawnControlAt(p);
    if (!control) {
        return;
    }
    const double x = FromPixels(p.x - RectOf(*control).left);
    const double y = FromPixels(p.y - RectOf(*control).top);
    const int shift = ShiftState();
    Form& form = form_;
    switch (msg) {
        case WM_MOUSEMOVE:
            form.FireMouseMove(*control, ButtonState(wp), shift, x, y);
            return;
        case WM_LBUTTONDOWN:
            pressed_ = control;
            ::SetCapture(window_);
            form.FireMouseDown(*control, kLeftButton, shift, x, y);
            return;
        case WM_LBUTTONUP: {
            pressed_ = nullptr;
            ::ReleaseCapture();
            const bool inside = DrawnControlAt(p) == control;
            const std::shared_ptr<bool> alive = alive_;
            form.FireMouseUp(*control, kLeftButton, shift, x, y);
            if (inside && *alive) {
                form.FireClick(*control);
            }
            return;
        }
        default:
            return;
    }
}

LRESULT Win32WindowPeer::OnImageButtonMessage(Child& child, UINT msg, WPARAM wp, LPARAM lp) {
    const HWND w = child.window;
    Control& control = *child.control;
    switch (msg) {
        case WM_PAINT:
            PaintImageButton(w, control);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETCURSOR:
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP: {
            const int px = static_cast<short>(LOWORD(lp));
            const int py = static_cast<short>(HIWORD(lp));
            const double x = FromPixels(px);
            const double y = FromPixels(py);
            const int shift = ShiftState();
            Form& form = form_;
            if (msg == WM_MOUSEMOVE) {
                form.FireMouseMove(control, ButtonState(wp), shift, x, y);
            } else if (msg == WM_LBUTTONDOWN) {
                ::SetCapture(w);
                form.FireMouseDown(control, kLeftButton, shift, x, y);
            } else {
                ::ReleaseCapture();
                RECT client{};
                ::GetClientRect(w, &client);
                const POINT p{px, py};
                const bool inside = ::PtInRect(&client, p) != FALSE;
                const std::shared_ptr<bool> alive = alive_;
                form.FireMouseUp(control, kLeftButton, shift, x, y);
                if (inside && *alive) {
                    form.FireClick(control);
                }
            }
            return 0;
        }
        default:
            return ::DefWindowProcW(w, msg, wp, lp);
    }
}

LRESULT Win32WindowPeer::OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_CLOSE:
            form_.FireCloseBox();
            return 0;
        case WM_COMMAND:
            if (lp != 0) {
                OnCommand(reinterpret_cast<HWND>(lp), HIWORD(wp));
            }
            return 0;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            OnMouse(msg, wp, lp);
            return 0;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wp) == window_ && LOWORD(lp) == HTCLIENT) {
                POINT p{};
                ::GetCursorPos(&p);
                ::ScreenToClient(window_, &p);
                const Control* control = DrawnControlAt(p);
                ::SetCursor(::LoadCursorW(
                    nullptr, control && control->Pointer() == MousePointer::Hand ? IDC_HAND : IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            if (Child* child = ChildOfWindow(reinterpret_cast<HWND>(lp))) {
                const HDC dc = reinterpret_cast<HDC>(wp);
                ::SetTextColor(dc, ToColorRef(child->control->ForeColor()));
                if (child->control->HasBackColor()) {
                    ::SetBkColor(dc, ToColorRef(child->control->BackColor()));
                    ::SetDCBrushColor(dc, ToColorRef(child->control->BackColor()));
                    return reinterpret_cast<LRESULT>(::GetStockObject(DC_BRUSH));
                }
                if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX) {
                    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
                }
                ::SetBkColor(dc, ToColorRef(form_.BackColor()));
                ::SetDCBrushColor(dc, ToColorRef(form_.BackColor()));
                return reinterpret_cast<LRESULT>(::GetStockObject(DC_BRUSH));
            }
            break;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool Win32WindowPeer::HandleKey(MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE)) {
        return false;
    }
    Form& form = form_;
    if (msg.wParam == VK_RETURN) {
        form.FireEnter();
    } else {
        form.FireEscape();
    }
    return true;
}

LRESULT CALLBACK Win32WindowPeer::FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
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

LRESULT CALLBACK Win32WindowPeer::ImageButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* peer = reinterpret_cast<Win32WindowPeer*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    Child* child = peer ? peer->ChildOfWindow(hwnd) : nullptr;
    if (!child) {
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    return peer->OnImageButtonMessage(*child, msg, wp, lp);
}

// ---------------------------------------------------------------------------------------------------

Win32Renderer::Win32Renderer(Win32EventLoop& loop, std::string assetFolder)
    : loop_(loop), assetFolder_(std::move(assetFolder)) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32WindowPeer::FormProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconW(instance, L"APPICON");
    wc.lpszClassName = kFormClass;
    ::RegisterClassExW(&wc);
    wc.lpfnWndProc = &Win32WindowPeer::ImageButtonProc;
    wc.hIcon = nullptr;
    wc.lpszClassName = kImageButtonClass;
    ::RegisterClassExW(&wc);

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
