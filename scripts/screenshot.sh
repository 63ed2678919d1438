#!/usr/bin/env bash
# Starts the window on a virtual display, with the demo prepared, and saves a
# screenshot of it (default: vaskord-window.png in the current folder).
set -euo pipefail
out=$(realpath -m "${1:-vaskord-window.png}")
cd "$(dirname "$0")/.."

if [ -z "${VASKORD_ON_VIRTUAL_DISPLAY:-}" ]; then
    source scripts/deps.sh
    vaskord_install_packages
    export VASKORD_ON_VIRTUAL_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x900x24" bash "$0" "$out"
fi

bash scripts/run.sh >/dev/null &
app=$!
trap 'kill "$app" 2>/dev/null || true' EXIT
# The first run also builds, so wait for the window rather than for a time.
for _ in $(seq 1 600); do
    if xwininfo -root -tree 2>/dev/null | grep -q '"Vaskord"'; then
        break
    fi
    kill -0 "$app" 2>/dev/null || { echo "the program ended before its window showed" >&2; exit 1; }
    sleep 1
done
sleep 2  # let the first paint finish
window=$(xwininfo -name Vaskord | awk '/Window id:/ {print $4}')
import -window "$window" "$out"
echo "$out"
