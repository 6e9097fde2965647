#!/usr/bin/python3
"""SMTP servers on 127.0.0.1 for the mail tests, one port per behaviour.
"start DIR" makes certificates, starts the servers in the background and returns once DIR/ports.txt is
written; "stop DIR" ends them, as LIFETIME does. Each message received goes to DIR/msg-*.txt: the
envelope, the login and TLS, a blank line, the message."""
import asyncio, os, signal, ssl, subprocess, sys, time
from aiosmtpd.smtp import SMTP, AuthResult

USER, PASSWORD = "brennix", "s3cret pass"
LIFETIME = 180


def certificate(d, name, subject, *extensions, signer="ca"):
    args = ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=" + subject,
            "-keyout", name + ".key", "-out", name + ".pem"]
    args += [a for e in extensions for a in ("-addext", e)]
    args += ["-CA", signer + ".pem", "-CAkey", signer + ".key"] if signer else []
    subprocess.run(args, cwd=d, check=True, capture_output=True)


def make_certificates(d):
    """A test CA with its certificates for localhost and for another name; a
    self-signed localhost certificate that nobody trusts."""
    certificate(d, "ca", "Brennix Mail Test CA", "basicConstraints=critical,CA:TRUE",
                "keyUsage=critical,keyCertSign,cRLSign", signer=None)
    subprocess.run(["openssl", "x509", "-in", "ca.pem", "-outform", "der", "-out", "ca.der"], cwd=d, check=True)
    server = ("extendedKeyUsage=serverAuth", "basicConstraints=CA:FALSE")
    certificate(d, "server", "localhost", "subjectAltName=DNS:localhost,IP:127.0.0.1", *server)
    certificate(d, "other", "mail.example.test", "subjectAltName=DNS:mail.example.test", *server)
    certificate(d, "self", "localhost", "subjectAltName=DNS:localhost,IP:127.0.0.1", *server, signer=None)


class Recorder:
    def __init__(self, d, mode):
        self.d, self.mode = d, mode

    async def handle_DATA(self, server, session, envelope):
        n = len([f for f in os.listdir(self.d) if f.startswith("msg-")])
        head = [f"mode: {self.mode}", f"from: {envelope.mail_from}"] + [f"rcpt: {r}" for r in envelope.rcpt_tos]
        head += [f"auth: {getattr(session, 'user', '-')}", f"tls: {'yes' if session.ssl else 'no'}"]
        path = os.path.join(self.d, f"msg-{os.getpid()}-{n}.txt")
        with open(path + ".part", "wb") as f:
            f.write(("\n".join(head) + "\n\n").encode() + envelope.original_content)
        os.replace(path + ".part", path)
        return "250 OK"


def authenticator(server, session, envelope, mechanism, data):
    if data.login.decode() == USER and data.password.decode() == PASSWORD:
        session.user = USER
        return AuthResult(success=True)
    return AuthResult(success=False, handled=False)


class NoEhlo(SMTP):
    async def smtp_EHLO(self, hostname):
        await self.push("502 5.5.2 EHLO not implemented here")


def tls(d, name):
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(os.path.join(d, name + ".pem"), os.path.join(d, name + ".key"))
    return context


async def fault(mode, reader, writer):
    if mode == "garbage":
        writer.write(b"\x00\xff\xfeHELLO? this is not a mail server\r\n")
    elif mode == "longline":
        writer.write(b"220 " + b"x" * (10 * 1024 * 1024))
    await writer.drain()
    await asyncio.sleep(LIFETIME)


async def serve(d):
    def smtp(mode, cls=SMTP, **kw):
        return lambda: cls(Recorder(d, mode), authenticator=authenticator, **kw)

    factories = {
        "plain": smtp("plain"),
        "auth": smtp("auth", auth_require_tls=False),
        "authlogin": smtp("authlogin", auth_require_tls=False, auth_exclude_mechanism=["PLAIN"]),
        "tls": smtp("tls", tls_context=tls(d, "server")),
        "untrusted": smtp("untrusted", tls_context=tls(d, "self")),
        "othername": smtp("othername", tls_context=tls(d, "other")),
        "noehlo": smtp("noehlo", NoEhlo),
    }
    loop = asyncio.get_running_loop()
    ports = []
    for mode, factory in factories.items():
        server = await loop.create_server(factory, "127.0.0.1", 0)
        ports.append((mode, server.sockets[0].getsockname()[1]))
    for mode in ("silent", "garbage", "longline"):
        server = await asyncio.start_server(lambda r, w, m=mode: fault(m, r, w), "127.0.0.1", 0)
        ports.append((mode, server.sockets[0].getsockname()[1]))
    closed = await asyncio.start_server(lambda r, w: None, "127.0.0.1", 0)
    ports.append(("closed", closed.sockets[0].getsockname()[1]))
    closed.close()
    with open(os.path.join(d, "ports.txt.part"), "w") as f:
        f.write("".join(f"{mode} {port}\n" for mode, port in ports))
    os.replace(os.path.join(d, "ports.txt.part"), os.path.join(d, "ports.txt"))
    await asyncio.sleep(LIFETIME)


def start(d):
    stop(d)
    os.makedirs(d, exist_ok=True)
    for f in os.listdir(d):
        os.remove(os.path.join(d, f))
    make_certificates(d)
    with open(os.path.join(d, "server.log"), "wb") as log:
        child = subprocess.Popen([sys.executable, __file__, "serve", d], stdin=subprocess.DEVNULL, stdout=log,
                                 stderr=log, start_new_session=True)
    with open(os.path.join(d, "server.pid"), "w") as f:
        f.write(str(child.pid))
    for _ in range(100):
        if os.path.exists(os.path.join(d, "ports.txt")):
            return
        time.sleep(0.1)
    sys.exit("the SMTP servers did not start; see " + os.path.join(d, "server.log"))


def stop(d):
    try:
        with open(os.path.join(d, "server.pid")) as f:
            pid = int(f.read())
        with open(f"/proc/{pid}/cmdline", "rb") as f:  # still ours, not a process that took its number
            if __file__.encode() in f.read():
                os.kill(pid, signal.SIGTERM)
    except (OSError, ValueError):
        pass


if __name__ == "__main__":
    command, directory = sys.argv[1], os.path.abspath(sys.argv[2])
    {"start": start, "stop": stop, "serve": lambda d: asyncio.run(serve(d))}[command](directory)
