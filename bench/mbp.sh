#!/usr/bin/env bash
# GetMBP beside SetMBP of a 100,000-element MBP document in two shapes ("mixed", "template")
# through the engine, against a local Apache mod_dav server, side by side in one run
# (engine_mbp_bench): prints get_ms, set_ms and their ratio. ZAN_BENCH_PHASES=1 also prints
# where one SetMBP's time goes.
# Usage: bench/mbp.sh [BUILD_DIR] [benchmark options...]   (default build/normal; built if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/normal}
shift || true
[ -x "$build/bench/engine_mbp_bench" ] || {
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j 2 --target engine_mbp_bench >/dev/null
}
bench="$PWD/$build/bench/engine_mbp_bench"

eval "$(scripts/davserver start)"
trap 'scripts/davserver stop "$ZAN_SERVER_DIR" >/dev/null 2>&1 || true' EXIT

# A repository root holding the templates, seeded through HTTP (the files belong to the server).
root="$ZAN_SERVER/mbp-bench"
curl -sf -X MKCOL "$root/" >/dev/null
curl -sf -X MKCOL "$root/Templates/" >/dev/null
for f in MBP.xml MPR.xml; do
  curl -sf -H "Expect:" -T "tests/data/Templates/$f" "$root/Templates/$f" >/dev/null
done

ZAN_REPOSITORY="$root" ${ZAN_BENCH_WRAP:-} "$bench" "$@"
