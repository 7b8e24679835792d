#!/usr/bin/env python3
"""A stand-in for the Lorvex service, for the framework's tests and benchmarks.

Listens on 127.0.0.1 only, on ephemeral ports:
  service    the service's pages (see lorvex_pages.py) and scripted answers
  proxy      a forward HTTP proxy without authentication
  authproxy  the same, requiring Basic credentials PROXY_USER / PROXY_PASSWORD
  silent     accepts connections and never answers (time-outs)
  TLS        the service's pages over TLS, self-signed and CA-signed (see lorvex_tls.py)
  connect    a proxy that serves CONNECT tunnels to 127.0.0.1 (see lorvex_proxy.py)

The test fixture drives it through stdin, one JSON command per line, and reads one reply
per command from stdout ("ok", "error <text>", or a record listing ending with "done").
End of stdin stops the service, so it never outlives its test process.

Commands:
  {"op": "script", "path": P, "responses": [R, ...]}
      answer the next requests for path P (without query; "*" for any path) with R in
      turn; the last one stays when its "repeat" is true. R holds any of:
        status (default 200), reason, headers ([[name, value], ...]), body (text),
        body_b64, delay (seconds before answering), truncate (send only that many body
        bytes of the announced length, then close), drop (close without an answer),
        hang (never answer), raw_b64 (send these bytes as the whole answer, then close),
        stall_after (send the status line, the headers and that many body bytes, then
        nothing more), drip (send the body one byte every that many seconds)
  {"op": "requests"}      every recorded request, oldest first
  {"op": "proxylog"}      every request the proxies saw
  {"op": "tls"}           "tls selfsigned=<port> signed=<port> misnamed=<port>
                           connect=<port> ca=<file>" (one line)
  {"op": "clear"}         forget scripts, records, sessions and uploads
  {"op": "options", "keep_bodies": false}   record file parts by size and CRC only
  {"op": "quit"}
"""

import base64
import binascii
import http.client
import json
import socket
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import lorvex_pages
import lorvex_proxy
import lorvex_tls

HOST = "127.0.0.1"
PROXY_USER = "proxyuser"
PROXY_PASSWORD = "proxy:secret"


class State:
    def __init__(self):
        self.lock = threading.Lock()
        self.scripts = {}
        self.requests = []
        self.proxylog = []
        self.keep_bodies = True
        self.stopping = threading.Event()
        self.pages = lorvex_pages.Pages()

    def clear(self):
        with self.lock:
            self.scripts.clear()
            self.requests.clear()
            self.proxylog.clear()
            self.pages = lorvex_pages.Pages()

    def next_script(self, path):
        with self.lock:
            for key in (path, "*"):
                queue = self.scripts.get(key)
                if queue:
                    if len(queue) == 1 and queue[0].get("repeat"):
                        return queue[0]
                    return queue.pop(0)
        return None


STATE = State()


def read_body(handler):
    """The request body by Content-Length or chunked transfer coding."""
    if handler.headers.get("Transfer-Encoding", "").lower() == "chunked":
        data = bytearray()
        while True:
            size_line = handler.rfile.readline(1024)
            size = int(size_line.split(b";")[0].strip() or b"0", 16)
            if size == 0:
                while handler.rfile.readline(1024) not in (b"\r\n", b"\n", b""):
                    pass
                return bytes(data)
            data += handler.rfile.read(size)
            handler.rfile.readline(1024)
    length = int(handler.headers.get("Content-Length", "0") or "0")
    return handler.rfile.read(length) if length > 0 else b""


def parse_disposition(value):
    """Parameters of a Content-Disposition value; quoted strings may hold ';'."""
    params = {}
    i = value.find(";")
    rest = value[i + 1:] if i >= 0 else ""
    while rest:
        rest = rest.lstrip(" \t;")
        eq = rest.find("=")
        if eq < 0:
            break
        key = rest[:eq].strip().lower()
        rest = rest[eq + 1:].lstrip()
        if rest.startswith('"'):
            out, j = [], 1
            while j < len(rest) and rest[j] != '"':
                if rest[j] == "\\" and j + 1 < len(rest):
                    j += 1
                out.append(rest[j])
                j += 1
            params[key] = "".join(out)
            rest = rest[j + 1:]
        else:
            end = rest.find(";")
            params[key] = rest[:end].strip() if end >= 0 else rest.strip()
            rest = rest[end:] if end >= 0 else ""
    return params


def parse_multipart(content_type, body):
    """Fields as [(name, bytes)] and files as [(name, filename, type, bytes)], in order."""
    fields, files = [], []
    boundary = None
    for piece in content_type.split(";")[1:]:
        key, _, value = piece.strip().partition("=")
        if key.lower() == "boundary":
            boundary = value.strip('"')
    if not boundary:
        return fields, files
    delimiter = b"--" + boundary.encode("latin-1")
    segments = body.split(b"\r\n" + delimiter)
    # The first segment starts with the delimiter itself.
    if segments and segments[0].startswith(delimiter):
        segments[0] = segments[0][len(delimiter):]
    for segment in segments:
        if segment.startswith(b"--"):
            break
        if segment.startswith(b"\r\n"):
            segment = segment[2:]
        head, sep, data = segment.partition(b"\r\n\r\n")
        if not sep:
            continue
        headers = {}
        for line in head.decode("latin-1").split("\r\n"):
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        params = parse_disposition(headers.get("content-disposition", ""))
        name = params.get("name", "")
        if "filename" in params:
            files.append((name, params["filename"], headers.get("content-type", ""), data))
        else:
            fields.append((name, data))
    return fields, files


def b64(data):
    if isinstance(data, str):
        data = data.encode("latin-1", "replace")
    return ":" + base64.b64encode(data).decode("ascii")


class ServiceHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "LorvexTest/1.0"
    # Headers and body go out in separate writes; with Nagle's algorithm each answer would
    # wait for the client's delayed acknowledgement.
    disable_nagle_algorithm = True

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    def handle_any(self):
        body = read_body(self)
        target = self.path
        path = urllib.parse.urlsplit(target).path
        fields, files = [], []
        content_type = self.headers.get("Content-Type", "")
        if content_type.lower().startswith("multipart/form-data"):
            fields, files = parse_multipart(content_type, body)
        record = {
            "method": self.command,
            "target": target,
            "headers": list(self.headers.items()),
            "fields": fields,
            "files": files if STATE.keep_bodies else
            [(n, f, t, b"size=%d crc=%08x" % (len(d), binascii.crc32(d))) for n, f, t, d in files],
            "body": body if STATE.keep_bodies else b"",
        }
        with STATE.lock:
            STATE.requests.append(record)
        script = STATE.next_script(path)
        if script is not None:
            self.answer_scripted(script)
            return
        answer = STATE.pages.handle(self.command, target, dict(self.headers.items()), fields,
                                    files)
        if answer is None:
            answer = (404, [("Content-Type", "text/plain")], b"no such page\n")
        status, headers, data = answer
        self.send_answer(status, None, headers, data)

    def send_answer(self, status, reason, headers, data, announced=None):
        self.send_response_only(status, reason)
        self.send_header("Date", self.date_time_string())
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(data) if announced is None else announced))
        self.end_headers()
        self.wfile.write(data)
        self.wfile.flush()

    def answer_scripted(self, script):
        delay = float(script.get("delay", 0))
        if delay > 0:
            if STATE.stopping.wait(delay):
                return
        if script.get("hang"):
            STATE.stopping.wait()
            self.close_connection = True
            return
        if script.get("drop"):
            self.close_connection = True
            return
        if "raw_b64" in script:
            self.wfile.write(base64.b64decode(script["raw_b64"]))
            self.wfile.flush()
            self.close_connection = True
            return
        data = script.get("body", "").encode("latin-1")
        if "body_b64" in script:
            data = base64.b64decode(script["body_b64"])
        headers = [tuple(h) for h in script.get("headers", [])]
        status = int(script.get("status", 200))
        if "stall_after" in script or "drip" in script:
            self.send_response_only(status, script.get("reason"))
            for name, value in headers:
                self.send_header(name, value)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            if "stall_after" in script:
                self.wfile.write(data[:int(script["stall_after"])])
                self.wfile.flush()
                STATE.stopping.wait()
            else:
                for i in range(len(data)):
                    self.wfile.write(data[i:i + 1])
                    self.wfile.flush()
                    if STATE.stopping.wait(float(script["drip"])):
                        break
            self.close_connection = True
            return
        if "truncate" in script:
            self.send_answer(status, script.get("reason"), headers,
                             data[:int(script["truncate"])], announced=len(data))
            self.close_connection = True
            return
        self.send_answer(status, script.get("reason"), headers, data)


def make_proxy_handler(name, credentials):
    expected = None
    if credentials:
        expected = "Basic " + base64.b64encode(credentials.encode("latin-1")).decode("ascii")

    class ProxyHandler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        disable_nagle_algorithm = True

        def log_message(self, fmt, *args):
            pass

        def do_GET(self):
            self.forward()

        def do_POST(self):
            self.forward()

        def refuse(self, status, extra=()):
            body = b"proxy refused\n"
            self.send_response_only(status)
            for header in extra:
                self.send_header(*header)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def forward(self):
            body = read_body(self)
            auth = self.headers.get("Proxy-Authorization", "")
            with STATE.lock:
                STATE.proxylog.append({"proxy": name, "target": self.path, "auth": auth})
            if expected is not None and auth != expected:
                self.refuse(407, [("Proxy-Authenticate", 'Basic realm="lorvex-test"')])
                return
            parts = urllib.parse.urlsplit(self.path)
            # Forwarding anywhere but this machine is never allowed.
            if parts.scheme != "http" or parts.hostname != HOST:
                self.refuse(403)
                return
            headers = {k: v for k, v in self.headers.items()
                       if k.lower() not in ("proxy-authorization", "proxy-connection",
                                            "connection", "keep-alive", "transfer-encoding",
                                            "content-length", "expect")}
            headers["Content-Length"] = str(len(body))
            headers["Via"] = "1.1 " + name
            target = parts.path + ("?" + parts.query if parts.query else "")
            upstream = http.client.HTTPConnection(HOST, parts.port or 80, timeout=30)
            try:
                upstream.request(self.command, target, body=body, headers=headers)
                answer = upstream.getresponse()
                data = answer.read()
            except (OSError, http.client.HTTPException):
                self.refuse(502)
                return
            finally:
                upstream.close()
            self.send_response_only(answer.status, answer.reason)
            for key, value in answer.getheaders():
                if key.lower() not in ("transfer-encoding", "connection", "content-length"):
                    self.send_header(key, value)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

    return ProxyHandler


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = False


def silent_listener():
    """Accepts and holds connections without a word, until the service stops."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind((HOST, 0))
    sock.listen(16)
    held = []

    def run():
        sock.settimeout(0.2)
        while not STATE.stopping.is_set():
            try:
                conn, _ = sock.accept()
                held.append(conn)
            except socket.timeout:
                continue
            except OSError:
                break
        for conn in held:
            conn.close()
        sock.close()

    threading.Thread(target=run, daemon=True).start()
    return sock.getsockname()[1]


def write_records(out, records):
    for r in records:
        out.append("request")
        out.append("method " + r["method"])
        out.append("target " + b64(r["target"]))
        for k, v in r["headers"]:
            out.append("header %s %s" % (b64(k), b64(v)))
        for n, v in r["fields"]:
            out.append("field %s %s" % (b64(n), b64(v)))
        for n, f, t, d in r["files"]:
            out.append("file %s %s %s %s" % (b64(n), b64(f), b64(t), b64(d)))
        out.append("body " + b64(r["body"]))
        out.append("end")


def log_proxied(entry):
    with STATE.lock:
        STATE.proxylog.append(entry)


def serve_commands(servers, tls_line=lambda: ""):
    for line in sys.stdin:
        line = line.strip()
        if not line:
            continue
        out = []
        try:
            command = json.loads(line)
            op = command.get("op")
            if op == "script":
                with STATE.lock:
                    STATE.scripts[command["path"]] = list(command["responses"])
                out.append("ok")
            elif op == "requests":
                with STATE.lock:
                    write_records(out, list(STATE.requests))
                out.append("done")
            elif op == "proxylog":
                with STATE.lock:
                    for entry in STATE.proxylog:
                        out.append("proxied %s %s %s" % (b64(entry["proxy"]), b64(entry["target"]),
                                                         b64(entry["auth"])))
                out.append("done")
            elif op == "tls":
                out += [tls_line(), "done"]
            elif op == "clear":
                STATE.clear()
                out.append("ok")
            elif op == "options":
                STATE.keep_bodies = bool(command.get("keep_bodies", True))
                out.append("ok")
            elif op == "quit":
                break
            else:
                out.append("error unknown command")
        except (ValueError, KeyError, TypeError) as e:
            out = ["error " + str(e).replace("\n", " ")]
        sys.stdout.write("\n".join(out) + "\n")
        sys.stdout.flush()
    STATE.stopping.set()
    for server in servers:
        server.shutdown()
        server.server_close()


def main():
    service = Server((HOST, 0), ServiceHandler)
    proxy = Server((HOST, 0), make_proxy_handler("proxy", None))
    authproxy = Server((HOST, 0), make_proxy_handler("authproxy",
                                                     PROXY_USER + ":" + PROXY_PASSWORD))
    tls = lorvex_tls.TlsPages(HOST, Server, ServiceHandler)
    connect = Server((HOST, 0), lorvex_proxy.make_connect_handler(HOST, log_proxied,
                                                                   STATE.stopping))
    servers = [service, proxy, authproxy, connect] + tls.servers
    for server in servers:
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1},
                         daemon=True).start()
    silent = silent_listener()
    sys.stdout.write("ready service=%d proxy=%d authproxy=%d silent=%d proxyuser=%s "
                     "proxypassword=%s\n" % (service.server_address[1], proxy.server_address[1],
                                             authproxy.server_address[1], silent,
                                             b64(PROXY_USER), b64(PROXY_PASSWORD)))
    sys.stdout.flush()

    def tls_line():
        ports = tls.ports()
        return "tls selfsigned=%d signed=%d misnamed=%d connect=%d ca=%s" % (
            ports["selfsigned"], ports["signed"], ports["misnamed"], connect.server_address[1],
            b64(tls.ca_file))

    try:
        serve_commands(servers, tls_line)
    finally:
        tls.close()


if __name__ == "__main__":
    main()
