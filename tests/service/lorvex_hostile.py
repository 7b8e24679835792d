"""Answers of a hostile server for the fake Lorvex service: bodies that never end, and bodies
far longer than any page the client should keep. Generated as they go out, so the service
itself stays small.

Script fields (see lorvex_service.py):
  endless  true: the status line and headers without a length, then the body text followed
           by "fill" repeated until the client goes away
  huge     N: an announced length of N bytes: the body text, "fill" repeated, and "tail"
           last; the whole answer goes out unless the client goes away
  fill     the repeated text (default "x"); "{n}" in it is replaced by 0, 1, 2, ... in turn,
           so that every repetition differs (a hostile answer of distinct names)
  tail     text that ends a huge body
"""

import base64

PIECE = 64 * 1024


def handles(script):
    return bool(script.get("endless")) or "huge" in script


def _body_start(script):
    if "body_b64" in script:
        return base64.b64decode(script["body_b64"])
    return script.get("body", "").encode("latin-1")


def _pieces(fill):
    """One send's worth of the filler, cut at a multiple of its length."""
    fill = fill or b"x"
    return fill * max(1, PIECE // len(fill))


class _Numbered:
    """The filler with "{n}" counted up: one send's worth at a time."""

    def __init__(self, fill):
        self.before, _, self.after = fill.partition(b"{n}")
        self.n = 0

    def piece(self):
        lines = []
        size = 0
        while size < PIECE:
            line = self.before + str(self.n).encode() + self.after
            self.n += 1
            lines.append(line)
            size += len(line)
        return b"".join(lines)


def answer(handler, script, stopping):
    """Writes the answer; a client that hangs up ends it quietly."""
    status = int(script.get("status", 200))
    headers = [tuple(h) for h in script.get("headers", [])]
    start = _body_start(script)
    fill = script.get("fill", "x").encode("latin-1")
    tail = script.get("tail", "").encode("latin-1")
    numbered = _Numbered(fill) if b"{n}" in fill else None
    piece = _pieces(fill)
    if numbered:
        piece = numbered.piece()
    handler.send_response_only(status, script.get("reason"))
    for name, value in headers:
        handler.send_header(name, value)
    if script.get("endless"):
        handler.send_header("Connection", "close")
        total = None
    else:
        total = int(script["huge"])
        handler.send_header("Content-Length", str(total))
    handler.end_headers()
    try:
        if total is None:
            handler.wfile.write(start)
            while not stopping.is_set():
                handler.wfile.write(piece)
                if numbered:
                    piece = numbered.piece()
        else:
            head = start[:total]
            handler.wfile.write(head)
            left = total - len(head) - len(tail)
            while left > 0 and not stopping.is_set():
                n = min(left, len(piece))
                handler.wfile.write(piece[:n])
                left -= n
                if numbered:
                    piece = numbered.piece()
            handler.wfile.write(tail[:max(0, total - len(head))])
        handler.wfile.flush()
    except (BrokenPipeError, ConnectionResetError):
        pass
    handler.close_connection = True
