#!/usr/bin/env bash
# Start-up and memory of the program on a real X server (Xvfb with trayer as the notification area).
#
#   bench/startup_bench.sh BUILD_DIR
#
# 1. Start-up to tray icon docked, median of 5 runs. The browser is a stand-in that starts at once and
#    answers every call without any page, so the figure is the program's own start (Qt, the windows
#    loaded hidden, the icon docked), without Chromium's. Target: under 200 ms. For comparison, the same
#    with the real headless Chromium is printed too. Run it on an otherwise idle machine.
# 2. The program's resident memory (VmRSS of the quillmere process alone, not the browser's), idle for
#    10 s while it watches 10 pages of a real headless Chromium. Target: under 30 MB.
set -euo pipefail

build=$(cd "${1:?usage: startup_bench.sh BUILD_DIR}" && pwd)
program="$build/quillmere"
[ -x "$program" ] || { echo "no program at $program" >&2; exit 1; }
for tool in Xvfb trayer xwininfo python3; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM "${pids[i]}" 2>/dev/null || true; done
    sleep 0.3
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

display=140
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
export DISPLAY=":$display"
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel --height 24 >/dev/null 2>&1 &
pids+=($!)
sleep 1

mkdir -p "$work/run" && chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
# A browser that starts at once: it answers every DevTools call on its pipe (fd 3 in, fd 4 out, messages
# ended by NUL) with an empty result and has no pages.
cat >"$work/still-browser" <<'STUB'
#!/bin/bash
while IFS= read -r -d '' message <&3; do
    if [[ $message =~ \"id\":([0-9]+) ]]; then
        printf '{"id":%s,"result":{"targetInfos":[]}}\0' "${BASH_REMATCH[1]}" >&4
    fi
done
STUB
chmod +x "$work/still-browser"

docked() { xwininfo -root -tree 2>/dev/null | grep -A40 '"panel"' | grep -q '"quillmere"'; }

# Milliseconds from the start of the program to its icon docked in the notification area.
time_to_dock() {
    local start end pid
    start=$(date +%s%N)
    "$program" "$@" --user-data-dir "$work/profile" >/dev/null 2>&1 &
    pid=$!
    until docked; do
        if ! kill -0 "$pid" 2>/dev/null; then echo "the program ended before its icon docked" >&2; return 1; fi
        if [ $(($(date +%s%N) - start)) -gt 20000000000 ]; then echo "the icon never docked" >&2; return 1; fi
    done
    end=$(date +%s%N)
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null || true
    while docked; do sleep 0.05; done
    echo $(((end - start) / 1000000))
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }

runs=()
for _ in 1 2 3 4 5; do runs+=("$(time_to_dock --chromium "$work/still-browser" --headless)"); done
echo "start-up to tray icon docked, without the browser's start: median $(median "${runs[@]}") ms (runs: ${runs[*]}; target < 200 ms)"
runs=()
for _ in 1 2 3 4 5; do runs+=("$(time_to_dock --headless)"); done
echo "start-up to tray icon docked, with headless Chromium starting beside it: median $(median "${runs[@]}") ms (runs: ${runs[*]})"

# Ten watched pages: the start page opens nine more. Popup blocking is switched off in the settings file
# for this run, so that they all open.
mkdir -p "$work/config/quillmere" "$work/www"
printf '[Varrow Quillmere 4.13/Varrow Quillmere 4.13]\nReady=True\nRecogEnable=False\nPopupNotify=False\n' \
    >"$work/config/quillmere/settings.ini"
cat >"$work/www/page.html" <<'HTML'
<!DOCTYPE html><html><head><title>page</title></head><body><p>A watched page.</p>
<script>if (!location.search) { for (var i = 1; i < 10; i++) window.open('page.html?' + i, '_blank'); }</script>
</body></html>
HTML
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
(cd "$work/www" && exec python3 -m http.server "$port" --bind 127.0.0.1) >"$work/http.log" 2>&1 &
pids+=($!)
sleep 0.5
"$program" --headless --user-data-dir "$work/profile" --start-url "http://127.0.0.1:$port/page.html" >"$work/q.log" 2>&1 &
pid=$!
pids+=($pid)
for _ in $(seq 100); do
    [ "$(grep -c 'GET /page.html' "$work/http.log" || true)" -ge 10 ] && break
    sleep 0.2
done
pages=$(grep -c 'GET /page.html' "$work/http.log" || true)
sleep 10
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
echo "resident memory idle with $pages watched pages: $((rss / 1024)) MB ($rss kB; target < 30 MB)"
