#!/usr/bin/env bash
# What zan.exe does as a Windows program, under Wine against a local Apache: arguments outside
# the ANSI code page reach the server as they were typed and come back as UTF-8; file names
# outside it are read and written; its lines end in CR LF; the module is looked for beside
# zan.exe first, and a file there that does not load is named with the system's reason.
#   zan_exe.sh ZAN_EXE DLL
source "$(dirname "$0")/wine_env.sh"
exe=${1:?zan.exe} dll=${2:?ZANClient.DLL}
# Wine reads the Linux side's arguments and file names as UTF-8.
export LC_ALL=C.UTF-8
work=$(mktemp -d "${TMPDIR:-/tmp}/zan-winexe.XXXXXX")
eval "$("$src/scripts/davserver" start --server apache --seed "$src/tests/data" --watch-pid $$)"
trap '"$src/scripts/davserver" stop "$ZAN_SERVER_DIR" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
export ZAN_SERVER
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
zan() { ZANCLIENT_MODULE=$(winpath "$dll") wine "$exe" "$@"; }

project='Grüße 東京'
bp='Plan ✓'
echo "== arguments outside the ANSI code page"
zan mkproject "$project" --prop 'ZAN_DESCRIPTION=Ærø — ✓' >/dev/null || fail "mkproject exited $?"
zan mkbp "$project" "$bp" >/dev/null || fail "mkbp exited $?"
if [[ -d $ZAN_SERVER_DIR/dav/$project/$bp ]]; then ok "the server holds $project/$bp"; else
  fail "the server holds no $project/$bp:"; ls "$ZAN_SERVER_DIR/dav"; fi
zan props "$project" >"$work/props" || fail "props exited $?"
cr=$'\r'
if grep -q "^ZAN_NAME  *$project$cr\$" "$work/props" && grep -q "^ZAN_DESCRIPTION  *Ærø — ✓$cr\$" "$work/props"; then
  ok "props prints the name and the description as UTF-8, lines ending in CR LF"
else
  fail "props printed:"; od -c "$work/props" | head -20
fi

echo "== file names outside the ANSI code page"
dir="$work/Ünï 東"
mkdir -p "$dir"
zan mbp get "$project/$bp" -o "$dir/mbp ✓.xml" >/dev/null || fail "mbp get -o exited $?"
if grep -q "<bp id=\"$project/$bp\"" "$dir/mbp ✓.xml" 2>/dev/null; then ok "mbp get -o wrote $dir/mbp ✓.xml"; else
  fail "mbp get -o wrote no document to $dir/mbp ✓.xml:"; ls -la "$dir"; fi
sed -i 's|<owner>[^<]*</owner>|<owner dirty="1">Ærø</owner>|' "$dir/mbp ✓.xml"
zan mbp set "$project/$bp" "$dir/mbp ✓.xml" >/dev/null || fail "mbp set FILE exited $?"
if zan mbp get "$project/$bp" | grep -q '<owner>Ærø</owner>'; then ok "mbp set read $dir/mbp ✓.xml"; else
  fail "the owner from $dir/mbp ✓.xml did not arrive"; fi

echo "== the module beside zan.exe comes first"
bin="$work/bin ü"
mkdir -p "$bin"
cp "$exe" "$bin/zan.exe"
echo "not a DLL" >"$bin/ZANClient.DLL"
status=0
wine "$bin/zan.exe" projects >/dev/null 2>"$work/stderr" || status=$?
if [[ $status -eq 5 ]] && grep -qF "cannot load $(winpath "$bin")\\ZANClient.DLL: " "$work/stderr"; then
  ok "exit 5: $(tr -d '\r' <"$work/stderr" | head -n1)"
else
  fail "zan.exe beside a broken ZANClient.DLL exited $status:"; cat "$work/stderr"
fi

zan rm "$project" >/dev/null || fail "rm exited $?"
[[ $failures -eq 0 ]] || { echo "$failures failed"; exit 1; }
echo "zan.exe: all checks passed"
