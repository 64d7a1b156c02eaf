"""Mail servers on loopback for the mail transfer tests.

Starts, on free ports of 127.0.0.1:
  smtp        aiosmtpd offering CRAM-MD5, LOGIN and PLAIN (no TLS)
  smtp_login  the same offering LOGIN only
  smtp_plain  the same offering PLAIN only
  pop3        dovecot, user "tester" with password "secret"
Every accepted mail is delivered into tester's maildir, with the envelope
and the authentication mechanism the server saw written in front of it as
X-Peer-* header fields, so that a test reads both back over POP3.
Prints one line of JSON with the ports, then serves until stdin closes.
"""

import asyncio
import json
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import uuid
import logging

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

USER = b"tester"
PASSWORD = b"secret"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def authenticator(server, session, envelope, mechanism, auth_data):
    session.peer_mechanism = mechanism
    if isinstance(auth_data, LoginPassword) and auth_data.login == USER and auth_data.password == PASSWORD:
        return AuthResult(success=True)
    return AuthResult(success=False, handled=False)


class PeerSMTP(SMTP):
    async def auth_CRAM__MD5(self, _, args):
        import hmac
        challenge = "<%s@peer.test>" % uuid.uuid4().hex
        answer = await self.challenge_auth(challenge)
        if not isinstance(answer, bytes) or b" " not in answer:
            return AuthResult(success=False)
        user, digest = answer.rsplit(b" ", 1)
        expected = hmac.new(PASSWORD, challenge.encode(), "md5").hexdigest().encode()
        ok = user == USER and hmac.compare_digest(digest, expected)
        self.session.peer_mechanism = "CRAM-MD5"
        return AuthResult(success=ok, handled=False)


class Delivery:
    def __init__(self, maildir):
        self.maildir = maildir

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("refused"):
            return "550 no such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        head = "X-Peer-Mail-From: %s\r\nX-Peer-Rcpt-To: %s\r\nX-Peer-Auth: %s\r\n" % (
            envelope.mail_from, ", ".join(envelope.rcpt_tos), getattr(session, "peer_mechanism", "none"))
        name = "%d.%s.peer" % (time.time_ns(), uuid.uuid4().hex)
        tmp = os.path.join(self.maildir, "tmp", name)
        with open(tmp, "wb") as f:
            f.write(head.encode() + envelope.original_content)
        os.chmod(tmp, 0o666)
        os.rename(tmp, os.path.join(self.maildir, "new", name))
        return "250 Message accepted for delivery"


class PeerController(Controller):
    def __init__(self, handler, port, excluded):
        self.excluded = excluded
        super().__init__(handler, hostname="127.0.0.1", port=port)

    def factory(self):
        return PeerSMTP(self.handler, authenticator=self.authenticator_, auth_require_tls=False,
                        auth_exclude_mechanism=self.excluded)

    authenticator_ = staticmethod(authenticator)


def start_dovecot(root, port):
    home = os.path.join(root, "home")
    os.makedirs(home)
    with open(os.path.join(root, "passwd"), "w") as f:
        f.write("tester:{PLAIN}secret::::::\n")
    me = os.getuid(), os.getgid()
    user = pwd.getpwuid(me[0]).pw_name
    if me[0] == 0:
        # Dovecot never reads mail as root: the mail belongs to nobody.
        nobody = pwd.getpwnam("nobody")
        me = nobody.pw_uid, nobody.pw_gid
    config = f"""
protocols = pop3
listen = 127.0.0.1
base_dir = {root}/run
state_dir = {root}/state
log_path = {root}/dovecot.log
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain login
mail_location = maildir:{home}/%u/Maildir
pop3_uidl_format = %08Xu%08Xv
first_valid_uid = 0
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {root}/passwd
}}
userdb {{
  driver = static
  args = uid={me[0]} gid={me[1]} home={home}/%u
}}
service pop3-login {{
  inet_listener pop3 {{
    address = 127.0.0.1
    port = {port}
  }}
}}
service imap-login {{
  inet_listener imap {{
    port = 0
  }}
}}
"""
    if os.getuid() != 0:
        config += f"default_login_user = {user}\ndefault_internal_user = {user}\n"
    path = os.path.join(root, "dovecot.conf")
    with open(path, "w") as f:
        f.write(config)
    maildir = os.path.join(home, "tester", "Maildir")
    for sub in ("new", "cur", "tmp"):
        os.makedirs(os.path.join(maildir, sub))
    for folder, _, _ in os.walk(home):
        os.chown(folder, *me)
    process = subprocess.Popen(["/usr/sbin/dovecot", "-F", "-c", path], stdin=subprocess.DEVNULL)
    for _ in range(100):
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1) as s:
                if s.recv(64).startswith(b"+OK"):
                    return process, maildir
        except OSError:
            time.sleep(0.1)
    process.kill()
    log = open(os.path.join(root, "dovecot.log")).read() if os.path.exists(os.path.join(root, "dovecot.log")) else ""
    sys.exit("dovecot did not start:\n" + log)


def main():
    # Stopped by a signal, it still stops the servers it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    # aiosmtpd warns of its own deprecations on every login.
    logging.disable(logging.WARNING)
    root = tempfile.mkdtemp(prefix="plumex-mail-peers-")
    # Dovecot's own processes run as its users and must reach the files.
    os.chmod(root, 0o755)
    pop3_port = free_port()
    dovecot, maildir = start_dovecot(root, pop3_port)
    controllers = {}
    try:
        for name, excluded in (("smtp", []), ("smtp_login", ["PLAIN", "CRAM-MD5"]), ("smtp_plain", ["LOGIN", "CRAM-MD5"])):
            c = PeerController(Delivery(maildir), free_port(), excluded)
            c.start()
            controllers[name] = c
        ports = {name: c.port for name, c in controllers.items()}
        ports["pop3"] = pop3_port
        ports["maildir"] = maildir
        print(json.dumps(ports), flush=True)
        sys.stdin.read()
    finally:
        for c in controllers.values():
            c.stop()
        dovecot.terminate()
        try:
            dovecot.wait(10)
        except subprocess.TimeoutExpired:
            dovecot.kill()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
