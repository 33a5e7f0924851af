#!/usr/bin/env bash
# Runs scripts/tour with the given zan against a fresh repository server of the given kind
# (apache or lighttpd), started for the run and stopped after it; the tour's output is shown
# only when it fails.
# Usage: tests/cli/tour.sh SERVER ZAN
set -euo pipefail
server=${1:?server kind}
zan=${2:?zan binary}
cd "$(dirname "$0")/../.."
eval "$(scripts/davserver start --server "$server" --seed tests/data --watch-pid $$)"
log=$ZAN_SERVER_DIR/tour.log
status=0
ZAN_SERVER=$ZAN_SERVER scripts/tour "$zan" >"$log" 2>&1 || status=$?
((status == 0)) || cat "$log"
scripts/davserver stop "$ZAN_SERVER_DIR"
exit $status
