#!/usr/bin/python3
"""Scripted SMTP servers on loopback for the sender's failure paths.

Each scenario below listens on a port of its own and plays its script to every client:
what a real server will not do on demand (refusals at chosen steps, dropped connections,
silence, endless replies, a broken or old TLS handshake). What each client sent is
written to <log-dir>/<scenario>.log when its connection ends, one command per line; the
message text after DATA shows as "<message: terminated>" or "<message: unterminated>".

    fault_server.py --port-file F --log-dir D --cert-dir C

The port file receives {"scenario": port, ...} as JSON once every port listens. The
server stops on SIGTERM and when the process that started it goes away.
"""

import argparse
import base64
import warnings
import json
import os
import socket
import ssl
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from smtp_server import make_certificate, wait_until_stopped, write_atomically  # noqa: E402

# TLS 1.0 is old on purpose here: the sender must still manage it.
warnings.filterwarnings("ignore", category=DeprecationWarning)

EHLO_PLAIN = "250-fault.test\r\n250 8BITMIME"
EHLO_TLS = "250-fault.test\r\n250-STARTTLS\r\n250 8BITMIME"
EHLO_AUTH = "250-fault.test\r\n250 AUTH LOGIN"
EHLO_PIPELINING = "250-fault.test\r\n250-PIPELINING\r\n250 8BITMIME"
GREETING = "220 fault.test ESMTP"
OK = "250 2.0.0 OK"
GO_AHEAD = "354 End data with <CR><LF>.<CR><LF>"

# Scripts: ("send", reply) writes a reply; ("expect",) reads one command; ("data",)
# reads the message text; ("tls", version) runs the server side of a TLS handshake;
# ("close",) drops the connection; ("silent",) answers nothing until the client goes;
# ("stall",) stops reading altogether; ("endless", text) sends text forever;
# ("drip", line, count, seconds) sends the line count times, one every so many seconds;
# ("rest",) answers DATA with 354 (then takes the message and answers 250), QUIT with
# 221 and anything else with 250; ("rest", options) does so too, each answer after
# options["delay"] seconds, and with options["quit"] == "silent" answers QUIT with
# nothing: it waits up to 10 s for the client to hang up and logs "<client hung up>"
# or "<client still there>".
# ("echo", template) writes the template with {last} replaced by the last command read and
# {decoded} by its Base64 decoding: a server that repeats what it was sent.
# ("rest", {"pad": n}) answers with n more bytes of text after each 250, and
# ("send_lf", reply) writes a reply with bare LF line ends; ("split", reply) writes it a
# few bytes at a time, each piece a segment of its own; ("trickle", reply, seconds)
# writes one byte every so many seconds; ("raw_read",) reads whatever bytes come next
# (a TLS client's first flight); ("data_part", lines) reads that many lines of the
# message text and drops the connection; ("slow_data", size, seconds) reads the message
# text size bytes at a time with a pause after each.
HAPPY_END = [("expect",), ("send", OK), ("expect",), ("send", OK), ("expect",), ("send", GO_AHEAD),
             ("data",), ("send", OK), ("rest",)]

SCENARIOS = {
    "accept": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN)] + HAPPY_END,
    # Takes any envelope: as many recipients as the client gives.
    "lenient": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("rest",)],
    "starttls_454": [("send", GREETING), ("expect",), ("send", EHLO_TLS), ("expect",),
                     ("send", "454 4.7.0 TLS not available due to local problem"), ("rest",)],
    "handshake_garbage": [("send", GREETING), ("expect",), ("send", EHLO_TLS), ("expect",),
                          ("send", "220 2.0.0 Ready to start TLS"), ("send", "this is not TLS at all"),
                          ("close",)],
    "rcpt2_550": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("expect",), ("send", OK),
                  ("expect",), ("send", OK), ("expect",),
                  ("send", "550 5.1.1 <b@fault.test>: Recipient address rejected: User unknown"), ("rest",)],
    "mail_from_550": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("expect",),
                      ("send", "550 5.7.1 Sender address rejected: Access denied"), ("rest",)],
    "mail_from_451": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("expect",),
                      ("send", "451 4.3.2 Please try again later"), ("rest",)],
    # A lone CR inside a reply, followed by what would pass for a line of the event log.
    "reply_with_cr": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("expect",),
                      ("send", "550 5.7.1 refused\r2026.12.10 00:00:00.000\tINFO\tTDevice: \tforged"), ("rest",)],
    "data_end_554": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN)] + HAPPY_END[:7]
    + [("send", "554 5.6.0 Message content rejected"), ("rest",)],
    "data_end_451": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN)] + HAPPY_END[:7]
    + [("send", "451 4.7.1 Greylisted, come back later"), ("rest",)],
    "auth_plain_only": [("send", GREETING), ("expect",), ("send", "250-fault.test\r\n250 AUTH PLAIN")] + HAPPY_END,
    "helo_fallback": [("send", GREETING), ("expect",), ("send", "502 5.5.2 Error: command not recognized"),
                      ("expect",), ("send", "250 fault.test")] + HAPPY_END,
    # Answers the message before it came, then goes: nothing was delivered.
    "early_reply": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN)] + HAPPY_END[:5]
    + [("send", GO_AHEAD + "\r\n" + OK), ("close",)],
    # Takes the whole envelope before it answers: only a client that pipelines gets on.
    "pipelining": [("send", GREETING), ("expect",), ("send", EHLO_PIPELINING), ("expect",), ("expect",), ("expect",),
                   ("send", OK + "\r\n" + OK + "\r\n" + OK)] + HAPPY_END[4:],
    "pipelining_rcpt2_550": [("send", GREETING), ("expect",), ("send", EHLO_PIPELINING), ("expect",), ("expect",),
                             ("expect",), ("expect",),
                             ("send", OK + "\r\n" + OK + "\r\n550 5.1.1 <b@fault.test>: User unknown\r\n" + OK),
                             ("rest",)],
    "close_before_greeting": [("close",)],
    "close_after_ehlo": [("send", GREETING), ("expect",), ("close",)],
    "close_after_mail_from": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("expect",), ("close",)],
    "close_after_rcpt": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("expect",), ("send", OK),
                         ("expect",), ("close",)],
    "close_after_data": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN)] + HAPPY_END[:5] + [("close",)],
    "close_after_dot": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN)] + HAPPY_END[:7] + [("close",)],
    "silent": [("silent",)],
    "silent_after_dot": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN)] + HAPPY_END[:7] + [("silent",)],
    "stall_in_data": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN)] + HAPPY_END[:6] + [("stall",)],
    "endless_reply": [("send", GREETING), ("expect",), ("endless", "250-AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\n")],
    "endless_line": [("endless", "220 " + "x" * 1000)],
    # A multi-line EHLO reply, one line every 0.3 s for 6 s: alive, but far too slow.
    "drip_ehlo": [("send", GREETING), ("expect",), ("drip", "250-fault.test", 20, 0.3), ("send", "250 8BITMIME"),
                  ("rest",)],
    # Every reply a little late: each one in time, the whole dialogue not.
    "slow_replies": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("rest", {"delay": 0.3})],
    "quit_unanswered": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("rest", {"quit": "silent"})],
    "tls10_login": [("send", GREETING), ("expect",), ("send", EHLO_TLS), ("expect",),
                    ("send", "220 2.0.0 Ready to start TLS"), ("tls", "TLSv1"), ("expect",),
                    ("send", EHLO_AUTH), ("expect",), ("send", "334 VXNlcm5hbWU6"), ("expect",),
                    ("send", "334 UGFzc3dvcmQ6"), ("expect",), ("send", "235 2.7.0 Authentication successful")]
    + HAPPY_END,
    # Every reply in several lines, the last one deciding.
    "multiline": [("send", "220-fault.test ESMTP\r\n220-no UCE\r\n220 ready"), ("expect",),
                  ("send", "250-fault.test greets you\r\n250-SIZE 10240000\r\n250 8BITMIME"), ("expect",),
                  ("send", "250-2.1.0 Sender\r\n250 2.1.0 OK"), ("expect",),
                  ("send", "250-2.1.5 Recipient\r\n250 2.1.5 OK"), ("expect",),
                  ("send", "354-Go ahead\r\n354 End with <CR><LF>.<CR><LF>"), ("data",),
                  ("send", "250-2.0.0 Queued\r\n250 2.0.0 as 4F2A"), ("rest",)],
    "multiline_550": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("expect",),
                      ("send", "550-5.7.1 Sender rejected\r\n550-5.7.1 see the policy\r\n550 5.7.1 for details"),
                      ("rest",)],
    "lf_only": [("send_lf", GREETING), ("expect",), ("send_lf", "250-fault.test\r\n250 8BITMIME"), ("expect",),
                ("send_lf", OK), ("expect",), ("send_lf", OK), ("expect",), ("send_lf", GO_AHEAD), ("data",),
                ("send_lf", OK), ("expect",), ("send_lf", "221 2.0.0 Bye")],
    "split_replies": [("split", GREETING), ("expect",), ("split", EHLO_PLAIN), ("expect",), ("split", OK),
                      ("expect",), ("split", OK), ("expect",), ("split", GO_AHEAD), ("data",), ("split", OK),
                      ("expect",), ("split", "221 2.0.0 Bye")],
    "garbage_reply": [("send", GREETING), ("expect",), ("send", "Hello, this is no reply at all"), ("rest",)],
    # Plain-text bytes after the 220 to STARTTLS, in the same segment: once TLS runs
    # they would pass for the server's first protected reply.
    "starttls_injection": [("send", GREETING), ("expect",), ("send", EHLO_TLS), ("expect",),
                           ("send", "220 2.0.0 Ready to start TLS\r\n250-injected\r\n250 AUTH LOGIN"),
                           ("tls", ""), ("rest",)],
    "close_in_handshake": [("send", GREETING), ("expect",), ("send", EHLO_TLS), ("expect",),
                           ("send", "220 2.0.0 Ready to start TLS"), ("raw_read",), ("close",)],
    "auth_535": [("send", GREETING), ("expect",), ("send", EHLO_AUTH), ("expect",), ("send", "334 VXNlcm5hbWU6"),
                 ("expect",), ("send", "334 UGFzc3dvcmQ6"), ("expect",),
                 ("send", "535 5.7.8 Error: authentication failed: authentication failure"), ("rest",)],
    "auth_challenge_not_base64": [("send", GREETING), ("expect",), ("send", EHLO_AUTH), ("expect",),
                                  ("send", "334 Who are you?!"), ("expect",), ("send", "334 And the word?!"),
                                  ("expect",), ("send", "235 2.7.0 Authentication successful")] + HAPPY_END,
    "rcpt2_450": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("expect",), ("send", OK),
                  ("expect",), ("send", OK), ("expect",),
                  ("send", "450 4.2.0 <b@fault.test>: Recipient address rejected: Greylisted"), ("rest",)],
    "close_in_message": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN)] + HAPPY_END[:6]
    + [("data_part", 20), ("close",)],
    "slow_reader": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN)] + HAPPY_END[:6]
    + [("slow_data", 4096, 0.02), ("send", OK), ("rest",)],
    # What an attacker in the path makes of a server that offers STARTTLS: the same
    # server without it, taking a login in clear text and the message after it.
    "strip_starttls": [("send", GREETING), ("expect",), ("send", EHLO_AUTH), ("expect",), ("send", "334 VXNlcm5hbWU6"),
                       ("expect",), ("send", "334 UGFzc3dvcmQ6"), ("expect",),
                       ("send", "235 2.7.0 Authentication successful")] + HAPPY_END,
    # A TLS alert where the greeting should be: a port that takes TLS from the first byte
    # and tells a plain-text client so.
    "tls_alert_greeting": [("send", "\x15\x03\x01\x00\x02\x02\x46"), ("close",)],
    # The greeting one byte a second: the line would take 22 s.
    "tarpit": [("trickle", GREETING, 1.0), ("rest",)],
    # Answers each command as it reads it, every answer long, its own sending buffer small:
    # a client that writes a long envelope without reading fills it and the server stops
    # reading.
    "pipelining_each": [("send", GREETING), ("expect",), ("send", EHLO_PIPELINING), ("rest", {"pad": 200})],
    # A refusal with a NUL, terminal control sequences (ESC, BEL, a C1 CSI) and text after
    # the NUL.
    "reply_with_controls": [("send", GREETING), ("expect",), ("send", EHLO_PLAIN), ("expect",),
                            ("send", "550 5.7.1 refused\x00after NUL \x1b[2J\x1b]0;title\x07 \u009b31m end"),
                            ("rest",)],
    # Repeats the login it was sent: the user name's line as a challenge, the password's
    # line in the refusal, both also decoded.
    "echo_credentials": [("send", GREETING), ("expect",), ("send", EHLO_AUTH), ("expect",),
                         ("send", "334 VXNlcm5hbWU6"), ("expect",), ("echo", "334 {last} means {decoded}"),
                         ("expect",), ("echo", "535 5.7.8 {last} is not {decoded}"), ("rest",)],
}


class Connection:
    def __init__(self, sock, cert_paths):
        self.sock = sock
        self.cert_paths = cert_paths
        self.buffer = b""
        self.log = []

    def read_line(self):
        while b"\n" not in self.buffer:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError
            self.buffer += chunk
        line, _, self.buffer = self.buffer.partition(b"\n")
        return line.rstrip(b"\r").decode("utf-8", "replace")

    def send(self, text):
        self.sock.sendall(text.encode("utf-8") + b"\r\n")

    def read_message(self):
        self.log.append("<message: unterminated>")
        while self.read_line() != ".":
            pass
        self.log[-1] = "<message: terminated>"

    def start_tls(self, version):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*self.cert_paths)
        if version == "TLSv1":
            context.set_ciphers("DEFAULT:@SECLEVEL=0")
            context.minimum_version = ssl.TLSVersion.TLSv1
            context.maximum_version = ssl.TLSVersion.TLSv1
        self.sock = context.wrap_socket(self.sock, server_side=True)
        self.log.append("<tls %s>" % self.sock.version())

    def wait_for_close(self, timeout=None):
        """True once the client hung up, False when `timeout` seconds passed first."""
        self.sock.settimeout(timeout)
        try:
            while self.sock.recv(65536):
                pass
        except socket.timeout:
            return False
        except OSError:
            pass
        return True

    def play(self, script):
        for step in script:
            kind = step[0]
            if kind == "send":
                self.send(step[1])
            elif kind == "expect":
                self.log.append(self.read_line())
            elif kind == "data":
                self.read_message()
            elif kind == "tls":
                self.start_tls(step[1])
            elif kind == "close":
                return
            elif kind == "silent":
                self.wait_for_close()
                return
            elif kind == "stall":
                # Read nothing more: the client's writes back up until it gives up.
                # Unread data hides its leaving, so the connection is simply dropped
                # after a while.
                time.sleep(60)
                return
            elif kind == "endless":
                data = step[1].encode()
                while True:
                    self.sock.sendall(data * 64)
            elif kind == "drip":
                _, line, count, seconds = step
                for _ in range(count):
                    self.send(line)
                    time.sleep(seconds)
            elif kind == "echo":
                last = self.log[-1]
                decoded = base64.b64decode(last).decode("utf-8", "replace")
                self.send(step[1].format(last=last, decoded=decoded))
            elif kind == "send_lf":
                self.sock.sendall(step[1].replace("\r\n", "\n").encode() + b"\n")
            elif kind == "split":
                self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                data = step[1].encode() + b"\r\n"
                for at in range(0, len(data), 3):
                    self.sock.sendall(data[at:at + 3])
                    time.sleep(0.002)
            elif kind == "trickle":
                self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                for byte in step[1].encode() + b"\r\n":
                    self.sock.sendall(bytes([byte]))
                    time.sleep(step[2])
            elif kind == "raw_read":
                if not self.sock.recv(65536):
                    raise EOFError
                self.log.append("<bytes read>")
            elif kind == "data_part":
                for _ in range(step[1]):
                    self.read_line()
                self.log.append("<message: dropped>")
            elif kind == "slow_data":
                _, size, seconds = step
                self.log.append("<message: unterminated>")
                while not self.buffer.endswith(b"\r\n.\r\n"):
                    chunk = self.sock.recv(size)
                    if not chunk:
                        raise EOFError
                    self.buffer += chunk
                    time.sleep(seconds)
                self.buffer = b""
                self.log[-1] = "<message: terminated>"
            elif kind == "rest":
                options = step[1] if len(step) > 1 else {}
                while True:
                    command = self.read_line()
                    self.log.append(command)
                    if options.get("delay"):
                        time.sleep(options["delay"])
                    if command.upper() == "QUIT":
                        if options.get("quit") == "silent":
                            self.log.append("<client hung up>" if self.wait_for_close(10) else "<client still there>")
                        else:
                            self.send("221 2.0.0 Bye")
                        return
                    if command.upper() == "DATA":
                        self.send(GO_AHEAD)
                        self.read_message()
                    self.send(OK + " " + "x" * options.get("pad", 0) if options.get("pad") else OK)


def serve(name, listener, script, log_dir, cert_paths):
    while True:
        try:
            sock, _ = listener.accept()
        except OSError:
            return
        conn = Connection(sock, cert_paths)
        try:
            conn.play(script)
        except (EOFError, OSError, ssl.SSLError):
            pass
        finally:
            try:
                conn.sock.close()
            except OSError:
                pass
            write_atomically(os.path.join(log_dir, name + ".log"), ("\n".join(conn.log) + "\n").encode())


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log-dir", required=True)
    parser.add_argument("--cert-dir", required=True)
    args = parser.parse_args()
    os.makedirs(args.log_dir, exist_ok=True)
    cert_paths = make_certificate(args.cert_dir)

    ports = {}
    keep = []
    for name, script in SCENARIOS.items():
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if name in ("stall_in_data", "slow_reader"):
            # Small buffers on our side, so the client's writes back up soon.
            listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        if name == "pipelining_each":
            # Answers back up soon when the client does not read them, and so do commands
            # the server does not read.
            listener.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 4096)
            listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        listener.bind(("127.0.0.1", 0))
        listener.listen(8)
        ports[name] = listener.getsockname()[1]
        keep.append(listener)
        threading.Thread(target=serve, args=(name, listener, script, args.log_dir, cert_paths), daemon=True).start()

    # A port where nothing listens: bound, so nobody else takes it, but connections to
    # it are refused.
    refused = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    refused.bind(("127.0.0.1", 0))
    ports["refused"] = refused.getsockname()[1]
    keep.append(refused)

    # A port that never completes a connection: its accept queue is full and nobody
    # accepts, so the kernel drops further connection requests.
    blackhole = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    blackhole.bind(("127.0.0.1", 0))
    blackhole.listen(0)
    ports["blackhole"] = blackhole.getsockname()[1]
    keep.append(blackhole)
    for _ in range(4):
        filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        filler.setblocking(False)
        try:
            filler.connect(("127.0.0.1", ports["blackhole"]))
        except BlockingIOError:
            pass
        keep.append(filler)

    write_atomically(args.port_file, json.dumps(ports).encode())

    wait_until_stopped()
    return 0


if __name__ == "__main__":
    sys.exit(main())
