#!/usr/bin/env bash
# The Debian package as a person gets it: built by CPack from BUILD_DIR, checked by lintian (an error
# fails), installed with apt-get, run from where it was installed (its version, then a short watch of a
# page in a headless browser: the page is loaded, the popup it opens on load is not), and removed again.
#
#   tests/packaging/deb_check.sh BUILD_DIR
#
# Needs root (or sudo) for apt-get, and lintian, chromium, python3. Fails loudly; never passes by skipping.
set -euo pipefail

build=$(cd "${1:?usage: deb_check.sh BUILD_DIR}" && pwd)
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "--- $*"; }
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
for tool in cpack lintian dpkg-deb apt-get python3; do
    command -v "$tool" >/dev/null || fail "$tool is missing"
done
if dpkg-query -W -f='${Status}' quillmere 2>/dev/null | grep -q "install ok installed"; then
    fail "a quillmere package is installed already; this check installs and removes its own"
fi

work=$(mktemp -d)
pids=()
installed=0
cleanup() {
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    if [ $installed -eq 1 ]; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq quillmere >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

step "package"
rm -f "$build"/quillmere_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack did not build the package"; }
deb=$(ls "$build"/quillmere_*.deb)
dpkg-deb -f "$deb" Depends | tee "$work/depends"
grep -q "chromium" "$work/depends" || fail "the package does not depend on the browser"
grep -q "fonts-wqy-microhei" "$work/depends" || fail "the package does not bring a font for the Chinese interface"
grep -q "libqt6widgets6" "$work/depends" || fail "the package's Qt libraries were not found by shlibdeps"

step "lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1 | grep -v "running with root privileges" || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian found errors in the package"

step "install"
cp "$deb" "$work/"  # apt's sandbox user must be able to read it
chmod 644 "$work/$(basename "$deb")"
chmod 755 "$work"
installed=1
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$work/$(basename "$deb")" \
    >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get could not install the package"; }
for file in /usr/bin/quillmere /usr/share/quillmere/ieclosedelay.wr /usr/share/quillmere/help.html \
            /usr/share/applications/quillmere.desktop /usr/share/icons/hicolor/48x48/apps/quillmere.png \
            /usr/share/man/man1/quillmere.1.gz; do
    [ -e "$file" ] || fail "the package did not install $file"
done
version=$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/quillmere --version) || fail "quillmere --version failed"
echo "$version"
[[ "$version" == quillmere\ [0-9]* ]] || fail "quillmere --version said '$version'"

step "a headless watch of one page"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$work/www" "$work/run" "$work/config" "$work/data"
chmod 700 "$work/run"
cat >"$work/www/watch.html" <<HTML
<!DOCTYPE html><html><body><p>A page that opens a window by itself a moment after it has loaded.</p>
<script>setTimeout(() => window.open("http://127.0.0.1:$port/popup-on-load"), 1500);</script>
</body></html>
HTML
echo ok >"$work/www/popup-on-load"
(cd "$work/www" && exec python3 -m http.server "$port" --bind 127.0.0.1) >"$work/http.log" 2>&1 &
pids+=($!)
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/run" \
    XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    /usr/bin/quillmere --headless --temp-profile "http://127.0.0.1:$port/watch.html" >"$work/quillmere.log" 2>&1 &
program=$!
pids+=($program)
for _ in $(seq 200); do
    grep -q "GET /watch.html" "$work/http.log" && break
    kill -0 "$program" 2>/dev/null || { cat "$work/quillmere.log"; fail "the installed program ended by itself"; }
    sleep 0.1
done
grep -q "GET /watch.html" "$work/http.log" || { cat "$work/quillmere.log"; fail "the watched page was never loaded"; }
sleep 4
! grep -q "GET /popup-on-load" "$work/http.log" || fail "the popup the page opened on load was let through"
kill -0 "$program" 2>/dev/null || { cat "$work/quillmere.log"; fail "the installed program ended by itself"; }
kill -TERM "$program"
status=0
wait "$program" || status=$?
[ $status -eq 0 ] || { cat "$work/quillmere.log"; fail "the installed program ended with $status on SIGTERM"; }

step "remove"
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq quillmere >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt-get could not remove the package"; }
installed=0
[ ! -e /usr/bin/quillmere ] && [ ! -e /usr/share/quillmere ] || fail "removing the package left its files"

echo "deb check: 1 passed, 0 failed ($(basename "$deb"))"
