#!/usr/bin/python3
"""Reads a composed message with Python's standard e-mail parser and prints what a mail
reader would see, as JSON: the header fields decoded, the multipart tree, and every leaf
part with its decoded content (text as text, anything else as hex). Usage:

    parse_message.py [--utf8] MESSAGE_FILE

With --utf8 the header must be UTF-8 (RFC 6532, for addresses beyond ASCII): it is
decoded strictly, and the mailboxes are read from the decoded text.
"""

import email
import email.policy
import json
import sys


def leaf(part, path):
    info = {
        "path": path,
        "content_type": part.get_content_type(),
        "charset": part.get_param("charset"),
        "transfer_encoding": part.get("Content-Transfer-Encoding"),
        "disposition": part.get_content_disposition(),
        "filename": part.get_filename(),
        "name": part.get_param("name"),
        "content_id": part.get("Content-ID"),
        "defects": [type(d).__name__ for d in part.defects],
    }
    if part.get_content_maintype() == "text":
        info["text"] = part.get_content()
    else:
        info["hex"] = part.get_payload(decode=True).hex()
    return info


def walk(part, path, leaves):
    node = {"type": part.get_content_type(), "path": path,
            "defects": [type(d).__name__ for d in part.defects]}
    if part.is_multipart():
        node["params"] = {k: v for k, v in part.get_params()[1:]}
        node["children"] = [walk(child, "%s.%d" % (path, i + 1) if path else str(i + 1), leaves)
                            for i, child in enumerate(part.iter_parts())]
    else:
        leaves.append(leaf(part, path))
    return node


def main():
    utf8 = sys.argv[1] == "--utf8"
    with open(sys.argv[-1], "rb") as f:
        raw = f.read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    header = msg
    if utf8:
        text = raw.split(b"\r\n\r\n", 1)[0].decode("utf-8")
        header = email.message_from_string(text + "\r\n\r\n", policy=email.policy.default)
    leaves = []
    tree = walk(msg, "", leaves)
    headers = [[name, str(value)] for name, value in header.items()]
    mailboxes = {}
    for field in ("From", "To", "Cc", "Reply-To", "Bcc"):
        if header[field] is not None:
            mailboxes[field] = [[a.display_name, a.addr_spec] for a in header[field].addresses]
    # The preamble is 8-bit text; the parser hands it over with its bytes escaped.
    preamble = msg.preamble.encode("ascii", "surrogateescape").decode("cp1251")
    json.dump({"headers": headers, "mailboxes": mailboxes, "tree": tree, "parts": leaves,
               "preamble": preamble, "date": msg["Date"].datetime.isoformat(),
               "message_id": msg["Message-ID"]},
              sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
