#!/usr/bin/env bash
# Runs a command (the Windows build's proxy test, under Wine) beside two
# real tinyproxy instances on loopback, started here on the host: a plain
# one and one that asks for Basic proxy authentication. The command finds
# them in its environment:
#   PONTIRO_TINYPROXY_PORT, PONTIRO_TINYPROXY_LOG            (plain)
#   PONTIRO_TINYPROXY_AUTH_PORT, PONTIRO_TINYPROXY_AUTH_LOG,
#   PONTIRO_TINYPROXY_AUTH_USER, PONTIRO_TINYPROXY_AUTH_PASSWORD
# The logs are named as a Windows program under Wine sees them (drive Z:).
#
#   with-tinyproxy.sh --auth USER:PASSWORD -- command [args...]
set -euo pipefail

AUTH=""
while [ $# -gt 0 ]; do
    case "$1" in
        --auth) AUTH="$2"; shift 2 ;;
        --) shift; break ;;
        *) echo "with-tinyproxy: unknown argument $1" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] && [ -n "$AUTH" ] || { echo "usage: with-tinyproxy.sh --auth USER:PASSWORD -- command..." >&2; exit 2; }
command -v tinyproxy >/dev/null || { echo "with-tinyproxy: tinyproxy is not installed" >&2; exit 1; }

WORK="$(mktemp -d /tmp/pontiro-tinyproxy-XXXXXX)"
PIDS=()
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

listens() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# start_proxy NAME [BasicAuth line]: starts one tinyproxy and sets PORT.
start_proxy() {
    local name="$1" auth="${2:-}" conf="$WORK/$1.conf" log="$WORK/$1.log" pid candidate
    # tinyproxy cannot be told to pick a port: probe for a free one, and try
    # again should another process take it before tinyproxy binds it.
    for _ in 1 2 3; do
        PORT=""
        for _ in $(seq 50); do
            candidate=$(( 20000 + RANDOM % 40000 ))
            listens "$candidate" || { PORT=$candidate; break; }
        done
        [ -n "$PORT" ] || break
        {
            echo "Port $PORT"
            echo "Listen 127.0.0.1"
            echo "Timeout 10"
            echo "MaxClients 8"
            echo "Allow 127.0.0.1"
            echo "LogLevel Info"
            echo "DisableViaHeader Yes"
            [ -z "$auth" ] || echo "BasicAuth $auth"
        } > "$conf"
        # Bounded, should this script itself be killed before its clean-up.
        timeout 600 tinyproxy -d -c "$conf" >> "$log" 2>&1 < /dev/null &
        pid=$!
        for _ in $(seq 250); do
            kill -0 "$pid" 2>/dev/null || break
            if listens "$PORT" && kill -0 "$pid" 2>/dev/null; then
                PIDS+=("$pid")
                return 0
            fi
            sleep 0.02
        done
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    echo "with-tinyproxy: tinyproxy ($name) did not listen: $(cat "$log" 2>/dev/null)" >&2
    exit 1
}

start_proxy plain
export PONTIRO_TINYPROXY_PORT="$PORT"
export PONTIRO_TINYPROXY_LOG="Z:$WORK/plain.log"
start_proxy auth "${AUTH%%:*} ${AUTH#*:}"
export PONTIRO_TINYPROXY_AUTH_PORT="$PORT"
export PONTIRO_TINYPROXY_AUTH_LOG="Z:$WORK/auth.log"
export PONTIRO_TINYPROXY_AUTH_USER="${AUTH%%:*}"
export PONTIRO_TINYPROXY_AUTH_PASSWORD="${AUTH#*:}"

# Not exec: the proxies are stopped when the command ends.
status=0
"$@" || status=$?
exit "$status"
