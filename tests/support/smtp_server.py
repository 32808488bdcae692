#!/usr/bin/python3
"""A real SMTP server on loopback for tests, demos and benchmarks.

Runs aiosmtpd (Debian python3-aiosmtpd) on 127.0.0.1 with a throwaway self-signed
certificate made at start-up, or the chain and key given. STARTTLS is offered and
required, or with --implicit-tls TLS runs from the first byte; with --user and
--password, AUTH LOGIN and PLAIN are offered inside TLS and required. Every message
is saved into the mail folder as it arrives (a recipient "unknown@..." is refused with 550):

    <maildir>/<n>.eml   the message text exactly as received (transparency dots removed)
    <maildir>/<n>.json  the envelope: mail_from, mail_options, rcpt_tos, tls_version, sni, auth_user,
                        auth_mechanism, helo, connection (its number); written last, so its presence means the
                        message is complete
    <maildir>/connections, quits, mail_commands
                        how many connections were taken (counted before the greeting),
                        QUIT commands received (before their reply) and MAIL FROM accepted
    <maildir>/quit_connections  the number of each connection that said QUIT, a line each

The chosen port is printed on stdout and written to --port-file. The server stops on
SIGTERM or SIGINT and when the process that started it goes away.

    smtp_server.py --port-file F --maildir D --cert-dir C [--user U --password P]
                   [--port N] [--refuse-first N] [--no-starttls] [--pipelining]
                   [--implicit-tls] [--cert-chain PEM --cert-key KEY] [--tls-max 1.2]
                   [--auth-mechanisms LOGIN,PLAIN] [--size-limit N] [--smtputf8]
                   [--close-after-message]
"""

import argparse
import asyncio
import datetime
import ipaddress
import json
import logging
import os
import signal
import ssl
import sys
import threading
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def write_atomically(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def wait_until_stopped():
    """Returns on SIGTERM or SIGINT, or once the process that started this one is gone
    (for servers that run on threads of their own)."""
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    parent = os.getppid()
    while not stop.wait(0.5):
        if os.getppid() != parent:
            return


def make_certificate(cert_dir):
    """A fresh key and self-signed certificate for localhost and 127.0.0.1."""
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import NameOID

    os.makedirs(cert_dir, exist_ok=True)
    key = ec.generate_private_key(ec.SECP256R1())
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "localhost")])
    now = datetime.datetime.now(datetime.timezone.utc)
    cert = (
        x509.CertificateBuilder()
        .subject_name(name)
        .issuer_name(name)
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(days=1))
        .not_valid_after(now + datetime.timedelta(days=30))
        .add_extension(
            x509.SubjectAlternativeName(
                [x509.DNSName("localhost"), x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]
            ),
            critical=False,
        )
        .sign(key, hashes.SHA256())
    )
    cert_path = os.path.join(cert_dir, "server.crt")
    key_path = os.path.join(cert_dir, "server.key")
    write_atomically(cert_path, cert.public_bytes(serialization.Encoding.PEM))
    write_atomically(
        key_path,
        key.private_bytes(
            serialization.Encoding.PEM,
            serialization.PrivateFormat.PKCS8,
            serialization.NoEncryption(),
        ),
    )
    return cert_path, key_path


class Handler:
    def __init__(self, maildir, refuse_first, close_after_message=False):
        self.maildir = maildir
        self.refuse_left = refuse_first
        self.close_after_message = close_after_message
        self.count = 0
        self.mail_commands = 0
        self.connections = 0
        self.quits = 0
        self.sni = {}  # id(ssl object) -> server name the client sent

    def count_connection(self):
        """The new connection's number, from 1."""
        self.connections += 1
        write_atomically(os.path.join(self.maildir, "connections"), str(self.connections).encode())
        return self.connections

    async def handle_QUIT(self, server, session, envelope):
        self.quits += 1
        write_atomically(os.path.join(self.maildir, "quits"), str(self.quits).encode())
        with open(os.path.join(self.maildir, "quit_connections"), "a") as f:
            f.write("%d\n" % server.connection_number)
        return "221 Bye"

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        # Every MAIL FROM that passed aiosmtpd's own checks is counted in the file
        # "mail_commands", so a test can tell that a client stopped before it.
        self.mail_commands += 1
        write_atomically(os.path.join(self.maildir, "mail_commands"), str(self.mail_commands).encode())
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        # A mailbox that does not exist, for the refusals of a recipient.
        if address.lower().startswith("unknown@"):
            return "550 5.1.1 No such user here"
        envelope.rcpt_tos.append(address)
        envelope.rcpt_options.extend(rcpt_options)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.refuse_left > 0:
            self.refuse_left -= 1
            return "451 4.3.0 Try again later"
        self.count += 1
        base = os.path.join(self.maildir, str(self.count))
        write_atomically(base + ".eml", envelope.content)
        tls_version = None
        sni = None
        # The transport of an upgraded or an implicit-TLS connection alike.
        ssl_object = server.transport.get_extra_info("ssl_object") if server.transport else None
        if ssl_object is not None:
            tls_version = ssl_object.version()
            sni = self.sni.get(id(ssl_object))
        auth_user = None
        if isinstance(session.auth_data, LoginPassword):
            auth_user = session.auth_data.login.decode("utf-8", "replace")
        info = {
            "mail_from": envelope.mail_from,
            "mail_options": envelope.mail_options,
            "rcpt_tos": envelope.rcpt_tos,
            "tls_version": tls_version,
            "sni": sni,
            "auth_user": auth_user,
            "auth_mechanism": getattr(session, "auth_mechanism", None),
            "helo": session.host_name,
            "connection": server.connection_number,
        }
        write_atomically(base + ".json", json.dumps(info, ensure_ascii=False).encode("utf-8"))
        if self.close_after_message and server.transport is not None:
            # After the reply below is written: the connection ends as an idle time-out
            # ends it, without a word.
            asyncio.get_running_loop().call_soon(server.transport.close)
        return "250 2.0.0 Message accepted for delivery"


class PipeliningHandler(Handler):
    """Announces PIPELINING (RFC 2920); aiosmtpd reads commands in order either way."""

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        return responses[:-1] + ["250-PIPELINING"] + responses[-1:]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--maildir", required=True)
    parser.add_argument("--cert-dir", required=True)
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--port", type=int, default=0, help="0 (default): any free port")
    parser.add_argument("--refuse-first", type=int, default=0,
                        help="answer the first N messages with 451 after their final dot")
    parser.add_argument("--no-starttls", action="store_true", help="plain text only, no TLS offered")
    parser.add_argument("--pipelining", action="store_true", help="announce PIPELINING")
    parser.add_argument("--size-limit", type=int, default=None,
                        help="announce SIZE with this limit in octets (SIZE is not announced without it)")
    parser.add_argument("--smtputf8", action="store_true", help="announce and accept SMTPUTF8")
    parser.add_argument("--close-after-message", action="store_true",
                        help="close the connection right after accepting each message")
    parser.add_argument("--implicit-tls", action="store_true", help="TLS from the first byte, no STARTTLS")
    parser.add_argument("--cert-chain", help="the certificate chain to send (PEM) instead of a self-signed one")
    parser.add_argument("--cert-key", help="the key of --cert-chain")
    parser.add_argument("--tls-max", choices=["1.2", "1.3"], help="the highest TLS version taken")
    parser.add_argument("--auth-mechanisms", help="the AUTH mechanisms offered, comma separated (default: all)")
    args = parser.parse_args()
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    # Plain-text AUTH is what --no-starttls asks for.
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    if (args.user is None) != (args.password is None):
        parser.error("--user and --password go together")

    os.makedirs(args.maildir, exist_ok=True)
    handler = (PipeliningHandler if args.pipelining else Handler)(
        args.maildir, args.refuse_first, args.close_after_message)

    tls_context = None
    if not args.no_starttls:
        if args.cert_chain:
            cert_path, key_path = args.cert_chain, args.cert_key
        else:
            cert_path, key_path = make_certificate(args.cert_dir)
        tls_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls_context.load_cert_chain(cert_path, key_path)
        if args.tls_max == "1.2":
            tls_context.maximum_version = ssl.TLSVersion.TLSv1_2

        def remember_sni(ssl_object, server_name, _context):
            handler.sni[id(ssl_object)] = server_name

        tls_context.sni_callback = remember_sni

    def authenticate(_server, session, _envelope, mechanism, auth_data):
        session.auth_mechanism = mechanism
        ok = (
            isinstance(auth_data, LoginPassword)
            and auth_data.login.decode("utf-8", "replace") == args.user
            and auth_data.password.decode("utf-8", "replace") == args.password
        )
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

    use_auth = args.user is not None
    excluded = []
    if args.auth_mechanisms is not None:
        offered = {m.strip().upper() for m in args.auth_mechanisms.split(",") if m.strip()}
        excluded = [m for m in ("LOGIN", "PLAIN") if m not in offered]
    # With implicit TLS the whole connection is protected before aiosmtpd sees it.
    starttls_context = None if args.implicit_tls else tls_context
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)

    def factory():
        number = handler.count_connection()
        smtp = SMTP(
            handler,
            hostname="smtp.test",
            data_size_limit=args.size_limit,
            enable_SMTPUTF8=args.smtputf8,
            tls_context=starttls_context,
            require_starttls=starttls_context is not None,
            authenticator=authenticate if use_auth else None,
            auth_required=use_auth,
            auth_require_tls=starttls_context is not None,
            auth_exclude_mechanism=excluded,
            loop=loop,
        )
        smtp.connection_number = number
        return smtp

    server = loop.run_until_complete(loop.create_server(
        factory, host="127.0.0.1", port=args.port, ssl=tls_context if args.implicit_tls else None))
    port = server.sockets[0].getsockname()[1]
    write_atomically(args.port_file, str(port).encode())
    print(port, flush=True)

    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    parent = os.getppid()

    async def watch_parent():
        while not stop.is_set():
            if os.getppid() != parent:
                stop.set()
            await asyncio.sleep(0.5)

    loop.run_until_complete(asyncio.gather(stop.wait(), watch_parent()))
    server.close()
    loop.run_until_complete(server.wait_closed())
    loop.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
