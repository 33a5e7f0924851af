#!/usr/bin/env python3
"""The host shell of the suites under Wine: runs each connection's command with bash on the
Linux side and answers with its exit status and output.

Usage: host_shell.py PORT_FILE   (listens on 127.0.0.1, writes its port to PORT_FILE)
Protocol, one command per connection: the client sends the command's bytes and shuts down
its sending side; the service answers "STATUS\\n" followed by the command's standard output
and standard error, and closes. Loopback only, for the lifetime of one suite.
"""
import os
import socketserver
import subprocess
import sys


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        command = self.rfile.read()
        result = subprocess.run(["bash", "-c", command.decode("utf-8", "surrogateescape")],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        self.wfile.write(b"%d\n" % result.returncode + result.stdout)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


with Server(("127.0.0.1", 0), Handler) as server:
    with open(sys.argv[1] + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(sys.argv[1] + ".tmp", sys.argv[1])
    server.serve_forever()
