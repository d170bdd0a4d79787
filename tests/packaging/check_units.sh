#!/usr/bin/env bash
# systemd-analyze verify on the service and socket units, with ExecStart
# pointed at the built program (verify wants an executable there).
# Usage: check_units.sh SOURCE_DIR TARNWICKD_BINARY
set -u
src=$1 bin=$2
if ! command -v systemd-analyze >/dev/null; then
    echo "SKIP: systemd-analyze is not installed"
    exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sed "s|/usr/bin/tarnwickd |$bin |" "$src/packaging/tarnwick.service" >"$tmp/tarnwick.service"
cp "$src/packaging/tarnwick.socket" "$tmp/"
out=$(cd "$tmp" && SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no ./tarnwick.socket ./tarnwick.service 2>&1)
status=$?
# Lines about other units on this machine are not ours to judge.
ours=$(printf '%s\n' "$out" | grep -i 'tarnwick' || true)
if [ $status -ne 0 ] || [ -n "$ours" ]; then
    printf '%s\n' "$out"
    echo "FAIL: systemd-analyze verify complained about the units"
    exit 1
fi
# The service runs the program without windows.
for key in 'ExecStart=/usr/bin/tarnwickd ' 'Type=notify' 'WatchdogSec=30' 'Restart=on-failure' 'SupplementaryGroups=dialout' 'StateDirectory=tarnwick' \
    '--profile /var/lib/tarnwick/'; do
    grep -q -- "$key" "$src/packaging/tarnwick.service" || { echo "FAIL: the service lacks $key"; exit 1; }
done
# Hiding /dev would take the serial board away.
if grep -Eq '^(PrivateDevices=yes|DevicePolicy=closed|DevicePolicy=strict)' "$src/packaging/tarnwick.service"; then
    echo "FAIL: the service hides the serial devices"
    exit 1
fi
echo "units verified"
