#!/usr/bin/python3
"""A web server for the browser tests and the screenshots.

Usage: web_server.py PORT FOLDER [CERTIFICATE KEY]

Serves the files of FOLDER on 127.0.0.1:PORT, and under these prefixes the same files as:
  /slow/NAME      an attachment (Content-Disposition: attachment; filename="NAME") sent 4 KiB at
                  a time, one part every 0.2 s
  /broken/NAME    an attachment whose connection is cut after the first half of its bytes
  /private/NAME   the file only to a client signed in with Basic "tester"/"secret"
Asked as a proxy (a request for http://ANY-HOST/...), it serves the same paths only to a client
signed in to the proxy with the same name and password.
With a certificate and its key (PEM files) it speaks HTTPS.
"""

import base64
import http.server
import os
import ssl
import sys
import time
import urllib.parse

FOLDER = ""
SIGNED_IN = "Basic " + base64.b64encode(b"tester:secret").decode()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        # Asked as a proxy, the request names the whole address, and the proxy wants a sign-in.
        as_proxy = self.path.startswith("http://")
        prefix, _, name = urllib.parse.urlsplit(self.path).path.lstrip("/").partition("/")
        if not name:
            prefix, name = "", prefix
        path = os.path.join(FOLDER, os.path.basename(name))
        if not os.path.isfile(path):
            self.send_error(404)
            return
        with open(path, "rb") as file:
            body = file.read()
        if as_proxy and self.headers.get("Proxy-Authorization") != SIGNED_IN:
            self.refuse(407, "Proxy-Authenticate", "Proxy realm")
            return
        if prefix == "private" and self.headers.get("Authorization") != SIGNED_IN:
            self.refuse(401, "WWW-Authenticate", "Test realm")
            return
        self.send_response(200)
        if prefix in ("broken", "slow"):
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Disposition", 'attachment; filename="%s"' % os.path.basename(path))
        else:
            self.send_header("Content-Type", "text/html" if path.endswith(".html") else "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if prefix == "broken":
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
            self.connection.shutdown(2)
        elif prefix == "slow":
            for start in range(0, len(body), 4096):
                self.wfile.write(body[start : start + 4096])
                self.wfile.flush()
                time.sleep(0.2)
        else:
            self.wfile.write(body)

    def refuse(self, status, header, realm):
        page = b"<html><head><title>Not signed in</title></head><body>%d</body></html>" % status
        self.send_response(status)
        self.send_header(header, 'Basic realm="%s"' % realm)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page)

    def log_message(self, *arguments):
        pass


if __name__ == "__main__":
    FOLDER = sys.argv[2]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Handler)
    if len(sys.argv) > 4:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[3], sys.argv[4])
        # The handshake happens in the connection's own thread, so a slow client holds up no other.
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    server.serve_forever()
