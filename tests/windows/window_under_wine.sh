#!/usr/bin/env bash
# The Windows zip's QK4410ConfTool.exe, unpacked into a folder of its own and run under
# Wine on an X server of its own (Xvfb) with Qt's windows platform, against the Linux
# simulated device on a pseudo-terminal mapped to COM5 of the Wine prefix. With --com 5
# the window opens COM5 at start, which sends the handshake and reads every parameter:
# the device must receive exactly those bytes, in order. Then the window is asked to
# close, as its close box does, and must end cleanly.
#
#   window_under_wine.sh WINE_RUN PREFIX ZIP QK4410-SIM [SCREENSHOT.png]
#
# With SCREENSHOT.png it also waits until the window shows the device's values and saves a
# picture of it, drawn with Wine's own window frame (needs xwd and netpbm).
set -u
wine_run=$1 prefix=$2 zip=$3 sim=$4 screenshot=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "window_under_wine: $*"; exit 1; }

[ -x "$sim" ] || fail "no Linux simulator at $sim (build the debug preset first)"
unzip -q "$zip" -d "$work/unpacked" || fail "cannot unpack $zip"
exe=$(echo "$work"/unpacked/*/QK4410ConfTool.exe)
[ -f "$exe" ] || fail "no QK4410ConfTool.exe in $zip"

# An X server for this run alone, on a display number it picks itself.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "no Xvfb: $(cat "$work/xvfb.log")"
display=:$(cat "$work/display")

"$sim" --verbose >"$work/sim.out" 2>"$work/sim.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
ln -sfn "$(head -1 "$work/sim.out")" "$prefix/dosdevices/com5"

if [ -n "$screenshot" ]; then
    # Wine draws the frame itself: the picture shows the caption as Windows would.
    DISPLAY=$display "$wine_run" "$prefix" reg add 'HKCU\Software\Wine\X11 Driver' \
        /v Managed /d N /f >/dev/null 2>&1
fi
# Nothing of Qt but what the zip holds: no WINEPATH, Qt's own platform for Windows.
env -u WINEPATH -u WINEQT_QPA_PLATFORM -u WINEQT_QPA_FONTDIR DISPLAY="$display" \
    "$wine_run" "$prefix" "$exe" --com 5 >"$work/window.log" 2>&1 &
pids+=($!)
window=${pids[-1]}

# The device's log: "[   t] <- BYTES" for each command it received, escaped.
expected=$(cat "$here/window_open.expected")
count=$(grep -c . <<<"$expected")
received() { sed -n 's/^\[ *[0-9.]*\] <- //p' "$work/sim.log"; }
for _ in $(seq 600); do
    [ "$(received | grep -c .)" -ge "$count" ] && break
    kill -0 "$window" 2>/dev/null || fail "the window ended early: $(cat "$work/window.log")"
    sleep 0.1
done
sleep 1  # anything sent after the last query would show here
if [ "$(received)" != "$expected" ]; then
    echo "window_under_wine: the device received other bytes than expected"
    diff <(echo "$expected") <(received)
    exit 1
fi
echo "the device received the handshake and the $((count - 3)) queries, byte for byte"

if [ -n "$screenshot" ]; then
    sleep 2  # the answers reach the window
    id=$(DISPLAY=$display xwininfo -name QK4520ConfTool | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
    [ -n "$id" ] || fail "no window named QK4520ConfTool on $display"
    DISPLAY=$display xwd -silent -id "$id" | xwdtopnm 2>/dev/null | pnmtopng >"$screenshot" ||
        fail "cannot take the picture"
    echo "wrote $screenshot"
fi

# Closed as the operator closes it (taskkill without /f asks the window to close): the
# open port is closed and the receive loop ended on the way out, and the program ends
# with status 0.
# Asked again while it stays: on a loaded machine the first request may come before the
# window takes requests.
for _ in 1 2 3 4; do
    DISPLAY=$display "$wine_run" "$prefix" taskkill /im QK4410ConfTool.exe >>"$work/taskkill.log" 2>&1
    for _ in $(seq 100); do kill -0 "$window" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$window" 2>/dev/null || break
done
kill -0 "$window" 2>/dev/null && fail "the window did not close when asked to: $(cat "$work/taskkill.log")
its output: $(cat "$work/window.log")"
wait "$window"
status=$?
[ "$status" -eq 0 ] || fail "the window ended with status $status: $(cat "$work/window.log")"
[ "$(received)" = "$expected" ] || fail "the device received more on the way out: $(received | tail -n +$((count + 1)))"
echo "closed when asked to, with status 0"
