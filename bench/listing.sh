#!/usr/bin/env bash
# Listing benchmark: `zan --xml ls` of a collection with N members against `curl` fetching the
# same PROPFIND reply from the same loopback stand-in server (bench/listing_server.py), best of
# three rounds each, with zan's peak memory (max RSS).
# Usage: bench/listing.sh [MEMBERS...] (default 50000 200000); BUILD_DIR (default build/normal)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/normal}
[ -x "$build/src/cli/zan" ] || cmake --build "$build" -j2 --target zan ZANClient >/dev/null
zan="$PWD/$build/src/cli/zan"
module=$(find "$PWD/$build" -name ZANClient.so | head -1)
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (package time)" >&2; exit 1; }
work=$(mktemp -d /tmp/zan-listing.XXXXXX)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

best() {  # best wall time of three runs of "$@", in seconds; also leaves the max RSS (KiB) in $work/rss
  local best=999999 t
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    /usr/bin/time -f "%M" -o "$work/rss" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc)
    best=$(echo "if ($t < $best) $t else $best" | bc)
  done
  echo "$best"
}

printf "%-9s %10s %10s %8s %12s\n" members "curl s" "zan s" ratio "zan max RSS"
for n in "${@:-50000 200000}"; do
  python3 bench/listing_server.py "$n" >"$work/port" &
  pid=$!
  for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
  url="http://127.0.0.1:$(cat "$work/port")"
  c=$(best curl -s -o /dev/null -X PROPFIND -H "Depth: 1" "$url/Big")
  z=$(best "$zan" --module "$module" --server "$url" --xml ls Big)
  rss=$(cat "$work/rss")
  printf "%-9s %10.3f %10.3f %8.2f %9d MB\n" "$n" "$c" "$z" "$(echo "$z / $c" | bc -l)" $((rss / 1024))
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
done
