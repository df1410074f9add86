#!/usr/bin/env python3
"""An https server for the download tests, on 127.0.0.1 and a free port.

    tls_server.py CERT KEY ROOT

Serves the files below ROOT and prints "listening on port N (https)" once
it listens. Besides
the files it answers two kinds of redirect:
  /hops/N/PATH  302 to /hops/N-1/PATH, and /hops/0/PATH to /PATH
  /to?URL       302 to URL (percent-decoded)
"""
import http.server
import ssl
import sys
import urllib.parse


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        parts = self.path.split("/")
        if self.path.startswith("/hops/") and len(parts) > 3 and parts[2].isdigit():
            n = int(parts[2])
            rest = "/".join(parts[3:])
            return self.redirect(f"/hops/{n - 1}/{rest}" if n > 0 else "/" + rest)
        if self.path.startswith("/to?"):
            return self.redirect(urllib.parse.unquote(self.path[4:]))
        return super().do_GET()

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


def main():
    cert, key, root = sys.argv[1:4]
    handler = lambda *a, **k: Handler(*a, directory=root, **k)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print(f"listening on port {server.server_address[1]} (https)", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
