// Tests of the Win32 window peer: the controls' properties reach their windows, kind by kind, and what
// the user does in a window comes back into its control (run under Wine by wine_smoke.sh).

#include "platform/win32/win_window_peer.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/callback_boundary.h"
#include "base/platform_error.h"
#include "forms/form.h"
#include "platform/win32/win32_check.h"
#include "platform/win32/win_event_loop.h"
#include "platform/win32/win_renderer.h"

namespace qm::win {
namespace {

// A window with a control of every kind that has a window of its own.
class KindsForm final : public Form {
  public:
    KindsForm(EventLoop& loop, Renderer& renderer)
        : Form(loop, &renderer),
          button(*this, "button", ControlKind::CommandButton),
          check(*this, "check", ControlKind::CheckBox),
          option(*this, "option", ControlKind::OptionButton),
          text(*this, "text", ControlKind::TextBox),
          list(*this, "list", ControlKind::ListBox),
          frame(*this, "frame", ControlKind::Frame) {
        SetDesign(ScaleUnit::Pixels, BorderStyle::None, 320 * 15, 220 * 15);
        Move(50 * 15, 50 * 15);
        button.Move(10, 10, 80, 25);
        check.Move(10, 40, 120, 20);
        option.Move(10, 65, 120, 20);
        text.Move(10, 90, 150, 22);
        list.Move(10, 120, 150, 80);
        frame.Move(170, 10, 120, 100);
        list.SetMultiSelect(true);
        for (const char* item : {"one", "two", "three"}) {
            list.AddItem(item);
        }
    }
    Control button;
    Control check;
    Control option;
    Control text;
    Control list;
    Control frame;
};

// The form shown, and the window of each of its controls, as the window system has them.
struct ShownKinds {
    ShownKinds() : renderer(loop, "."), form(std::make_shared<KindsForm>(loop, renderer)) {
        form->Show(ShowStyle::TopmostNoActivate);
        loop.DoEvents();
        for (const HWND top : renderer.TopLevelWindows()) {
            peer = renderer.PeerOf(top);
        }
        if (peer) {
            ::EnumChildWindows(peer->Window(), &ShownKinds::AddChild, reinterpret_cast<LPARAM>(this));
        }
    }
    ~ShownKinds() {
        form->Unload();
        loop.DoEvents();
    }
    static BOOL CALLBACK AddChild(HWND child, LPARAM self) {
        auto* shown = reinterpret_cast<ShownKinds*>(self);
        if (const Control* control = shown->peer->ControlOf(child)) {
            shown->windows[control] = child;
        }
        return TRUE;
    }
    HWND Of(const Control& control) const {
        const auto found = windows.find(&control);
        return found == windows.end() ? nullptr : found->second;
    }

    Win32EventLoop loop;
    Win32Renderer renderer;
    std::shared_ptr<KindsForm> form;
    Win32WindowPeer* peer = nullptr;
    std::map<const Control*, HWND> windows;
};

std::string TextOf(HWND window) {
    wchar_t text[256] = L"";
    ::GetWindowTextW(window, text, 256);
    return Narrow(text);
}

WIN32_TEST(EveryKindGetsAWindowThatShowsItsCaptionPlaceAndState) {
    ShownKinds shown;
    CHECK(shown.peer != nullptr);
    Control* const captioned[] = {&shown.form->button, &shown.form->check, &shown.form->option,
                                  &shown.form->text, &shown.form->frame};
    for (Control* control : captioned) {
        const HWND w = shown.Of(*control);
        CHECK(w != nullptr);
        control->SetCaption("Grüße, " + control->Name());
        CHECK_EQ(TextOf(w), "Grüße, " + control->Name());
        control->Move(20, 30, 40, 50);
        RECT r{};
        ::GetWindowRect(w, &r);
        ::MapWindowPoints(nullptr, shown.peer->Window(), reinterpret_cast<POINT*>(&r), 2);
        CHECK_EQ(r.left, 20L);
        CHECK_EQ(r.top, 30L);
        CHECK_EQ(r.right - r.left, 40L);
        control->SetEnabled(false);
        CHECK(!::IsWindowEnabled(w));
        control->SetEnabled(true);
        control->SetVisible(false);
        CHECK(!::IsWindowVisible(w));
        control->SetVisible(true);
        CHECK(::IsWindowVisible(w));
    }
    struct Case {
        CheckState value;
        LRESULT shown;
    };
    const Case cases[] = {{CheckState::Checked, BST_CHECKED}, {CheckState::Unchecked, BST_UNCHECKED}};
    for (const Case& c : cases) {
        shown.form->check.SetValue(c.value);
        shown.form->option.SetValue(c.value);
        CHECK_EQ(::SendMessageW(shown.Of(shown.form->check), BM_GETCHECK, 0, 0), c.shown);
        CHECK_EQ(::SendMessageW(shown.Of(shown.form->option), BM_GETCHECK, 0, 0), c.shown);
    }
}

WIN32_TEST(ListItemsAndSelectionsReachTheListWindow) {
    ShownKinds shown;
    const HWND list = shown.Of(shown.form->list);
    CHECK_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
    shown.form->list.SetSelected(0, true);
    shown.form->list.SetSelected(2, true);
    CHECK(::SendMessageW(list, LB_GETSEL, 0, 0) > 0);
    CHECK(::SendMessageW(list, LB_GETSEL, 1, 0) == 0);
    CHECK(::SendMessageW(list, LB_GETSEL, 2, 0) > 0);
    shown.form->list.Clear();
    shown.form->list.AddItem("only");
    CHECK_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
}

WIN32_TEST(TypingIsCopiedIntoTheControl) {
    ShownKinds shown;
    const HWND edit = shown.Of(shown.form->text);
    for (const wchar_t c : std::wstring(L"typed")) {
        ::SendMessageW(edit, WM_CHAR, c, 1);
    }
    CHECK_EQ(shown.form->text.Text(), "typed");
    CHECK_EQ(TextOf(edit), "typed");
}

WIN32_TEST(RowsAddedToAMultipleSelectionAreAllKept) {
    ShownKinds shown;
    const HWND list = shown.Of(shown.form->list);
    shown.form->list.SetSelected(0, true);
    int clicks = 0;
    shown.form->list.Click = [&] { ++clicks; };
    // The user adds the second and third rows to the selection; the list tells its window.
    ::SendMessageW(list, LB_SETSEL, TRUE, 1);
    ::SendMessageW(list, LB_SETSEL, TRUE, 2);
    ::SendMessageW(shown.peer->Window(), WM_COMMAND, MAKEWPARAM(0, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
    for (std::size_t i = 0; i < 3; ++i) {
        CHECK(shown.form->list.Selected(i));
        CHECK(::SendMessageW(list, LB_GETSEL, i, 0) > 0);
    }
    CHECK_EQ(clicks, 1);
}

WIN32_TEST(ChangesMadeByAClickHandlerReachTheWindows) {
    ShownKinds shown;
    // The window's own handler overrules the user: its changes are shown, not taken for an echo.
    shown.form->check.Click = [&] {
        shown.form->check.SetValue(CheckState::Unchecked);
        shown.form->button.SetCaption("refused");
    };
    const HWND check = shown.Of(shown.form->check);
    ::SendMessageW(check, BM_CLICK, 0, 0);
    shown.loop.DoEvents();
    CHECK(shown.form->check.Value() == CheckState::Unchecked);
    CHECK_EQ(::SendMessageW(check, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_UNCHECKED));
    CHECK_EQ(TextOf(shown.Of(shown.form->button)), "refused");
}

std::vector<std::string>& Reports() {
    static std::vector<std::string> reports;
    return reports;
}

void CollectReport(const char* line) {
    Reports().emplace_back(line);
}

std::size_t ReportsStartingWith(const std::string& start) {
    std::size_t count = 0;
    for (const std::string& line : Reports()) {
        count += line.rfind(start, 0) == 0 ? 1 : 0;
    }
    return count;
}

WIN32_TEST(HandlersThatFailStopAtTheBoundaryAndTheProgramGoesOn) {
    ShownKinds shown;
    // The loop made the debug output the boundary's reporter; the test reads the reports itself.
    Reports().clear();
    SetHandlerFailureReporter(&CollectReport);

    // The settings window's OK saves every option, and a save may fail: through the window procedure.
    int saves = 0;
    shown.form->button.Click = [&] {
        ++saves;
        throw PlatformError("Cannot save the settings: access denied", 75, "Settings");
    };
    const HWND button = shown.Of(shown.form->button);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    shown.loop.DoEvents();
    CHECK_EQ(saves, 2);
    CHECK_EQ(ReportsStartingWith("quillmere: button_Click failed: run-time error 75 (Settings): Cannot save"),
             std::size_t{2});

    // A timer whose tick fails keeps ticking.
    int ticks = 0;
    auto timer = shown.loop.CreateTimer([&] {
        ++ticks;
        throw std::runtime_error("bad tick");
    });
    timer->Start(10);
    const DWORD start = ::GetTickCount();
    while (ticks < 2 && ::GetTickCount() - start < 2000) {
        shown.loop.DoEvents();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    timer.reset();
    CHECK(ticks >= 2);
    CHECK_EQ(ReportsStartingWith("quillmere: timer tick failed: bad tick"), static_cast<std::size_t>(ticks));
    SetHandlerFailureReporter(nullptr);
}

}  // namespace
}  // namespace qm::win
