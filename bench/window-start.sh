#!/usr/bin/env bash
# Measures the time from starting the program until its window is viewable on
# an X display (a fresh Xvfb unless DISPLAY is set), over several runs: prints
# each run's wall time and the processor time the program had used by then
# (user + system, in steps of the kernel's clock tick), and the medians, in
# seconds. The processor time varies less with the machine's load. The window
# is closed after each run. Polls the X server for the window's map state.
#
#   bench/window-start.sh [BUILD_DIR] [RUNS]   (defaults: build, 11)
set -euo pipefail
build=${1:-build}
runs=${2:-11}
program="$build/app/vaskord"
[ -x "$program" ] || { echo "build $program first (cmake --build $build --target vaskord)" >&2; exit 2; }
if [ -z "${DISPLAY:-}" ]; then
    # A display number of its own, as other virtual displays may come and go,
    # and no server reset between runs, which would refuse the next one.
    exec xvfb-run -a -n $((300 + RANDOM % 600)) -s "-screen 0 1280x900x24 -noreset" bash "$0" "$build" "$runs"
fi

times=()
cpus=()
for _ in $(seq 1 "$runs"); do
    start=$(date +%s.%N)
    "$program" >/dev/null 2>>"${VASKORD_BENCH_LOG:-/dev/null}" &
    pid=$!
    until xwininfo -name Vaskord 2>/dev/null | grep -q IsViewable; do
        sleep 0.005
        kill -0 "$pid" 2>/dev/null || { echo "the program ended before its window showed" >&2; exit 1; }
    done
    end=$(date +%s.%N)
    cpu=$(awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) / hz}' "/proc/$pid/stat")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')")
    cpus+=("$cpu")
    printf 'wall %.3f  cpu %.2f\n' "${times[-1]}" "$cpu"
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
printf 'median over %d runs: wall %.3f s, cpu %.2f s\n' "$runs" "$(median "${times[@]}")" \
    "$(median "${cpus[@]}")"
