#!/usr/bin/env bash
# Runs tour.vbs and tour.js under Wine's cscript against a local server, after regsvr32 has
# registered ZANClient.DLL (the registration test), then checks the trees they downloaded
# against what they uploaded.   scripts.sh [apache|lighttpd]
source "$(dirname "$0")/wine_env.sh"
kind=${1:-apache}
work=$(mktemp -d "${TMPDIR:-/tmp}/zan-winscripts.XXXXXX")
start_server "R$$" "$kind"
trap 'stop_server; rm -rf "$work"' EXIT
failures=0

# The application tree both scripts upload.
mkdir -p "$work/app/reports"
printf '[General]\r\nName=Billing\r\n' >"$work/app/billing.usr"
printf 'Q1 totals\n\xc3\xa4\xc3\xb6\xc3\xbc\n' >"$work/app/reports/summary.txt"

run() {  # script
  echo "== cscript $1 ($kind)"
  local status=0
  wine cscript //nologo "$(winpath "$src/tests/windows/$1")" "$ROOT_URL" "$(winpath "$work")" 2>"$work/stderr" |
    tr -d '\r' || status=$?
  if [[ $status -ne 0 ]]; then echo "FAIL: $1 exited $status"; failures=$((failures + 1)); fi
}
# A downloaded tree: the files as uploaded, and the .usr file naming the environment's files.
check_download() {  # dir parameter-file default-cfg
  local dir=$work/$1
  if cmp -s "$work/app/reports/summary.txt" "$dir/reports/summary.txt"; then echo "ok: $1 file content"; else
    echo "FAIL: $1/reports/summary.txt differs"; failures=$((failures + 1)); fi
  for key in "ParameterFile=$2" "DefaultCfg=$3"; do
    if tr -d '\r' <"$dir/billing.usr" 2>/dev/null | grep -qx "$key"; then echo "ok: $1 billing.usr $key"; else
      echo "FAIL: $1/billing.usr has no $key:"; cat "$dir/billing.usr"; failures=$((failures + 1)); fi
  done
}

run tour.vbs
# The failing UploadBP's alert, as one line on standard error.
if grep -q '^ZAN: .*no-such-directory' "$work/stderr"; then echo "ok: the alert's line on standard error"; else
  echo "FAIL: no alert line on standard error:"; cat "$work/stderr"; failures=$((failures + 1)); fi
check_download checkout 3.prm dev_local.cfg
run tour.js
check_download jscheckout 3.prm dev_local.cfg
[[ $failures -eq 0 ]] || { echo "$failures failed"; exit 1; }
echo "scripts: all checks passed"
