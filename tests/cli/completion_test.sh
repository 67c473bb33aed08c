#!/usr/bin/env bash
# The generated bash completions, driven as bash drives them: COMP_WORDS in, COMPREPLY out.
# usage: completion_test.sh COMPLETIONS_FOLDER [QK4410ConfTool]
# With QK4410ConfTool (a build with the window), the window's completion is checked too.
set -u
source /usr/share/bash-completion/bash_completion
folder=$1
window=${2:-}
failures=0

# A qk4410-cli that lists one adapter, as `ports` prints it, for the port completion.
stub=$(mktemp -d)
trap 'rm -rf "$stub"' EXIT
printf '#!/bin/sh\n[ "$1" = ports ] && echo "COM1 /nonexistent/qk-ttyUSB7  USB Serial by QinHeng Electronics (1a86:7523)"\n' \
    >"$stub/qk4410-cli"
chmod +x "$stub/qk4410-cli"
PATH="$stub:$PATH"
mkdir -p "$stub/files/pts"
touch "$stub/files/pts/7"

# expect WANT PROGRAM WORD...: completing the last word of the command line gives WANT.
expect() {
    local want=$1 program=$2
    shift 2
    source "$folder/$program"
    COMP_WORDS=("$program" "$@")
    COMP_CWORD=$#
    COMP_LINE="$program $*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    "_${program//-/_}"
    local got="${COMPREPLY[*]}"
    if [[ $got != "$want" ]]; then
        echo "completing '$program $*': expected '$want', got '$got'"
        failures=$((failures + 1))
    fi
}

cd "$stub/files"
expect "set save scan" qk4410-cli s
expect "--data-bits" qk4410-cli --d
expect "115200" qk4410-cli --baud 11
expect "115200" qk4410-cli -b 11
expect "none odd even" qk4410-cli get --parity ""
expect "heartbeat= heartbeatData=" qk4410-cli set heart
expect "30s 45s 60s" qk4410-cli set destPort=5 heartbeat=
expect "UDP" qk4410-cli --port /dev/pts/1 set protocol=U
expect "even" qk4410-cli set parity=e
expect "" qk4410-cli set destAddress=
# The ports qk4410-cli lists (no placeholders), then paths; the same after --port=.
expect "/nonexistent/qk-ttyUSB7" qk4410-cli --port /nonexistent/qk
expect "/nonexistent/qk-ttyUSB7" qk4410-cli --port=/nonexistent/qk
expect "pts/7" qk4410-cli -p pts/
expect "1=/nonexistent/qk-ttyUSB7" qk4410-cli --com 1=/nonexistent/qk
expect "1 10 11 12 13 14" qk4410-cli -c 1
expect "--link --line-speed" qk4410-sim --li
programs=(qk4410-cli qk4410-sim)
if [[ -n $window ]]; then
    programs+=("$window")
    expect "--lang" "$window" --la
    expect "--demo" "$window" --d
    expect "en" "$window" --lang e
    expect "zh_CN" "$window" --com 2 --lang=z
    expect "1=/nonexistent/qk-ttyUSB7" "$window" --com 1=/nonexistent/qk
    expect "1 10 11 12 13 14" "$window" --com 1
fi
for program in "${programs[@]}"; do
    grep -q "^complete -o default -F " "$folder/$program" ||
        { echo "$program: no -o default fallback"; failures=$((failures + 1)); }
done
exit $((failures > 0))
