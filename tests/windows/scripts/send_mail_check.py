#!/usr/bin/python3
"""Checks the results of send_mail.vbs: its own lines, the message the SMTP server
received (read with Python's e-mail parser, as the Linux end-to-end test reads it), the
envelope, the TLS 1.0 server's transcript, the event log and the call trace the driver
wrote into the folder the script's equipment manager named. Prints "  ok ..." / "  FAIL ..." lines.

    send_mail_check.py RESULT_FILE MAIL_DIR WORK_DIR
"""

import glob
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SUMMARY = os.path.join(HERE, "..", "..", "support", "mail_summary.py")


def main():
    result_file, mail_dir, work_dir = sys.argv[1:4]
    with open(result_file, "rb") as f:
        lines = f.read().decode("utf-16").splitlines()
    got = dict(line.split("=", 1) for line in lines if "=" in line)

    def expect(name, wanted, actual):
        if actual == wanted:
            print("  ok    %s = %s" % (name, wanted))
        else:
            print("  FAIL  %s = %r, wanted %r" % (name, actual, wanted))

    def expect_line(name, wanted):
        expect("VBScript: " + name, wanted, got.get(name))

    expect_line("created", "Object")
    for name in ("init", "open", "enable", "add.to1", "add.to2", "add.cc", "add.bcc", "add.logo", "add.report",
                 "add.base64", "sent.result", "disable", "close", "tls10.enable", "tls10.result"):
        expect_line(name, "True")
    # The script's own object answered the driver's questions by name (IDispatchEx).
    expect_line("manager.calls", "ModelsFolder();Language();DevicesFolder(DEV1);")
    expect_line("settings.bounds", "0..6x0..24")
    expect_line("settings.id3", "SmtpServerName")
    expect_line("settings.value4", "587")
    expect_line("settings.name3", "SMTP сервер")
    # The failure shape: False, OutData = [1001, the server's text]; then the same call succeeds.
    expect_line("refused.result", "False")
    expect_line("refused.code", "1001")
    expect("VBScript: refused.text holds the server's reply", True, "Try again later" in got.get("refused.text", ""))
    expect_line("sent.outdata", "Empty")
    expect_line("timeout.double", "5")    # E_INVALIDARG: "Invalid procedure call or argument"
    expect_line("unknown.name", "1BD")    # E_NOTIMPL from GetIDsOfNames: "Object doesn't support this action"

    received = os.path.join(mail_dir, "received")
    with open(os.path.join(received, "1.json"), encoding="utf-8") as f:
        envelope = json.load(f)
    expect("envelope: mail_from", "robot@example.test", envelope["mail_from"])
    expect("envelope: rcpt_tos",
           ["first@example.test", "second@example.test", "copy@example.test", "hidden@example.test"],
           envelope["rcpt_tos"])
    expect("envelope: AUTH LOGIN user", "mailer", envelope["auth_user"])
    expect("envelope: TLS through Schannel", "TLSv1.2", envelope["tls_version"])
    expect("envelope: SNI", "localhost", envelope["sni"])
    expect("no second message arrived", False, os.path.exists(os.path.join(received, "2.eml")))

    extract = os.path.join(mail_dir, "extracted")
    m = json.loads(subprocess.check_output(
        [sys.executable, SUMMARY, os.path.join(received, "1.eml"), "--extract-dir", extract]))
    expect("message: subject", "Отчёт за март", m["subject"])
    expect("message: to", "first@example.test, Второй <second@example.test>", m["to"])
    expect("message: cc", "copy@example.test", m["cc"])
    expect("message: no Bcc header", "", m["bcc"])
    expect("message: html", '<p>Здравствуйте! <img src="cid:logo1"></p>', m["html"])
    expect("message: structure",
           "multipart/mixed[multipart/related[multipart/alternative[text/html], image/png], application/pdf, text/csv]",
           m["structure"])
    expect("message: no defects", [], m["defects"])
    files = os.path.join(work_dir, "files")
    attachments = m["attachments"]
    expect("message: attachment count", 3, len(attachments))
    if len(attachments) == 3:
        def data(path):
            with open(path, "rb") as f:
                return f.read()
        expect("attachment 1: content id", "logo1", attachments[0]["content_id"])
        expect("attachment 1: bytes", data(os.path.join(files, "logo.png")), data(attachments[0]["file"]))
        expect("attachment 2: file name", "report.pdf", attachments[1]["filename"])
        expect("attachment 2: bytes", data(os.path.join(files, "report.pdf")), data(attachments[1]["file"]))
        expect("attachment 3: file name", "данные.csv", attachments[2]["filename"])
        expect("attachment 3: bytes", b"a;b\r\n1", data(attachments[2]["file"]))

    with open(os.path.join(mail_dir, "fault-log", "tls10_login.log"), encoding="utf-8") as f:
        transcript = f.read()
    expect("TLS 1.0 server: handshake", True, "<tls TLSv1>" in transcript)
    expect("TLS 1.0 server: message terminated", True, "<message: terminated>" in transcript)

    # DebugLogEnabled switched the event log on too: the refusal is in it, under the
    # machine's common application data folder.
    logs = glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c", "ProgramData", "Korventa", "vlm_dodezoz41",
                                  "vlm_dodezoz41_*.log"))
    expect("event log under ProgramData", 1, len(logs))
    if logs:
        with open(logs[0], "rb") as f:
            event_log = f.read().decode("utf-8", "replace")
        expect("event log: the refusal as an ERROR line", True,
               any("ERROR" in line and "Try again later" in line for line in event_log.splitlines()))

    traces = glob.glob(os.path.join(work_dir, "devices", "DEV1", "Debug_*.log"))
    expect("call trace in the manager's DevicesFolder", 1, len(traces))
    if traces:
        with open(traces[0], "rb") as f:
            trace = f.read().decode("cp1251")
        expect("call trace: SendMail lines", True, "> SendMail" in trace and "< SendMail" in trace)


if __name__ == "__main__":
    main()
