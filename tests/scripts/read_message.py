#!/usr/bin/python3
"""Reads a stored message with Python's email package, the reference reader of the tests.

Usage: read_message.py MESSAGE OUTDIR

Prints one field a line:
  subject: TEXT / from: ADDRESS / from-name: NAME / to: ADDRESS / cc: ADDRESS
  text: LINE                           every line of every text/* leaf part without a file name
  attachment: N<TAB>FILE NAME<TAB>SIZE  every other leaf part; its decoded bytes in OUTDIR/attachment-N
  part: N<TAB>CONTENT TYPE             every part in walk order; leaf bytes in OUTDIR/part-N
Header words are decoded; text is printed as UTF-8.
"""

import email
import email.policy
import os
import sys
from email.utils import getaddresses


def main():
    path, folder = sys.argv[1], sys.argv[2]
    with open(path, "rb") as source:
        data = source.read()
    # What a POP3 server hands out: every line ended by CR LF.
    data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    message = email.message_from_bytes(data, policy=email.policy.default)
    out = []
    out.append("subject: " + str(message.get("subject", "")))
    for name, address in getaddresses([str(message.get("from", ""))]):
        out.append("from: " + address)
        out.append("from-name: " + name)
    for field in ("to", "cc"):
        for _, address in getaddresses([str(value) for value in message.get_all(field, [])]):
            out.append(field + ": " + address)
    attachments = 0
    for index, part in enumerate(message.walk()):
        out.append(f"part: {index}\t{part.get_content_type()}")
        if part.is_multipart():
            continue
        payload = part.get_payload(decode=True) or b""
        with open(os.path.join(folder, f"part-{index}"), "wb") as stored:
            stored.write(payload)
        filename = part.get_filename()
        if part.get_content_maintype() == "text" and filename is None:
            charset = part.get_content_charset() or "utf-8"
            lines = payload.decode(charset, "replace").split("\r\n")
            if lines[-1] == "":
                lines.pop()  # the line end of the last line
            for line in lines:
                out.append("text: " + line)
        else:
            attachments += 1
            with open(os.path.join(folder, f"attachment-{attachments}"), "wb") as stored:
                stored.write(payload)
            out.append(f"attachment: {attachments}\t{filename}\t{len(payload)}")
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8", "surrogateescape"))


if __name__ == "__main__":
    main()
