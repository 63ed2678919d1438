#!/usr/bin/env bash
# Times `vaskord-cli sql` of the candidate query (threshold 100, every row
# written as JSON Lines) against `mdb-export` of the whole song table, and
# `vaskord-cli find` (4 song folders, limit 1000) against the query alone
# (vaskord-button-bench --only=query: open, scan, filter, sort, count), in
# alternating runs so that both see the same machine load. Prints each run,
# then the medians of wall time, CPU time and peak memory, and the ratios.
# The song folders hold empty .mpg files for every 200th song, spread over
# the 4 folders, as bench/query-button.sh makes them.
#
#   bench/query-vs-export.sh BUILD_DIR LIBRARY.mdb [RUNS]   (RUNS defaults to 5)
set -euo pipefail
build=${1:?build directory}
library=${2:?library file}
runs=${3:-5}
cli="$build/cli/vaskord-cli"
query_bench="$build/bench/vaskord-button-bench"
for program in "$cli" "$query_bench"; do
  [ -x "$program" ] || { echo "build $program first (cmake --build $build --target vaskord-cli vaskord-button-bench)" >&2; exit 2; }
done

sql=' Select S_Code,S_NAME,S_Singer1,S_Singer2,S_INPUTCODE,S_CopyDest, S_COUNT,S_INPUTDATE,S_IFUsed from Ok_Song Where S_COUNT<100 order by S_COUNT,S_INPUTCODE,S_Code'

root=$(mktemp -d /tmp/vaskord-export-bench.XXXXXX)
trap 'rm -rf "$root"' EXIT
folders=()
folder_options=()
for i in 1 2 3 4; do
  mkdir -p "$root/歌曲$i"
  folders+=("$root/歌曲$i")
  folder_options+=(--folder "$root/歌曲$i")
done
mdb-export -H -Q -d '\t' "$library" Ok_Song | cut -f1 |
  awk 'NR % 200 == 0 && $0 != "" && $0 !~ /\// { print (n++ % 4) + 1 "\t" $0 }' |
  while IFS=$'\t' read -r folder code; do
    : >"$root/歌曲$folder/$code.mpg"
  done

# One timed command: prints "wall_s cpu_s peak_kb".
timed() {
  /usr/bin/time -o "$root/time" -f '%e %U %S %M' "$@" >/dev/null 2>/dev/null
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$root/time"
}

echo "library    $library ($(stat -c %s "$library") bytes)"
echo "song files $(find "$root" -name '*.mpg' | wc -l) in 4 folders"
echo "sql        vaskord-cli sql LIBRARY \"$sql\""
echo "find       vaskord-cli find LIBRARY --folder F1 .. --folder F4 --count 100 --limit 1000"
echo "query      vaskord-button-bench --only=query LIBRARY F1 .. F4"
echo "export     mdb-export LIBRARY Ok_Song"
echo
printf '%-4s %-22s %-22s %-22s %-22s\n' run "export wall/cpu/KB" "sql wall/cpu/KB" "find wall/cpu/KB" \
  "query wall/cpu/KB"
: >"$root/times"
for ((run = 1; run <= runs; ++run)); do
  export_t=$(timed mdb-export "$library" Ok_Song)
  sql_t=$(timed "$cli" sql "$library" "$sql")
  find_t=$(timed "$cli" find "$library" "${folder_options[@]}" --count 100 --limit 1000)
  query_t=$(timed "$query_bench" --only=query "$library" "${folders[@]}")
  printf '%-4s %-22s %-22s %-22s %-22s\n' "$run" "$export_t" "$sql_t" "$find_t" "$query_t"
  echo "$export_t $sql_t $find_t $query_t" >>"$root/times"
done

awk -v size="$(stat -c %s "$library")" '
  function median(column,   values, n, i, j, t) {
    n = 0
    for (i = 1; i <= NR; ++i) values[++n] = cell[i, column]
    for (i = 2; i <= n; ++i)
      for (j = i; j > 1 && values[j - 1] > values[j]; --j) { t = values[j]; values[j] = values[j - 1]; values[j - 1] = t }
    return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
  }
  { for (c = 1; c <= NF; ++c) cell[NR, c] = $c }
  END {
    ew = median(1); ec = median(2); sw = median(4); sc = median(5); sk = median(6)
    fw = median(7); fc = median(8); qw = median(10); qc = median(11)
    printf "\nmedians of %d runs\n", NR
    printf "export     wall %.2f s  cpu %.2f s\n", ew, ec
    printf "sql        wall %.2f s  cpu %.2f s  peak %d KB\n", sw, sc, sk
    printf "find       wall %.2f s  cpu %.2f s\n", fw, fc
    printf "query      wall %.2f s  cpu %.2f s\n", qw, qc
    printf "ratio sql / export     wall %.2f  cpu %.2f\n", sw / ew, sc / ec
    printf "ratio find / query     wall %.2f  cpu %.2f\n", fw / qw, fc / qc
    printf "ratio sql peak / file  %.2f\n", sk * 1024 / size
  }' "$root/times"
