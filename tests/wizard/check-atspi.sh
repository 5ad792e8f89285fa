#!/usr/bin/env bash
# Runs check-atspi.py on a fresh demo sandbox: a private session bus (which starts the AT-SPI bus
# and its registry on demand) and a virtual X server, as a screen reader's desktop has them.
# Exits with 77 (skipped) when a piece of that desktop is not installed.
#   check-atspi.sh <make-demo-sandbox.sh> <folder of quenta-setup>
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIPPED: no AT-SPI check here: $* (Debian at-spi2-core, dbus-daemon, xvfb, python3-pyatspi)"; exit 77; }
command -v dbus-run-session >/dev/null || skip "dbus-run-session is missing"
command -v xvfb-run >/dev/null || skip "xvfb-run is missing"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "the AT-SPI bus launcher is missing"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "the Python module pyatspi is missing"

sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
"$1" "$sandbox/demo" "$2" >/dev/null
# shellcheck disable=SC1091
. "$sandbox/demo/sandbox.env"
unset XAUTHORITY  # xvfb-run makes its own
status=0
output=$(timeout 120 dbus-run-session -- xvfb-run -a /usr/bin/python3 "$HERE/check-atspi.py" \
  "$sandbox/demo/package/quenta-setup" 2>&1) || status=$?
# The buses' own chatter is no news.
grep -v -e 'Failed to set fd limit' -e 'Activating service' -e 'Successfully activated' -e 'SpiRegistry daemon' \
  <<<"$output" || true
exit "$status"
