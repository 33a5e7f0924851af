#!/usr/bin/env bash
# Runs the C++ host test under Wine against a local server.   host.sh TEST_EXE DLL
source "$(dirname "$0")/wine_env.sh"
start_server "R$$" apache
export WINEDEBUG  # the test reads its two settings from the environment Wine passes on
ZAN_ROOT_URL=$ROOT_URL ZAN_CLIENT_DLL=$(winpath "$2") wine "$1" --gtest_brief=1 | tr -d '\r'
