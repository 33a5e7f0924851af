#!/usr/bin/env bash
# scripts/tour with zan.exe under Wine, against a fresh server of the given kind (apache or
# lighttpd); the tour stops at the first command that fails. When the Linux zan exists, the
# same tour runs first with it against the same server (the tour leaves the repository as it
# found it), and the two transcripts must match apart from what differs by system or by run:
# line ends (CR LF), path separators and the drive Z:, the temporary work directory, the
# module's path and the MBP document's time stamp.
#   zan_tour.sh SERVER ZAN_EXE DLL LINUX_ZAN
source "$(dirname "$0")/wine_env.sh"
kind=${1:?server kind} exe=$(realpath "${2:?zan.exe}") dll=$(realpath "${3:?ZANClient.DLL}") linux=${4:-}
# The tour runs in the source tree.
[[ -z $linux ]] || linux=$(realpath -m "$linux")
work=$(mktemp -d "${TMPDIR:-/tmp}/zan-wintour.XXXXXX")
eval "$("$src/scripts/davserver" start --server "$kind" --seed "$src/tests/data" --watch-pid $$)"
trap '"$src/scripts/davserver" stop "$ZAN_SERVER_DIR" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
# The tour's own work directories go below $work.
export ZAN_SERVER TMPDIR=$work

# The tour takes the path of a zan to run: this one runs zan.exe under Wine, with the module
# the registration test registered.
printf '#!/bin/sh\nexec wine "%s" "$@"\n' "$exe" >"$work/zan"
chmod +x "$work/zan"

# A transcript with what differs by system or by run made equal.
normalize() {
  tr -d '\r' <"$1" | sed -E -e 's#\\#/#g' -e 's#(^|[^A-Za-z])Z:/#\1/#g' -e 's#zan-tour\.[A-Za-z0-9]+#zan-tour.WORK#g' \
    -e 's#[^ "]*/ZANClient\.(so|DLL)#MODULE#g' -e 's#lastmodified="[^"]*"#lastmodified="TIME"#g'
}

if [[ -n $linux && -x $linux ]]; then
  if ! "$src/scripts/tour" "$linux" >"$work/linux.txt" 2>&1; then
    cat "$work/linux.txt"
    echo "FAIL: the tour with the Linux zan $linux failed ($kind)"
    exit 1
  fi
fi
if ! ZANCLIENT_MODULE=$(winpath "$dll") "$src/scripts/tour" "$work/zan" >"$work/windows.txt" 2>&1; then
  tr -d '\r' <"$work/windows.txt"
  echo "FAIL: the tour with zan.exe under Wine failed ($kind)"
  exit 1
fi
echo "ok: the tour with zan.exe under Wine ($kind)"
if [[ ! -f $work/linux.txt ]]; then
  echo "note: no Linux zan at '$linux' (build the preset normal): the transcripts were not compared"
  exit 0
fi
if ! diff -u <(normalize "$work/linux.txt") <(normalize "$work/windows.txt") >"$work/diff"; then
  cat "$work/diff"
  echo "FAIL: the transcripts of the Linux zan (-) and zan.exe (+) differ ($kind)"
  exit 1
fi
echo "ok: its transcript is the Linux zan's, apart from line ends and paths"
