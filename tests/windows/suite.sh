#!/usr/bin/env bash
# Runs one cross-built test suite under Wine: suite.sh TEST_EXE [test options].
# A Windows process under Wine cannot start Linux programs, so the suite's test servers are
# started for it by host_shell.py, a loopback service that runs the suite's shell commands on
# the Linux side (ZAN_HOST_SHELL=127.0.0.1:PORT). The servers it starts watch the service's
# pid and stop with it, when the suite ends.
source "$(dirname "$0")/wine_env.sh"
exe=$(realpath "${1:?test executable}")
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/zan-suite.XXXXXX")
service=
cleanup() {
  if [[ -n $service ]]; then kill "$service" 2>/dev/null || true; wait "$service" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
python3 "$src/tests/windows/host_shell.py" "$work/port" &
service=$!
for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.05; done
[[ -s $work/port ]] || { echo "suite.sh: the host shell service did not start" >&2; exit 1; }
export ZAN_HOST_SHELL="127.0.0.1:$(<"$work/port")"
cd "$work"  # the suite's current drive is Z:, where a Linux path names the same file
# The report is written when the run ends: a process that crashed (Wine's debugger may still
# exit with 0) has none, and fails the suite.
status=0
wine "$exe" "$@" "--gtest_output=xml:$(winpath "$work/report.xml")" || status=$?
if ((status == 0)) && [[ ! -s $work/report.xml ]]; then
  echo "suite.sh: $(basename "$exe") ended without its report (it crashed)" >&2
  status=1
fi
exit $status
