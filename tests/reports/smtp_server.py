#!/usr/bin/python3
"""A loopback mail server for the e-mail tests and the bench.

Prints "PORT <port> PID <pid>" once it listens, then logs one JSON line per connection
and per message into --log until it is terminated. Modes:
  plain     aiosmtpd, no TLS (--close-after N: every message after N is answered
            with 421, as a server going down does)
  starttls  aiosmtpd offering STARTTLS with --cert/--key
  smtps     aiosmtpd behind implicit TLS with --cert/--key
  refuse    answers every connection with 554 and closes it
  silent    accepts connections and never says a word
  strip     STARTTLS offered by aiosmtpd, but taken out of its EHLO answer by a relay in
            front of it (as an attacker on the path would); the relay logs every AUTH line
            the client sends
With --auth, every login attempt the server sees is logged too, in any mode.
"""
import argparse
import asyncio
import json
import os
import signal
import socket
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

args = None
log_lock = threading.Lock()
ready = False
accepted = 0


def log(entry):
    with log_lock:
        with open(args.log, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")


class LoggingSMTP(SMTP):
    def connection_made(self, transport):
        if ready:
            log({"event": "connect", "peer": id(self)})
        super().connection_made(transport)


class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if args.reject_rcpt and args.reject_rcpt in address:
            return "550 no such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        global accepted
        if args.close_after is not None and accepted >= args.close_after:
            return "421 closing transmission channel"
        accepted += 1
        log({
            "event": "message",
            "peer": id(server),
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "data": envelope.original_content.decode("latin-1"),
            "tls": server.transport.get_extra_info("ssl_object") is not None,
            "login": (session.auth_data.decode() if isinstance(session.auth_data, bytes)
                      else None),
        })
        return "250 Message accepted for delivery"


def authenticate(server, session, envelope, mechanism, auth_data):
    log({"event": "auth"})
    if not isinstance(auth_data, LoginPassword):
        return AuthResult(success=False, handled=False)
    user, password = args.auth.split(":", 1)
    ok = auth_data.login.decode() == user and auth_data.password.decode() == password
    return AuthResult(success=ok, handled=False, auth_data=auth_data.login if ok else None)


class LoggingController(Controller):
    def factory(self):
        return LoggingSMTP(self.handler, **self.SMTP_kwargs)


def free_port():
    # The program keeps its port as a signed 16-bit number: stay below 32768.
    import random
    for _ in range(200):
        port = random.randint(20000, 32767)
        s = socket.socket()
        try:
            s.bind((args.host, port))
            return port
        except OSError:
            continue
        finally:
            s.close()
    raise SystemExit("no free port")


def tls_context():
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(args.cert, args.key)
    return ctx


async def raw_server(port, greeting):
    async def serve(reader, writer):
        log({"event": "connect"})
        if greeting:
            writer.write(greeting.encode())
            await writer.drain()
            writer.close()
            return
        await asyncio.sleep(3600)

    server = await asyncio.start_server(serve, args.host, port)
    announce(port)
    async with server:
        await server.serve_forever()


async def stripping_relay(port, inner_port):
    async def pump(reader, writer, rewrite):
        try:
            while True:
                line = await reader.readline()
                if not line:
                    break
                line = rewrite(line)
                if line:
                    writer.write(line)
                    await writer.drain()
        except (ConnectionError, asyncio.IncompleteReadError):
            pass
        finally:
            writer.close()

    def from_server(line):
        return b"" if b"STARTTLS" in line.upper() else line

    def from_client(line):
        if line.upper().startswith(b"AUTH"):
            log({"event": "auth"})
        return line

    async def serve(reader, writer):
        log({"event": "connect"})
        inner_reader, inner_writer = await asyncio.open_connection(args.host, inner_port)
        await asyncio.gather(pump(inner_reader, writer, from_server),
                             pump(reader, inner_writer, from_client))

    server = await asyncio.start_server(serve, args.host, port)
    announce(port)
    async with server:
        await server.serve_forever()


def announce(port):
    print(f"PORT {port} PID {os.getpid()}", flush=True)


def main():
    global args, ready
    p = argparse.ArgumentParser()
    p.add_argument("--log", required=True)
    p.add_argument("--mode", default="plain")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--auth")
    p.add_argument("--reject-rcpt")
    p.add_argument("--close-after", type=int)
    args = p.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    port = args.port or free_port()

    if args.mode in ("refuse", "silent"):
        greeting = "554 no mail service here\r\n" if args.mode == "refuse" else ""
        asyncio.run(raw_server(port, greeting))
        return

    kwargs = {}
    if args.auth:
        kwargs["authenticator"] = authenticate
        kwargs["auth_required"] = True
        kwargs["auth_require_tls"] = args.mode != "plain"
    if args.mode in ("starttls", "strip"):
        kwargs["tls_context"] = tls_context()
        kwargs["require_starttls"] = True
    inner_port = free_port() if args.mode == "strip" else port
    controller = LoggingController(
        Handler(), hostname=args.host, port=inner_port,
        ssl_context=tls_context() if args.mode == "smtps" else None,
        server_hostname="localhost", **kwargs)
    controller.start()
    ready = args.mode != "strip"  # the relay logs the connections
    if args.mode == "strip":
        asyncio.run(stripping_relay(port, inner_port))
        return
    announce(port)
    threading.Event().wait()


if __name__ == "__main__":
    sys.exit(main())
