#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, in a Wine prefix of
# the build tree's own (made on first use), quietly and without the
# installers Wine would otherwise offer (Mono, Gecko).
#   tools/wine-run.sh --prefix <wine prefix> [--headless] program.exe [args...]
#   tools/wine-run.sh --prefix <wine prefix> --prepare   (only make the prefix)
set -euo pipefail

while [ $# -gt 0 ]; do
    case "$1" in
        --prefix) export WINEPREFIX="$2"; shift 2 ;;
        # Programs that open no window run without the X display: under
        # Wine's X11 driver the hidden window of the toolkit's sockets
        # never comes up in a program without a GUI event loop.
        --headless) unset DISPLAY WAYLAND_DISPLAY; shift ;;
        --prepare) PREPARE_ONLY=1; unset DISPLAY WAYLAND_DISPLAY; shift ;;
        *) break ;;
    esac
done
: "${WINEPREFIX:?set WINEPREFIX or pass --prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No crash debugger either: a crash ends the program at once, with Wine's
# one-line report, instead of waiting in winedbg until the test times out.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"
export WINEARCH=win64

WINE="$(command -v wine64 || command -v wine || true)"
[ -x /usr/lib/wine/wine64 ] && WINE=/usr/lib/wine/wine64
[ -n "$WINE" ] || { echo "wine-run: Wine is not installed" >&2; exit 1; }

# First use: create the prefix under a lock, as several tests may start at
# once. wineboot waits until the prefix is complete.
if [ ! -f "$WINEPREFIX/.pontiro-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 8>"$WINEPREFIX.lock"
    flock 8
    if [ ! -f "$WINEPREFIX/.pontiro-ready" ]; then
        rm -rf "$WINEPREFIX"
        timeout 300 "$WINE" wineboot --init >/dev/null 2>&1 || true
        timeout 120 "${WINESERVER:-wineserver}" -w || true
        [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-run: could not create $WINEPREFIX" >&2; exit 1; }
        touch "$WINEPREFIX/.pontiro-ready"
    fi
    exec 8>&-
fi
[ -z "${PREPARE_ONLY:-}" ] || exit 0

exec "$WINE" "$@"
