#!/usr/bin/env bash
# Runs a Windows test program that opens windows under Wine, on an Xvfb of
# its own and in a Wine prefix of its own: the other Windows tests run
# without a display, and screenshots must see only this program's windows.
#   wine_display.sh --prefix <wine prefix> --wine-run tools/wine-run.sh program.exe [args...]
set -euo pipefail

while [ $# -gt 0 ]; do
    case "$1" in
        --prefix) PREFIX="$2"; shift 2 ;;
        --wine-run) WINE_RUN="$2"; shift 2 ;;
        *) break ;;
    esac
done
: "${PREFIX:?--prefix is missing}" "${WINE_RUN:?--wine-run is missing}"

XVFB_PID=""
cleanup() {
    # Wine's server and its helpers of this prefix go first: they hold the
    # display open.
    WINEPREFIX="$PREFIX" timeout 20 "${WINESERVER:-wineserver}" -k 2>/dev/null || true
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    rm -f "$DISPLAY_FILE"
}
DISPLAY_FILE="$(mktemp)"
trap cleanup EXIT
# A stop from CTest (its timeout) still ends Wine and the server.
trap 'exit 143' TERM INT HUP

# Xvfb picks a free display itself and writes its number once it accepts
# clients.
exec 9>"$DISPLAY_FILE"
Xvfb -displayfd 9 -screen 0 800x600x24 -nolisten tcp -ac >/dev/null 2>&1 9>&9 &
XVFB_PID=$!
exec 9>&-
for _ in $(seq 200); do
    [ -s "$DISPLAY_FILE" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || { echo "wine_display: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
NUMBER="$(tr -d '\n' < "$DISPLAY_FILE")"
[ -n "$NUMBER" ] || { echo "wine_display: Xvfb gave no display" >&2; exit 1; }
export DISPLAY=":$NUMBER"
unset WAYLAND_DISPLAY

# In the background, so that a signal is handled at once, not after Wine.
"$WINE_RUN" --prefix "$PREFIX" "$@" &
status=0
wait $! || status=$?
exit "$status"
