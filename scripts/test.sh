#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once as built for
# use, once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
vaskord_install_packages

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

if [ "${VASKORD_SKIP_SANITIZERS:-0}" != 1 ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVASKORD_SANITIZE=ON
  cmake --build build-asan -j"$jobs"
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE nosan
fi
