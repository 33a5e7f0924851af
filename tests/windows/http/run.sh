#!/usr/bin/env bash
# Runs the Windows transport test (transport_wine_test.cpp) under Wine against servers started
# here on 127.0.0.1, and stops them afterwards. Usage: run.sh TEST_EXE [gtest options]
# WINEPREFIX defaults to a prefix of its own under the temporary directory (made on first use).
# With RUNNER=env the test runs natively (the same source built against libcurl).
set -euo pipefail
exe=$(realpath "${1:?test executable}")
shift
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
davserver="$src/scripts/davserver"
work=$(mktemp -d)
dirs=()
stall_pid=
redirect_pid=
cleanup() {
    for d in "${dirs[@]}"; do "$davserver" stop "$d" >/dev/null 2>&1 || true; done
    [[ -n $stall_pid ]] && kill "$stall_pid" 2>/dev/null || true
    [[ -n $redirect_pid ]] && kill "$redirect_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# start VAR [davserver options]: a server whose URL goes to VAR.
start() {
    local var=$1 out
    shift
    out=$("$davserver" start --watch-pid $$ "$@")
    dirs+=("$(sed -n 's/^ZAN_SERVER_DIR=//p' <<<"$out")")
    export "$var=$(sed -n 's/^ZAN_SERVER=//p' <<<"$out")"
}

printf '%s\n' zan-secret | bash "$src/tests/support/make_test_pki" "$work" zan zan >/dev/null
start ZAN_SERVER
start ZAN_DIGEST_SERVER --auth digest --auth-file "$work/users.digest" --auth-realm zan
start ZAN_BASIC_SERVER --auth basic --auth-file "$work/users.basic" --auth-realm zan
start ZAN_TLS_SERVER --auth basic --auth-file "$work/users.basic" --auth-realm zan \
    --tls-cert "$work/server.pem" --tls-key "$work/server.key"

# A server that accepts and never says anything, one that redirects, and a port nobody
# listens on.
python3 - "$work/stall.port" <<'PY' &
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(16)
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
held = []
while True:
    c, _ = s.accept(); held.append(c)
PY
stall_pid=$!
for _ in $(seq 50); do [[ -s $work/stall.port ]] && break; sleep 0.1; done
export ZAN_STALL_URL="http://127.0.0.1:$(cat "$work/stall.port")"
python3 - "$work/redirect.port" <<'PY' &
import http.server, sys
class H(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        base = "http://127.0.0.1:%d" % self.server.server_port
        self.send_response(200 if self.path == "/followed" else 301)
        if self.path != "/followed": self.send_header("Location", base + "/followed")
        self.send_header("Content-Length", "0"); self.end_headers()
    def log_message(self, *a): pass
s = http.server.HTTPServer(("127.0.0.1", 0), H)
open(sys.argv[1], "w").write(str(s.server_port))
s.serve_forever()
PY
redirect_pid=$!
for _ in $(seq 50); do [[ -s $work/redirect.port ]] && break; sleep 0.1; done
export ZAN_REDIRECT_URL="http://127.0.0.1:$(cat "$work/redirect.port")"
refused=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
export ZAN_REFUSED_URL="http://127.0.0.1:$refused"

cd "$work"
if [[ ${RUNNER:-wine} == env ]]; then
    "$exe" "$@"
else
    export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/zan-wine-http-$(id -u)} WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    [[ -d $WINEPREFIX ]] || wine wineboot -i >/dev/null 2>&1
    wine "$exe" "$@"
fi
