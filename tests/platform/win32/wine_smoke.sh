#!/usr/bin/env bash
# Smoke test of the Windows build under Wine, on a private X server and a fresh Wine prefix:
#   - the adapters' own tests (qm_win32_tests.exe: registry, files, timers, windows, regions, text);
#   - with a stand-in "Messenger" service running, the first start of the program writes the default
#     options under HKCU\Software\VB and VBA Program Settings and stops the service;
#   - a second copy ends at once and leaves the first one running;
#   - the countdown window on screen, kept as build-win32/artifacts/countdown.png.
# Wine has no Internet Explorer pages: those parts are only compiled here, and the test says so.
#
#   tests/platform/win32/wine_smoke.sh [build directory]     (default: build-win32)
set -euo pipefail
root="$(cd "$(dirname "$0")/../../.." && pwd)"
build="$(cd "${1:-$root/build-win32}" && pwd)"
artifacts="$build/artifacts"
logs="$artifacts/wine-logs"
mkdir -p "$artifacts" "$logs"

for tool in wine wineserver Xvfb xwd convert; do
    command -v "$tool" >/dev/null || { echo "wine_smoke: $tool is not installed" >&2; exit 1; }
done
for exe in quillmere.exe qm_win32_tests.exe messenger_stand_in.exe; do
    [ -f "$build/$exe" ] || { echo "wine_smoke: $build/$exe is missing (build the Windows tree first)" >&2; exit 1; }
done

export WINEPREFIX="$build/wineprefix-smoke"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer prompts
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
# Polls `$1` (a shell condition) every half second for up to `$2` seconds.
wait_for() {
    local i
    for i in $(seq 1 $(($2 * 2))); do
        if eval "$1"; then return 0; fi
        sleep 0.5
    done
    return 1
}

echo "wine_smoke: $(wine --version) on $display, prefix $WINEPREFIX"
wineboot -i >"$logs/wineboot.log" 2>&1
# A virtual desktop: without a window manager every hidden window would cost two seconds.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >"$logs/reg.log" 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >>"$logs/reg.log" 2>&1

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
    fail "stand-in Messenger service did not start"; cat "$logs/sc-start.log" "$logs/sc-query.log"
fi

# 3. The first start: default options in the registry, Messenger stopped.
settings='HKCU\Software\VB and VBA Program Settings\Varrow Quillmere 4.13\Varrow Quillmere 4.13'
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
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
program=""
wineserver -w 2>/dev/null || true

# 5. The countdown window on screen.
wine "$build/qm_win32_tests.exe" show-countdown 8 >"$logs/countdown.log" 2>&1 &
shower=$!
sleep 5
xwd -root -display "$display" -silent >"$artifacts/countdown.xwd"
convert "$artifacts/countdown.xwd" "$artifacts/countdown.png"
colours=$(convert "$artifacts/countdown.png" -format '%k' info:)
wait "$shower" || true
if [ "$colours" -gt 2 ] && grep -q 'visible 1' "$logs/countdown.log"; then
    pass "countdown window shown ($(grep 'countdown window at' "$logs/countdown.log" | sed 's/.*at //')); screenshot $artifacts/countdown.png"
else
    fail "countdown window not on screen"; cat "$logs/countdown.log"
fi

echo
echo "Not exercised under Wine (its shell keeps no list of browser windows and runs no IE pages):"
echo "  browser tracking events, IWebBrowser2 events, the hidden WebBrowser control, the MSHTML page model,"
echo "  the input hooks; these are compiled here and their behaviour is tested on the simulated platform."
echo
if [ "$failures" -eq 0 ]; then
    echo "wine_smoke: all passed"
else
    echo "wine_smoke: $failures failed"
    exit 1
fi
