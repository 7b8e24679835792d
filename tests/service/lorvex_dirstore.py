"""A directory store for the fake service: the operations "prepareSave", "save", "load" and
"noop" of directory synchronisation. The rules are this store's own; the tests check round
trips through it, not a policy of the real service.

A store is named by the request's "remoteKey" and holds, per relative path, a folder or a
file (bytes, last-modified text, executable flag). The options text may say "chunk=<n>" to
cut downloaded files into chunks of n compressed bytes (default 131072).

  prepareSave  orders "upload" for each file the store lacks or holds with other contents
               (CRC and size, or size and time without a CRC), "resendFileTime" for each
               file with the same contents and another time
  save         the request's entries become the store: uploaded files from their chunks,
               re-timed files with the new time, the others as they were
  load         orders "delete" for local paths the store lacks (deepest first), "mkdir" for
               its folders the client lacks, "download" for files that are missing or
               differ, "setFileTime" for files that differ only in time
"""

import binascii
import zlib

from lorvex_pages import operation


def stores(pages):
    with pages.lock:
        return pages.__dict__.setdefault("dir_stores", {})


def entries_of(params):
    """The request's image: relPath -> the entry's values without their prefix."""
    try:
        count = int(params.get("entry.count", "0"))
    except ValueError:
        count = 0
    result = {}
    for j in range(max(0, count)):
        prefix = "entry.%d." % j
        entry = {k[len(prefix):]: v for k, v in params.items() if k.startswith(prefix)}
        if "relPath" in entry:
            result[entry["relPath"]] = entry
    return result


def chunk_size(params):
    for piece in params.get("options", "").split(";"):
        key, _, value = piece.partition("=")
        if key.strip() == "chunk":
            return max(1, int(value))
    return 131072


def same_contents(entry, stored):
    data = stored["data"]
    if entry.get("fileSize") != str(len(data)):
        return False
    if "crc" in entry:
        return entry["crc"] == str(binascii.crc32(data) & 0xFFFFFFFF)
    return entry.get("lastModified") == stored["lastModified"]


def ops_answer(ops):
    answer = {"retcode": "ok", "clientOp.count": str(len(ops))}
    for j, op in enumerate(ops):
        for key, value in op.items():
            answer["clientOp.%d.%s" % (j, key)] = value
    return answer


@operation("noop")
def noop(pages, session, params, request):
    return {"retcode": "ok"}


@operation("prepareSave")
def prepare_save(pages, session, params, request):
    store = stores(pages).get(params.get("remoteKey", ""), {})
    ops = []
    for rel, entry in sorted(entries_of(params).items()):
        if entry.get("isDirectory") == "true":
            continue
        stored = store.get(rel)
        if stored is None or stored["isDirectory"] or not same_contents(entry, stored):
            ops.append({"type": "upload", "relPath": rel})
        elif entry.get("lastModified") != stored["lastModified"]:
            ops.append({"type": "resendFileTime", "relPath": rel})
    return ops_answer(ops)


@operation("save")
def save(pages, session, params, request):
    key = params.get("remoteKey", "")
    old = stores(pages).get(key, {})
    new = {}
    for rel, entry in entries_of(params).items():
        if entry.get("isDirectory") == "true":
            new[rel] = {"isDirectory": True}
            continue
        if "chunk.count" in entry:
            joined = b"".join(entry["chunk.%d" % k] for k in range(int(entry["chunk.count"])))
            new[rel] = {"isDirectory": False, "data": zlib.decompress(joined),
                        "lastModified": entry.get("lastModified", ""),
                        "isExecutable": entry.get("isExecutable") == "true"}
        elif rel in old and not old[rel]["isDirectory"]:
            kept = dict(old[rel])
            kept["lastModified"] = entry.get("lastModified", kept["lastModified"])
            new[rel] = kept
        else:
            return {"retcode": "systemError",
                    "userVisibleMessage": "No contents for %s." % rel}
    stores(pages)[key] = new
    return ops_answer([])


@operation("load")
def load(pages, session, params, request):
    store = stores(pages).get(params.get("remoteKey", ""), {})
    local = entries_of(params)
    step = chunk_size(params)
    ops = []
    for rel in sorted(local, reverse=True):
        stored = store.get(rel)
        if stored is None or stored["isDirectory"] != (local[rel].get("isDirectory") == "true"):
            ops.append({"type": "delete", "relPath": rel})
    for rel in sorted(store):
        stored = store[rel]
        entry = local.get(rel)
        kind_matches = entry is not None and \
            (entry.get("isDirectory") == "true") == stored["isDirectory"]
        if stored["isDirectory"]:
            if not kind_matches:
                ops.append({"type": "mkdir", "relPath": rel})
            continue
        if kind_matches and same_contents(entry, stored):
            if entry.get("lastModified") != stored["lastModified"]:
                ops.append({"type": "setFileTime", "relPath": rel,
                            "lastModified": stored["lastModified"]})
            continue
        packed = zlib.compress(stored["data"], 9)
        chunks = [packed[i:i + step] for i in range(0, len(packed), step)] or [b""]
        op = {"type": "download", "relPath": rel, "chunk.count": str(len(chunks)),
              "lastModified": stored["lastModified"],
              "isExecutable": "true" if stored["isExecutable"] else "false"}
        for k, chunk in enumerate(chunks):
            op["chunk.%d" % k] = chunk
        ops.append(op)
    return ops_answer(ops)
