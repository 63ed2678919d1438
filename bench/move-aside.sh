#!/usr/bin/env bash
# Times vaskord-cli taking 1,000 song files of 1 MiB aside and back: delete
# --move-to on the same file system (rename), --move-to onto a tmpfs (copy,
# sync, unlink), --trash, each followed by its restore, then a plain delete.
# Run by hand, as root (the tmpfs is mounted in a private mount namespace and
# goes with the script): bash bench/move-aside.sh [build-dir]
set -euo pipefail
build=$(realpath "${1:-build}")
cli=$build/cli/vaskord-cli
library=$(realpath "$(dirname "$0")/../tests/fixtures/songs-demo.mdb")
[ -x "$cli" ] || { echo "build vaskord-cli first: $cli" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "run as root (mounts a tmpfs)" >&2; exit 2; }

if [ "${VASKORD_BENCH_INNER:-}" != 1 ]; then
  VASKORD_BENCH_INNER=1 exec unshare -m bash "$0" "$build"
fi
mount --make-rprivate /
work=$(mktemp -d)
trap 'umount "$work/盘" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/歌曲" "$work/保存" "$work/盘" "$work/家"
mount -t tmpfs -o size=1200m tmpfs "$work/盘"
export XDG_DATA_HOME=$work/家

"$cli" sql "$library" "select S_Code from Ok_Song" |
  sed 's/.*"S_Code":"\([^"]*\)".*/\1/' | while read -r code; do
    head -c 1048576 /dev/zero >"$work/歌曲/$code.mpg"
  done
songs=(delete "$library" --folder "$work/歌曲" --count 100 --limit 1000 --yes)

timed() {
  local label=$1 start end
  shift
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$work/err" || true
  end=$(date +%s.%N)
  printf '%-28s %6.2f s  %s\n' "$label" "$(echo "$end - $start" | bc)" "$(tail -2 "$work/err" | tr '\n' ' ')"
}
timed "move-to, same disk" "$cli" "${songs[@]}" --move-to "$work/保存"
timed "restore, same disk" "$cli" restore "$work/保存"
timed "move-to, other disk" "$cli" "${songs[@]}" --move-to "$work/盘"
timed "restore, other disk" "$cli" restore "$work/盘"
timed "trash" "$cli" "${songs[@]}" --trash
timed "restore --trash" "$cli" restore --trash
timed "delete" "$cli" "${songs[@]}"
