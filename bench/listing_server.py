#!/usr/bin/env python3
"""A loopback stand-in for the listing benchmark: serves the two templates and answers every
PROPFIND with one prebuilt multistatus reply of N members (each with ZAN_NAME, ZAN_NODE_TYPE,
ZAN_HAS_CHILDREN). Prints its port, then serves until killed (at most one hour)."""
import http.server
import sys
import threading

members = int(sys.argv[1])
parts = ['<?xml version="1.0" encoding="utf-8"?>\n<D:multistatus xmlns:D="DAV:">\n']
for i in range(members):
    parts.append(
        '<D:response><D:href>/Big/member%06d/</D:href><D:propstat><D:prop>'
        '<D:ZAN_NAME>member%06d</D:ZAN_NAME><D:ZAN_NODE_TYPE>ZAN_FOLDER</D:ZAN_NODE_TYPE>'
        '<D:ZAN_HAS_CHILDREN>0</D:ZAN_HAS_CHILDREN></D:prop><D:status>HTTP/1.1 200 OK</D:status>'
        '</D:propstat></D:response>\n' % (i, i))
parts.append('</D:multistatus>\n')
listing = ''.join(parts).encode()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'

    def send(self, status, body):
        self.send_response(status)
        self.send_header('Content-Type', 'text/xml; charset="utf-8"')
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if self.path.endswith('/MBP.xml'):
            self.send(200, b'<mbp><bp/></mbp>')
        elif self.path.endswith('/MPR.xml'):
            self.send(200, b'<projectinfo/>')
        else:
            self.send(404, b'')

    def do_PROPFIND(self):
        length = int(self.headers.get('Content-Length', 0))
        self.rfile.read(length)
        self.send(207, listing)

    def do_PROPPATCH(self):
        length = int(self.headers.get('Content-Length', 0))
        self.rfile.read(length)
        self.send(207, b'<D:multistatus xmlns:D="DAV:"/>')

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
print(server.server_address[1], flush=True)
threading.Timer(3600, server.shutdown).start()
server.serve_forever()
