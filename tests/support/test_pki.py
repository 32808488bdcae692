#!/usr/bin/python3
"""A test certificate authority and server certificates made on the spot.

Writes into OUT-DIR, each certificate with its key (<name>.key) and with the chain a
server sends (<name>.pem: the certificate, then the CA's unless self-signed):

    ca.crt / ca.der   the test root, to be trusted by the client under test
    good              issued by the CA to localhost and 127.0.0.1, valid now
    wrong_name        issued by the CA to mail.other.test only
    expired           issued by the CA, ended 30 days ago
    not_yet_valid     issued by the CA, starts in 30 days
    self_signed       localhost and 127.0.0.1, signed by its own key

and pki.json: {name: {"spki_sha256": hex, "subject": ..., "issuer": ...}, "ca_sha1": hex}
(the SHA-256 of each certificate's SubjectPublicKeyInfo, which a pin names, and the
CA's SHA-1 thumbprint, which names it in a Windows certificate store).

The loopback certificates name 127.0.0.1 both as an address and as a DNS name: some
certificate checks look at DNS names only.

    test_pki.py OUT-DIR
"""

import datetime
import hashlib
import ipaddress
import json
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smtp_server import write_atomically  # noqa: E402

LOOPBACK = [x509.DNSName("localhost"), x509.DNSName("127.0.0.1"), x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]


def name(common_name):
    return x509.Name([x509.NameAttribute(NameOID.ORGANIZATION_NAME, "Eq Test"),
                      x509.NameAttribute(NameOID.COMMON_NAME, common_name)])


def spki_sha256(cert):
    der = cert.public_key().public_bytes(serialization.Encoding.DER, serialization.PublicFormat.SubjectPublicKeyInfo)
    return hashlib.sha256(der).hexdigest()


def key_pem(key):
    return key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                             serialization.NoEncryption())


def build(subject, issuer, public_key, signing_key, start, end, sans, is_ca):
    builder = (x509.CertificateBuilder()
               .subject_name(subject)
               .issuer_name(issuer)
               .public_key(public_key)
               .serial_number(x509.random_serial_number())
               .not_valid_before(start)
               .not_valid_after(end)
               .add_extension(x509.BasicConstraints(ca=is_ca, path_length=None), critical=True))
    if is_ca:
        builder = builder.add_extension(
            x509.KeyUsage(digital_signature=True, content_commitment=False, key_encipherment=False,
                          data_encipherment=False, key_agreement=False, key_cert_sign=True, crl_sign=True,
                          encipher_only=False, decipher_only=False), critical=True)
    else:
        builder = builder.add_extension(x509.SubjectAlternativeName(sans), critical=False)
        builder = builder.add_extension(x509.ExtendedKeyUsage([x509.oid.ExtendedKeyUsageOID.SERVER_AUTH]),
                                        critical=False)
    return builder.sign(signing_key, hashes.SHA256())


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    day = datetime.timedelta(days=1)

    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca_name = name("Eq Test Root CA")
    ca = build(ca_name, ca_name, ca_key.public_key(), ca_key, now - 2 * day, now + 365 * day, [], True)
    ca_pem = ca.public_bytes(serialization.Encoding.PEM)
    write_atomically(os.path.join(out, "ca.crt"), ca_pem)
    write_atomically(os.path.join(out, "ca.der"), ca.public_bytes(serialization.Encoding.DER))
    write_atomically(os.path.join(out, "ca.key"), key_pem(ca_key))

    # name: (common name, names, start, end, signed by the CA)
    leaves = {
        "good": ("localhost", LOOPBACK, now - day, now + 30 * day, True),
        "wrong_name": ("mail.other.test", [x509.DNSName("mail.other.test")], now - day, now + 30 * day, True),
        "expired": ("localhost", LOOPBACK, now - 60 * day, now - 30 * day, True),
        "not_yet_valid": ("localhost", LOOPBACK, now + 30 * day, now + 60 * day, True),
        "self_signed": ("localhost", LOOPBACK, now - day, now + 30 * day, False),
    }
    info = {"ca_sha1": hashlib.sha1(ca.public_bytes(serialization.Encoding.DER)).hexdigest().upper()}
    for leaf, (cn, sans, start, end, by_ca) in leaves.items():
        key = ec.generate_private_key(ec.SECP256R1())
        subject = name(cn)
        cert = build(subject, ca_name if by_ca else subject, key.public_key(), ca_key if by_ca else key,
                     start, end, sans, False)
        chain = cert.public_bytes(serialization.Encoding.PEM) + (ca_pem if by_ca else b"")
        write_atomically(os.path.join(out, leaf + ".pem"), chain)
        write_atomically(os.path.join(out, leaf + ".key"), key_pem(key))
        info[leaf] = {"spki_sha256": spki_sha256(cert), "subject": cert.subject.rfc4514_string(),
                      "issuer": cert.issuer.rfc4514_string()}
    write_atomically(os.path.join(out, "pki.json"), json.dumps(info, indent=1).encode())
    return 0


if __name__ == "__main__":
    sys.exit(main())
