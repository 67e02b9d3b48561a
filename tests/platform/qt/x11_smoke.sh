#!/usr/bin/env bash
# The program on a real X server: Xvfb as the screen, openbox as the window manager (it honours
# "stay on top"), trayer as the notification area. Quillmere starts a headless Chromium on its demo page,
# served from a local HTTP server with the popup's address pointing back at that server, so that the
# test can see which popups really open.
#
#   tests/platform/qt/x11_smoke.sh BUILD_DIR
#
# Checks: the tray icon docks and shows a tooltip; a click on it opens the settings window; the popup
# the page opens on load brings the countdown window up along the top of the screen, shaped (its cut-away
# corner shows what is under it) and counting down; real clicks on its Open and Close buttons open the
# popup or drop it; SIGTERM ends the program and its browser. The settings window's modal windows and
# message boxes are painted over it and answer real clicks: the about box and the "What's this?" window
# close, the test message is acknowledged, the spyware check kills a planted start-up entry and its
# restart question answered No leaves everything running, and the quit prompt answered No leaves the
# program running while Yes ends it. The settings window in Chinese is photographed too, and SIGTERM ends
# the program while its about box is open. Screenshots are
# kept in BUILD_DIR/artifacts/. Fails loudly; never passes by skipping.
#
# Screenshots are taken with ImageMagick's import: xwd assembles the screen per visual when the server
# offers more than one (Xvfb's Composite adds a 32-bit one) and then shows a window that lies over
# another window of the same program as a black rectangle, although the screen shows it painted.
set -euo pipefail

build=$(cd "${1:?usage: x11_smoke.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
program="$build/quillmere"
artifacts="$build/artifacts"
title="Varrow Quillmere 4.13"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "--- $*"; }

for tool in Xvfb openbox trayer xdotool xwininfo import convert fc-list python3; do
    command -v "$tool" >/dev/null || fail "$tool is missing (apt-get install xvfb openbox trayer xdotool x11-utils imagemagick fontconfig)"
done
[ -n "$(fc-list :lang=zh family)" ] || fail "no font covers Chinese (apt-get install fonts-wqy-microhei)"
[ -x "$program" ] || fail "no program at $program"
[[ "$(ldd "$program")" == *libQt6Widgets* ]] || fail "$program is not the Qt build"

mkdir -p "$artifacts"
work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null || true
    done
    sleep 0.5
    for pid in "${pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    # Shut Down leaves the browser running, as it leaves every browser; the test ends its own ones.
    for pid in $(pgrep -f "user-data-dir=$work/profile-" 2>/dev/null); do
        kill -TERM "$pid" 2>/dev/null || true
    done
    rm -f "${planted:-}"
    rm -rf "$work"
}
trap cleanup EXIT

# --- The screen.
# Another test may take the same free display at the same moment: then the next one is tried.
display=120
for _ in 1 2 3 4 5; do
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    export DISPLAY=":$display"
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
        kill -0 "$xvfb" 2>/dev/null || break
        xwininfo -root >/dev/null 2>&1 && break
        sleep 0.1
    done
    sleep 0.3  # a server that lost the display to another one has ended by now
    if kill -0 "$xvfb" 2>/dev/null && xwininfo -root >/dev/null 2>&1; then
        pids+=($xvfb)
        break
    fi
    kill "$xvfb" 2>/dev/null || true
    display=$((display + 1))
done
xwininfo -root >/dev/null 2>&1 || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel --height 24 \
       >"$work/trayer.log" 2>&1 &
pids+=($!)

shoot() { import -window root "$1"; }
# The colour of one pixel of a screenshot, as "r,g,b".
pixel() { convert "$1" -format "%[fx:int(255*u.p{$2,$3}.r)],%[fx:int(255*u.p{$2,$3}.g)],%[fx:int(255*u.p{$2,$3}.b)]" info:; }
# "id x y w h" of the first top-level window whose xwininfo line matches the pattern.
find_window() {
    xwininfo -root -tree 2>/dev/null | grep -E "$1" | head -1 |
        sed -E 's/^ *(0x[0-9a-f]+) .* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \4 \5 \2 \3/'
}
wait_for() {  # wait_for SECONDS COMMAND...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

# Whether the window "id x y w h" is painted in the screenshot: light on the whole (every window checked
# here has a light face) and not one flat colour.
painted() {
    local stats
    read -r _ wx wy ww wh <<<"$2"
    stats=$(convert "$1" -crop "${ww}x${wh}+${wx}+${wy}" +repage -colorspace gray \
        -format "%[fx:mean] %[fx:standard_deviation]" info:)
    python3 -c "import sys; m, s = map(float, sys.argv[1:3]); sys.exit(0 if m > 0.5 and s > 0.02 else 1)" $stats
}
# A message box of the program: a window with the title that is not the settings window.
find_box() {
    xwininfo -root -tree 2>/dev/null | grep -F "\"$1\": " | grep -v " 720x511+" | head -1 |
        sed -E 's/^ *(0x[0-9a-f]+) .* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \4 \5 \2 \3/'
}
box_up() { box=$(find_box "$title"); [ -n "$box" ]; }
box_gone() { ! box_up; }
# Clicks at (x, y) inside the window "id x y w h".
click_in() {
    local wx wy
    read -r _ wx wy _ _ <<<"$1"
    xdotool mousemove $((wx + $2)) $((wy + $3)) sleep 0.3 click 1
}
# The buttons of a message box sit at its bottom right, 80 pixels wide, 6 apart, 11 from the edges: the
# last one ("No", or the only "OK") and the one before it ("Yes").
click_box_button() {  # click_box_button last|before_last
    local ww wh
    read -r _ _ _ ww wh <<<"$box"
    if [ "$1" = last ]; then
        click_in "$box" $((ww - 51)) $((wh - 23))
    else
        click_in "$box" $((ww - 137)) $((wh - 23))
    fi
}
# Answers the message box on the screen: photographs it, checks that it is painted, clicks a button.
answer_box() {  # answer_box SHOT last|before_last
    wait_for 10 box_up || fail "no message box for $1"
    sleep 0.5
    box_up
    shoot "$artifacts/$1.png"
    painted "$artifacts/$1.png" "$box" || fail "the message box $1 is not painted (see $1.png)"
    click_box_button "$2"
    wait_for 5 box_gone || fail "a click on its button did not answer the message box $1"
}
gone_title() { ! xwininfo -root -tree 2>/dev/null | grep -qF "\"$1\": "; }

# --- A local web server with the demo page; its popup points back here.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$work/www"
sed -n '/R"HTML(/,/)HTML"/p' "$root/src/app/demo_page.h" | sed '1s/.*R"HTML(//; $d' |
    sed "s#https://popup.example.com/#http://127.0.0.1:$port/popup-on-load#" >"$work/www/demo.html"
grep -q "popup-on-load" "$work/www/demo.html" || fail "the demo page has no popup on load"
echo ok >"$work/www/popup-on-load"
(cd "$work/www" && exec python3 -m http.server "$port" --bind 127.0.0.1) >"$work/http.log" 2>&1 &
pids+=($!)
requests() { grep -c "GET /popup-on-load" "$work/http.log" || true; }

start_program() {  # start_program RUN [options...]
    local run=$1
    shift
    XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" \
        "$program" --headless --user-data-dir "$work/profile-$run" \
        --start-url "http://127.0.0.1:$port/demo.html" "$@" >"$work/quillmere-$run.log" 2>&1 &
    program_pid=$!
    pids+=($program_pid)
}
mkdir -p "$work/run" "$work/config"
chmod 700 "$work/run"

# A start-up entry of known adware for the spyware check to find, in the machine's autostart folder.
planted="/etc/xdg/autostart/quillmere-smoke-$$.desktop"
mkdir -p /etc/xdg/autostart 2>/dev/null || true
printf '[Desktop Entry]\nType=Application\nName=Smoke\nExec=/opt/smoke/flydesk.exe\n' >"$planted" 2>/dev/null ||
    fail "cannot plant a start-up entry in /etc/xdg/autostart (the test needs to write there)"

shoot "$work/background.png"

# --- Start: the icon docks in the notification area.
step "tray icon"
started=$(date +%s%N)
start_program 1
icon_docked() { icon=$(xwininfo -root -tree 2>/dev/null | grep -A40 '"panel"' | grep -m1 '"quillmere"' || true); [ -n "$icon" ]; }
wait_for 15 icon_docked || { cat "$work/quillmere-1.log"; fail "the tray icon never docked"; }
echo "docked after $((($(date +%s%N) - started) / 1000000)) ms"
locate_icon() {
    read -r icon_x icon_y < <(echo "$icon" | sed -E 's/.*\+(-?[0-9]+)\+(-?[0-9]+) *$/\1 \2/')
    icon_x=$((icon_x + 11))
    icon_y=$((icon_y + 11))
}
locate_icon
# Pointing at the icon brings up its tooltip (the title; the offscreen tests read its text) above it.
tip_area() { convert "$1" -crop "300x40+$((icon_x - 300))+$((icon_y - 50))" +repage -format "%#" info:; }
shoot "$work/before_tooltip.png"
tooltip_shown() {
    shoot "$artifacts/tray_tooltip.png"
    [ "$(tip_area "$work/before_tooltip.png")" != "$(tip_area "$artifacts/tray_tooltip.png")" ]
}
# The tray host only passes the pointer on once it has settled over the icon; on a busy machine the
# first hover can be lost, and the host may still move the icon once it has docked. So each try finds the
# icon again and brings the pointer onto it afresh, a few times before the test gives up.
tooltip_after_hover() {
    icon_docked && locate_icon
    xdotool mousemove "$((icon_x - 40))" "$((icon_y - 60))"
    sleep 0.3
    xdotool mousemove "$icon_x" "$icon_y"
    wait_for 4 tooltip_shown
}
hovers=0
until tooltip_after_hover; do
    hovers=$((hovers + 1))
    [ "$hovers" -lt 5 ] || fail "no tooltip appears over the tray icon"
done

# --- The popup on load: the countdown window at the top of the screen, shaped, counting down.
step "countdown window"
countdown_up() { delay=$(find_window '213x70\+'); [ -n "$delay" ]; }
wait_for 20 countdown_up || { cat "$work/quillmere-1.log"; fail "no countdown window for the popup on load"; }
sleep 0.5  # the window joins the row along the top of the screen right after it shows
countdown_up
read -r delay_id delay_x delay_y _ _ <<<"$delay"
echo "countdown window $delay_id at $delay_x,$delay_y"
[ "$delay_y" -le 10 ] || fail "the countdown window is not at the top of the screen (y=$delay_y)"
sleep 0.5
shoot "$artifacts/countdown.png"
corner=$(pixel "$artifacts/countdown.png" "$delay_x" "$delay_y")
under=$(pixel "$work/background.png" "$delay_x" "$delay_y")
face=$(pixel "$artifacts/countdown.png" $((delay_x + 100)) $((delay_y + 60)))
[ "$corner" = "$under" ] || fail "the cut-away corner shows $corner, not what is under it ($under)"
[ "$face" != "$under" ] || fail "the countdown window's face is not drawn ($face)"
digits() { convert "$1" -crop "40x16+$((delay_x + 115))+$((delay_y + 6))" +repage -format "%#" info:; }
before=$(digits "$artifacts/countdown.png")
sleep 2.2
shoot "$artifacts/countdown_later.png"
[ "$(digits "$artifacts/countdown_later.png")" != "$before" ] || fail "the countdown does not count"
[ "$(requests)" -eq 0 ] || fail "the blocked popup was loaded before anyone asked for it"

# --- Open: a real click on the window's Open button opens the popup and closes the window.
step "Open"
xdotool mousemove $((delay_x + 76)) $((delay_y + 43)) sleep 0.3 click 1
gone() { [ -z "$(find_window "^ *$delay_id ")" ] || ! xwininfo -id "$delay_id" 2>/dev/null | grep -q IsViewable; }
wait_for 5 gone || fail "Open did not close the countdown window"
wait_for 10 bash -c "grep -q 'GET /popup-on-load' '$work/http.log'" || fail "Open did not open the popup"

# --- The icon opens the settings window.
step "settings window"
xdotool mousemove "$icon_x" "$icon_y" click 1
settings_up() { settings=$(find_window "\"$title\": .*720x511"); [ -n "$settings" ]; }
wait_for 10 settings_up || fail "a click on the tray icon did not open the settings window"
sleep 0.5
shoot "$artifacts/settings.png"

# --- The settings window's modal windows and message boxes: painted over it, answering real clicks.
step "about box"
click_in "$settings" 344 495
about_up() { about=$(find_window "\"About [^\"]*\": .*400x250"); [ -n "$about" ]; }
wait_for 10 about_up || fail "About did not open the about box"
sleep 0.5
about_up
shoot "$artifacts/about.png"
painted "$artifacts/about.png" "$about" || fail "the about box is not painted (see about.png)"
click_in "$about" 344 225
wait_for 5 gone_title "About $title" || fail "OK did not close the about box"

step "What's this? window"
click_in "$settings" 164 272
whats_up() { whats=$(find_window "\"What's this\?\": .*185x129"); [ -n "$whats" ]; }
wait_for 10 whats_up || fail "What's this? did not open its window"
sleep 0.5
whats_up
shoot "$artifacts/whats_this.png"
painted "$artifacts/whats_this.png" "$whats" || fail "the What's this? window is not painted"
click_in "$whats" 92 108
wait_for 5 gone_title "What's this?" || fail "Close did not close the What's this? window"

step "test message"
click_in "$settings" 240 274
answer_box test_message last

step "spyware check"
click_in "$settings" 536 108
spy_up() { spy=$(find_window "\"Check Spyware\": .*320x240"); [ -n "$spy" ]; }
wait_for 10 spy_up || fail "the link did not open the spyware check"
sleep 0.5
spy_up
shoot "$artifacts/spyware_check.png"
painted "$artifacts/spyware_check.png" "$spy" || fail "the spyware check is not painted"
[ -e "$planted" ] || fail "the planted start-up entry went before anyone asked"
click_in "$spy" 92 216
wait_for 5 gone_title "Check Spyware" || fail "Kill Selected Spyware did not close the spyware check"
[ ! -e "$planted" ] || fail "Kill Selected Spyware left the planted start-up entry"
answer_box restart_question last
sleep 1
kill -0 "$program_pid" 2>/dev/null || fail "answering No to the restart question ended the program"
settings_up || fail "the settings window went with the restart question"

xdotool key Escape
closed() { ! settings_up; }
wait_for 5 closed || fail "Esc did not close the settings window"


# --- SIGTERM ends the program and the browser it started.
step "stop"
kill -TERM "$program_pid"
wait_for 10 bash -c "! kill -0 $program_pid 2>/dev/null" || fail "SIGTERM did not end the program"
wait_for 10 bash -c "! pgrep -f '[u]ser-data-dir=$work/profile-1' >/dev/null" || fail "the browser outlived the program"

# --- A second run: Close drops the popup; it is never opened.
step "Close"
loaded=$(requests)
start_program 2
wait_for 15 icon_docked || fail "the tray icon never docked on the second run"
locate_icon
wait_for 20 countdown_up || { cat "$work/quillmere-2.log"; fail "no countdown window on the second run"; }
sleep 0.5
countdown_up
read -r delay_id delay_x delay_y _ _ <<<"$delay"
xdotool mousemove $((delay_x + 132)) $((delay_y + 43)) sleep 0.3 click 1
wait_for 5 gone || fail "Close did not close the countdown window"
sleep 2
[ "$(requests)" -eq "$loaded" ] || fail "Close opened the popup"
xdotool mousemove "$icon_x" "$icon_y" click 1
wait_for 10 settings_up || fail "the settings window did not open on the second run"
sleep 0.5
shoot "$artifacts/settings_killed_list.png"

# --- Shut Down asks first: No leaves the program running, Yes ends it.
step "quit prompt"
click_in "$settings" 248 495
answer_box quit_prompt last
sleep 1
kill -0 "$program_pid" 2>/dev/null || fail "No on the quit prompt ended the program"
settings_up || fail "No on the quit prompt closed the settings window"
click_in "$settings" 248 495
answer_box quit_prompt_yes before_last
wait_for 15 bash -c "! kill -0 $program_pid 2>/dev/null" || fail "Yes on the quit prompt did not end the program"

# --- The interface in Chinese: the countdown window and the settings window with their Chinese font.
step "Chinese"
start_program 3 --language Chinese
wait_for 15 icon_docked || fail "the tray icon never docked on the Chinese run"
locate_icon
wait_for 20 countdown_up || { cat "$work/quillmere-3.log"; fail "no countdown window on the Chinese run"; }
sleep 1
shoot "$artifacts/countdown_chinese.png"
xdotool mousemove "$icon_x" "$icon_y" click 1
settings_zh_up() { settings=$(find_window ": \(\"quillmere\" .*720x511"); [ -n "$settings" ]; }
wait_for 10 settings_zh_up || fail "the settings window did not open in Chinese"
sleep 0.5
shoot "$artifacts/settings_chinese.png"
painted "$artifacts/settings_chinese.png" "$settings" || fail "the Chinese settings window is not painted"
# A stop signal ends the program also while a modal window runs its own loop.
click_in "$settings" 344 495
wait_for 10 about_up || fail "About did not open the about box on the Chinese run"
kill -TERM "$program_pid"
wait_for 10 bash -c "! kill -0 $program_pid 2>/dev/null" || fail "SIGTERM did not end the program while its about box was open"

echo "x11 smoke: 1 passed, 0 failed (screenshots in $artifacts)"
