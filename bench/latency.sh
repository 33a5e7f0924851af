#!/usr/bin/env bash
# Tree transfer at network latency: a local Apache mod_dav server behind bench/delay_proxy.py
# (a fixed one-way delay per direction, 10 ms by default: 20 ms round trip), all in one run:
#   2,000 files of 4 KiB in 10 directories, both directions, by
#     `zan upload` / `zan download` (UploadBP / DownloadBP of a business process),
#     `curl -K` (one sequential keep-alive client), `curl -Z --parallel-max 8`,
#     `rclone copy` (its default settings).
# Usage: bench/latency.sh [BUILD_DIR] [--delay-ms N] [--files-per-dir N]
#   (BUILD_DIR default build/normal; zan and the module are built if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/normal
delay_ms=10
per_dir=200
while [ $# -gt 0 ]; do
  case $1 in
    --delay-ms) delay_ms=$2; shift 2 ;;
    --files-per-dir) per_dir=$2; shift 2 ;;
    *) build=$1; shift ;;
  esac
done
zan="$PWD/$build/src/cli/zan"
[ -x "$zan" ] || {
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j "$(nproc)" >/dev/null
}
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (package time)" >&2; exit 1; }

work=$(mktemp -d /tmp/zan-latency.XXXXXX)
eval "$(scripts/davserver start --seed tests/data)"
proxy_pid=""
cleanup() {
  [ -z "$proxy_pid" ] || kill "$proxy_pid" 2>/dev/null || true
  scripts/davserver stop "$ZAN_SERVER_DIR" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# The proxy prints its port on its first line.
coproc PROXY { exec python3 bench/delay_proxy.py --upstream "${ZAN_SERVER#http://}" --delay-ms "$delay_ms" --lifetime 3600; }
proxy_pid=$PROXY_PID
read -r port <&"${PROXY[0]}"
server="http://127.0.0.1:$port"
export ZAN_SERVER=$server ZANCLIENT_REGISTRY=$work/registry

small="$work/small"
for d in $(seq 0 9); do
  mkdir -p "$small/dir$d"
  for f in $(seq 1 "$per_dir"); do head -c 4096 /dev/urandom >"$small/dir$d/file$f.bin"; done
done
files=$((10 * per_dir))

# seconds and max RSS (KiB) of a command: prints "SECONDS RSS"
measure() {
  local out="$work/time.out" start end
  start=$(date +%s.%N)
  /usr/bin/time -f "%M" -o "$out" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
  end=$(date +%s.%N)
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }') $(cat "$out")"
}
report() { printf '%-40s %8s s   %8s KiB max RSS\n' "$1" "$2" "$3"; }
same_tree() {  # a b: same files, same bytes
  cmp -s <(cd "$1" && find . -type f ! -name '*.usr' -exec md5sum {} + | sort) \
         <(cd "$2" && find . -type f ! -name '*.usr' -exec md5sum {} + | sort) || echo "!! $2 differs from $1"
}

# curl configs: PUTs without "Expect: 100-continue" (it would cost a round trip per file).
curl_upload_config() {  # local_dir remote_url: MKCOLs (sequential file) and PUTs (second file)
  local src=$1 dst=$2
  {
    echo "request = \"MKCOL\""; echo "url = \"$dst\""
    (cd "$src" && find . -mindepth 1 -type d | sort) | while read -r d; do
      echo "next"; echo "request = \"MKCOL\""; echo "url = \"$dst/${d#./}\""
    done
  } >"$work/mkcol.cfg"
  local first=1
  (cd "$src" && find . -type f | sort) | while read -r f; do
    [ $first = 1 ] || echo "next"
    first=0
    echo "header = \"Expect:\""; echo "upload-file = \"$src/${f#./}\""; echo "url = \"$dst/${f#./}\""
  done >"$work/put.cfg"
}
curl_download_config() {  # remote_url local_dir
  local src=$1 dst=$2 first=1
  (cd "$small" && find . -type f | sort) | while read -r f; do
    [ $first = 1 ] || echo "next"
    first=0
    echo "url = \"$src/${f#./}\""; echo "output = \"$dst/${f#./}\""; echo "create-dirs"
  done
}

echo "== $files files of 4 KiB in 10 directories, ${delay_ms} ms each way ($((2 * delay_ms)) ms round trip)"
"$zan" mkproject Bench >/dev/null
"$zan" mkbp Bench Proc >/dev/null
r=$(measure "$zan" -q upload Bench/Proc "$small"); report "upload   zan upload" $r
r=$(measure "$zan" -q download Bench/Proc "$work/down-zan" --env DEV); report "download zan download" $r
same_tree "$small" "$work/down-zan"

app="$server/Bench/Proc/AppFiles"
curl_upload_config "$small" "$server/curl-seq"
r=$(measure sh -c "curl -s -o /dev/null -K '$work/mkcol.cfg' && curl -s -o /dev/null -K '$work/put.cfg'")
report "upload   curl -K (sequential)" $r
curl_upload_config "$small" "$server/curl-par"
r=$(measure sh -c "curl -s -o /dev/null -K '$work/mkcol.cfg' && curl -s -o /dev/null -Z --parallel-max 8 -K '$work/put.cfg'")
report "upload   curl -Z --parallel-max 8" $r

curl_download_config "$app" "$work/down-curl-seq" >"$work/down.cfg"
r=$(measure curl -s -K "$work/down.cfg"); report "download curl -K (sequential)" $r
curl_download_config "$app" "$work/down-curl-par" >"$work/down.cfg"
r=$(measure curl -s -Z --parallel-max 8 -K "$work/down.cfg"); report "download curl -Z --parallel-max 8" $r
same_tree "$small" "$work/down-curl-par"

export RCLONE_CONFIG_ZAN_TYPE=webdav RCLONE_CONFIG_ZAN_URL="$server" RCLONE_CONFIG_ZAN_VENDOR=other
r=$(measure rclone copy "$small" "zan:rclone-up"); report "upload   rclone copy" $r
r=$(measure rclone copy "zan:Bench/Proc/AppFiles" "$work/down-rclone"); report "download rclone copy" $r
same_tree "$small" "$work/down-rclone"
