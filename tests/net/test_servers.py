#!/usr/bin/python3
"""TLS and TCP servers on loopback for the network layer's tests.

Each scenario listens on a port of its own. After the handshake a TLS server answers
every line the client sends with "echo " and the line, until the client goes.

    tls12        TLS 1.2 only, a chain from the test CA (leaf and CA sent) for localhost,
                 127.0.0.1 (as an address and, for Wine, as a DNS name)
    tls10        TLS 1.0 only (and so SHA-1 signatures), same chain
    tls13        TLS 1.3 only, same chain
    expired      TLS 1.2, a leaf from the test CA that expired yesterday
    renegotiate  TLS 1.2; after the first line the server asks for a new handshake
                 (HelloRequest) and completes it before it answers (waiting a second
                 for a client that declines); each answer ends with " renegotiated"
                 once that handshake is done, " pending" while not
    urgent       plain TCP: one byte of urgent (out-of-band) data, then silence until the
                 client goes

    test_servers.py --port-file F --cert-dir C

The port file receives one "name value" line per scenario (its port), and "ca" (the CA
file, PEM), "ca_der" (the CA in DER, hex) and "key_sha256" (SHA-256 of the leaf's
SubjectPublicKeyInfo, hex), once every port listens: a form a test reads without a JSON
library, on Windows too. The server stops on SIGTERM and when the process that started it
goes away.
"""

import argparse
import datetime
import hashlib
import ipaddress
import os
import select
import socket
import ssl
import sys
import threading
import warnings

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID
from OpenSSL import SSL

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from smtp_server import wait_until_stopped, write_atomically  # noqa: E402

# TLS 1.0 is old on purpose here.
warnings.filterwarnings("ignore", category=DeprecationWarning)


def pem(cert):
    return cert.public_bytes(serialization.Encoding.PEM)


def make_certificates(cert_dir):
    """The test CA, a leaf it issued, and an expired leaf with the same key."""
    os.makedirs(cert_dir, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc)
    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca_name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "eqd test CA")])
    ca = (x509.CertificateBuilder().subject_name(ca_name).issuer_name(ca_name)
          .public_key(ca_key.public_key()).serial_number(x509.random_serial_number())
          .not_valid_before(now - datetime.timedelta(days=2)).not_valid_after(now + datetime.timedelta(days=30))
          .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
          .add_extension(x509.KeyUsage(digital_signature=True, content_commitment=False, key_encipherment=False,
                                       data_encipherment=False, key_agreement=False, key_cert_sign=True,
                                       crl_sign=True, encipher_only=False, decipher_only=False), critical=True)
          .sign(ca_key, hashes.SHA256()))
    key = ec.generate_private_key(ec.SECP256R1())

    def leaf(not_before, not_after):
        return (x509.CertificateBuilder()
                .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "localhost")]))
                .issuer_name(ca_name).public_key(key.public_key()).serial_number(x509.random_serial_number())
                .not_valid_before(not_before).not_valid_after(not_after)
                .add_extension(x509.SubjectAlternativeName([
                    x509.DNSName("localhost"), x509.DNSName("127.0.0.1"),
                    x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]), critical=False)
                .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
                .sign(ca_key, hashes.SHA256()))

    key_path = os.path.join(cert_dir, "leaf.key")
    write_atomically(key_path, key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                                 serialization.NoEncryption()))
    chains = {}
    for name, cert in (("valid", leaf(now - datetime.timedelta(days=1), now + datetime.timedelta(days=30))),
                       ("expired", leaf(now - datetime.timedelta(days=10), now - datetime.timedelta(days=1)))):
        chains[name] = os.path.join(cert_dir, name + ".pem")
        write_atomically(chains[name], pem(cert) + pem(ca))
    ca_path = os.path.join(cert_dir, "ca.pem")
    write_atomically(ca_path, pem(ca))
    spki = key.public_key().public_bytes(serialization.Encoding.DER,
                                         serialization.PublicFormat.SubjectPublicKeyInfo)
    return {"chains": chains, "key": key_path, "ca": ca_path,
            "ca_der": ca.public_bytes(serialization.Encoding.DER).hex(),
            "key_sha256": hashlib.sha256(spki).hexdigest()}


def ssl_context(certs, chain, version):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certs["chains"][chain], certs["key"])
    if version == "TLSv1":
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
    context.minimum_version = getattr(ssl.TLSVersion, version)
    context.maximum_version = getattr(ssl.TLSVersion, version)
    return context


def echo_lines(recv, send, suffix=lambda: "", before_answer=lambda: None):
    buffer = b""
    while True:
        chunk = recv()
        if not chunk:
            return
        buffer += chunk
        while b"\n" in buffer:
            line, _, buffer = buffer.partition(b"\n")
            before_answer()
            send(b"echo " + line.rstrip(b"\r") + suffix().encode() + b"\r\n")


def serve_ssl(sock, context):
    with context.wrap_socket(sock, server_side=True) as tls:
        echo_lines(lambda: tls.recv(65536), tls.sendall)


def serve_renegotiate(sock, certs):
    context = SSL.Context(SSL.TLS_SERVER_METHOD)
    context.set_max_proto_version(SSL.TLS1_2_VERSION)
    context.use_certificate_chain_file(certs["chains"]["valid"])
    context.use_privatekey_file(certs["key"])
    conn = SSL.Connection(context, sock)
    conn.set_accept_state()
    conn.do_handshake()
    asked = False

    def renegotiate():
        # The request (HelloRequest), then the new handshake driven to its end before
        # anything else is sent: the client meets the request while it waits for an
        # answer.
        conn.renegotiate()
        conn.do_handshake()
        sock.setblocking(False)
        try:
            while conn.renegotiate_pending():
                try:
                    if conn.recv(65536):
                        break  # data instead of a handshake: the client ignored the request
                except SSL.WantReadError:
                    # A client may decline by sending nothing; then the answer goes anyway.
                    if conn.renegotiate_pending() and not select.select([sock], [], [], 1)[0]:
                        break
        finally:
            sock.setblocking(True)

    def once():
        nonlocal asked
        if not asked:
            asked = True
            renegotiate()

    def recv():
        try:
            return conn.recv(65536)
        except (SSL.ZeroReturnError, SSL.SysCallError):
            return b""

    def suffix():
        return " pending" if conn.renegotiate_pending() else " renegotiated"

    echo_lines(recv, conn.sendall, suffix, once)


def serve_urgent(sock):
    sock.send(b"!", socket.MSG_OOB)
    while sock.recv(65536):
        pass


def serve(name, listener, certs):
    while True:
        try:
            sock, _ = listener.accept()
        except OSError:
            return
        try:
            if name == "renegotiate":
                serve_renegotiate(sock, certs)
            elif name == "urgent":
                serve_urgent(sock)
            else:
                chain, version = {"tls12": ("valid", "TLSv1_2"), "tls10": ("valid", "TLSv1"),
                                  "tls13": ("valid", "TLSv1_3"), "expired": ("expired", "TLSv1_2")}[name]
                serve_ssl(sock, ssl_context(certs, chain, version))
        except (OSError, ssl.SSLError, SSL.Error):
            pass
        finally:
            sock.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--cert-dir", required=True)
    args = parser.parse_args()
    certs = make_certificates(args.cert_dir)

    ports = {}
    for name in ("tls12", "tls10", "tls13", "expired", "renegotiate", "urgent"):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.bind(("127.0.0.1", 0))
        listener.listen(8)
        ports[name] = listener.getsockname()[1]
        threading.Thread(target=serve, args=(name, listener, certs), daemon=True).start()

    lines = ["%s %d" % item for item in ports.items()]
    lines += ["%s %s" % (name, certs[name]) for name in ("ca", "ca_der", "key_sha256")]
    write_atomically(args.port_file, ("\n".join(lines) + "\n").encode())
    wait_until_stopped()
    return 0


if __name__ == "__main__":
    sys.exit(main())
