#!/usr/bin/env bash
# UploadBP and DownloadBP of 2,000 files of 4 KiB (10 directories) through the module, on
# loopback against one local Apache, in one run: the Linux module (zan, timed around the call)
# beside ZANClient.DLL under Wine (a VBScript host, timed inside the script). A figure, not a
# goal: Wine's WinHTTP stands in for the system's. Each direction best of three.
# Usage: bench/windows_transfer.sh   (after scripts/test, or builds normal and windows first)
set -euo pipefail
cd "$(dirname "$0")/.."
zan=$PWD/build/normal/src/cli/zan
dll=$PWD/build/windows/src/api/ZANClient.DLL
[[ -x $zan && -f $dll ]] || { echo "build the presets normal and windows first (scripts/test)" >&2; exit 1; }

work=$(mktemp -d /tmp/zan-winbench.XXXXXX)
mkdir -p "$work/seed/R"
cp -r tests/data/Templates "$work/seed/R/"
eval "$(scripts/davserver start --seed "$work/seed")"
root=$ZAN_SERVER/R

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true; scripts/davserver stop "$ZAN_SERVER_DIR" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
wine wineboot -i >/dev/null 2>&1
winpath() { printf 'Z:%s' "${1//\//\\}"; }
wine regsvr32 /s "$(winpath "$dll")"

for d in $(seq 0 9); do
  mkdir -p "$work/small/dir$d"
  for f in $(seq 0 199); do head -c 4096 /dev/urandom >"$work/small/dir$d/file$f.bin"; done
done
ZAN_SERVER=$root "$zan" mkproject Bench >/dev/null
ZAN_SERVER=$root "$zan" mkbp Bench Linux >/dev/null
ZAN_SERVER=$root "$zan" mkbp Bench Windows >/dev/null

linux() {  # upload|download -> seconds
  local start end
  start=$(date +%s.%N)
  if [[ $1 == upload ]]; then
    ZAN_SERVER=$root "$zan" upload Bench/Linux "$work/small" >/dev/null
  else
    rm -rf "$work/down-linux"
    ZAN_SERVER=$root "$zan" download Bench/Linux "$work/down-linux" --env DEV >/dev/null
  fi
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
windows() {  # upload|download -> seconds
  local dir=$work/small
  if [[ $1 == download ]]; then rm -rf "$work/down-windows"; dir=$work/down-windows; fi
  wine cscript //nologo "$(winpath "$PWD/bench/windows_transfer.vbs")" "$root" Bench/Windows "$(winpath "$dir")" "$1" |
    tr -d '\r'
}
best() { sort -n | head -n1; }

echo "2,000 x 4 KiB in 10 directories, Apache on loopback, best of 3 (seconds)"
printf '%-10s %12s %22s %8s\n' direction "Linux module" "ZANClient.DLL (Wine)" ratio
for direction in upload download; do
  l=$(for i in 1 2 3; do linux "$direction"; echo; done | best)
  w=$(for i in 1 2 3; do windows "$direction"; done | best)
  printf '%-10s %12s %22s %8s\n' "$direction" "$l" "$w" "$(awk -v a="$l" -v b="$w" 'BEGIN { printf "%.1fx", b / a }')"
done
cmp -s <(cd "$work/down-linux" && find . -type f -exec md5sum {} + | sort) \
       <(cd "$work/down-windows" && find . -type f -exec md5sum {} + | sort) &&
  echo "both downloads hold the same tree" || { echo "the downloads differ" >&2; exit 1; }
