#!/usr/bin/env bash
# Runs a Windows test program under Wine with a drive letter mapped onto a
# fresh folder, the memory card of the test; the program finds the letter in
# PONTIRO_CARD_DRIVE and the folder marked with a "pontiro-scratch-card" file.
#   wine-card.sh --wine-run tools/wine-run.sh --prefix WINEPREFIX --drive k
#                --folder DIR program.exe [args...]
set -euo pipefail

while [ $# -gt 0 ]; do
    case "$1" in
        --wine-run) WINE_RUN="$2"; shift 2 ;;
        --prefix) PREFIX="$2"; shift 2 ;;
        --drive) DRIVE="$2"; shift 2 ;;
        --folder) FOLDER="$2"; shift 2 ;;
        *) break ;;
    esac
done
: "${WINE_RUN:?}" "${PREFIX:?}" "${DRIVE:?}" "${FOLDER:?}"

rm -rf "$FOLDER"
mkdir -p "$FOLDER"
touch "$FOLDER/pontiro-scratch-card"

# Wine's drive letters are links in the prefix, which wine-run.sh makes on
# first use.
if [ ! -d "$PREFIX/dosdevices" ] || [ ! -f "$PREFIX/.pontiro-ready" ]; then
    "$WINE_RUN" --prefix "$PREFIX" --headless cmd /c exit 0 > /dev/null 2>&1 || true
fi
[ -d "$PREFIX/dosdevices" ] || { echo "wine-card: no Wine prefix at $PREFIX" >&2; exit 1; }
LINK="$PREFIX/dosdevices/$DRIVE:"
ln -sfn "$FOLDER" "$LINK"
trap 'rm -f "$LINK"' EXIT

status=0
PONTIRO_CARD_DRIVE="${DRIVE^^}" "$WINE_RUN" --prefix "$PREFIX" --headless "$@" || status=$?
exit $status
