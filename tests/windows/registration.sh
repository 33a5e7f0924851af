#!/usr/bin/env bash
# regsvr32 registers ZANClient.DLL: every key and value of the class, its ProgIDs and its type
# library, read back with reg query; /u removes all of it; without the system's script
# registrar, registration fails and writes nothing. Ends with the DLL registered, for the host
# tests that follow.   registration.sh DLL
source "$(dirname "$0")/wine_env.sh"
dll=$(winpath "$1")
clsid='{617F5873-9E14-49E4-ABCE-080545C0877E}'
iid='{F1D7BC15-F642-4A1F-88BC-EB0B4DF7E9C6}'
libid='{3031F8AE-9CA0-4E65-8A65-B15136B05EE9}'
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# The string value NAME ("" for the default value) of HKCR\KEY, or "<missing>".
value() {
  local key=$1 name=${2:-} out
  if [[ -z $name ]]; then
    out=$(wine reg query "HKCR\\$key" /ve 2>/dev/null | tr -d '\r') || { echo "<missing>"; return; }
  else
    out=$(wine reg query "HKCR\\$key" /v "$name" 2>/dev/null | tr -d '\r') || { echo "<missing>"; return; }
  fi
  grep -q 'REG_SZ' <<<"$out" || { echo "<missing>"; return; }
  sed -n 's/^ *[^ ].*REG_SZ *//p' <<<"$out" | head -n1
}
key_exists() { wine reg query "HKCR\\$1" >/dev/null 2>&1; }
expect() {  # KEY NAME WANT
  local got
  got=$(value "$1" "$2")
  if [[ $got == "$3" ]]; then echo "ok: HKCR\\$1 ${2:-(Default)} = $3"; else fail "HKCR\\$1 ${2:-(Default)}: '$got', want '$3'"; fi
}
expect_gone() { if key_exists "$1"; then fail "HKCR\\$1 is left after unregistering"; else echo "ok: HKCR\\$1 gone"; fi; }

# Every key of the class as the registry script states it.
expect_registered() {
  expect "ZANClient.ZANApi.1" "" "ZANApi Class"
  expect "ZANClient.ZANApi.1\\CLSID" "" "$clsid"
  expect "ZANClient.ZANApi" "" "ZANApi Class"
  expect "ZANClient.ZANApi\\CLSID" "" "$clsid"
  expect "ZANClient.ZANApi\\CurVer" "" "ZANClient.ZANApi.1"
  expect "CLSID\\$clsid" "" "ZANApi Class"
  expect "CLSID\\$clsid\\ProgID" "" "ZANClient.ZANApi.1"
  expect "CLSID\\$clsid\\VersionIndependentProgID" "" "ZANClient.ZANApi"
  if key_exists "CLSID\\$clsid\\Programmable"; then echo "ok: Programmable"; else fail "no Programmable key"; fi
  expect "CLSID\\$clsid\\InprocServer32" "" "$dll"
  expect "CLSID\\$clsid\\InprocServer32" "ThreadingModel" "Apartment"
  expect "CLSID\\$clsid\\TypeLib" "" "$libid"
  expect "TypeLib\\$libid\\1.0" "" "ZANClient 1.0 Type Library"
  expect "TypeLib\\$libid\\1.0\\0\\win64" "" "$dll"
  expect "Interface\\$iid" "" "IZANApi"
}
expect_unregistered() {
  for key in "ZANClient.ZANApi.1" "ZANClient.ZANApi" "CLSID\\$clsid" "TypeLib\\$libid" "Interface\\$iid"; do
    expect_gone "$key"
  done
  if key_exists "CLSID"; then echo "ok: HKCR\\CLSID itself stays"; else fail "HKCR\\CLSID was removed"; fi
}

echo "== unregistering what was never registered succeeds"
wine regsvr32 /s /u "$dll" || fail "regsvr32 /u of an unregistered DLL exited $?"

echo "== register"
wine regsvr32 /s "$dll" || fail "regsvr32 exited $?"
expect_registered

echo "== registering again changes nothing"
wine regsvr32 /s "$dll" || fail "regsvr32 (again) exited $?"
expect_registered

echo "== unregister"
wine regsvr32 /s /u "$dll" || fail "regsvr32 /u exited $?"
expect_unregistered

echo "== without the system's script registrar (atl.dll) nothing is registered"
status=0
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;atl=" wine regsvr32 /s "$dll" || status=$?
if [[ $status -eq 0 ]]; then fail "regsvr32 without a registrar exited 0"; else echo "ok: regsvr32 exited $status"; fi
expect_unregistered

echo "== register for the host tests"
wine regsvr32 /s "$dll" || fail "regsvr32 exited $?"
expect_registered

if [[ $failures -gt 0 ]]; then
  echo "$failures failed"
  exit 1
fi
echo "registration: all checks passed"
