#!/usr/bin/env bash
# qk4410-cli.exe under Wine against the Linux simulated device on a pseudo-terminal mapped
# to COM5 of the Wine prefix: the same values and exit statuses the Linux end-to-end tests
# check.
#
#   cli_under_wine.sh WINE_RUN PREFIX QK4410-CLI.EXE QK4410-SIM
set -u
wine_run=$1 prefix=$2 cli=$3 sim=$4
work=$(mktemp -d)
failures=0
sims=()
trap 'for p in "${sims[@]}"; do kill "$p" 2>/dev/null; done; wait; rm -rf "$work"' EXIT

[ -x "$sim" ] || { echo "no Linux simulator at $sim (build the debug preset first)"; exit 1; }
"$wine_run" "$prefix" "$cli" --version >"$work/version" 2>&1 || true
grep -q "^qk4410-cli " "$work/version" || { echo "the program does not start: $(cat "$work/version")"; exit 1; }

# start_sim OPTIONS...: a fresh device on COM5.
start_sim() {
    "$sim" --link "$work/tty" "$@" >"$work/sim.out" 2>&1 &
    sims+=($!)
    for _ in $(seq 400); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
    ln -sfn "$(head -1 "$work/sim.out")" "$prefix/dosdevices/com5"
}
stop_sim() {
    kill "${sims[-1]}" 2>/dev/null
    wait "${sims[-1]}" 2>/dev/null
}

# expect STATUS TEXT ARGUMENTS...: runs the program, checks its status and that its
# output (standard output and error) holds TEXT.
expect() {
    local status=$1 text=$2
    shift 2
    # A loaded machine can hold Wine up for a while: a generous wait for late answers
    # costs nothing when they come in time.
    "$wine_run" "$prefix" "$cli" --com 5 --settle 3000 "$@" >"$work/out" 2>&1
    local got=$?
    if [ "$got" -ne "$status" ] || ! grep -qF -- "$text" "$work/out"; then
        echo "qk4410-cli $*: expected status $status and '$text', got $got:"
        sed 's/^/  /' "$work/out"
        failures=$((failures + 1))
    fi
}

start_sim
expect 0 "destPort=5000" get
expect 0 "registerData=QK4520-000123" get
expect 0 '"settings":{"deviceBaud":9600' --json get
expect 0 "destPort=5001" set destPort=5001 protocol=udp heartbeat=45s
expect 0 "protocol=UDP" get
expect 0 "heartbeat=45s" get
expect 1 "destPort must be a port from 1 to 65535, got '99999'" set destPort=99999
printf '# QK4410 profile, format 1\ndestPort=6001\nheartbeat=60s\n' >"$work/site.profile"
profile="Z:${work//\//\\}\\site.profile"  # Wine's drive Z: is the Linux root
expect 0 "ok: wrote destPort, heartbeat" apply "$profile"
expect 0 "ok: nothing to write" apply "$profile"
stop_sim

start_sim --fake-ack PPORT
expect 3 'destPort=6002 not confirmed: refused (the device reports "5000")' set destPort=6002
stop_sim

start_sim --refuse-login
expect 3 "Login fail!" set destPort=1
stop_sim

expect 2 "Open com failed!" --com 7 get
exit $((failures > 0))
