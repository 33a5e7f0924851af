#!/usr/bin/env bash
# Makes the Wine prefix of this test run anew (the fixture of every Windows test) and registers
# ZANClient.DLL in it.   prefix.sh DLL
source "$(dirname "$0")/wine_env.sh"
wineserver -k 2>/dev/null || true  # a previous run's server may still be saving the registry
rm -rf "$WINEPREFIX"
wine wineboot -i >/dev/null 2>&1
wineserver -w
