#!/usr/bin/env python3
"""A web server on 127.0.0.1 for the download tests: serves a folder, plus
misbehaving answers under /_/<mode>/... (the rest of the path names a file of
the folder where the mode needs one):

  /_/slow/<s>/<path>      waits s seconds before answering; writes the files
                          slow.arrived and slow.answered into the folder
                          when the request comes and when the wait ends
  /_/stall/<path>         sends the headers, then nothing for a minute
  /_/trickle/<path>       sends the headers and 10 bytes, then nothing for a minute
  /_/endless/<path>       a body without end (no length)
  /_/cut/<n>/<path>       announces the whole file, sends n bytes, closes
  /_/nolength/<path>      the file without a Content-Length
  /_/nolengthcut/<n>/<path>  n bytes of the file without a Content-Length, closes
  /_/huge/<path>          announces 100 GB, then sends nothing for a minute
  /_/gzip/<path>          the file gzip-compressed, as application/gzip
  /_/named/<name>/<path>  the file with Content-Disposition filename="<name>"
                          (<name> percent-decoded)
  /_/redirect/<path>?to=<url>   302 to <url>

Prints "port <n>" once it listens.
"""
import gzip
import http.server
import os
import socketserver
import sys
import time
import urllib.parse


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def file_of(self, path):
        return os.path.join(self.directory, urllib.parse.unquote(path).lstrip("/"))

    def read(self, path):
        with open(self.file_of(path), "rb") as f:
            return f.read()

    def send_body(self, body, content_type="application/octet-stream", length=True,
                  extra=()):
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        if length:
            self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        parsed = urllib.parse.urlsplit(self.path)
        parts = parsed.path.split("/")
        if len(parts) < 3 or parts[1] != "_":
            return super().do_GET()
        mode, rest = parts[2], parts[3:]
        try:
            if mode == "slow":
                open(os.path.join(self.directory, "slow.arrived"), "w").close()
                time.sleep(float(rest[0]))
                open(os.path.join(self.directory, "slow.answered"), "w").close()
                self.path = "/" + "/".join(rest[1:])
                return super().do_GET()
            if mode in ("stall", "trickle"):
                self.send_response(200)
                self.send_header("Content-Length", "1000")
                self.end_headers()
                if mode == "trickle":
                    self.wfile.write(b"0123456789")
                self.wfile.flush()
                time.sleep(60)
                return
            if mode == "endless":
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.end_headers()
                chunk = b"\x55" * 65536
                while True:
                    self.wfile.write(chunk)
            if mode == "cut":
                body = self.read("/".join(rest[1:]))
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body[: int(rest[0])])
                self.wfile.flush()
                self.close_connection = True
                return
            if mode == "nolengthcut":
                body = self.read("/".join(rest[1:]))[: int(rest[0])]
                self.send_body(body, length=False)
                self.close_connection = True
                return
            if mode == "huge":
                self.send_response(200)
                self.send_header("Content-Length", str(100 << 30))
                self.end_headers()
                self.wfile.flush()
                time.sleep(60)
                return
            if mode == "nolength":
                return self.send_body(self.read("/".join(rest)), length=False)
            if mode == "gzip":
                return self.send_body(gzip.compress(self.read("/".join(rest))),
                                      "application/gzip")
            if mode == "named":
                name = urllib.parse.unquote(rest[0])
                name = name.replace("\\", "\\\\").replace('"', '\\"')
                return self.send_body(self.read("/".join(rest[1:])), extra=[
                    ("Content-Disposition", 'attachment; filename="%s"' % name)])
            if mode == "redirect":
                target = urllib.parse.parse_qs(parsed.query)["to"][0]
                self.send_response(302)
                self.send_header("Location", target)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
        except (BrokenPipeError, ConnectionResetError):
            return
        except (OSError, IndexError, KeyError, ValueError):
            self.send_error(404)
            return
        self.send_error(404)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    root = sys.argv[1]
    server = Server(("127.0.0.1", 0),
                    lambda *a, **k: Handler(*a, directory=root, **k))
    print("port %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
