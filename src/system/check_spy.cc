#include "system/check_spy.h"

#include <cstdint>
#include <string>

#include "base/text.h"
#include "ports/desktop.h"
#include "ports/platform.h"
#include "ports/startup_list.h"
#include "shell/win_system.h"
#include "system/system_core.h"

namespace qm {

namespace {

constexpr char kCaption[] = "Check Spyware";
const FontSpec kWindowFont{"MS Sans Serif", 8.25, false, 0};

// The text up to its first NUL character.
std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace

std::string_view FindKnownSpyware(std::string_view commandLine) {
    const std::string lower = ToLowerAscii(UpToNul(commandLine));
    for (const std::string_view name : kKnownSpyware) {
        if (lower.find(name) != std::string::npos) {
            return name;
        }
    }
    return {};
}

CheckSpy::CheckSpy(WinSystem& app)
    : Form(app.GetPlatform().loop, &app.GetPlatform().renderer),
      Label1(*this, "Label1", ControlKind::Label),
      listExistingSpies(*this, "listExistingSpies", ControlKind::ListBox),
      buttonKill(*this, "buttonKill", ControlKind::CommandButton),
      buttonCancel(*this, "buttonCancel", ControlKind::CommandButton),
      app_(app) {
    SetDesign(ScaleUnit::Pixels, BorderStyle::FixedDialog, 320 * kTwipsPerPixel, 240 * kTwipsPerPixel);
    SetCenteredOnScreen(true);
    SetFont(kWindowFont);
    SetCaption(kCaption);

    Label1.Move(12, 12, 296, 17);
    Label1.SetCaption("Spyware detected on your computer:");
    listExistingSpies.Move(12, 32, 296, 160);
    listExistingSpies.SetMultiSelect(true);
    buttonKill.Move(12, 204, 160, 25);
    buttonKill.SetCaption("Kill Selected Spyware");
    buttonKill.SetDefault(true);
    buttonCancel.Move(228, 204, 80, 25);
    buttonCancel.SetCaption("Cancel");
    buttonCancel.SetCancel(true);

    buttonKill.Click = [this] { buttonKill_Click(); };
    buttonCancel.Click = [this] { buttonCancel_Click(); };
}

CheckSpy::~CheckSpy() = default;

void CheckSpy::Form_Load() {
    StartupList& list = app_.GetPlatform().startupList;
    {
        const StartupKey key(list, list.Open());
        if (key) {
            // Every value is examined, whatever the length of its name or command line, and one that
            // cannot be read is passed over: an entry placed after either is still found.
            for (std::uint32_t index = 0;; ++index) {
                StartupValue value;
                const StartupEnumResult result = list.EnumValue(key.Value(), index, value);
                if (result == StartupEnumResult::NoMoreValues) {
                    break;
                }
                if (result == StartupEnumResult::Unreadable) {
                    continue;
                }
                if (!FindKnownSpyware(value.data).empty()) {
                    listExistingSpies.AddItem(std::string(UpToNul(value.name)));
                    listExistingSpies.SetSelected(listExistingSpies.Items().size() - 1, true);
                }
            }
        }
    }
    if (listExistingSpies.Items().empty()) {
        buttonKill.SetEnabled(false);
    }
}

void CheckSpy::buttonKill_Click() {
    StartupList& list = app_.GetPlatform().startupList;
    {
        const StartupKey key(list, list.Open());
        if (key) {
            const auto& lines = listExistingSpies.Items();
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (listExistingSpies.Selected(i)) {
                    list.DeleteValue(key.Value(), lines[i]);  // a failed deletion is not reported
                }
            }
        }
    }
    Unload();
    const int answer = app_.GetPlatform().desktop.MessageBox(kRestartQuestion, app_.AppTitle(),
                                                             mb::kYesNo | mb::kIconExclamation);
    if (answer == mb::kAnswerYes) {
        app_.AppSystemCore().RestartWindows();
    }
}

void CheckSpy::buttonCancel_Click() {
    Unload();
}

}  // namespace qm
