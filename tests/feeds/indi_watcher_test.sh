#!/usr/bin/env bash
# Debian's INDI weather drivers read Tarnwick's feeds: a simulated Tarnwick
# and an indiserver with indi_watcher_weather and indi_weather_safety_proxy
# on free ports; the drivers are pointed at our URLs and connected, and their
# properties must carry our values, then Alert once the simulated board rains.
# Usage: indi_watcher_test.sh TARNWICK_BINARY
set -u
bin=$1
for tool in indiserver indi_watcher_weather indi_weather_safety_proxy indi_setprop indi_getprop curl; do
    if ! command -v $tool >/dev/null; then
        echo "FAIL: $tool is not installed (scripts/install-deps.sh installs indi-bin and curl)"
        exit 1
    fi
done

tmp=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    for f in "$tmp"/*.err; do echo "--- $f"; tail -n 20 "$f"; done
    exit 1
}
free_port() {
    local p
    for _ in $(seq 50); do
        # Below the kernel's ephemeral range, where outgoing connections take ports.
        p=$((20000 + RANDOM % 12000))
        (exec 3<>/dev/tcp/127.0.0.1/$p) 2>/dev/null || { echo $p; return; }
    done
    return 1
}
# until SECONDS COMMAND...: runs COMMAND twice a second until it succeeds.
until_ok() {
    local end=$((SECONDS + $1))
    shift
    while ! "$@"; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.5
    done
}

web=$(free_port) && indi=$(free_port) || fail "no free port"
[ "$web" != "$indi" ] || indi=$((web + 1))
feed="http://127.0.0.1:$web/tarnwick/v1/indi"
get() { indi_getprop -p "$indi" -t 2 -1 "$1" 2>/dev/null; }
set_prop() { indi_setprop -p "$indi" -t 2 "$@" >/dev/null 2>&1; }
feed_value() { curl -sf "$feed/watcher" | sed -n "s/^$1=//p"; }
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a != "" && b != "" && d <= t) }'; }
# These read again on every call, for until_ok.
is() { [ "$(get "$1")" = "$2" ]; }
follows_feed() { near "$(get "Weather Watcher.WEATHER_PARAMETERS.$1")" "$(feed_value "$2")" "$3"; }

# A clear, dry and calm sky until we say otherwise, judged safe without the
# usual wait after start-up and whatever the hour (the simulated sky follows the clock).
for setting in "Safety/SafeDelayMinutes 0" "Safety/UnsafeInDaylight False"; do
    HOME="$tmp" XDG_CONFIG_HOME="$tmp" "$bin" --profile "$tmp/profile.ini" config set $setting >/dev/null \
        || fail "cannot set $setting"
done
printf 'rain=0\ncloud=0\nwind=0\n' >"$tmp/control"
HOME="$tmp" XDG_CONFIG_HOME="$tmp" TARNWICK_SIMULATOR_CONTROL="$tmp/control" \
    "$bin" --simulate --headless --profile "$tmp/profile.ini" --log-dir "$tmp" --alpaca-port "$web" \
    >"$tmp/tarnwick.out" 2>"$tmp/tarnwick.err" &
pids+=($!)
until_ok 40 sh -c "curl -sf '$feed/watcher' | grep -qx 'forecast=0'" || fail "the watcher feed never read calm: $(curl -s "$feed/watcher")"

# A port free a moment ago may be taken by the time indiserver binds it: then another one.
# Its local socket is its own too: the default one is shared by every indiserver on the machine.
for _ in 1 2 3 4 5; do
    HOME="$tmp" indiserver -u "$tmp/indiserver" -p "$indi" -r 0 indi_watcher_weather indi_weather_safety_proxy >"$tmp/indi.out" 2>"$tmp/indi.err" &
    pids+=($!)
    sleep 0.5
    grep -q 'Address already in use' "$tmp/indi.err" || break
    indi=$(free_port) || fail "no free port"
done
until_ok 60 get "Weather Watcher.WATCH_SOURCE.URL" >/dev/null || fail "the watcher driver did not come up"
until_ok 30 get "Weather Safety Proxy.WEATHER_SAFETY_URLS.WEATHER_SAFETY_URL" >/dev/null || fail "the safety proxy did not come up"

set_prop "Weather Watcher.WATCH_SOURCE.URL=$feed/watcher" || fail "setting the watcher's URL"
set_prop "Weather Watcher.CONNECTION.CONNECT=On" || fail "connecting the watcher"
until_ok 15 get "Weather Watcher.WEATHER_PARAMETERS.WEATHER_TEMPERATURE" >/dev/null || fail "the watcher made no parameters"
set_prop "Weather Watcher.WEATHER_UPDATE.PERIOD=1" || fail "setting the watcher's period"

# The driver's values are ours (the simulated air drifts a little between reads).
until_ok 10 follows_feed WEATHER_TEMPERATURE temperature 0.3 \
    || fail "temperature $(get 'Weather Watcher.WEATHER_PARAMETERS.WEATHER_TEMPERATURE') vs feed $(feed_value temperature)"
until_ok 10 follows_feed WEATHER_HUMIDITY humidity 1 \
    || fail "humidity $(get 'Weather Watcher.WEATHER_PARAMETERS.WEATHER_HUMIDITY') vs feed $(feed_value humidity)"
for p in WEATHER_CLOUDS WEATHER_RAIN_HOUR WEATHER_WIND_SPEED WEATHER_FORECAST; do
    near "$(get "Weather Watcher.WEATHER_PARAMETERS.$p")" 0 0.001 || fail "$p is $(get "Weather Watcher.WEATHER_PARAMETERS.$p"), not 0"
done
[ "$(get 'Weather Watcher.WEATHER_STATUS._STATE')" = Ok ] || fail "calm weather state is $(get 'Weather Watcher.WEATHER_STATUS._STATE')"

# Rain on the board: the watcher's weather state goes to Alert.
printf 'rain=1\ncloud=0\nwind=0\n' >"$tmp/control"
until_ok 15 sh -c "curl -sf '$feed/watcher' | grep -qx 'precip=1'" || fail "the feed never showed rain"
until_ok 15 is "Weather Watcher.WEATHER_STATUS._STATE" Alert \
    || fail "rain left the weather state at $(get 'Weather Watcher.WEATHER_STATUS._STATE')"
[ "$(get 'Weather Watcher.WEATHER_STATUS.WEATHER_RAIN_HOUR')" = Alert ] || fail "the rain light is not Alert"
near "$(get 'Weather Watcher.WEATHER_PARAMETERS.WEATHER_RAIN_HOUR')" 1 0.001 || fail "rain parameter is not 1"

# The safety proxy reads our JSON: in the rain (or with no verdict yet) unsafe, with our reasons.
reasons() { curl -sf "$feed/safety" | sed -n 's/.*"reasons":"\([^"]*\)".*/\1/p'; }
set_prop "Weather Safety Proxy.WEATHER_SAFETY_URLS.WEATHER_SAFETY_URL=$feed/safety" || fail "setting the proxy's URL"
set_prop "Weather Safety Proxy.SCRIPT_OR_CURL.Use url=On" || fail "choosing the proxy's URL"
set_prop "Weather Safety Proxy.CONNECTION.CONNECT=On" || fail "connecting the proxy"
[ -n "$(reasons)" ] || fail "the safety feed gives no reason: $(curl -s "$feed/safety")"
until_ok 15 is "Weather Safety Proxy.WEATHER_SAFETY_REASONS.Reasons" "$(reasons)" \
    || fail "proxy reasons: '$(get 'Weather Safety Proxy.WEATHER_SAFETY_REASONS.Reasons')' from $(curl -s "$feed/safety")"
near "$(get 'Weather Safety Proxy.WEATHER_PARAMETERS.WEATHER_SAFETY')" 0 0.001 || fail "the proxy reads safe"
[ "$(get 'Weather Safety Proxy.WEATHER_STATUS._STATE')" = Alert ] || fail "the proxy's state is not Alert"

kill "${pids[0]}" && wait "${pids[0]}" || fail "tarnwick did not end cleanly on SIGTERM"
echo "INDI drivers read the feeds"
