#!/usr/bin/env bash
# The bash completion of qk4410-cli, driven as bash drives it: COMP_WORDS in, COMPREPLY out.
set -u
source /usr/share/bash-completion/bash_completion
source "$1"
failures=0

# complete WORD...: completes the last word of the command line given.
complete_line() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _qk4410_cli
    echo "${COMPREPLY[*]}"
}

expect() {
    local want=$1
    shift
    local got
    got=$(complete_line "$@")
    if [[ $got != "$want" ]]; then
        echo "completing '$*': expected '$want', got '$got'"
        failures=$((failures + 1))
    fi
}

expect "set save scan" qk4410-cli s
expect "--data-bits" qk4410-cli --d
expect "115200" qk4410-cli --baud 11
expect "N O E" qk4410-cli get --parity ""
expect "heartbeat= heartbeatData=" qk4410-cli set heart
expect "30s 45s 60s" qk4410-cli set destPort=5 heartbeat=
expect "UDP" qk4410-cli --port /dev/pts/1 set protocol=U
expect "" qk4410-cli set destAddress=
exit $((failures > 0))
