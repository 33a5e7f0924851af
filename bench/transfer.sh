#!/usr/bin/env bash
# Tree-transfer benchmark against a local Apache mod_dav server, all in one run:
#   - 2,000 files of 4 KiB in 10 directories, both directions:
#       DirUploadDownload (dav_transfer_tool), one sequential keep-alive `curl -K`, `rclone copy`
#       (the first two are timed as the best of three rounds, rclone once)
#   - one file of 256 MiB, both directions: the same three, with peak memory (max RSS)
# Usage: bench/transfer.sh [BUILD_DIR]   (default build/normal; the tool is built if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/normal}
[ -x "$build/bench/dav_transfer_tool" ] || {
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j "$(nproc)" --target dav_transfer_tool >/dev/null
}
tool="$PWD/$build/bench/dav_transfer_tool"
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (package time)" >&2; exit 1; }

work=$(mktemp -d /tmp/zan-bench.XXXXXX)
eval "$(scripts/davserver start)"
trap 'scripts/davserver stop "$ZAN_SERVER_DIR" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
server=$ZAN_SERVER

# The data: small tree and one big file.
small="$work/small"
for d in $(seq 0 9); do
  mkdir -p "$small/dir$d"
  for f in $(seq 0 199); do head -c 4096 /dev/urandom >"$small/dir$d/file$f.bin"; done
done
big="$work/big"
mkdir -p "$big"
head -c $((256 * 1024 * 1024)) /dev/urandom >"$big/huge.bin"

export RCLONE_CONFIG_ZAN_TYPE=webdav RCLONE_CONFIG_ZAN_URL="$server" RCLONE_CONFIG_ZAN_VENDOR=other

# seconds and max RSS (KiB) of a command: prints "SECONDS RSS"
measure() {
  local out="$work/time.$$"
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f "%M" -o "$out" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
  end=$(date +%s.%N)
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }') $(cat "$out")"
}

# curl config files: one sequential keep-alive client for every request of a transfer (PUTs
# without "Expect: 100-continue", which would make curl wait a second before a large body).
curl_upload_config() {  # local_dir remote_url
  local src=$1 dst=$2
  echo "request = \"MKCOL\""
  echo "url = \"$dst\""
  (cd "$src" && find . -mindepth 1 -type d | sort) | while read -r d; do
    echo "next"; echo "request = \"MKCOL\""; echo "url = \"$dst/${d#./}\""
  done
  (cd "$src" && find . -type f | sort) | while read -r f; do
    echo "next"; echo "header = \"Expect:\""; echo "upload-file = \"$src/${f#./}\""; echo "url = \"$dst/${f#./}\""
  done
}
curl_download_config() {  # remote_url local_dir source_dir_for_names
  local src=$1 dst=$2 names=$3
  local first=1
  (cd "$names" && find . -type f | sort) | while read -r f; do
    [ $first = 1 ] || echo "next"
    first=0
    echo "url = \"$src/${f#./}\""; echo "output = \"$dst/${f#./}\""; echo "create-dirs"
  done
}

report() { printf '%-34s %8s s   %8s KiB max RSS\n' "$1" "$2" "$3"; }

# The fastest of `rounds` runs and the largest max RSS among them: "SECONDS RSS". Each round
# calls `$round_setup ROUND` first, then the command with "@R" in its arguments replaced by
# the round number (so every round writes to a fresh place).
rounds=3
best_of() {  # round_setup command...
  local setup=$1; shift
  local best="" rss=0 r i args
  for i in $(seq 1 $rounds); do
    "$setup" "$i"
    sync  # earlier rounds' dirty pages are not written back on this round's time
    args=("${@//@R/$i}")
    r=($(measure "${args[@]}"))
    if [ -z "$best" ] || awk -v a="${r[0]}" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=${r[0]}; fi
    [ "${r[1]}" -gt "$rss" ] && rss=${r[1]}
  done
  echo "$best $rss"
}

run_case() {  # name local_dir
  local name=$1 local=$2
  local r
  echo "== $name (DirUploadDownload and curl: best of $rounds)"
  dav_up_setup() { curl -s -X MKCOL "$server/$name-dav$1" >/dev/null; }
  curl_up_setup() { curl_upload_config "$local" "$server/$name-curl$1" >"$work/up.cfg"; }
  down_setup() { rm -rf "$work/down"; mkdir -p "$work/down"; }
  curl_down_setup() {
    down_setup
    curl_download_config "$server/$name-curl$1" "$work/down/curl" "$local" >"$work/down.cfg"
  }
  r=$(best_of dav_up_setup "$tool" "$server" "$local" "$server/$name-dav@R/up"); report "upload   DirUploadDownload" $r
  r=$(best_of curl_up_setup curl -s -o /dev/null -K "$work/up.cfg"); report "upload   curl -K (sequential)" $r
  sync
  r=$(measure rclone copy "$local" "zan:$name-rclone"); report "upload   rclone copy" $r
  r=$(best_of down_setup "$tool" "$server" "$server/$name-dav@R/up" "$work/down/dav"); report "download DirUploadDownload" $r
  cmp -s <(cd "$local" && find . -type f -exec md5sum {} + | sort) \
         <(cd "$work/down/dav" && find . -type f -exec md5sum {} + | sort) || echo "!! download differs"
  r=$(best_of curl_down_setup curl -s -K "$work/down.cfg"); report "download curl -K (sequential)" $r
  down_setup
  sync
  r=$(measure rclone copy "zan:$name-rclone" "$work/down/rclone"); report "download rclone copy" $r
}

run_case small "$small"
run_case big "$big"
