#!/usr/bin/env bash
# One end-to-end scenario of the Windows build under Wine. The host side
# runs here: the stand-in web service (the Linux build's), tinyproxy for
# the proxy, the simulated device's folder, drive E: and the registry
# values set with Wine's own reg tool. The wizard runs in wine_e2e_tests.exe
# (one test of it, chosen by the scenario).
#
#   wine_e2e.sh --scenario NAME --exe wine_e2e_tests.exe --rapi rapi.dll
#               --webservice pontiro-webservice --work DIR --prefix WINEPREFIX
#               --wine-run tools/wine-run.sh
# Scenarios: docked card proxy direct notfound-win7 notfound-winxp
set -euo pipefail

while [ $# -gt 0 ]; do
    case "$1" in
        --scenario) SCENARIO="$2" ;;
        --exe) EXE="$2" ;;
        --rapi) RAPI="$2" ;;
        --webservice) WEBSERVICE="$2" ;;
        --work) WORK="$2" ;;
        --prefix) PREFIX="$2" ;;
        --wine-run) WINE_RUN="$2" ;;
        *) echo "wine_e2e: unknown argument $1" >&2; exit 2 ;;
    esac
    shift 2
done

fail() { echo "wine_e2e [$SCENARIO]: $*" >&2; exit 1; }
[ -x "$WEBSERVICE" ] || fail "the host build's stand-in web service is missing: $WEBSERVICE (./run builds it in build/normal)"
[ -f "$EXE" ] || fail "missing $EXE"
[ -n "${DISPLAY:-}" ] || fail "the wizard needs an X display (run under xvfb-run, as ./run test does)"

wine_run() { "$WINE_RUN" --prefix "$PREFIX" "$@"; }
reg_set() { # key value type data
    # A few tries: a wineserver still ending after the previous scenario
    # can refuse the first client of the next one.
    # Its output goes to a file: a pipe would also wait for the wineserver
    # that reg starts, which outlives it by seconds.
    for _ in 1 2 3; do
        wine_run reg add "$1" /v "$2" /t "$3" /d "$4" /f > "$WORK/reg.log" 2>&1 && return 0
        sleep 1
    done
    fail "reg add $1 $2 failed: $(cat "$WORK/reg.log")"
}
INTERNET='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'

rm -rf "$WORK"
mkdir -p "$WORK/content" "$WORK/device" "$WORK/app" "$WORK/run" "$WORK/card"
WORK="$(cd "$WORK" && pwd)"

SERVICE_PID=""
PROXY_PID=""
cleanup() {
    [ -n "$PROXY_PID" ] && kill "$PROXY_PID" 2>/dev/null || true
    if [ -n "$SERVICE_PID" ]; then
        kill "$SERVICE_PID" 2>/dev/null || true
        wait "$SERVICE_PID" 2>/dev/null || true
        SERVICE_PID=""
    fi
    rm -f "$PREFIX/dosdevices/e:"
}
trap cleanup EXIT

# --- the stand-in web service -------------------------------------------------
printf 'BEGIN:VCARD\r\nN:Dupont;Jean\r\nEND:VCARD\r\n' > "$WORK/content/addressbook"
{ head -c 70000 /dev/zero | tr '\0' 'r'; printf 'end'; } > "$WORK/content/radars"
head -c 20480 /dev/zero | tr '\0' 'm' > "$WORK/content/radarsv2"
printf 'fixed cameras only\n' > "$WORK/content/radarsv3"
"$WEBSERVICE" --content "$WORK/content" --email 'anna@kelvonet.example' --password 's3cret&=' \
    --port-file "$WORK/service.port" --log "$WORK/service.log" > /dev/null 2> "$WORK/service.err" &
SERVICE_PID=$!
for _ in $(seq 100); do
    [ -s "$WORK/service.port" ] && break
    sleep 0.1
done
[ -s "$WORK/service.port" ] || fail "the web service did not start: $(cat "$WORK/service.err")"
SERVICE="127.0.0.1:$(cat "$WORK/service.port")"

# --- the Windows side ---------------------------------------------------------
cp "$EXE" "$WORK/app/"
case "$SCENARIO" in
    notfound-*) ;;                        # no rapi.dll anywhere
    *) cp "$RAPI" "$WORK/app/rapi.dll" ;; # the simulated device, beside the program
esac

VERSION=win7
OS_MAJOR=6
case "$SCENARIO" in
    notfound-winxp) VERSION=winxp64; OS_MAJOR=5 ;;
esac
reg_set 'HKCU\Software\Wine' Version REG_SZ "$VERSION"
reg_set "$INTERNET" ProxyEnable REG_DWORD 0
reg_set "$INTERNET" ProxyServer REG_SZ ""

start_proxy() {
    local port
    for _ in $(seq 50); do
        port=$(( 20000 + RANDOM % 40000 ))
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
    done
    cat > "$WORK/tinyproxy.conf" <<EOF
Port $port
Listen 127.0.0.1
Timeout 10
MaxClients 8
Allow 127.0.0.1
LogLevel Info
EOF
    tinyproxy -d -c "$WORK/tinyproxy.conf" > "$WORK/tinyproxy.log" 2>&1 &
    PROXY_PID=$!
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && { PROXY="127.0.0.1:$port"; return 0; }
        sleep 0.1
    done
    fail "tinyproxy did not listen: $(cat "$WORK/tinyproxy.log")"
}

EXPECT_PROXY=0
PROXY=""
case "$SCENARIO" in
    docked) TEST=DockedDeviceBothContents ;;
    card)
        TEST=MemoryCardByDriveLetter
        # Wine's drive letters are links in the prefix: E: is the card folder.
        [ -d "$PREFIX/dosdevices" ] || fail "no Wine prefix at $PREFIX"
        ln -sfn "$WORK/card" "$PREFIX/dosdevices/e:"
        ;;
    proxy)
        TEST=ProxyFromTheRegistry
        start_proxy
        reg_set "$INTERNET" ProxyEnable REG_DWORD 1
        reg_set "$INTERNET" ProxyServer REG_SZ "$PROXY"
        EXPECT_PROXY=1
        ;;
    direct)
        # A proxy is named and running, but switched off: requests go direct.
        TEST=ProxyFromTheRegistry
        start_proxy
        reg_set "$INTERNET" ProxyServer REG_SZ "$PROXY"
        ;;
    notfound-win7|notfound-winxp) TEST=DeviceNotFoundWithoutRapi ;;
    *) fail "unknown scenario" ;;
esac

cd "$WORK/run"
status=0
PONTIRO_E2E_SERVER="$SERVICE" PONTIRO_E2E_CONTENT="$WORK/content" PONTIRO_DEVICE_ROOT="$WORK/device" \
PONTIRO_E2E_EXPECT_PROXY="$EXPECT_PROXY" PONTIRO_E2E_PROXY="$PROXY" PONTIRO_E2E_OS_MAJOR="$OS_MAJOR" \
    timeout ${PONTIRO_E2E_TIMEOUT:-150} "$WINE_RUN" --prefix "$PREFIX" "$WORK/app/$(basename "$EXE")" \
        --gtest_filter="WineWizard.$TEST" --gtest_color=no || status=$?
reg_set 'HKCU\Software\Wine' Version REG_SZ win7
reg_set "$INTERNET" ProxyEnable REG_DWORD 0
[ "$status" -eq 0 ] || fail "the wizard test failed (exit $status)"

# --- what the host saw ----------------------------------------------------------
kill "$SERVICE_PID"
wait "$SERVICE_PID" 2>/dev/null || true
SERVICE_PID=""
case "$SCENARIO" in
    notfound-*) ;;
    *) [ -s "$WORK/service.log" ] || fail "the web service saw no request" ;;
esac
case "$SCENARIO" in
    proxy)
        ! grep -q $'\tdirect$' "$WORK/service.log" || fail "a request bypassed the proxy: $(cat "$WORK/service.log")"
        grep -q 'kelvonet/pnd' "$WORK/tinyproxy.log" || fail "tinyproxy carried nothing: $(cat "$WORK/tinyproxy.log")"
        ;;
    direct|docked|card)
        ! grep -q $'\tproxy$' "$WORK/service.log" || fail "a request went through a proxy: $(cat "$WORK/service.log")"
        ;;
esac
echo "wine_e2e [$SCENARIO]: passed"
