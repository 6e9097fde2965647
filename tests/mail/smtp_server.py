#!/usr/bin/python3
"""SMTP servers on 127.0.0.1 for the mail tests, one port per behaviour, listed in DIR/ports.txt by "start DIR"
and ended by "stop DIR" or after LIFETIME seconds ($SMTP_SERVER_LIFETIME for a benchmark); each message goes to DIR/msg-N.txt (envelope, login, TLS, blank, message)."""
import asyncio, contextlib, itertools, os, shutil, signal, ssl, subprocess, sys, time
from aiosmtpd.smtp import SMTP, AuthResult

USER, PASSWORD, LIFETIME = "brennix", "s3cret pass", int(os.environ.get("SMTP_SERVER_LIFETIME", 180))


def certificate(d, name, subject, *extensions, signer="ca"):
    args = ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=" + subject,
            "-keyout", name + ".key", "-out", name + ".pem"] + [a for e in extensions for a in ("-addext", e)]
    args += ["-CA", signer + ".pem", "-CAkey", signer + ".key"] if signer else []
    subprocess.run(args, cwd=d, check=True, capture_output=True)


def write(path, text):
    with open(path + ".part", "wb") as f:
        f.write(text)
    os.replace(path + ".part", path)  # readers see the whole file or none


def authenticator(server, session, envelope, mechanism, data):
    if (data.login, data.password) == (USER.encode(), PASSWORD.encode()):
        session.user = USER
        return AuthResult(success=True)
    return AuthResult(success=False, handled=False)  # aiosmtpd answers 535 with its explanation


class NoEhlo(SMTP):
    async def smtp_EHLO(self, hostname):
        await self.push("502 5.5.2 EHLO not implemented here")


async def fault(mode, reader, writer):  # silent, garbage, or a reply line of 10 MB
    writer.write({"garbage": b"\x00\xff\xfeHELLO? not SMTP\r\n", "longline": b"220 " + b"x" * 10**7}.get(mode, b""))
    await writer.drain()
    await asyncio.sleep(LIFETIME)


async def serve(d):
    numbers = itertools.count()

    class Recorder:
        async def handle_DATA(self, server, session, envelope):
            head = [f"from: {envelope.mail_from}"] + [f"rcpt: {r}" for r in envelope.rcpt_tos]
            head += [f"auth: {getattr(session, 'user', '-')}", f"tls: {'yes' if session.ssl else 'no'}", "", ""]
            write(os.path.join(d, f"msg-{next(numbers)}.txt"), "\n".join(head).encode() + envelope.original_content)
            return "250 OK"

    def smtp(cls=SMTP, cert=None, **kw):
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH) if cert else None
        if cert:
            context.load_cert_chain(os.path.join(d, cert + ".pem"), os.path.join(d, cert + ".key"))
        return lambda: cls(Recorder(), authenticator=authenticator, tls_context=context, **kw)

    servers = {"plain": smtp(), "auth": smtp(auth_require_tls=False), "noehlo": smtp(NoEhlo),
               "authlogin": smtp(auth_require_tls=False, auth_exclude_mechanism=["PLAIN"]),
               "tls": smtp(cert="server"), "untrusted": smtp(cert="self"), "othername": smtp(cert="other")}
    ports = {mode: await asyncio.get_running_loop().create_server(f, "127.0.0.1", 0) for mode, f in servers.items()}
    for mode in ("silent", "garbage", "longline", "closed"):
        ports[mode] = await asyncio.start_server(lambda r, w, m=mode: fault(m, r, w), "127.0.0.1", 0)
    lines = [f"{mode} {server.sockets[0].getsockname()[1]}\n" for mode, server in ports.items()]
    ports["closed"].close()  # its port, known to be free, takes no connection
    write(os.path.join(d, "ports.txt"), "".join(lines).encode())
    await asyncio.sleep(LIFETIME)


def start(d):
    stop(d)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    certificate(d, "ca", "Brennix Mail Test CA", "basicConstraints=critical,CA:TRUE",
                "keyUsage=critical,keyCertSign,cRLSign", signer=None)
    subprocess.run(["openssl", "x509", "-in", "ca.pem", "-outform", "der", "-out", "ca.der"], cwd=d, check=True)
    for name, alt, signer in (("server", "DNS:localhost,IP:127.0.0.1", "ca"), ("other", "DNS:mail.example.test", "ca"),
                              ("self", "DNS:localhost,IP:127.0.0.1", None)):  # "self": trusted by nobody
        certificate(d, name, alt.split(",")[0][4:], "subjectAltName=" + alt, "extendedKeyUsage=serverAuth",
                    "basicConstraints=CA:FALSE", signer=signer)
    with open(os.path.join(d, "server.log"), "wb") as log:
        child = subprocess.Popen([sys.executable, __file__, "serve", d], stdin=subprocess.DEVNULL, stdout=log,
                                 stderr=log, start_new_session=True)
    write(os.path.join(d, "server.pid"), str(child.pid).encode())
    while child.poll() is None and not os.path.exists(os.path.join(d, "ports.txt")):
        time.sleep(0.1)
    if child.poll() is not None:
        sys.exit("the SMTP servers did not start; see " + os.path.join(d, "server.log"))


def stop(d):
    with contextlib.suppress(OSError, ValueError):
        pid = int(open(os.path.join(d, "server.pid")).read())
        if __file__.encode() in open(f"/proc/{pid}/cmdline", "rb").read():  # not a process that took its number
            os.kill(pid, signal.SIGTERM)


if __name__ == "__main__":
    command, directory = sys.argv[1], os.path.abspath(sys.argv[2])
    {"start": start, "stop": stop, "serve": lambda d: asyncio.run(serve(d))}[command](directory)
