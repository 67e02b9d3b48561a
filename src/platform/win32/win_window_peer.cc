#include "platform/win32/win_window_peer.h"

#include <cmath>

#include "forms/form.h"
#include "forms/region.h"
#include "platform/win32/win_drawing.h"
#include "platform/win32/win_handles.h"
#include "platform/win32/win_renderer.h"
#include "platform/win32/win_window_classes.h"
#include "ports/desktop.h"

namespace qm::win {

namespace {

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

// The window a control of a kind has: its class (none for the controls drawn into the form) and styles.
struct ChildWindowKind {
    const wchar_t* windowClass = nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
};

ChildWindowKind ChildWindowKindOf(const Control& control) {
    ChildWindowKind kind;
    switch (control.Kind()) {
        case ControlKind::Label:
        case ControlKind::Image:
        case ControlKind::PictureBox:
            break;
        case ControlKind::CommandButton:
            kind.windowClass = L"BUTTON";
            kind.style |= WS_TABSTOP | (control.IsDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            break;
        case ControlKind::CheckBox:
            kind.windowClass = L"BUTTON";
            kind.style |= WS_TABSTOP | BS_AUTOCHECKBOX;
            break;
        case ControlKind::OptionButton:
            kind.windowClass = L"BUTTON";
            kind.style |= WS_TABSTOP | BS_AUTORADIOBUTTON;
            break;
        case ControlKind::TextBox:
            kind.windowClass = L"EDIT";
            kind.style |= WS_TABSTOP | ES_AUTOHSCROLL;
            kind.exStyle |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::ListBox:
            kind.windowClass = L"LISTBOX";
            kind.style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                          (control.MultiSelect() ? LBS_EXTENDEDSEL : 0);
            kind.exStyle |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Frame:
            kind.windowClass = L"BUTTON";
            kind.style |= BS_GROUPBOX;
            break;
        case ControlKind::ImageButton:
            kind.windowClass = WindowClasses::kImageButton;
            break;
    }
    return kind;
}

// The whole text of a window, however long.
std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace

Win32WindowPeer::Win32WindowPeer(Win32Renderer& renderer, Form& form)
    : renderer_(renderer), form_(form), window_(form, renderer.TwipsPerPixel(), this) {
    children_.reserve(form.Controls().size());
    for (Control* control : form.Controls()) {
        MakeChild(*control);
    }
    if (form.Shape()) {
        SetRegion(form.Shape());
    }
    // Last, so that a window that could not be made whole is never found.
    renderer_.Register(window_.Get(), this);
}

Win32WindowPeer::~Win32WindowPeer() {
    *alive_ = false;
    renderer_.Unregister(window_.Get());
    // The windows themselves stop reaching this peer and go as their owners (window_ and the image
    // buttons) are destroyed.
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

SIZE Win32WindowPeer::FormOuterSize() const {
    const int tpp = renderer_.TwipsPerPixel();
    return window_.OuterSize(static_cast<int>(form_.Width() / tpp), static_cast<int>(form_.Height() / tpp));
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

void Win32WindowPeer::MakeChild(Control& control) {
    Child child;
    child.control = &control;
    const ChildWindowKind kind = ChildWindowKindOf(control);
    if (kind.windowClass) {
        const RECT r = RectOf(control);
        child.window = ::CreateWindowExW(kind.exStyle, kind.windowClass, Widen(control.Caption()).c_str(),
                                         kind.style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                         window_.Get(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
        if (!child.window) {
            ThrowLastError("CreateWindowExW");
        }
        if (control.Kind() == ControlKind::ImageButton) {
            child.imageButton = std::make_unique<ImageButtonWindow>(child.window, *this, control, renderer_);
        }
    }
    children_.push_back(std::move(child));
    UpdateChild(children_.back());
}

void Win32WindowPeer::UpdateChild(Child& child) {
    const Control& control = *child.control;
    if (!child.window) {
        UpdateDrawn(child);
        return;
    }
    const HWND w = child.window;
    const SyncScope sync(*this);
    const RECT r = RectOf(control);
    ::SetWindowPos(w, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(renderer_.FontFor(control.Font())), FALSE);
    switch (control.Kind()) {
        case ControlKind::CommandButton:
            UpdateCaption(w, control);
            UpdateCommandButton(w, control);
            break;
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            UpdateCaption(w, control);
            UpdateCheckButton(w, control);
            break;
        case ControlKind::ListBox:
            UpdateListBox(child);
            break;
        default:
            UpdateCaption(w, control);
            break;
    }
    ::EnableWindow(w, control.Enabled());
    ::ShowWindow(w, control.Visible() ? SW_SHOWNA : SW_HIDE);
    ::InvalidateRect(w, nullptr, TRUE);
}

void Win32WindowPeer::UpdateDrawn(Child& child) {
    // Drawn into the form: only its own place is drawn again (it may have moved: its old place too).
    const RECT now = RectOf(*child.control);
    ::InvalidateRect(window_.Get(), &child.drawnAt, TRUE);
    ::InvalidateRect(window_.Get(), &now, TRUE);
    child.drawnAt = now;
}

void Win32WindowPeer::UpdateCaption(HWND window, const Control& control) {
    const std::wstring text = Widen(control.Caption());
    if (text != WindowText(window)) {
        ::SetWindowTextW(window, text.c_str());
    }
}

void Win32WindowPeer::UpdateCommandButton(HWND window, const Control& control) {
    ::SendMessageW(window, BM_SETSTYLE, control.IsDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void Win32WindowPeer::UpdateCheckButton(HWND window, const Control& control) {
    ::SendMessageW(window, BM_SETCHECK,
                   control.Value() == CheckState::Checked  ? BST_CHECKED
                   : control.Value() == CheckState::Grayed ? BST_INDETERMINATE
                                                           : BST_UNCHECKED,
                   0);
}

void Win32WindowPeer::UpdateListBox(Child& child) {
    const HWND w = child.window;
    const Control& control = *child.control;
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
}

void Win32WindowPeer::FormChanged() {
    const int tpp = renderer_.TwipsPerPixel();
    ::SetWindowTextW(window_.Get(), Widen(form_.Caption()).c_str());
    if (!form_.CenteredOnScreen() || placed_) {
        const SIZE outer = FormOuterSize();
        ::SetWindowPos(window_.Get(), nullptr, static_cast<int>(form_.Left() / tpp),
                       static_cast<int>(form_.Top() / tpp), outer.cx, outer.cy,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::InvalidateRect(window_.Get(), nullptr, TRUE);
}

void Win32WindowPeer::ControlChanged(const Control& control) {
    if (syncing_) {
        // The change came from the control's window itself. Writing it back would put the control's
        // older state over the window's: a list whose selections are read one at a time would lose the
        // ones not read yet.
        return;
    }
    if (Child* child = ChildOf(control)) {
        UpdateChild(*child);
    }
}

void Win32WindowPeer::Show(ShowStyle style) {
    if (!placed_) {
        placed_ = true;
        PlaceOnFirstShow();
    }
    switch (style) {
        case ShowStyle::Normal:
            ::ShowWindow(window_.Get(), SW_SHOW);
            ::SetForegroundWindow(window_.Get());
            break;
        case ShowStyle::TopmostNoActivate:
            ::SetWindowPos(window_.Get(), HWND_TOPMOST, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
            break;
        case ShowStyle::Modal:
            ShowModal();
            break;
    }
}

void Win32WindowPeer::PlaceOnFirstShow() {
    const int tpp = renderer_.TwipsPerPixel();
    int left = static_cast<int>(form_.Left() / tpp);
    int top = static_cast<int>(form_.Top() / tpp);
    const SIZE outer = FormOuterSize();
    const int width = outer.cx;
    const int height = outer.cy;
    if (form_.CenteredOnScreen()) {
        left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    }
    ::SetWindowPos(window_.Get(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32WindowPeer::ShowModal() {
    // The program's other windows wait until this one is closed; its events go on.
    std::vector<HWND> disabled;
    for (const HWND other : renderer_.TopLevelWindows()) {
        if (other != window_.Get() && ::IsWindowEnabled(other)) {
            ::EnableWindow(other, FALSE);
            disabled.push_back(other);
        }
    }
    const HWND self = window_.Get();
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
}

void Win32WindowPeer::Hide() {
    ::ShowWindow(window_.Get(), SW_HIDE);
}

void Win32WindowPeer::SetRegion(const std::optional<Region>& region) {
    window_.SetRegion(region);
}

void Win32WindowPeer::Paint() {
    const PaintDc paint(window_.Get());
    const HDC dc = paint.Get();
    RECT client{};
    ::GetClientRect(window_.Get(), &client);
    FillColour(dc, client, form_.BackColor());
    if (!form_.Picture().empty()) {
        DrawPicture(dc, renderer_.PictureFor(form_.Picture()), 0, 0);
    }
    for (const Child& child : children_) {
        if (!child.window && child.control->Visible()) {
            PaintDrawnControl(dc, *child.control);
        }
    }
}

void Win32WindowPeer::PaintDrawnControl(HDC dc, const Control& control) {
    const RECT r = RectOf(control);
    if (control.HasBackColor()) {
        FillColour(dc, r, control.BackColor());
    }
    if (!control.Picture().empty()) {
        DrawPicture(dc, renderer_.PictureFor(control.Picture()), r.left, r.top);
    }
    if (control.Kind() == ControlKind::Label && !control.Caption().empty()) {
        // "&&" in a caption shows one ampersand, as in every other caption of the program.
        const UINT alignment = control.Alignment() == TextAlignment::Center  ? DT_CENTER
                               : control.Alignment() == TextAlignment::Right ? DT_RIGHT
                                                                             : DT_LEFT;
        DrawWrappedText(dc, control.Caption(), renderer_.FontFor(control.Font()),
                        control.Enabled() ? control.ForeColor() : 0x80000011, r, alignment);
    }
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
                ReadCheckButton(childWindow, control);
                form_.FireClick(control);
            }
            return;
        case ControlKind::TextBox:
            if (code == EN_CHANGE) {
                ReadTextBox(childWindow, control);
            }
            return;
        case ControlKind::ListBox:
            if (code == LBN_SELCHANGE) {
                ReadListBox(childWindow, control);
                form_.FireClick(control);
            }
            return;
        default:
            return;
    }
}

void Win32WindowPeer::ReadCheckButton(HWND window, Control& control) {
    const LRESULT state = ::SendMessageW(window, BM_GETCHECK, 0, 0);
    const SyncScope sync(*this);
    control.SetValue(state == BST_CHECKED         ? CheckState::Checked
                     : state == BST_INDETERMINATE ? CheckState::Grayed
                                                  : CheckState::Unchecked);
}

void Win32WindowPeer::ReadTextBox(HWND window, Control& control) {
    const std::wstring text = WindowText(window);
    const SyncScope sync(*this);
    control.SetText(Narrow(text));
}

void Win32WindowPeer::ReadListBox(HWND window, Control& control) {
    const SyncScope sync(*this);
    if (control.MultiSelect()) {
        for (std::size_t i = 0; i < control.Items().size(); ++i) {
            control.SetSelected(i, ::SendMessageW(window, LB_GETSEL, i, 0) > 0);
        }
        control.SetListIndex(static_cast<int>(::SendMessageW(window, LB_GETCARETINDEX, 0, 0)));
    } else {
        control.SetListIndex(static_cast<int>(::SendMessageW(window, LB_GETCURSEL, 0, 0)));
    }
}

void Win32WindowPeer::OnMouse(UINT msg, WPARAM wp, LPARAM lp) {
    const POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    Control* control = (msg == WM_LBUTTONUP && pressed_) ? pressed_ : DrawnControlAt(p);
    if (!control) {
        return;
    }
    const RECT r = RectOf(*control);
    const POINT local{p.x - r.left, p.y - r.top};
    bool inside = false;
    if (msg == WM_LBUTTONDOWN) {
        pressed_ = control;
        ::SetCapture(window_.Get());
    } else if (msg == WM_LBUTTONUP) {
        pressed_ = nullptr;
        ::ReleaseCapture();
        inside = DrawnControlAt(p) == control;
    }
    FireMouse(*control, msg, wp, local, inside);
}

void Win32WindowPeer::FireMouse(Control& control, UINT msg, WPARAM wp, POINT local, bool inside) {
    const double x = FromPixels(local.x);
    const double y = FromPixels(local.y);
    const int shift = ShiftState();
    Form& form = form_;
    switch (msg) {
        case WM_MOUSEMOVE:
            form.FireMouseMove(control, ButtonState(wp), shift, x, y);
            return;
        case WM_LBUTTONDOWN:
            form.FireMouseDown(control, kLeftButton, shift, x, y);
            return;
        case WM_LBUTTONUP: {
            const std::shared_ptr<bool> alive = alive_;
            form.FireMouseUp(control, kLeftButton, shift, x, y);
            if (inside && *alive) {
                form.FireClick(control);
            }
            return;
        }
        default:
            return;
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
            if (reinterpret_cast<HWND>(wp) == window_.Get() && LOWORD(lp) == HTCLIENT) {
                OnSetCursor();
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            if (const HBRUSH brush =
                    ControlBrush(msg, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp))) {
                return reinterpret_cast<LRESULT>(brush);
            }
            break;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void Win32WindowPeer::OnSetCursor() {
    POINT p{};
    ::GetCursorPos(&p);
    ::ScreenToClient(window_.Get(), &p);
    const Control* control = DrawnControlAt(p);
    ::SetCursor(
        ::LoadCursorW(nullptr, control && control->Pointer() == MousePointer::Hand ? IDC_HAND : IDC_ARROW));
}

HBRUSH Win32WindowPeer::ControlBrush(UINT msg, HDC dc, HWND childWindow) {
    const Child* child = ChildOfWindow(childWindow);
    if (!child) {
        return nullptr;  // not one of the program's controls: the system colours it
    }
    const Control& control = *child->control;
    ::SetTextColor(dc, ToColorRef(control.ForeColor()));
    if (control.HasBackColor()) {
        ::SetBkColor(dc, ToColorRef(control.BackColor()));
        ::SetDCBrushColor(dc, ToColorRef(control.BackColor()));
        return static_cast<HBRUSH>(::GetStockObject(DC_BRUSH));
    }
    if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX) {
        return ::GetSysColorBrush(COLOR_WINDOW);
    }
    ::SetBkColor(dc, ToColorRef(form_.BackColor()));
    ::SetDCBrushColor(dc, ToColorRef(form_.BackColor()));
    return static_cast<HBRUSH>(::GetStockObject(DC_BRUSH));
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

}  // namespace qm::win
