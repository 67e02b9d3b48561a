#!/usr/bin/env bash
# Fails when a run of the program or of its tests left a temporary browser profile behind: a folder
# quillmere-profile-* in /tmp (or $TMPDIR) made after the file MARKER.
#
#   tests/app/no_profile_left.sh MARKER
set -euo pipefail
marker=${1:?usage: no_profile_left.sh MARKER}
[ -e "$marker" ] || { echo "no marker file $marker" >&2; exit 2; }

left() {
    local folders=(/tmp)
    [ -n "${TMPDIR:-}" ] && [ "$TMPDIR" != /tmp ] && folders+=("$TMPDIR")
    find "${folders[@]}" -maxdepth 1 -type d -name 'quillmere-profile-*' -user "$(id -u)" -newer "$marker" \
        2>/dev/null || true
}

# A program that was killed leaves its profile to a sweeper that removes it once the browser has ended;
# that takes a moment.
for _ in $(seq 50); do
    [ -z "$(left)" ] && { echo "No temporary browser profile was left behind."; exit 0; }
    sleep 0.2
done
echo "Temporary browser profiles were left behind:" >&2
for folder in $(left); do
    echo "  $folder ($(du -sh "$folder" 2>/dev/null | cut -f1))" >&2
done
exit 1
