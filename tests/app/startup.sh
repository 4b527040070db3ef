#!/usr/bin/env bash
# The program puts up its splash with Qt Widgets alone and loads the rest of the
# game from its module afterwards. Checks that the program itself does not need
# the network or sound libraries (they would slow its first window down again),
# and that a program whose module is missing says so in a box when the splash
# ends, rather than showing nothing.
set -uo pipefail
program="$1"
status=0

needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
for library in libQt6Network libQt6Multimedia; do
    if grep -q "^$library" <<<"$needed"; then
        echo "FAIL: the program needs $library at start"
        status=1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$program" "$(dirname "$program")/chicken.dat" "$work/"
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="quorvel.boxes.info=true" QT_MESSAGE_PATTERN="%{message}" \
    timeout 10 "$work/quorvel" >"$work/log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    grep -q "^box:" "$work/log" && break
    sleep 0.1
done
if ! grep -q "^box: Quorvel | The game could not be loaded: .*quorvel-game.so" "$work/log"; then
    echo "FAIL: no box about the missing module"
    cat "$work/log"
    status=1
fi
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit $status
