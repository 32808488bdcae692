#!/usr/bin/python3
"""Checks what eqhost.exe did against the registered class: its "info --json" output and
the message its "send" delivered to the loopback SMTP server (found by its subject, read
with Python's e-mail parser as the other end-to-end checks read theirs). Prints
"  ok ..." / "  FAIL ..." lines.

    eqhost_check.py INFO_JSON MAIL_DIR FILES_DIR SUBJECT
"""

import glob
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SUMMARY = os.path.join(HERE, "..", "..", "support", "mail_summary.py")


def expect(name, wanted, actual):
    if actual == wanted:
        print("  ok    eqhost.exe: %s = %s" % (name, wanted))
    else:
        print("  FAIL  eqhost.exe: %s = %r, wanted %r" % (name, actual, wanted))


def summary(eml, extract):
    return json.loads(subprocess.check_output([sys.executable, SUMMARY, eml, "--extract-dir", extract]))


def main():
    info_file, mail_dir, files_dir, subject = sys.argv[1:5]
    try:
        with open(info_file, encoding="utf-8") as f:
            info = json.load(f)
    except ValueError as e:
        info = {}
        print("  FAIL  eqhost.exe: info --json printed no JSON object: %s" % e)
    expect("info: TypeName", "FastPaymentSystem", info.get("TypeName"))
    expect("info: ModelName", "Корвента: клиент электронной почты", info.get("ModelName"))
    # Automation Booleans come back through COM as JSON true/false.
    expect("info: IsSettingsDlgExist is a Boolean", True, isinstance(info.get("IsSettingsDlgExist"), bool))

    received = os.path.join(mail_dir, "received")
    sent = []
    for eml in sorted(glob.glob(os.path.join(received, "*.eml"))):
        m = summary(eml, os.path.join(mail_dir, "eqhost-parts-" + os.path.basename(eml)))
        if m["subject"] == subject:
            sent.append((eml, m))
    expect("messages with the Cyrillic subject", 1, len(sent))
    if len(sent) != 1:
        return
    eml, m = sent[0]
    with open(eml[: -len(".eml")] + ".json", encoding="utf-8") as f:
        envelope = json.load(f)
    expect("envelope: rcpt_tos", ["first@example.test", "copy@example.test", "hidden@example.test"],
           envelope["rcpt_tos"])
    expect("envelope: AUTH LOGIN user", "mailer", envelope["auth_user"])
    expect("message: from", "Робот уведомлений <robot@example.test>", m["from"])
    expect("message: cc", "Копия <copy@example.test>", m["cc"])
    expect("message: html from a file with a Cyrillic name", "<p>Счёт оплачен</p>", m["html"])
    expect("message: outer part", "multipart/mixed", m["structure"].split("[")[0])
    expect("message: no defects", [], m["defects"])
    names = [a["filename"] for a in m["attachments"]]
    expect("message: attachment names", ["отчёт.pdf"], names)
    if names == ["отчёт.pdf"]:
        with open(os.path.join(files_dir, "отчёт.pdf"), "rb") as original, open(m["attachments"][0]["file"], "rb") as got:
            expect("message: attachment bytes", True, original.read() == got.read())


if __name__ == "__main__":
    main()
