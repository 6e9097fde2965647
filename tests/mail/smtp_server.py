#!/usr/bin/python3
"""SMTP servers on 127.0.0.1 for the mail tests, one port per behaviour, listed in DIR/ports.txt by "start DIR"
and ended by "stop DIR", when the process that ran "start" (CTest, a benchmark's script) ends, or after LIFETIME
seconds ($SMTP_SERVER_LIFETIME), so that none outlives its run however long the tests take: scripted ones, which put
each message in DIR/msg-N.txt (envelope, login, TLS, blank, message), and Postfix with Dovecot, run as root from a folder of their own that DIR/postfix links to."""
import asyncio, contextlib, itertools, os, pwd, shutil, signal, socket, ssl, subprocess, sys, tempfile, time
from aiosmtpd.smtp import SMTP, AuthResult

USER, PASSWORD, LIFETIME = "brennix", "s3cret pass", int(os.environ.get("SMTP_SERVER_LIFETIME", 3600))
# Postfix delivers as nobody and Dovecot checks logins as dovecot: neither could pass a home folder of mode 0700,
# where a checkout may lie, so their folder lies here.
POSTFIX_HOME = "/var/tmp/brennix-postfix-"
AUTH = " -o smtpd_sasl_auth_enable=yes -o smtpd_relay_restrictions=permit_sasl_authenticated,reject"
POSTFIX = {
    "relay": " -o smtpd_discard_ehlo_keywords=8bitmime",  # no TLS or login
    "submission": AUTH + " -o smtpd_tls_security_level=encrypt -o smtpd_sasl_mechanism_filter=login"
                         " -o debug_peer_list=127.0.0.1 -o debug_peer_level=1",  # logs every command
    "smtps": AUTH + " -o smtpd_tls_wrappermode=yes"}
INTERNAL = ["cleanup unix n - n - 0 cleanup", "qmgr unix n - n 300 1 qmgr", "tlsmgr unix - - n 1000? 1 tlsmgr",
            "proxymap unix - - n - - proxymap", "rewrite unix - - n - - trivial-rewrite", "virtual unix - n n - - virtual",
            "postlog unix-dgram n - n - 1 postlogd"]


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


async def serve(d, starter):
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
               "untrusted": smtp(cert="self"), "othername": smtp(cert="other")}
    ports = {mode: await asyncio.get_running_loop().create_server(f, "127.0.0.1", 0) for mode, f in servers.items()}
    for mode in ("silent", "garbage", "longline", "closed"):
        ports[mode] = await asyncio.start_server(lambda r, w, m=mode: fault(m, r, w), "127.0.0.1", 0)
    lines = [f"{mode} {server.sockets[0].getsockname()[1]}\n" for mode, server in ports.items()]
    ports["closed"].close()  # its port, known to be free, takes no connection
    write(os.path.join(d, "ports.txt"), "".join(lines).encode())
    ended = asyncio.get_running_loop().create_future()
    with contextlib.suppress(OSError):  # a starter already gone leaves the lifetime alone
        watch = os.pidfd_open(starter)
        asyncio.get_running_loop().add_reader(watch, lambda: ended.done() or ended.set_result(None))
    with contextlib.suppress(asyncio.TimeoutError):
        await asyncio.wait_for(ended, LIFETIME)


def start_postfix(harness):  # both servers are listening when they return
    d = tempfile.mkdtemp(prefix=os.path.basename(POSTFIX_HOME), dir=os.path.dirname(POSTFIX_HOME))
    os.chmod(d, 0o711)
    os.symlink(d, os.path.join(harness, "postfix"))
    for name in ("server.pem", "server.key"):
        shutil.copy(os.path.join(harness, name), d)
    ports, nobody = {}, pwd.getpwnam("nobody")
    for name in POSTFIX:
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            ports[name] = s.getsockname()[1]
    for sub in ("etc", "queue", "mail", "dovecot"):  # Postfix makes its data folder itself
        os.makedirs(os.path.join(d, sub))
    os.chown(os.path.join(d, "mail"), nobody.pw_uid, nobody.pw_gid)
    main = [f"queue_directory = {d}/queue", f"data_directory = {d}/data", f"maillog_file_prefixes = {d}",
            f"maillog_file = {d}/maillog", "compatibility_level = 3.6", "alias_maps =",
            "smtpd_helo_required = yes",
            "smtpd_helo_restrictions = reject_non_fqdn_helo_hostname",
            "strict_rfc821_envelopes = yes", "strict_8bitmime = yes", "smtpd_tls_auth_only = yes",
            f"smtpd_tls_cert_file = {d}/server.pem", f"smtpd_tls_key_file = {d}/server.key",
            "smtpd_sasl_type = dovecot", "smtpd_sasl_path = private/auth",
            "virtual_mailbox_domains = x.test y.test", f"virtual_mailbox_base = {d}/mail",
            "virtual_mailbox_maps = inline:{admin@x.test=all/, ops@y.test=all/}",
            f"virtual_uid_maps = static:{nobody.pw_uid}", f"virtual_gid_maps = static:{nobody.pw_gid}"]
    master = INTERNAL + [f"127.0.0.1:{ports[s]} inet n - n - - smtpd -o syslog_name=postfix/{s}{o}"
                         for s, o in POSTFIX.items()]
    # A wrong password is answered at once.
    dovecot = [f"base_dir = {d}/dovecot", f"state_dir = {d}/dovecot", f"log_path = {d}/dovecot.log",
               "protocols = none", "ssl = no", "auth_mechanisms = plain login", "auth_failure_delay = 0",
               f"passdb {{\ndriver = passwd-file\nargs = {d}/etc/users\n}}",
               "userdb {\ndriver = static\nargs = uid=nobody gid=nogroup home=/nonexistent\n}",
               "service anvil {\nunix_listener anvil-auth-penalty {\nmode = 0\n}\n}",
               f"service auth {{\nunix_listener {d}/queue/private/auth {{\nuser = postfix\n}}\n}}"]
    for name, lines in (("main.cf", main), ("master.cf", master), ("dovecot.conf", dovecot),
                        ("users", [f"{USER}:{{PLAIN}}{PASSWORD}"])):
        write(os.path.join(d, "etc", name), "".join(line + "\n" for line in lines).encode())
    # Output to a file, which the detached servers keep open. Dovecot's socket lies in Postfix's queue.
    with open(os.path.join(d, "start.log"), "ab") as log:
        for command in (["postfix", "-c", d + "/etc", "start"], ["dovecot", "-c", d + "/etc/dovecot.conf"]):
            if subprocess.run(command, stdin=subprocess.DEVNULL, stdout=log, stderr=log).returncode:
                sys.exit(f"{command[0]} did not start (as root only); see {d}/start.log, {d}/maillog")
    return "".join(f"{name} {port}\n" for name, port in ports.items())


def stop_postfix(d):
    subprocess.run(["postfix", "-c", d + "/etc", "abort"], capture_output=True)
    subprocess.run(["doveadm", "-c", d + "/etc/dovecot.conf", "stop"], capture_output=True)


def start(d):
    stop(d)
    shutil.rmtree(d, ignore_errors=True)
    os.umask(0o022)  # the servers' users read what is written for them
    os.makedirs(d)
    certificate(d, "ca", "Brennix Mail Test CA", "basicConstraints=critical,CA:TRUE",
                "keyUsage=critical,keyCertSign,cRLSign", signer=None)
    subprocess.run(["openssl", "x509", "-in", "ca.pem", "-outform", "der", "-out", "ca.der"], cwd=d, check=True)
    for name, alt, signer in (("server", "DNS:localhost,IP:127.0.0.1", "ca"), ("other", "DNS:mail.example.test", "ca"),
                              ("self", "DNS:localhost,IP:127.0.0.1", None)):  # "self": trusted by nobody
        certificate(d, name, alt.split(",")[0][4:], "subjectAltName=" + alt, "extendedKeyUsage=serverAuth",
                    "basicConstraints=CA:FALSE", signer=signer)
    with open(os.path.join(d, "server.log"), "wb") as log:
        child = subprocess.Popen([sys.executable, __file__, "serve", d, str(os.getppid())], stdin=subprocess.DEVNULL, stdout=log,
                                 stderr=log, start_new_session=True)
    write(os.path.join(d, "server.pid"), str(child.pid).encode())
    while child.poll() is None and not os.path.exists(os.path.join(d, "ports.txt")):
        time.sleep(0.1)
    if child.poll() is not None:
        sys.exit("the SMTP servers did not start; see " + os.path.join(d, "server.log"))
    ports = start_postfix(d)
    with open(os.path.join(d, "ports.txt"), "a") as f:
        f.write(ports)


def stop(d):
    link = os.path.join(d, "postfix")
    home = os.readlink(link) if os.path.islink(link) else link
    stop_postfix(home)
    if home.startswith(POSTFIX_HOME):  # its logs stay for a look after the tests
        for log in ("maillog", "start.log", "dovecot.log"):
            with contextlib.suppress(OSError):
                shutil.move(os.path.join(home, log), os.path.join(d, "postfix-" + log))
        shutil.rmtree(home, ignore_errors=True)
    with contextlib.suppress(OSError):
        os.unlink(link)
    with contextlib.suppress(OSError, ValueError):
        pid = int(open(os.path.join(d, "server.pid")).read())
        if __file__.encode() in open(f"/proc/{pid}/cmdline", "rb").read():  # not a process that took its number
            os.kill(pid, signal.SIGTERM)


if __name__ == "__main__":
    command, directory = sys.argv[1], os.path.abspath(sys.argv[2])
    {"start": start, "stop": stop,
     "serve": lambda d: (asyncio.run(serve(d, int(sys.argv[3]))), stop_postfix(os.path.join(d, "postfix")))
     }[command](directory)
