#!/usr/bin/python3
"""Reads the loopback mail server's log with Python's email package and prints, one
tab-separated record a line, what a mail reader would see:
  C <connections>
  A <login attempts the server saw>
  M <peer> <tls 0/1> <login or ->
  F <envelope sender>
  R <envelope recipient>
  H <header name> <decoded value>
  B <decoded body, line ends as \\n>
  E <defect found by the parser>
"""
import email
import email.policy
import json
import sys
from email.header import decode_header, make_header


def clean(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


def main():
    peers = set()
    connections = 0
    logins = 0
    out = []
    with open(sys.argv[1], encoding="utf-8") as f:
        for line in f:
            entry = json.loads(line)
            if entry["event"] == "connect":
                # STARTTLS hands the same client to the server again: count clients.
                peer = entry.get("peer")
                if peer is None or peer not in peers:
                    connections += 1
                peers.add(peer)
                continue
            if entry["event"] == "auth":
                logins += 1
                continue
            out.append(f"M\t{entry['peer']}\t{1 if entry['tls'] else 0}\t{entry['login'] or '-'}")
            out.append(f"F\t{clean(entry['mail_from'])}")
            for r in entry["rcpt_tos"]:
                out.append(f"R\t{clean(r)}")
            raw = entry["data"].encode("latin-1")
            # Strict: every line of the message must end in CRLF.
            if b"\n" in raw.replace(b"\r\n", b""):
                out.append("E\tbare line feed")
            message = email.message_from_bytes(raw, policy=email.policy.compat32)
            for name, value in message.items():
                decoded = str(make_header(decode_header(value)))
                out.append(f"H\t{name}\t{clean(decoded)}")
            for defect in message.defects:
                out.append(f"E\t{clean(type(defect).__name__)}")
            payload = message.get_payload(decode=True) or b""
            charset = message.get_content_charset() or "us-ascii"
            out.append(f"B\t{clean(payload.decode(charset))}")
    print(f"C\t{connections}")
    print(f"A\t{logins}")
    for line in out:
        print(line)


if __name__ == "__main__":
    main()
