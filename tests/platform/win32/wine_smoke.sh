#!/usr/bin/env bash
# Smoke test of the Windows build under Wine, on a private X server and a fresh Wine prefix. It runs
# quillmere.exe and drives it from outside as a user would (qm_win32_tests.exe's probe commands find its
# windows, read the notification area and press buttons), and shows:
#   - the adapters' own tests pass (qm_win32_tests.exe: registry, start-up list, files, timers, windows,
#     regions, text, event decoding, version and token calls);
#   - with a stand-in "Messenger" service running, the first start writes the default options under
#     HKCU\Software\VB and VBA Program Settings and stops the service;
#   - a second copy ends at once and leaves the first one running;
#   - the icon is in the notification area with the application title as its tooltip;
#   - a click on the icon opens the settings window (screenshot kept);
#   - the spyware check finds an entry added to the HKLM Run key and removes it, leaving the others;
#   - Shut Down, confirmed, ends the program and starts the Messenger service again;
#   - the countdown window is shaped: its cut-away corner is not the window's (screenshot kept);
#   - a browser monitor on an InternetExplorer.Application object sees BeforeNavigate2, and once the
#     browser's process has been killed IsIEValid answers false without an error;
#   - quillmere.exe --browser PATH drives a stand-in Chromium (browser_stand_in.exe, which takes the
#     protocol pipe as Edge and Chrome do) through a whole popup story: the popup a page opens by itself
#     is killed before its page is requested, the countdown window shows its address (screenshot kept),
#     the settings window's list of killed popups has it, a second start hands its address to the first
#     copy, a call the browser never answers and the browser's death are outlived, and Shut Down ends
#     the program.
# Where Wine lacks a feature the test says so and checks what remains; it never passes by skipping.
#
#   tests/platform/win32/wine_smoke.sh [build directory]     (default: build-win32)
#
# Needs: wine (wine64), xvfb, imagemagick (import, convert).
set -euo pipefail
started=$(date +%s)
root="$(cd "$(dirname "$0")/../../.." && pwd)"
build="$(cd "${1:-$root/build-win32}" && pwd)"
artifacts="$build/artifacts"
logs="$artifacts/wine-logs"
rm -rf "$logs"
mkdir -p "$artifacts" "$logs"

for tool in wine wineserver winepath Xvfb import convert; do
    command -v "$tool" >/dev/null || { echo "wine_smoke: $tool is not installed" >&2; exit 1; }
done
for exe in quillmere.exe qm_win32_tests.exe messenger_stand_in.exe browser_stand_in.exe; do
    [ -f "$build/$exe" ] || { echo "wine_smoke: $build/$exe is missing (build the Windows tree first)" >&2; exit 1; }
done

export WINEPREFIX="$build/wineprefix-smoke"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer prompts
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"

display=""
for n in $(seq 80 99); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "wine_smoke: no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 >"$logs/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY="$display"
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

failures=0
pass() { echo "PASS  $*"; }
fail() { echo "FAIL  $*"; failures=$((failures + 1)); }
note() { echo "NOTE  $*"; }
# Polls `$1` (a shell condition) every half second for up to `$2` seconds.
wait_for() {
    local i
    for i in $(seq 1 $(($2 * 2))); do
        if eval "$1"; then return 0; fi
        sleep 0.5
    done
    return 1
}
# Runs a probe command of qm_win32_tests.exe; its output goes to the log named first.
probe() {
    local log="$logs/$1.log"
    shift
    local rc=0
    wine "$build/qm_win32_tests.exe" "$@" >"$log.raw" 2>&1 || rc=$?
    tr -d '\r' <"$log.raw" >"$log"
    rm -f "$log.raw"
    return $rc
}
shot() { import -display "$display" -window root "$artifacts/$1.png"; }
pixel() { convert "$artifacts/$1.png" -format "%[pixel:p{$2,$3}]" info:; }

title='Varrow Quillmere 4.13'
settings="HKCU\\Software\\VB and VBA Program Settings\\$title\\$title"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'

echo "wine_smoke: $(wine --version) on $display, prefix $WINEPREFIX"
wineboot -i >"$logs/wineboot.log" 2>&1
# A virtual desktop: without a window manager every hidden window would cost two seconds.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >"$logs/reg.log" 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >>"$logs/reg.log" 2>&1
# Two start-up entries: a known adware program (named by its command line, in capitals) and a harmless one.
wine reg add "$run_key" /v Updater /d 'C:\Programs\X\AUTOREG.EXE /s' /f >>"$logs/reg.log" 2>&1
wine reg add "$run_key" /v Harmless /d 'C:\Programs\Y\tool.exe' /f >>"$logs/reg.log" 2>&1
# The first boot of a prefix goes on for a while after wineboot returns; a service created meanwhile can
# be lost. Let it end: the next start of Wine also brings the desktop up as set above.
wineserver -w

# 1. The adapters' own tests.
if wine "$build/qm_win32_tests.exe" >"$logs/adapter-tests.log" 2>&1; then
    pass "adapter tests ($(grep -c '^\[  OK  \]' "$logs/adapter-tests.log") passed)"
else
    fail "adapter tests:"; grep -v '^\[  OK  \]' "$logs/adapter-tests.log" || true
fi

# 2. A stand-in Messenger service, running.
standin="$(winepath -w "$build/messenger_stand_in.exe" 2>/dev/null)"
wine sc create Messenger binpath= "$standin" >"$logs/sc-create.log" 2>&1 || true
wine sc start Messenger >"$logs/sc-start.log" 2>&1 || true
service_state() { wine sc query Messenger >"$logs/sc-query.log" 2>&1 || true; grep -q "$1" "$logs/sc-query.log"; }
if wait_for 'service_state RUNNING' 15; then
    pass "stand-in Messenger service is running"
else
    fail "stand-in Messenger service did not start"; cat "$logs/sc-create.log" "$logs/sc-start.log" "$logs/sc-query.log"
fi

# 3. The first start: default options in the registry, Messenger stopped.
wine "$build/quillmere.exe" >"$logs/program.log" 2>&1 &
program=$!
read_settings() { wine reg query "$settings" >"$logs/settings.txt" 2>&1 && grep -q 'Ready' "$logs/settings.txt"; }
if wait_for read_settings 30; then
    ok=1
    for expected in "AgentShow True" "KillBanner False" "KillFlash False" "KillFloat True" "KillIFrame False" \
                    "KillMsg True" "PopupNotify True" "Ready True" "RecogEnable True" "WindowFixed False"; do
        set -- $expected
        grep -Eq "^\s*$1\s+REG_SZ\s+$2\s*$" "$logs/settings.txt" || { ok=0; echo "      missing: $1 = $2"; }
    done
    [ $ok -eq 1 ] && pass "first start wrote the ten default options" || fail "default options"
else
    fail "no options in the registry after the first start"; cat "$logs/settings.txt" || true
fi
if wait_for 'service_state STOPPED' 20; then
    pass "start-up stopped the Messenger service (KillMsg is on)"
else
    fail "the Messenger service is still running"; cat "$logs/sc-query.log"
fi

# 4. A second copy ends at once; the first one goes on.
start=$(date +%s%N)
if timeout 20 wine "$build/quillmere.exe" >"$logs/second.log" 2>&1; then second=0; else second=$?; fi
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
if [ "$second" -eq 0 ] && [ "$elapsed" -lt 10000 ]; then
    pass "a second copy ended at once (${elapsed} ms, exit code 0)"
else
    fail "second copy: exit code $second after ${elapsed} ms"
fi
sleep 1
if kill -0 "$program" 2>/dev/null; then
    pass "the first copy is still running"
else
    fail "the first copy ended"; cat "$logs/program.log"
fi

# 5. The icon in the notification area, its tooltip the title (read from the shell's own tooltip).
if probe tray-tip tray-tip "$title"; then
    pass "notification-area icon with the tooltip \"$title\" ($(sed -n 's/.*icon at //p' "$logs/tray-tip.log"))"
else
    fail "no notification-area icon with the title as tooltip"; cat "$logs/tray-tip.log"
fi

# 6. A click on the icon (with the mouse, where the shell shows it) opens the settings window.
probe tray-click tray-click "$title" || true
if probe settings-window window QuillmereForm "$title" 10; then
    sleep 1
    shot settings
    pass "a click on the icon opened the settings window; screenshot $artifacts/settings.png"
else
    fail "the settings window did not open from the icon"; cat "$logs/tray-click.log"
fi

# 7. The spyware check (the settings window's link text at 384,80 305x57): finds Updater by its command
# line, not Harmless; Kill removes it; the restart question is answered No.
probe spy-open click-at "$title" 400 100 || true
if probe spy-window window QuillmereForm "Check Spyware" 10; then
    sleep 1
    shot spyware-check
    read -r _ l t r b < "$logs/spy-window.log" || true
    if [ -n "${b:-}" ] && [ "$(convert "$artifacts/spyware-check.png" -crop "$((r - l))x$((b - t))+$l+$t" -format '%[fx:maxima]' info:)" = 0 ]; then
        note "Wine shows a window opened over the settings window black on the X screen (the screenshot"
        note "$artifacts/spyware-check.png); the window's contents are read through Win32 instead"
    fi
    probe spy-list list "Check Spyware" || true
    if grep -q '^line Updater (selected)$' "$logs/spy-list.log" && ! grep -q 'Harmless' "$logs/spy-list.log"; then
        pass "the spyware check lists the Run entry Updater (C:\\Programs\\X\\AUTOREG.EXE), selected, and nothing else"
    else
        fail "spyware check list:"; cat "$logs/spy-list.log"
    fi
    probe spy-kill click "Check Spyware" "Kill Selected Spyware" || true
    if probe spy-restart answer "$title" No "restart your computer"; then
        pass "after Kill the program asked whether to restart (answered No)"
    else
        fail "no restart question after Kill"; cat "$logs/spy-restart.log"
    fi
    sleep 1
    wine reg query "$run_key" >"$logs/run-key.txt" 2>&1 || true
    if ! grep -q 'Updater' "$logs/run-key.txt" && grep -q 'Harmless' "$logs/run-key.txt"; then
        pass "the Run key lost Updater and kept Harmless"
    else
        fail "Run key after Kill:"; cat "$logs/run-key.txt"
    fi
else
    fail "the spyware check did not open"; cat "$logs/spy-open.log"
fi

# 8. Shut Down, confirmed: the program ends and the Messenger service runs again.
probe quit-press click "$title" "Shut Down" || true
if probe quit-confirm answer "$title" Yes "Are you sure you want to quit?"; then
    if wait_for '! kill -0 "$program" 2>/dev/null' 15; then
        pass "Shut Down, confirmed, ended the program"
    else
        fail "the program still runs after Shut Down"
    fi
    if wait_for 'service_state RUNNING' 20; then
        pass "Shut Down started the Messenger service again"
    else
        fail "the Messenger service was not started by Shut Down"; cat "$logs/sc-query.log"
    fi
else
    fail "Shut Down asked nothing"; cat "$logs/quit-press.log" "$logs/quit-confirm.log"
fi
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
program=""

# 9. The countdown window on screen, shaped by ieclosedelay.wr: its top-left corner is cut away.
wine "$build/qm_win32_tests.exe" show-countdown 6 >"$logs/countdown.raw" 2>&1 &
shower=$!
wait_for "grep -q '^region' '$logs/countdown.raw'" 20 || true
sleep 1
shot countdown
wait "$shower" || true
tr -d '\r' <"$logs/countdown.raw" >"$logs/countdown.log"
read -r _ left top right bottom visible_word visible < <(grep '^countdown window' "$logs/countdown.log" | sed 's/countdown window/x/') || true
if [ "${visible:-0}" = 1 ] && grep -q 'corner 0,0 cut; centre kept; the pointer finds what lies below at the corner, the window at the centre' "$logs/countdown.log"; then
    corner=$(pixel countdown "$left" "$top")
    centre=$(pixel countdown $(( (left + right) / 2 )) $(( top + 5 )))
    outside=$(pixel countdown $(( left - 5 )) "$top")
    if [ "$corner" = "srgb(255,0,0)" ]; then
        fail "the countdown window's cut-away corner shows its face's key colour: it is not shaped on screen"
    elif [ "$corner" = "$outside" ]; then
        pass "countdown window shaped: its corner shows the desktop ($corner), its face $centre; screenshot $artifacts/countdown.png"
    else
        note "Wine leaves the cut-away corner $corner instead of drawing the desktop ($outside) there"
        pass "countdown window shaped: the corner is cut from its region and the pointer passes through it; the face's key colour is not drawn there; screenshot $artifacts/countdown.png"
    fi
else
    fail "countdown window not shown shaped"; cat "$logs/countdown.log"
fi

# 10. A browser monitor on InternetExplorer.Application. A fresh prefix does not always have the browser's
# classes registered by now (seen: REGDB_E_CLASSNOTREG once in several runs); registering them again is
# harmless, and a first failure is tried once more after the prefix has settled.
wine regsvr32 /s ieframe.dll >"$logs/regsvr32.log" 2>&1 || true
if probe ie-monitor ie-monitor || { sleep 2; probe ie-monitor ie-monitor; }; then
    pass "browser monitor on InternetExplorer.Application:"
else
    fail "browser monitor on InternetExplorer.Application:"
fi
sed 's/^/      /' "$logs/ie-monitor.log"

# 11. Edge or Chrome, played by the stand-in browser: the program starts it with the protocol pipe's
# ends inherited and named on its command line, and watches it. The stand-in's page opens a popup by
# itself once loaded; its first call into the program's page library is never answered; after the
# popup story it lingers a while and dies.
standin_log="$logs/browser-stand-in.log"
rm -f "$standin_log"
export QM_STAND_IN_ARGS="--stand-in-log=$(winepath -w "$standin_log" 2>/dev/null) --stand-in-linger-ms=20000"
browser_exe="$(winepath -w "$build/browser_stand_in.exe" 2>/dev/null)"
wine "$build/quillmere.exe" --browser "$browser_exe" --temp-profile >"$logs/chromium-program.log" 2>&1 &
program=$!
popup_killed() { grep -q '^<< .*"method":"Target.closeTarget"' "$standin_log" 2>/dev/null; }
if wait_for popup_killed 40; then
    # The popup's own page request was held by the program and failed, never let through.
    if grep -q '^<< .*"method":"Fetch.failRequest"' "$standin_log" &&
        ! grep -q '^<< .*"method":"Fetch.continueRequest".*interception-job-2' "$standin_log"; then
        pass "Chromium: the popup the page opened by itself was killed before its page was requested"
    else
        fail "Chromium: the popup's page request was let through"; grep -E 'Fetch|closeTarget' "$standin_log" || true
    fi
else
    fail "Chromium: the popup was not killed"; tail -n 20 "$standin_log" 2>/dev/null || true; cat "$logs/chromium-program.log"
fi
if probe chromium-countdown texts QuillmereForm "" 10 && grep -q 'ads.example/popup.html' "$logs/chromium-countdown.log"; then
    shot chromium-countdown
    pass "Chromium: the countdown window shows the killed popup's address; screenshot $artifacts/chromium-countdown.png"
else
    fail "Chromium: no countdown window with the popup's address"; cat "$logs/chromium-countdown.log"
fi
# The countdown's Close puts the popup on the list of killed popups at once (else its 10 s do).
# Wine sometimes loses the first click of a test that follows the earlier steps' clicks (not seen when
# this step runs alone); a lost click is said, and the button clicked again.
closed=0
for attempt in 1 2 3; do
    probe chromium-countdown-close click "" "Close" || true
    if probe chromium-countdown-gone gone QuillmereForm "" 2; then closed=$attempt; break; fi
done
probe chromium-after-close texts QuillmereForm "" 1 || true
if [ "$closed" -gt 0 ]; then
    [ "$closed" -gt 1 ] && note "Wine lost $((closed - 1)) click(s) on the countdown's Close before one arrived"
    pass "Chromium: a click on the countdown's Close closed it"
else
    fail "Chromium: the countdown window stayed after three clicks on Close"
    cat "$logs/chromium-countdown-close.log" "$logs/chromium-after-close.log"; tail -n 20 "$logs/chromium-program.log"
fi
probe chromium-tray-click tray-click "$title" || true
if probe chromium-settings window QuillmereForm "$title" 10 && probe chromium-killed list "$title" &&
    grep -q '^line .*ads.example/popup.html' "$logs/chromium-killed.log"; then
    sleep 1
    shot chromium-settings
    pass "Chromium: the settings window lists the killed popup; screenshot $artifacts/chromium-settings.png"
else
    fail "Chromium: the killed popup is not in the settings window's list"; cat "$logs/chromium-killed.log" 2>/dev/null || true
fi
# A second start, with an address: the first copy opens it as a new window of the watched browser.
if timeout 20 wine "$build/quillmere.exe" http://second.example/ >"$logs/chromium-second.log" 2>&1 &&
    wait_for "grep -q '^<< .*\"Target.createTarget\".*second.example' '$standin_log'" 10; then
    pass "Chromium: a second start handed its address to the first copy, which opened it in the watched browser"
else
    fail "Chromium: a second start's address did not reach the browser"; cat "$logs/chromium-second.log"
fi
if grep -q 'did not answer' "$logs/chromium-program.log"; then
    pass "Chromium: a call the browser never answered timed out and the program went on"
else
    fail "Chromium: the unanswered call was not reported"; cat "$logs/chromium-program.log"
fi
if wait_for "grep -q 'the browser has ended' '$logs/chromium-program.log'" 40 && sleep 1 && kill -0 "$program" 2>/dev/null; then
    pass "Chromium: the browser's death was noticed and the program runs on"
else
    fail "Chromium: the browser's death"; cat "$logs/chromium-program.log"
fi
probe chromium-quit-press click "$title" "Shut Down" || true
if probe chromium-quit-confirm answer "$title" Yes "Are you sure you want to quit?" &&
    wait_for '! kill -0 "$program" 2>/dev/null' 15; then
    pass "Chromium: Shut Down, confirmed, ended the program"
else
    fail "Chromium: the program still runs after Shut Down"; cat "$logs/chromium-quit-press.log" 2>/dev/null || true
fi
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
program=""
unset QM_STAND_IN_ARGS

echo
echo "Not exercised under Wine (its shell keeps no list of browser windows: ShellWindows answers E_NOTIMPL"
echo "and fires no WindowRegistered/WindowRevoked; it has no HTML engine; NewWindow2 never fires):"
echo "  browser tracking through the shell's list and its events, the page model over MSHTML and its"
echo "  events, a hidden browser actually hosting a popup. These are compiled here; the decoding of their"
echo "  events is tested by qm_win32_tests.exe (which also runs the hidden WebBrowser control and the input"
echo "  hooks for real), and their behaviour is tested on the simulated platform."
echo
echo "wine_smoke: took $(( $(date +%s) - started )) s"
if [ "$failures" -eq 0 ]; then
    echo "wine_smoke: all passed"
else
    echo "wine_smoke: $failures failed"
    exit 1
fi
