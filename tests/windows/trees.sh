#!/usr/bin/env bash
# Runs the local-tree tests of the C++ host under Wine against a local server (apache or
# lighttpd), beside a tree holding a directory link made on the Linux side, which Wine shows as
# a reparse point (Wine 8 makes no link of its own).   trees.sh TEST_EXE SERVER
source "$(dirname "$0")/wine_env.sh"
root="T$$"
start_server "$root" "$2"
links=$(mktemp -d "${TMPDIR:-/tmp}/zan-links.XXXXXX")
trap 'rm -rf "$links"; stop_server' EXIT
mkdir -p "$links/tree/sub" "$links/outside"
printf 'a\n' >"$links/tree/a.txt"
printf 'b\n' >"$links/tree/sub/b.txt"
printf 'secret' >"$links/outside/secret.txt"
ln -s ../../outside "$links/tree/sub/link"
export WINEDEBUG  # the test reads its settings from the environment Wine passes on
ZAN_ROOT_URL=$ROOT_URL ZAN_SERVER_STORE=$(winpath "$ZAN_SERVER_DIR/dav/$root") \
  ZAN_SERVER_LOG=$(winpath "$ZAN_SERVER_DIR/logs/access.log") ZAN_LINK_TREE=$(winpath "$links/tree") \
  wine "$1" --gtest_brief=1 | tr -d '\r'
