#!/usr/bin/env bash
# Builds the program, prepares a demo (a copy of the demo library and two song
# folders with empty .mpg files for part of its rarely requested songs) and
# opens the window.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'MSG'
没有可用的图形显示(DISPLAY 与 WAYLAND_DISPLAY 均未设置),无法打开窗口。
No graphical display: neither DISPLAY nor WAYLAND_DISPLAY is set, so the window cannot open.
Run this from a desktop session, or under a virtual display:
    xvfb-run -a bash scripts/run.sh
MSG
    exit 1
fi

source scripts/deps.sh
vaskord_install_packages

build=${VASKORD_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target vaskord

# A fresh demo at every run: the program deletes files, so start from a full set.
demo=$root/.demo
rm -rf "$demo"
mkdir -p "$demo/歌曲库一" "$demo/歌曲库二"
cp tests/fixtures/songs-demo.mdb "$demo/songs-demo.mdb"
chmod u+w "$demo/songs-demo.mdb"
# Songs requested fewer than four times: a quarter get a file in the first
# folder, a quarter in the second, and every twentieth one in both.
awk -F'\t' -v a="$demo/歌曲库一" -v b="$demo/歌曲库二" '
    NR > 1 && $1 ~ /^[A-Za-z0-9]+$/ && $7 != "\\N" && $7 + 0 < 4 {
        n++
        if (n % 4 == 0 || n % 20 == 1) print a "/" $1 ".mpg"
        if (n % 4 == 1) print b "/" $1 ".mpg"
    }' tests/fixtures/songs-demo.tsv | while IFS= read -r file; do : >"$file"; done

cat <<MSG
演示曲库 / demo library:  $demo/songs-demo.mdb
歌曲目录 / song folders:  $demo/歌曲库一  ($(ls "$demo/歌曲库一" | wc -l) 个文件)
                          $demo/歌曲库二  ($(ls "$demo/歌曲库二" | wc -l) 个文件)
In the window: "选择(&C)" picks the library, "&添加(&A)" adds each folder,
then "Q.查询" lists the songs, for example with 点播量<3.
MSG

exec "$build/app/vaskord"
