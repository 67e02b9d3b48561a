#pragma once

#include <array>
#include <string_view>

#include "forms/control.h"
#include "forms/form.h"

namespace qm {

class WinSystem;

// The adware the check knows, by the file name of its program, lower case, in the order they are tried.
inline constexpr std::array<std::string_view, 37> kKnownSpyware = {
    "autoreg.exe",    "bargains.exe",    "cd_load.exe",  "cmesys.exe",    "cnbabe.exe",    "ct_load.exe",
    "ctbclick.exe",   "ctregrun.exe",    "ctsrreg.exe",  "dssagent.exe",  "ezulumain.exe", "fhfmm.exe",
    "flydesk.exe",    "hxdl.exe",        "hxiul.exe",    "fsg.exe",       "msbb.exe",      "newsupd.exe",
    "npnsdad.exe",    "onflow.exe",      "remind32.exe", "savenow.exe",   "tsadbot.exe",   "updreg.exe",
    "winnet.exe",     "xtcfgloader.exe", "xupiter.exe",  "bdeviewer.exe", "bdeclean.exe",  "bdverify.exe",
    "dlder.exe",      "dw.exe",          "ezstub.exe",   "fsg-ag.exe",    "mmod.exe",      "save.exe",
    "winstart001.exe"};

inline constexpr char kRestartQuestion[] = "Do you want to restart your computer for changes to take effect?";

// The first known adware program whose file name occurs anywhere in `commandLine` (compared after
// lower-casing its ASCII letters), or an empty view when none does.
std::string_view FindKnownSpyware(std::string_view commandLine);

// The spyware check: a modal window that, when it loads, looks through the machine's start-up list for
// entries whose command line names a known adware program, and lists them by value name, all selected.
// "Kill Selected Spyware" deletes the entries still selected, closes the window and offers to restart the
// machine; Cancel closes it and changes nothing. Every entry of the list is examined, however long its
// name or command line. Always owned by a std::shared_ptr. User-interface thread only.
class CheckSpy final : public Form {
  public:
    explicit CheckSpy(WinSystem& app);
    ~CheckSpy() override;

    // The controls, in the window's control order. Places in pixels.
    Control Label1;
    Control listExistingSpies;
    Control buttonKill;
    Control buttonCancel;

  protected:
    // Form:
    void Form_Load() override;

  private:
    void buttonKill_Click();
    void buttonCancel_Click();

    WinSystem& app_;
};

}  // namespace qm
