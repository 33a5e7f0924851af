# Sourced by the Windows test drivers: Wine in the test run's own prefix, quiet and without a
# display, and the helpers to start the Linux test server the Windows processes reach on
# 127.0.0.1.
#   ZAN_WINE_PREFIX  the prefix (made by prefix.sh, the fixture every Windows test requires)
#   ZAN_SOURCE_DIR   the source tree
set -euo pipefail
export WINEPREFIX=${ZAN_WINE_PREFIX:?ZAN_WINE_PREFIX names the Wine prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
src=${ZAN_SOURCE_DIR:?ZAN_SOURCE_DIR names the source tree}

# The Windows form of a Linux path (Z: is the Linux root in every Wine prefix).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Starts a repository server (apache or lighttpd) whose root collection $1 holds the Templates
# of tests/data; sets ZAN_SERVER, ZAN_SERVER_DIR and ROOT_URL, and stops it on exit.
start_server() {
  local root=$1 kind=${2:-apache} seed
  seed=$(mktemp -d "${TMPDIR:-/tmp}/zan-winseed.XXXXXX")
  mkdir -p "$seed/$root"
  cp -r "$src/tests/data/Templates" "$seed/$root/"
  eval "$("$src/scripts/davserver" start --server "$kind" --seed "$seed" --watch-pid $$)"
  rm -rf "$seed"
  ROOT_URL=$ZAN_SERVER/$root
  trap 'stop_server' EXIT
}
stop_server() { "$src/scripts/davserver" stop "$ZAN_SERVER_DIR" >/dev/null 2>&1 || true; }
