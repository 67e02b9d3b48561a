#pragma once

namespace qm::win {

// Commands that the Wine smoke test uses to look at and drive the running program from outside, as a
// user would: find its windows, read the notification area's tooltips, click icons, buttons and message
// boxes, and run a browser monitor against Internet Explorer's automation object. Returns the process
// exit code, or -1 when `argv[1]` names no such command.
int RunProbe(int argc, wchar_t** argv);

}  // namespace qm::win
