#!/usr/bin/python3
"""Reads one saved message with Python's standard e-mail parser and prints what a mail
reader would see, as JSON:

    header_names   the header field names, in order
    subject, from, to, cc, reply_to, bcc, date   decoded header texts ("" when absent)
    structure      the MIME tree, e.g. "multipart/mixed[multipart/related[...], application/pdf]"
    html           the text/html part, decoded to text using its charset
    html_charset   that part's charset
    attachments    [{content_type, filename, content_id, disposition, size, file}], in order

With --extract-dir D every attachment's decoded bytes are written to D/<index> and
"file" names that file, so a caller can compare them with the originals byte for byte.

    mail_summary.py MESSAGE.eml [--extract-dir D]
"""

import argparse
import email
import email.policy
import json
import os
import sys


def structure(part):
    if part.is_multipart():
        return "%s[%s]" % (part.get_content_type(), ", ".join(structure(p) for p in part.iter_parts()))
    return part.get_content_type()


def header_text(message, name):
    value = message.get(name)
    return "" if value is None else str(value)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("message")
    parser.add_argument("--extract-dir")
    args = parser.parse_args()
    with open(args.message, "rb") as f:
        message = email.message_from_binary_file(f, policy=email.policy.default)

    summary = {
        "header_names": list(message.keys()),
        "subject": header_text(message, "Subject"),
        "from": header_text(message, "From"),
        "to": header_text(message, "To"),
        "cc": header_text(message, "Cc"),
        "reply_to": header_text(message, "Reply-To"),
        "bcc": header_text(message, "Bcc"),
        "date": header_text(message, "Date"),
        "structure": structure(message),
        "html": None,
        "html_charset": None,
        "attachments": [],
        "defects": [str(d) for part in message.walk() for d in part.defects],
    }
    for part in message.walk():
        if part.is_multipart():
            continue
        if part.get_content_type() == "text/html" and summary["html"] is None and not part.get_filename():
            summary["html"] = part.get_content()
            summary["html_charset"] = part.get_content_charset()
            continue
        data = part.get_payload(decode=True) or b""
        entry = {
            "content_type": part.get_content_type(),
            "filename": part.get_filename(),
            "content_id": header_text(part, "Content-ID") or None,
            "disposition": part.get_content_disposition(),
            "size": len(data),
            "file": None,
        }
        if args.extract_dir:
            os.makedirs(args.extract_dir, exist_ok=True)
            path = os.path.join(args.extract_dir, str(len(summary["attachments"])))
            with open(path, "wb") as out:
                out.write(data)
            entry["file"] = path
        summary["attachments"].append(entry)
    json.dump(summary, sys.stdout, ensure_ascii=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
