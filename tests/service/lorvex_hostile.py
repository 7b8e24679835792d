"""Answers of a hostile server for the fake Lorvex service: bodies that never end, and bodies
far longer than any page the client should keep. Generated as they go out, so the service
itself stays small.

Script fields (see lorvex_service.py):
  endless  true: the status line and headers without a length, then the body text followed
           by "fill" repeated until the client goes away
  huge     N: an announced length of N bytes: the body text, "fill" repeated, and "tail"
           last; the whole answer goes out unless the client goes away
  fill     the repeated text (default "x")
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


def answer(handler, script, stopping):
    """Writes the answer; a client that hangs up ends it quietly."""
    status = int(script.get("status", 200))
    headers = [tuple(h) for h in script.get("headers", [])]
    start = _body_start(script)
    fill = script.get("fill", "x").encode("latin-1")
    tail = script.get("tail", "").encode("latin-1")
    piece = _pieces(fill)
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
        else:
            head = start[:total]
            handler.wfile.write(head)
            left = total - len(head) - len(tail)
            while left > 0 and not stopping.is_set():
                n = min(left, len(piece))
                handler.wfile.write(piece[:n])
                left -= n
            handler.wfile.write(tail[:max(0, total - len(head))])
        handler.wfile.flush()
    except (BrokenPipeError, ConnectionResetError):
        pass
    handler.close_connection = True
