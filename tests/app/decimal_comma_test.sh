#!/usr/bin/env bash
# Under a desktop language that writes numbers with a decimal comma, the
# program still reads its own values back with their decimals: the focuser's
# temperature (the wind, read back from the hand box) equals the wind served
# as JSON, not its whole part.
# Usage: decimal_comma_test.sh TARNWICK_BINARY
set -u
bin=$1
command -v curl >/dev/null || { echo "SKIP: curl is not installed"; exit 77; }
tmp=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill $pid 2>/dev/null && wait $pid 2>/dev/null; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
localedef -i de_DE -f UTF-8 "$tmp/de_DE.UTF-8" >/dev/null 2>&1 || { echo "SKIP: cannot make a de_DE locale"; exit 77; }

echo "wind=300" >"$tmp/control"
port=$((20000 + RANDOM % 12000))
LOCPATH="$tmp" LC_ALL=de_DE.UTF-8 TARNWICK_SIMULATOR_CONTROL="$tmp/control" HOME="$tmp" XDG_CONFIG_HOME="$tmp" \
    XDG_DATA_HOME="$tmp" "$bin" --simulate --headless --profile "$tmp/profile.ini" --log-dir "$tmp" \
    --alpaca-port $port 2>"$tmp/err" &
pid=$!
api="http://127.0.0.1:$port"
for _ in $(seq 60); do
    wind=$(curl -sf "$api/tarnwick/v1/live" | grep -o '"wind":[0-9.]*' | cut -d: -f2)
    [ -n "$wind" ] && [ "$wind" != 0 ] && break
    sleep 0.5
done
[ -n "$wind" ] || { cat "$tmp/err"; fail "no live wind served"; }
# 300 counts blow well above calm: a 0 here is a reading cut at the decimal point.
awk -v w="$wind" 'BEGIN { exit !(w > 0.5) }' || fail "a held wind of 300 counts is served as $wind"
curl -sf -X PUT -d "Connected=true&ClientID=7" "$api/api/v1/focuser/0/connected" >/dev/null || fail "cannot connect"
temperature=$(curl -sf "$api/api/v1/focuser/0/temperature?ClientID=7" | grep -o '"Value":[^,}]*' | cut -d: -f2)
awk -v a="$wind" -v b="$temperature" 'BEGIN { d = a - b; exit !(d < 0.01 && d > -0.01) }' \
    || fail "the focuser reads $temperature for a wind of $wind"
echo "wind $wind read back as $temperature"
