#!/usr/bin/env bash
# Without a display, or with one that cannot be reached, the program runs
# headless with one line on standard error instead of aborting; the program
# without windows never looks for one.
# Usage: no_display_test.sh TARNWICK_BINARY TARNWICKD_BINARY
set -u
bin=$1 daemon=$2
command -v curl >/dev/null || { echo "SKIP: curl is not installed"; exit 77; }
tmp=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; cat "$tmp/err" 2>/dev/null; exit 1; }

# run_without LINE ENV...: starts the program with the given environment,
# waits for its endpoint, ends it, and checks standard error.
run_without() {
    local expected=$1 port=$((20000 + RANDOM % 12000))
    shift
    local program=$bin
    if [ "${1:-}" = daemon ]; then
        program=$daemon
        shift
    fi
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$tmp" XDG_CONFIG_HOME="$tmp" "$@" \
        "$program" --simulate --profile "$tmp/profile.ini" --log-dir "$tmp" --alpaca-port $port 2>"$tmp/err" &
    pid=$!
    local end=$((SECONDS + 30))
    until curl -sf "http://127.0.0.1:$port/tarnwick/v1/indi/watcher" >/dev/null; do
        kill -0 $pid 2>/dev/null || { wait $pid; fail "the program ended (status $?) instead of running headless"; }
        # Another program took the random port first: try another one.
        if grep -q 'cannot listen' "$tmp/err"; then
            kill $pid; wait $pid; pid=
            [ "$program" = "$daemon" ] && set -- daemon "$@"
            run_without "$expected" "$@"
            return
        fi
        [ $SECONDS -lt $end ] || fail "the program did not serve its endpoint"
        sleep 0.5
    done
    kill $pid
    wait $pid || fail "status $? after SIGTERM"
    pid=
    if [ -n "$expected" ]; then
        [ "$(grep -c 'running headless' "$tmp/err")" = 1 ] || fail "not one 'running headless' line"
        grep -qxF "$expected" "$tmp/err" || fail "expected the line: $expected"
    else
        ! grep -q 'headless\|display' "$tmp/err" || fail "the program without windows spoke of a display"
    fi
    ! grep -q 'qt.qpa\|could not connect\|platform plugin\|XDG_RUNTIME_DIR' "$tmp/err" || fail "the platform plugin's own complaints"
}

run_without "tarnwick: no display (DISPLAY and WAYLAND_DISPLAY are not set); running headless"
# A display number no X server listens on.
run_without "tarnwick: cannot open display :217; running headless" DISPLAY=:217
# The program without windows: nothing to say about a display it never opens.
run_without "" daemon DISPLAY=:217
echo "headless without a display"
