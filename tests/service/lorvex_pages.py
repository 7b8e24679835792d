"""The fake service's own pages: the session page and the upload page.

The plumbing lives here: multipart fields arrive already parsed, the session cookie is
issued and read, the values of a request are gathered across its passes ("req.hasMoreData")
and the answer is written in the name/value syntax (string records "name=value" and binary
records "name!N" followed by N bytes, each ended by CR LF). The operations themselves are
registered with @operation("<type>") by the modules that need them; an operation that nobody
registered answers "unimplementedOperation".
"""

import itertools
import threading
import time

SESSION_PAGE = "/DesktopSession.page"
UPLOAD_PAGE = "/AdminDataUpload.page"
SESSION_COOKIE = "JSESSIONID"

# type -> fn(pages, session, params, request) -> {key: str or bytes}; params are the
# operation's values without their "req.<i>." prefix, as str (string fields, latin-1) or
# bytes (file parts).
OPERATIONS = {}

# fn(pages, request) -> (status, [(header, value)], bytes), or None for the default answer.
UPLOAD_HANDLERS = []


def operation(name):
    def register(fn):
        OPERATIONS[name] = fn
        return fn
    return register


class Request:
    """One POST as a page sees it."""

    def __init__(self, method, target, headers, fields, files):
        self.method = method
        self.target = target
        self.headers = headers
        self.values = {}
        for name, data in fields:
            self.values[name] = data.decode("latin-1")
        for name, filename, _, data in files:
            self.values[name] = data
        self.filenames = {name: filename for name, filename, _, _ in files}
        self.cookies = parse_cookie_header(header(headers, "Cookie"))


def header(headers, name):
    for key, value in headers.items():
        if key.lower() == name.lower():
            return value
    return ""


def parse_cookie_header(text):
    cookies = {}
    for piece in text.split(";"):
        name, sep, value = piece.strip().partition("=")
        if sep:
            cookies[name] = value
    return cookies


def nvp_answer(values):
    """The name/value syntax, in name order."""
    out = bytearray()
    for name in sorted(values):
        value = values[name]
        if isinstance(value, bytes):
            out += b"%s!%d\r\n" % (name.encode("latin-1"), len(value)) + value + b"\r\n"
        else:
            out += b"%s=%s\r\n" % (name.encode("latin-1"), str(value).encode("latin-1"))
    return bytes(out)


class Session:
    def __init__(self, ident):
        self.ident = ident
        self.pending = {}   # values of a request whose passes are not all in
        self.passes = 0
        self.data = {}      # whatever the operations keep between requests


class Pages:
    def __init__(self):
        self.lock = threading.Lock()
        self.sessions = {}
        self.uploads = []
        self.counter = itertools.count(1)

    def handle(self, method, target, headers, fields, files):
        path = target.split("?", 1)[0]
        request = Request(method, target, headers, fields, files)
        if path == SESSION_PAGE and method == "POST":
            return self.session_page(request)
        if path == UPLOAD_PAGE and method == "POST":
            return self.upload_page(request)
        return None

    def session_for(self, request):
        extra = []
        with self.lock:
            ident = request.cookies.get(SESSION_COOKIE)
            session = self.sessions.get(ident)
            if session is None:
                ident = "S%06d" % next(self.counter)
                session = self.sessions[ident] = Session(ident)
                extra.append(("Set-Cookie", "%s=%s; Path=/" % (SESSION_COOKIE, ident)))
        return session, extra

    def session_page(self, request):
        session, headers = self.session_for(request)
        headers.append(("Content-Type", "text/plain; charset=ISO-8859-1"))
        session.pending.update(request.values)
        session.passes += 1
        if request.values.get("req.hasMoreData") == "true":
            return 200, headers, b""
        values, session.pending, session.passes = session.pending, {}, 0
        values.pop("req.hasMoreData", None)
        answer = {"sessionMarker": session.ident,
                  "serverTime": time.strftime("%Y-%m-%d-%H%M-%S")}
        try:
            count = int(values.get("req.count", "0"))
        except (TypeError, ValueError):
            count = 0
        for i in range(max(0, min(count, 10000))):
            prefix = "req.%d." % i
            params = {k[len(prefix):]: v for k, v in values.items() if k.startswith(prefix)}
            fn = OPERATIONS.get(params.get("type"))
            result = fn(self, session, params, request) if fn else \
                {"retcode": "unimplementedOperation"}
            for key, value in result.items():
                answer["resp.%d.%s" % (i, key)] = value
        return 200, headers, nvp_answer(answer)

    def upload_page(self, request):
        with self.lock:
            self.uploads.append(request)
        for fn in UPLOAD_HANDLERS:
            answer = fn(self, request)
            if answer is not None:
                return answer
        return 200, [("Content-Type", "text/html")], b"<html><body>received</body></html>\n"
