#!/usr/bin/python3
"""The leaf parts of messages as Python's email package reads them, the reference of the reader
tests.

Usage: email_leaves.py MESSAGE...
Each MESSAGE is read with email.policy.default after its line ends were made CR LF (as a POP3
server hands it out). For each message: "message N", then one line a leaf part, in order:
  KIND<TAB>HEX-FILE-NAME<TAB>HEX-PAYLOAD
KIND is "text" (text/* without a file name), "attachment" (any other leaf) or "message" (an
enclosed message, which is not walked into); the file name is get_filename() ("-" for none)
and the payload get_payload(decode=True). A multipart's preamble and epilogue are no parts.
"""

import email
import email.policy
import sys


def leaves(part, out):
    if part.get_content_maintype() == "message":
        out.append(("message", None, b""))
    elif part.is_multipart():
        for sub in part.get_payload():
            leaves(sub, out)
    else:
        filename = part.get_filename()
        payload = part.get_payload(decode=True) or b""
        text = part.get_content_maintype() == "text" and filename is None
        out.append(("text" if text else "attachment", filename, payload))


def main():
    lines = []
    for index, path in enumerate(sys.argv[1:]):
        with open(path, "rb") as source:
            data = source.read()
        data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        message = email.message_from_bytes(data, policy=email.policy.default)
        found = []
        leaves(message, found)
        lines.append(f"message {index}")
        for kind, filename, payload in found:
            name = "-" if filename is None else filename.encode("utf-8", "surrogateescape").hex()
            lines.append(f"{kind}\t{name}\t{payload.hex() or '-'}")
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
