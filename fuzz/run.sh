#!/usr/bin/env bash
# Runs the library fuzz target for a bounded time, seeded with the shipped
# libraries. Findings land in the build directory as crash-*/timeout-* files.
#
#   fuzz/run.sh BUILD_DIR [SECONDS]    (VASKORD_FUZZ_MAX_LEN: largest input, default 300000;
#                                       larger seeds are cut, which tries the truncation checks)
set -euo pipefail
build=$(cd "${1:?build directory configured with -DVASKORD_FUZZ=ON}" && pwd)
seconds=${2:-600}
here=$(cd "$(dirname "$0")" && pwd)
corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
cp -n "$here"/../tests/fixtures/*.mdb "$here"/../tests/fixtures/real/* "$corpus"/ 2>/dev/null || true
cd "$build"
./fuzz/vaskord-fuzz-library "$corpus" -max_len="${VASKORD_FUZZ_MAX_LEN:-300000}" -max_total_time="$seconds" \
  -timeout=20 -rss_limit_mb=4096 -close_fd_mask=2 -print_final_stats=1
