#!/usr/bin/python3
"""An OAuth 2.0 identity provider on loopback for tests, over HTTPS with a test CA.

At start-up it makes a test CA and a server certificate for 127.0.0.1 (only)
signed by it, and a service account key, all in --dir:

    <dir>/tls/ca.crt         the CA that tests trust (SSL_CERT_FILE, a Wine root store)
    <dir>/tls/server.crt     the server's certificate followed by the CA (the full chain)
    <dir>/service-account.json  a service account key (private key, client_email, token_uri)
    <dir>/port               the port, written once the server listens
    <dir>/requests.json      every token-endpoint request so far (grant type, client,
                             scope, status, error), rewritten after each one

Endpoints (any path prefix, so a tenant's "/<tenant>/oauth2/v2.0/token" works too):
    POST .../token       client_credentials, refresh_token (rotated when --rotate),
                         urn:ietf:params:oauth:grant-type:jwt-bearer (RS256, checked with
                         the key's public half), urn:ietf:params:oauth:grant-type:device_code
    POST .../devicecode  the device authorization request (RFC 8628)
    POST .../introspect  token introspection: {"active": true, "username": ...}
    POST /control/approve?user_code=C, /control/deny?user_code=C,
         /control/revoke?refresh_token=T, /control/revoke?access_tokens=all (introspection
         calls every token given so far inactive), /control/slow_down (the next poll answers slow_down),
         /control/device_expires_in?seconds=N (the lifetime of codes given from then on)

Stops on SIGTERM or SIGINT and when the process that started it goes away.

    identity_provider.py --dir D [--client ID:SECRET]... [--app-user MAILBOX]
        [--refresh-token TOKEN:USER]... [--rotate] [--expires-in N] [--device-user USER]
        [--device-interval N] [--device-expires-in N] [--scope S]...
    (the scopes a client or a service account may ask for; by default Microsoft's
    application scope and Google's mail scope)
"""

import argparse
import base64
import datetime
import http.server
import ipaddress
import json
import os
import secrets
import signal
import ssl
import sys
import threading
import time
import urllib.parse

from cryptography import x509
from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa
from cryptography.x509.oid import NameOID


def write_atomically(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def make_tls(tls_dir):
    os.makedirs(tls_dir, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc)
    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca_name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Test Identity CA")])
    ca = (
        x509.CertificateBuilder()
        .subject_name(ca_name).issuer_name(ca_name).public_key(ca_key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(days=1)).not_valid_after(now + datetime.timedelta(days=30))
        .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
        .add_extension(x509.KeyUsage(digital_signature=True, key_cert_sign=True, crl_sign=True,
                                     content_commitment=False, key_encipherment=False, data_encipherment=False,
                                     key_agreement=False, encipher_only=False, decipher_only=False), critical=True)
        .add_extension(x509.SubjectKeyIdentifier.from_public_key(ca_key.public_key()), critical=False)
        .sign(ca_key, hashes.SHA256())
    )
    key = ec.generate_private_key(ec.SECP256R1())
    # Wine's check reads only DNS entries, so 127.0.0.1 is there as a DNS name too.
    # "localhost" is left out on purpose: tests reach the server by that name to see a name
    # mismatch refused.
    san = x509.SubjectAlternativeName([x509.IPAddress(ipaddress.ip_address("127.0.0.1")), x509.DNSName("127.0.0.1")])
    cert = (
        x509.CertificateBuilder()
        .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "127.0.0.1")]))
        .issuer_name(ca_name).public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(days=1)).not_valid_after(now + datetime.timedelta(days=30))
        .add_extension(san, critical=False)
        .add_extension(x509.ExtendedKeyUsage([x509.oid.ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
        .add_extension(x509.AuthorityKeyIdentifier.from_issuer_public_key(ca_key.public_key()), critical=False)
        .sign(ca_key, hashes.SHA256())
    )
    pem = lambda c: c.public_bytes(serialization.Encoding.PEM)
    write_atomically(os.path.join(tls_dir, "ca.crt"), pem(ca))
    write_atomically(os.path.join(tls_dir, "server.crt"), pem(cert) + pem(ca))
    write_atomically(os.path.join(tls_dir, "server.key"), key.private_bytes(
        serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8, serialization.NoEncryption()))


def b64url_decode(text):
    return base64.urlsafe_b64decode(text + "=" * (-len(text) % 4))


class Provider:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.clients = dict(c.split(":", 1) for c in args.client)
        self.refresh_tokens = dict(t.split(":", 1) for t in args.refresh_token)
        self.access_tokens = {}   # token -> (user, expiry)
        self.devices = {}         # device_code -> dict(user_code, state, expiry, client)
        self.slow_down_next = False
        self.requests = []
        self.sa_key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
        self.sa_email = "robot-signer@test-project.iam.example.test"

    def write_service_account(self, port):
        key = {
            "type": "service_account",
            "project_id": "test-project",
            "private_key_id": "k1",
            "private_key": self.sa_key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                                     serialization.NoEncryption()).decode(),
            "client_email": self.sa_email,
            "client_id": "1000",
            "token_uri": "https://127.0.0.1:%d/token" % port,
        }
        write_atomically(os.path.join(self.args.dir, "service-account.json"), json.dumps(key, indent=2).encode())

    def record(self, entry):
        self.requests.append(entry)
        write_atomically(os.path.join(self.args.dir, "requests.json"), json.dumps(self.requests).encode())

    def issue(self, user, refresh=None, scope=None):
        token = "at-" + secrets.token_hex(16)
        self.access_tokens[token] = (user, time.time() + max(self.args.expires_in, 1))
        answer = {"access_token": token, "token_type": "Bearer", "expires_in": self.args.expires_in}
        if scope:
            answer["scope"] = scope
        if refresh:
            answer["refresh_token"] = refresh
        return 200, answer

    def client_ok(self, form, secret_required):
        client = form.get("client_id", "")
        if client not in self.clients:
            return False
        secret = form.get("client_secret")
        if secret is None:
            return not secret_required
        return secret == self.clients[client]

    def token(self, form, url):
        grant = form.get("grant_type", "")
        if grant == "client_credentials":
            if not self.client_ok(form, True):
                return 401, {"error": "invalid_client", "error_description": "AADSTS7000215: Invalid client secret provided."}
            if form.get("scope") not in self.args.scope:
                return 400, {"error": "invalid_scope", "error_description": "AADSTS70011: The provided value for scope is not valid."}
            return self.issue(self.args.app_user, scope=form["scope"])
        if grant == "refresh_token":
            if not self.client_ok(form, False):
                return 401, {"error": "invalid_client"}
            old = form.get("refresh_token", "")
            user = self.refresh_tokens.get(old)
            if user is None:
                return 400, {"error": "invalid_grant", "error_description": "AADSTS70008: The refresh token has expired or is invalid."}
            refresh = None
            if self.args.rotate:
                del self.refresh_tokens[old]
                refresh = "rt-" + secrets.token_hex(16)
                self.refresh_tokens[refresh] = user
            return self.issue(user, refresh)
        if grant == "urn:ietf:params:oauth:grant-type:jwt-bearer":
            return self.jwt_bearer(form.get("assertion", ""), url)
        if grant == "urn:ietf:params:oauth:grant-type:device_code":
            device = self.devices.get(form.get("device_code", ""))
            if device is None or device["client"] != form.get("client_id"):
                return 400, {"error": "invalid_grant"}
            if time.time() > device["expiry"]:
                return 400, {"error": "expired_token"}
            if device["state"] == "denied":
                return 400, {"error": "access_denied"}
            if device["state"] == "approved":
                del self.devices[form["device_code"]]
                refresh = "rt-" + secrets.token_hex(16)
                self.refresh_tokens[refresh] = self.args.device_user
                return self.issue(self.args.device_user, refresh)
            if self.slow_down_next:
                self.slow_down_next = False
                return 400, {"error": "slow_down"}
            return 400, {"error": "authorization_pending"}
        return 400, {"error": "unsupported_grant_type"}

    def jwt_bearer(self, assertion, url):
        try:
            head, body, signature = assertion.split(".")
            header = json.loads(b64url_decode(head))
            claims = json.loads(b64url_decode(body))
            if header.get("alg") != "RS256":
                raise ValueError("alg")
            self.sa_key.public_key().verify(b64url_decode(signature), (head + "." + body).encode(),
                                            padding.PKCS1v15(), hashes.SHA256())
        except (ValueError, InvalidSignature, KeyError):
            return 400, {"error": "invalid_grant", "error_description": "Invalid JWT Signature."}
        now = time.time()
        if claims.get("iss") != self.sa_email or claims.get("aud") != url:
            return 400, {"error": "invalid_grant", "error_description": "Invalid JWT: issuer or audience."}
        if not (claims.get("iat", 0) - 300 <= now <= claims.get("exp", 0) + 300) or claims["exp"] - claims["iat"] > 3600:
            return 400, {"error": "invalid_grant", "error_description": "Invalid JWT: Token must be a short-lived token."}
        if claims.get("scope") not in self.args.scope:
            return 400, {"error": "invalid_scope"}
        if not claims.get("sub"):
            return 400, {"error": "unauthorized_client"}
        return self.issue(claims["sub"], scope=claims["scope"])

    def device_code(self, form):
        if form.get("client_id") not in self.clients:
            return 400, {"error": "invalid_client"}
        device_code = "dc-" + secrets.token_hex(16)
        user_code = secrets.token_hex(4).upper()
        self.devices[device_code] = {"user_code": user_code, "state": "pending", "client": form["client_id"],
                                     "expiry": time.time() + self.args.device_expires_in}
        return 200, {"device_code": device_code, "user_code": user_code,
                     "verification_uri": "https://127.0.0.1/device", "expires_in": self.args.device_expires_in,
                     "interval": self.args.device_interval,
                     "message": "To sign in, open https://127.0.0.1/device and enter the code " + user_code}

    def introspect(self, form):
        entry = self.access_tokens.get(form.get("token", ""))
        if entry is None or entry[1] < time.time():
            return 200, {"active": False}
        return 200, {"active": True, "username": entry[0]}

    def control(self, path, query):
        if path == "/control/slow_down":
            self.slow_down_next = True
            return 200, {}
        if path in ("/control/approve", "/control/deny"):
            for device in self.devices.values():
                if device["user_code"] == query.get("user_code"):
                    device["state"] = "approved" if path.endswith("approve") else "denied"
                    return 200, {}
            return 404, {}
        if path == "/control/revoke":
            self.refresh_tokens.pop(query.get("refresh_token"), None)
            if query.get("access_tokens") == "all":
                self.access_tokens.clear()
            return 200, {}
        if path == "/control/device_expires_in":
            self.args.device_expires_in = int(query.get("seconds", "600"))
            return 200, {}
        if path == "/control/codes":
            return 200, {"user_codes": [d["user_code"] for d in self.devices.values()]}
        return 404, {}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body):
        data = json.dumps(body).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        self.answer(404, {"error": "not_found", "path": self.path})

    def do_POST(self):
        provider = self.server.provider
        length = int(self.headers.get("Content-Length", "0"))
        raw = self.rfile.read(length).decode("utf-8", "replace")
        url = urllib.parse.urlsplit(self.path)
        form = dict(urllib.parse.parse_qsl(raw, keep_blank_values=True))
        query = dict(urllib.parse.parse_qsl(url.query))
        with provider.lock:
            if url.path.startswith("/control/"):
                status, body = provider.control(url.path, query)
            elif url.path.endswith("/token"):
                own_url = "https://127.0.0.1:%d%s" % (self.server.server_address[1], url.path)
                status, body = provider.token(form, own_url)
                provider.record({"path": url.path, "grant_type": form.get("grant_type"),
                                 "client_id": form.get("client_id"), "scope": form.get("scope"),
                                 "content_type": self.headers.get("Content-Type"),
                                 "status": status, "error": body.get("error")})
            elif url.path.endswith("/devicecode"):
                status, body = provider.device_code(form)
            elif url.path.endswith("/introspect"):
                status, body = provider.introspect(form)
            else:
                status, body = 404, {"error": "not_found"}
        self.answer(status, body)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--client", action="append", default=[])
    parser.add_argument("--app-user", default="robot@example.com")
    parser.add_argument("--refresh-token", action="append", default=[])
    parser.add_argument("--rotate", action="store_true")
    parser.add_argument("--expires-in", type=int, default=3600)
    parser.add_argument("--scope", action="append", default=[])
    parser.add_argument("--device-user", default="person@example.com")
    parser.add_argument("--device-interval", type=int, default=1)
    parser.add_argument("--device-expires-in", type=int, default=600)
    args = parser.parse_args()
    args.scope = args.scope or ["https://outlook.office365.com/.default", "https://mail.google.com/"]

    os.makedirs(args.dir, exist_ok=True)
    tls_dir = os.path.join(args.dir, "tls")
    make_tls(tls_dir)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(tls_dir, "server.crt"), os.path.join(tls_dir, "server.key"))

    provider = Provider(args)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.socket = context.wrap_socket(server.socket, server_side=True)
    server.provider = provider
    port = server.server_address[1]
    provider.write_service_account(port)
    write_atomically(os.path.join(args.dir, "port"), str(port).encode())
    print(port, flush=True)

    stop = lambda *_: threading.Thread(target=server.shutdown).start()
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    parent = os.getppid()

    def watch_parent():
        while os.getppid() == parent:
            time.sleep(0.5)
        server.shutdown()

    threading.Thread(target=watch_parent, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
