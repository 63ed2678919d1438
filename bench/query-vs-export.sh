#!/usr/bin/env bash
# Runs the candidate query benchmark and mdb-export of the same table, one
# after the other, and prints the query's time and peak memory as a ratio of
# mdb-export's. The query covers open, scan, filter, sort and count (query_s);
# reading every row as text is reported apart (read_text_s).
#
#   bench/query-vs-export.sh BUILD_DIR LIBRARY.mdb
set -euo pipefail
build=${1:?build directory}
library=${2:?library file}
bench="$build/bench/vaskord-query-bench"

export_line=$( { /usr/bin/time -f '%e %M' mdb-export "$library" Ok_Song >/dev/null; } 2>&1 | tail -1)
read -r export_s export_kb <<<"$export_line"
echo "mdb-export      ${export_s} s, ${export_kb} KB"

for mode in "" --all-criteria; do
  out=$("$bench" "$library" $mode)
  echo "$out"
  query_s=$(awk '/^query_s/ {print $2}' <<<"$out")
  peak_kb=$(awk '/^peak_kb/ {print $2}' <<<"$out")
  awk -v q="$query_s" -v e="$export_s" -v p="$peak_kb" -v m="$export_kb" \
      -v size="$(stat -c %s "$library")" \
      'BEGIN { printf "ratio_time      %.2f (query / mdb-export)\nratio_memory    %.2f (peak / mdb-export), %.2f (peak / file size)\n\n", q / e, p / m, p * 1024 / size }'
done
