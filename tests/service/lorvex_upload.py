"""The upload page of the fake service: chunked uploads gathered into batches and checked.

Every chunk is checked against the upload wire format: the version fields, plain decimal
numbers, the chunk index in sequence, the same chunk count and files in every chunk of a
batch, the batch identifier on every chunk after the first (and never on the first), file
fields numbered with at least two digits, and exactly 8388608 compressed bytes in every
chunk but the last. Each file's compressed slices are inflated as they arrive; after the
last chunk every stream must be complete and as long as its "length" field. When the
environment names a reference folder (LORVEX_UPLOAD_REFERENCE), each inflated file is also
compared byte for byte with the file of the same name there.

A chunk that passes is answered with the result page in a "url:" marked value:
  http://<host>/UploadResult.page?uploadBatchEntid=<id>&srubs=true&chunk=<k>  (not last)
  http://<host>/UploadResult.page?uploadBatchEntid=<id>&srubs=true&files=<n>&verified=<v>
where v counts the files found equal to their reference. A chunk that fails is answered
with "VexoMessage: <what is wrong> -->" and ends its batch.
"""

import itertools
import os
import re
import zlib

import lorvex_pages

CHUNK_LIMIT = 8388608
FRAMEWORK_VERSION = "2.5.72"
DATA_FORMAT_VERSION = "2"
REFERENCE_ENV = "LORVEX_UPLOAD_REFERENCE"
RESULT_PAGE = "/UploadResult.page"
DECIMAL = re.compile(r"^(0|[1-9][0-9]*)$")
FILE_FIELD = re.compile(r"^file([0-9]{2,})(name|format|length|compressed)$")
STRING_FIELDS = ("vexoVersion", "dataFormatVersion", "attemptLog", "chunkIndex",
                 "chunkCount", "srcCompID", "srcAppID", "srcAppVer", "uploadBatchEntid")


class Refused(Exception):
    pass


class Batch:
    def __init__(self, ident, count, files):
        self.ident = ident
        self.count = count
        self.next = 0
        self.files = files                      # [(name, format, length)]
        self.inflaters = [zlib.decompressobj() for _ in files]
        self.inflated = [0] * len(files)
        self.references = []
        folder = os.environ.get(REFERENCE_ENV)
        for name, _, _ in files:
            path = os.path.join(folder, name) if folder else None
            self.references.append(open(path, "rb") if path and os.path.isfile(path) else None)
        self.equal = [ref is not None for ref in self.references]

    def close(self):
        for ref in self.references:
            if ref is not None:
                ref.close()

    def take(self, i, data):
        name = self.files[i][0]
        try:
            out = self.inflaters[i].decompress(data)
        except zlib.error as e:
            raise Refused("file %s does not inflate: %s" % (name, e))
        if self.inflaters[i].eof and self.inflaters[i].unused_data:
            raise Refused("file %s: bytes after the end of its stream" % name)
        self.inflated[i] += len(out)
        if self.references[i] is not None and self.equal[i]:
            if self.references[i].read(len(out)) != out:
                self.equal[i] = False

    def finish(self):
        verified = 0
        for i, (name, _, length) in enumerate(self.files):
            d = self.inflaters[i]
            tail = d.flush()
            self.inflated[i] += len(tail)
            if not d.eof:
                raise Refused("file %s: its stream does not end" % name)
            if self.inflated[i] != length:
                raise Refused("file %s: %d bytes inflated, length says %d" %
                              (name, self.inflated[i], length))
            if self.references[i] is not None:
                if self.equal[i] and self.references[i].read(1) == b"":
                    verified += 1
                else:
                    raise Refused("file %s differs from its reference" % name)
        return verified


def state_of(pages):
    state = getattr(pages, "upload_state", None)
    if state is None:
        state = pages.upload_state = {"batches": {}, "ids": itertools.count(41)}
    return state


def decimal(values, name):
    text = values.get(name)
    if not isinstance(text, str) or not DECIMAL.match(text):
        raise Refused("%s is not a plain decimal number: %r" % (name, text))
    return int(text)


def read_files(request):
    values = request.values
    numbered = {}
    for key in values:
        m = FILE_FIELD.match(key)
        if m:
            number = m.group(1)
            if number != "%02d" % int(number):
                raise Refused("file number %s is not written as %02d" % (number, int(number)))
            numbered.setdefault(int(number), {})[m.group(2)] = values[key]
    if sorted(numbered) != list(range(len(numbered))):
        raise Refused("file numbers are not 0 to n-1: %s" % sorted(numbered))
    files, slices = [], []
    for i in range(len(numbered)):
        parts = numbered[i]
        prefix = "file%02d" % i
        for kind in ("name", "format", "length", "compressed"):
            if kind not in parts:
                raise Refused("%s%s is missing" % (prefix, kind))
        data = parts["compressed"]
        if not isinstance(data, bytes):
            raise Refused("%scompressed is not a file part" % prefix)
        if not isinstance(parts["name"], str) or not isinstance(parts["format"], str):
            raise Refused("%sname and %sformat must be texts" % (prefix, prefix))
        files.append((parts["name"], parts["format"], decimal(parts, "length")))
        slices.append(data)
    return files, slices


def check_fields(request):
    for key in request.values:
        if key in STRING_FIELDS or FILE_FIELD.match(key):
            continue
        if key.startswith("req.clientAttribute.") or key.startswith("log."):
            continue
        raise Refused("unexpected field %s" % key)
    values = request.values
    if values.get("vexoVersion") != FRAMEWORK_VERSION:
        raise Refused("vexoVersion is %r" % values.get("vexoVersion"))
    if values.get("dataFormatVersion") != DATA_FORMAT_VERSION:
        raise Refused("dataFormatVersion is %r" % values.get("dataFormatVersion"))
    for name in ("attemptLog", "srcCompID", "srcAppID", "srcAppVer"):
        if not isinstance(values.get(name), str):
            raise Refused("%s is missing" % name)


def take_chunk(pages, request):
    state = state_of(pages)
    check_fields(request)
    values = request.values
    index = decimal(values, "chunkIndex")
    count = decimal(values, "chunkCount")
    if count < 1 or index >= count:
        raise Refused("chunk %d of %d" % (index, count))
    files, slices = read_files(request)
    if index == 0:
        if "uploadBatchEntid" in values:
            raise Refused("chunk 0 names a batch")
        batch = Batch(str(next(state["ids"])), count, files)
        state["batches"][batch.ident] = batch
    else:
        ident = values.get("uploadBatchEntid")
        batch = state["batches"].get(ident)
        if batch is None:
            raise Refused("chunk %d names no open batch: %r" % (index, ident))
        if batch.next != index:
            raise Refused("chunk %d arrived, %d expected" % (index, batch.next))
        if batch.count != count:
            raise Refused("chunk count changed from %d to %d" % (batch.count, count))
        if batch.files != files:
            raise Refused("the files changed within the batch")
    try:
        total = sum(len(s) for s in slices)
        if index < count - 1 and total != CHUNK_LIMIT:
            raise Refused("chunk %d carries %d bytes, not %d" % (index, total, CHUNK_LIMIT))
        if total > CHUNK_LIMIT:
            raise Refused("chunk %d carries %d bytes" % (index, total))
        for i, data in enumerate(slices):
            batch.take(i, data)
        batch.next = index + 1
        if index < count - 1:
            return batch, "chunk=%d" % index
        verified = batch.finish()
        batch.close()
        del state["batches"][batch.ident]
        return batch, "files=%d&verified=%d" % (len(files), verified)
    except Refused:
        batch.close()
        state["batches"].pop(batch.ident, None)
        raise


def answer(text):
    return 200, [("Content-Type", "text/html; charset=ISO-8859-1")], text.encode("latin-1")


def upload_page(pages, request):
    try:
        batch, tail = take_chunk(pages, request)
    except Refused as e:
        message = str(e).replace("-->", "- ->")
        return answer("<html><body>Upload refused.\r\n<!-- VexoMessage: %s -->\r\n"
                      "</body></html>\r\n" % message)
    host = lorvex_pages.header(request.headers, "Host") or "127.0.0.1"
    url = "http://%s%s?uploadBatchEntid=%s&srubs=true&%s" % (host, RESULT_PAGE, batch.ident,
                                                             tail)
    return answer("<html><body>Upload received.\r\n<!-- url:%s -->\r\n</body></html>\r\n" % url)


lorvex_pages.UPLOAD_HANDLERS.append(upload_page)
