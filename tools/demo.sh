#!/usr/bin/env bash
# A whole synchronisation on the embedded default: the stand-in web service
# on a free loopback port with demo content, a working folder with its
# "Pontiro.ini" and catalogs, a simulated docked device (kind 1), and the
# wizard. With a display (and not in CI) the person clicks through it;
# without one it steps through itself under a virtual display, then the
# files on the device are compared with what the service sent.
#   tools/demo.sh BUILD-DIR
set -euo pipefail

BUILD="$(cd "$1" && pwd)"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DEMO="$ROOT/build/demo"
EMAIL="demo@kelvonet.example"
PASSWORD="demo1234"

log() { printf '==> %s\n' "$*" >&2; }

# The scene's files come from the same helpers as the tests' (tests/support).
FILES="$BUILD/tests/support/pontiro-test-files"
[ -x "$FILES" ] || { echo "demo: $FILES is missing (a build with the tests is needed)" >&2; exit 1; }

rm -rf "$DEMO"
mkdir -p "$DEMO/content" "$DEMO/work" "$DEMO/screenshots"
CONTENT="$DEMO/content"
WORK="$DEMO/work"
DEVICE="$WORK/device"

# Demo content: an address book and three speed-camera files.
cat > "$CONTENT/addressbook" <<'VCARDS'
BEGIN:VCARD
VERSION:2.1
N:Muller;Anna
ADR;HOME:;;Hauptstrasse 12;Berlin;;10115;Germany
END:VCARD
BEGIN:VCARD
VERSION:2.1
N:Dupont;Jean
ADR;HOME:;;3 rue de la Paix;Paris;;75002;France
END:VCARD
VCARDS
awk 'BEGIN { srand(7); for (i = 0; i < 40000; i++) printf "%.5f,%.5f,%d,%d\n", -10 + rand() * 40, 35 + rand() * 25, int(rand() * 4), 30 + 10 * int(rand() * 10) }' > "$CONTENT/radars"
awk 'BEGIN { srand(8); for (i = 0; i < 20000; i++) printf "%.5f,%.5f,%d,mobile\n", -10 + rand() * 40, 35 + rand() * 25, 30 + 10 * int(rand() * 10) }' > "$CONTENT/radarsv2"
awk 'BEGIN { srand(9); for (i = 0; i < 30000; i++) printf "%.5f,%.5f,%d\n", -10 + rand() * 40, 35 + rand() * 25, 30 + 10 * int(rand() * 10) }' > "$CONTENT/radarsv3"

# The stand-in web service on a free port.
"$BUILD/webservice/pontiro-webservice" --content "$CONTENT" --email "$EMAIL" --password "$PASSWORD" \
    --port-file "$DEMO/port" --log "$DEMO/requests.log" > /dev/null &
SERVICE=$!
stop_service() { kill "$SERVICE" 2>/dev/null || true; wait "$SERVICE" 2>/dev/null || true; }
trap stop_service EXIT
for _ in $(seq 100); do [ -s "$DEMO/port" ] && break; sleep 0.1; done
PORT="$(cat "$DEMO/port")"
log "stand-in web service on 127.0.0.1:$PORT"

# The working folder: configuration and catalogs.
"$FILES" ini "127.0.0.1:$PORT" "$WORK/Pontiro.ini"
for lang in de es fr; do
    if [ -f "$BUILD/catalogs/$lang/lang.mo" ]; then
        mkdir -p "$WORK/$lang"
        cp "$BUILD/catalogs/$lang/lang.mo" "$WORK/$lang/lang.mo"
    fi
done

# The simulated docked device: kind 1, its navigation folder with license.db.
mkdir -p "$DEVICE/SDMMC Card/Kelvo" "$DEVICE/windows"
"$FILES" license "KELVO Oselan demo" "$DEVICE/SDMMC Card/Kelvo/license.db"
cat > "$DEVICE/devicesim.ini" <<PROFILE
map_extra = KELVO Oselan demo
map_vender = Kelvo
card_folder = \\SDMMC Card
PROFILE
export PONTIRO_RAPI_LIBRARY="$BUILD/devicesim/librapi.so"
export PONTIRO_DEVICE_ROOT="$DEVICE"

cd "$WORK"
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ] && [ -t 0 ]; then
    log "starting Pontiro: log in as $EMAIL with the password $PASSWORD"
    "$BUILD/app/Pontiro"
    exit 0
fi

log "no display: stepping through the wizard under a virtual display"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" \
    "$BUILD/driver/pontiro-demo-driver" "$EMAIL" "$PASSWORD" "$DEMO/screenshots" || status=$?
if [ "$status" -ne 0 ]; then
    echo "Pontiro demo: the wizard did not reach its done page" >&2
    exit 1
fi

NAV="$DEVICE/SDMMC Card/Kelvo"
ok=1
for pair in "Contacts/addressbook.vcf:addressbook" "Speedcams/speedcams.txt:radars" \
            "Speedcams/speedcams_mobile.txt:radarsv2"; do
    on_device="$NAV/${pair%%:*}"
    sent="$CONTENT/${pair##*:}"
    if cmp -s "$on_device" "$sent"; then
        echo "identical: ${pair%%:*} ($(stat -c %s "$sent") bytes, as sent for ${pair##*:})"
    else
        echo "DIFFERENT: ${pair%%:*} is not what the service sent for ${pair##*:}" >&2
        ok=0
    fi
done
echo "screenshots: $DEMO/screenshots"
[ "$ok" -eq 1 ] || exit 1
echo "Pontiro demo: synchronisation done, the device holds what the service sent"
