"""The fake service's pages over TLS, with certificates made at start-up.

Three listeners on 127.0.0.1 answer exactly like the plain service (same pages, scripts and
records), each behind its own certificate:
  selfsigned  for 127.0.0.1 and localhost, signing itself: a client that checks
              certificates refuses it
  signed      for 127.0.0.1 and localhost, signed by a throw-away authority made for this
              run; a client trusts it only when told to trust that authority's file (ca_file)
  misnamed    signed by the same authority for another name only: a client that checks
              the name refuses it
The keys and certificates live in a private temporary folder, removed by close(). They are
made in the background, so that the service's other pages start without waiting; the
listeners and ports() wait for them.
"""

import os
import shutil
import ssl
import subprocess
import tempfile
import threading

NAMES = "subjectAltName=IP:127.0.0.1,DNS:localhost"
OTHER_NAME = "subjectAltName=DNS:elsewhere.invalid"
CURVE = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]


def openssl(folder, *args):
    subprocess.run(["openssl"] + list(args), cwd=folder, check=True, timeout=60,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


def sign_leaf(folder, name, names):
    """name.crt/.key for `names`, signed by ca."""
    openssl(folder, "req", "-new", *CURVE, "-keyout", name + ".key", "-out", name + ".csr",
            "-subj", "/CN=" + names.split(":")[-1].split(",")[0])
    with open(os.path.join(folder, name + ".ext"), "w") as ext:
        ext.write(names + "\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature\n"
                  "extendedKeyUsage=serverAuth\n")
    openssl(folder, "x509", "-req", "-in", name + ".csr", "-CA", "ca.crt", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", name + ".crt", "-days", "2", "-extfile", name + ".ext")


def make_certificates(folder):
    """self.crt/.key (self-signed), ca.crt/.key, and leaf and misnamed .crt/.key (signed by
    ca)."""
    openssl(folder, "req", "-x509", *CURVE, "-keyout", "self.key", "-out", "self.crt",
            "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", NAMES)
    openssl(folder, "req", "-x509", *CURVE, "-keyout", "ca.key", "-out", "ca.crt",
            "-days", "2", "-subj", "/CN=Lorvex throw-away test authority",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    sign_leaf(folder, "leaf", NAMES)
    sign_leaf(folder, "misnamed", OTHER_NAME)


CERTS = ("self", "leaf", "misnamed")


def tls_server_class(base):
    class TlsServer(base):
        def __init__(self, address, handler, pages, cert):
            super().__init__(address, handler)
            self.pages = pages
            self.cert = cert

        def finish_request(self, request, client_address):
            context = self.pages.context(self.cert)
            if context is None:
                return
            # The handshake runs in the connection's own thread, so a client that never
            # completes it holds up nobody else.
            request.settimeout(30)
            try:
                tls = context.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError):
                return  # the client refused our certificate, or went away
            try:
                tls.settimeout(None)
                self.RequestHandlerClass(tls, client_address, self)
            finally:
                try:
                    tls.close()
                except OSError:
                    pass

    return TlsServer


class TlsPages:
    """The two TLS listeners; `servers` to run and stop with the others."""

    def __init__(self, host, server_base, handler):
        self.folder = tempfile.mkdtemp(prefix="lorvex-tls-")
        os.chmod(self.folder, 0o700)
        self.ca_file = os.path.join(self.folder, "ca.crt")
        self.contexts = {}
        self.failure = ""
        self.ready = threading.Event()
        server_class = tls_server_class(server_base)
        self.servers = [server_class((host, 0), handler, self, cert)
                        for cert in CERTS]
        threading.Thread(target=self.prepare, daemon=True).start()

    def prepare(self):
        # A service stopped early removes the folder under openssl's feet: that failure is
        # only reported to a client that asks for the ports.
        try:
            make_certificates(self.folder)
            for cert in CERTS:
                context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
                context.load_cert_chain(os.path.join(self.folder, cert + ".crt"),
                                        os.path.join(self.folder, cert + ".key"))
                self.contexts[cert] = context
        except subprocess.CalledProcessError as e:
            self.failure = "openssl failed: " + e.stderr.decode("utf-8", "replace")
        except (OSError, subprocess.SubprocessError, ssl.SSLError) as e:
            self.failure = str(e)
        finally:
            self.ready.set()

    def context(self, cert):
        """The listener's TLS context; None when the certificates could not be made."""
        self.ready.wait(120)
        return self.contexts.get(cert)

    def ports(self):
        """The listeners' ports, once their certificates are there; raises when they are not."""
        if not self.context("leaf"):
            raise ValueError("no certificates: " + (self.failure or "not ready").replace("\n", " "))
        return {"selfsigned": self.servers[0].server_address[1],
                "signed": self.servers[1].server_address[1],
                "misnamed": self.servers[2].server_address[1]}

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)
