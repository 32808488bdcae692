#!/usr/bin/python3
"""Checks the results of send_with_keep_alive.vbs: every call succeeded, each object's
messages arrived once, all of them over one connection of that object's own, and that
connection ended with QUIT (at the release of object A, at Disable of object B). Prints
"  ok ..." / "  FAIL ..." lines.

    send_with_keep_alive_check.py RESULT_FILE MAIL_DIR
"""

import glob
import json
import os
import sys


def main():
    result_file, mail_dir = sys.argv[1:3]
    with open(result_file, "rb") as f:
        got = dict(line.split("=", 1) for line in f.read().decode("utf-16").splitlines() if "=" in line)

    def expect(name, wanted, actual):
        print("  %s %s = %r%s" % ("ok   " if actual == wanted else "FAIL ", name, actual,
                                   "" if actual == wanted else ", wanted %r" % (wanted,)))

    for name in ("A.enable", "A.send1", "A.send2", "A.send3", "B.enable", "B.send1", "B.send2", "B.disable",
                 "B.close"):
        expect("keep-alive VBScript: " + name, "True", got.get(name))
    received = os.path.join(mail_dir, "received")
    connections = {"A": [], "B": []}
    for path in glob.glob(os.path.join(received, "*.json")):
        with open(path, encoding="utf-8") as f:
            envelope = json.load(f)
        with open(path[:-5] + ".eml", "rb") as f:
            text = f.read().decode("utf-8", "replace")
        for name in connections:
            if "Subject: Keep-alive %s " % name in text:
                connections[name].append(envelope["connection"])
    quits = []
    if os.path.exists(os.path.join(received, "quit_connections")):
        with open(os.path.join(received, "quit_connections")) as f:
            quits = [int(line) for line in f if line.strip()]
    for name, count in (("A", 3), ("B", 2)):
        numbers = connections[name]
        expect("keep-alive: messages of object %s" % name, count, len(numbers))
        expect("keep-alive: connections of object %s" % name, 1, len(set(numbers)))
        expect("keep-alive: QUIT on object %s's connection" % name, True, bool(numbers) and numbers[0] in quits)
    expect("keep-alive: objects A and B on connections of their own", True,
           not set(connections["A"]) & set(connections["B"]))


if __name__ == "__main__":
    main()
