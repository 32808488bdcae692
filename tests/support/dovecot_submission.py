#!/usr/bin/python3
"""Dovecot's submission service on loopback as an SMTP server that checks OAuth 2.0 tokens.

It offers AUTH XOAUTH2 and OAUTHBEARER (after STARTTLS; a client on 127.0.0.1 counts as
secured already), asks the loopback identity provider's introspection endpoint about each
token (HTTPS, the provider's test CA), and relays accepted mail to a sink of this script
(aiosmtpd), which saves each message as <dir>/mail/<n>.eml and then <n>.json (mail_from,
rcpt_tos). Nothing system-wide: the configuration, sockets, state and log live in --dir.

    dovecot_submission.py --dir D --idp-port N --idp-ca CA

Writes the port to <dir>/port once the server greets; stops Dovecot on SIGTERM or SIGINT
and when the process that started it goes away.
"""

import argparse
import json
import datetime
import os
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

from aiosmtpd.controller import Controller

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

CONFIG = """protocols = submission
listen = 127.0.0.1
base_dir = {w}/run
state_dir = {w}/state
instance_name = eq-oauth-test-{port}
log_path = {w}/log/dovecot.log
hostname = submission.test
default_internal_user = {user}
default_internal_group = {group}
default_login_user = {user}
ssl = required
ssl_cert = <{w}/tls/server.crt
ssl_key = <{w}/tls/server.key
ssl_dh = </usr/share/dovecot/dh.pem
auth_mechanisms = xoauth2 oauthbearer
auth_failure_delay = 0
passdb {{
  driver = oauth2
  mechanisms = xoauth2 oauthbearer
  args = {w}/oauth2.conf
}}
userdb {{
  driver = static
  args = uid={user} gid={group} home={w}/home/%u
}}
mail_location = maildir:~/Maildir
submission_relay_host = 127.0.0.1
submission_relay_port = {sink_port}
service submission-login {{
  inet_listener submission {{
    address = 127.0.0.1
    port = {port}
  }}
}}
service anvil {{
  unix_listener anvil-auth-penalty {{
    mode = 0
  }}
}}
"""

OAUTH2 = """introspection_mode = post
introspection_url = https://127.0.0.1:{idp_port}/introspect
tls_ca_cert_file = {idp_ca}
username_attribute = username
active_attribute = active
active_value = true
timeout_msecs = 5000
"""


class Sink:
    """Saves what Dovecot relays, numbered from 1."""

    def __init__(self, folder):
        self.folder = folder
        self.count = 0
        self.lock = threading.Lock()
        os.makedirs(folder, exist_ok=True)

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            n = self.count
        base = os.path.join(self.folder, str(n))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        with open(base + ".json.tmp", "w") as f:
            json.dump({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos}, f)
        os.replace(base + ".json.tmp", base + ".json")
        return "250 OK"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_certificate(tls_dir):
    os.makedirs(tls_dir, exist_ok=True)
    key = ec.generate_private_key(ec.SECP256R1())
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "submission.test")])
    now = datetime.datetime.now(datetime.timezone.utc)
    cert = (x509.CertificateBuilder().subject_name(name).issuer_name(name).public_key(key.public_key())
            .serial_number(x509.random_serial_number())
            .not_valid_before(now - datetime.timedelta(days=1)).not_valid_after(now + datetime.timedelta(days=30))
            .sign(key, hashes.SHA256()))
    with open(os.path.join(tls_dir, "server.crt"), "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))
    with open(os.path.join(tls_dir, "server.key"), "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                  serialization.NoEncryption()))


def greets(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1) as s:
            return s.recv(100).startswith(b"220")
    except OSError:
        return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--idp-port", type=int, required=True)
    parser.add_argument("--idp-ca", required=True)
    args = parser.parse_args()

    w = os.path.abspath(args.dir)
    shutil.rmtree(os.path.join(w, "run"), ignore_errors=True)  # a stale anvil socket costs seconds
    for sub in ("run", "state", "log", "home"):
        os.makedirs(os.path.join(w, sub), exist_ok=True)
    make_certificate(os.path.join(w, "tls"))
    # Dovecot's processes run as this user; as root, as the unprivileged "nobody".
    if os.geteuid() == 0:
        user, group = "nobody", "nogroup"
        os.chmod(w, 0o755)
        shutil.chown(os.path.join(w, "home"), user, group)
    else:
        import grp
        import pwd
        user, group = pwd.getpwuid(os.geteuid()).pw_name, grp.getgrgid(os.getegid()).gr_name
    port = free_port()
    sink = Controller(Sink(os.path.join(w, "mail")), hostname="127.0.0.1", port=free_port())
    sink.start()
    with open(os.path.join(w, "oauth2.conf"), "w") as f:
        f.write(OAUTH2.format(idp_port=args.idp_port, idp_ca=os.path.abspath(args.idp_ca)))
    with open(os.path.join(w, "dovecot.conf"), "w") as f:
        f.write(CONFIG.format(w=w, port=port, sink_port=sink.port, user=user, group=group))

    dovecot = subprocess.Popen(["dovecot", "-F", "-c", os.path.join(w, "dovecot.conf")],
                               stdout=subprocess.DEVNULL, stderr=sys.stderr)
    stopping = []

    def stop(*_):
        stopping.append(True)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    parent = os.getppid()
    deadline = time.monotonic() + 30
    while not greets(port):
        if dovecot.poll() is not None or time.monotonic() > deadline:
            sys.stderr.write("dovecot did not start; see %s/log/dovecot.log\n" % w)
            dovecot.kill()
            sink.stop()
            sys.exit(1)
        time.sleep(0.05)
    tmp = os.path.join(w, "port.tmp")
    with open(tmp, "w") as f:
        f.write(str(port))
    os.replace(tmp, os.path.join(w, "port"))
    while not stopping and os.getppid() == parent and dovecot.poll() is None:
        time.sleep(0.2)
    dovecot.terminate()
    try:
        dovecot.wait(10)
    except subprocess.TimeoutExpired:
        dovecot.kill()
    sink.stop()


if __name__ == "__main__":
    main()
