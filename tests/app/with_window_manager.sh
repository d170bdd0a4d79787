#!/usr/bin/env bash
# Runs a test program on a virtual X screen of the given size with a real
# window manager, so windows get their frames (title bar, borders) as on a
# desktop. Usage: with_window_manager.sh WIDTHxHEIGHT PROGRAM [ARGS...]
set -euo pipefail
size=$1
shift
for tool in Xvfb openbox; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
wm=
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
display=":$(head -n1 "$work/display")"
[ "$display" != ":" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
HOME="$work" DISPLAY="$display" openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
sleep 1
kill -0 "$wm" || { echo "openbox did not start" >&2; cat "$work/openbox.log" >&2; exit 1; }
DISPLAY="$display" QT_QPA_PLATFORM=xcb TARNWICK_SCREEN="$size" "$@"
