#!/usr/bin/env bash
# Measures the whole query button (candidate query + listing pass) on a song
# library with 4 song folders holding empty .mpg files for 0.5 % of its songs
# (every 200th song, spread over the folders), threshold 100 and limit 1000.
# Prints the benchmark's wall times and its own file-system call counts, then
# the system calls of each phase counted by strace -c -f.
#
#   bench/query-button.sh LIBRARY.mdb [BUILD_DIR]   (BUILD_DIR defaults to build)
set -euo pipefail
library=${1:?library file}
build=${2:-build}
bench="$build/bench/vaskord-button-bench"
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target vaskord-button-bench)" >&2; exit 2; }

root=$(mktemp -d /tmp/vaskord-button-bench.XXXXXX)
trap 'rm -rf "$root"' EXIT
folders=()
for i in 1 2 3 4; do
  mkdir -p "$root/歌曲$i"
  folders+=("$root/歌曲$i")
done
mdb-export -H -Q -d '\t' "$library" Ok_Song | cut -f1 |
  awk 'NR % 200 == 0 && $0 != "" && $0 !~ /\// { print (n++ % 4) + 1 "\t" $0 }' |
  while IFS=$'\t' read -r folder code; do
    : >"$root/歌曲$folder/$code.mpg"
  done
echo "song files           $(find "$root" -name '*.mpg' | wc -l) in ${#folders[@]} folders under $root"

"$bench" "$library" "${folders[@]}"

if command -v strace >/dev/null; then
  echo "system calls (strace -c -f), per phase run once:"
  for phase in query finder per-row; do
    strace -c -f -o "$root/strace.$phase" "$bench" --only=$phase "$library" "${folders[@]}" >/dev/null
    awk -v phase="$phase" '
      $NF ~ /^(stat|lstat|newfstatat|statx|fstatat64|openat|open|getdents64|getdents)$/ { fs += $4 }
      $NF == "total" { total = $4 }
      END { printf "  %-8s total %9d   path and folder calls (stat family, open, getdents) %9d\n", phase, total, fs }
    ' "$root/strace.$phase"
  done
fi
