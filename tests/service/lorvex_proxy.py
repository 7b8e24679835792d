"""A tunnelling proxy for the fake service: answers CONNECT, and nothing else.

Every CONNECT is logged (the whole request line, under the proxy name "connect") before it
is served. Tunnels go only to 127.0.0.1; any other host is refused with 403. A tunnel
relays bytes both ways until either side closes or the service stops.
"""

import select
import socket
import urllib.parse
from http.server import BaseHTTPRequestHandler

NAME = "connect"


def make_connect_handler(host, log, stopping):
    """`log(entry)` records a proxy log entry; `stopping` is the service's stop event."""

    class ConnectHandler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        disable_nagle_algorithm = True
        # Unbuffered: no byte of the tunnel may be read ahead into the request parser.
        rbufsize = 0

        def log_message(self, fmt, *args):
            pass

        def refuse(self, status):
            body = b"proxy refused\n"
            self.send_response_only(status)
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)
            self.close_connection = True

        def do_GET(self):
            log({"proxy": NAME, "target": self.requestline,
                 "auth": self.headers.get("Proxy-Authorization", "")})
            self.refuse(405)

        do_POST = do_GET

        def do_CONNECT(self):
            log({"proxy": NAME, "target": self.requestline,
                 "auth": self.headers.get("Proxy-Authorization", "")})
            self.close_connection = True
            try:
                parts = urllib.parse.urlsplit("//" + self.path)
                target_host, port = parts.hostname, parts.port
            except ValueError:
                target_host, port = None, None
            if target_host != host or not port:
                self.refuse(403)
                return
            try:
                upstream = socket.create_connection((host, port), timeout=30)
            except OSError:
                self.refuse(502)
                return
            with upstream:
                self.send_response_only(200, "Connection established")
                self.end_headers()
                self.wfile.flush()
                self.relay(upstream)

        def relay(self, upstream):
            client = self.connection
            upstream.settimeout(None)
            while not stopping.is_set():
                ready, _, _ = select.select([client, upstream], [], [], 0.2)
                for source in ready:
                    sink = upstream if source is client else client
                    try:
                        data = source.recv(65536)
                    except OSError:
                        return
                    if not data:
                        return
                    try:
                        sink.sendall(data)
                    except OSError:
                        return

    return ConnectHandler
