#!/usr/bin/python3
"""Independent content codings for the coder tests: Python's binascii, quopri and email.

Usage: coders.py MODE INPUT OUTPUT
  b64encode      base64 with 76-character lines (base64.encodebytes)
  b64decode      binascii.a2b_base64
  qpencode-text  quopri.encodestring (line breaks stay line breaks)
  qpencode-bin   binascii.b2a_qp with istext=False (every CR and LF escaped)
  qpdecode       binascii.a2b_qp
  uudecode       the data lines between "begin" and the zero-length line, binascii.a2b_uu
  email          INPUT is a message with CR LF line ends; OUTPUT lists, in the order their
                 delimiters appear, the parts of every multipart: "ordinal encoding hex-payload"
                 with the decoded payload of base64 and quoted-printable leaves, "-" otherwise,
                 then "broken N": how many base64 leaves hold characters outside the alphabet
"""
import base64
import binascii
import email
import email.policy
import quopri
import re
import sys


def uudecode(data):
    out = bytearray()
    lines = data.splitlines()
    started = False
    for line in lines:
        if not started:
            started = line.lower().startswith(b"begin ")
            continue
        if line in (b"", b"`", b" ") or line.lower().startswith(b"end"):
            if line != b"":
                break
            continue
        out += binascii.a2b_uu(line)
    return bytes(out)


def delimited_parts(message, out):
    """The parts in the order of their delimiters: a multipart's parts, each followed by its own
    parts if it is a multipart itself (an enclosed message is content, not parts)."""
    if not message.is_multipart() or message.get_content_maintype() != "multipart":
        return
    for part in message.get_payload():
        out.append(part)
        delimited_parts(part, out)


def broken_base64_sections(data):
    """Counts the sections of the raw text that a base64 header block announces (up to the next
    line starting with "--") and that hold characters outside the alphabet; the parser may not
    see every such section as a part."""
    broken = 0
    for match in re.finditer(rb"(?im)^content-transfer-encoding:[ \t]*base64[ \t]*\r?$", data):
        start = data.find(b"\r\n\r\n", match.start())
        if start < 0:
            continue
        end = re.compile(rb"(?m)^--").search(data, start)
        section = data[start: end.start() if end else len(data)]
        if re.search(rb"[^A-Za-z0-9+/=\s]", section):
            broken += 1
    return broken


def email_parts(data):
    message = email.message_from_bytes(data, policy=email.policy.compat32)
    parts = []
    delimited_parts(message, parts)
    lines = []
    for ordinal, part in enumerate([message] + parts):
        encoding = str(part.get("content-transfer-encoding", "")).strip().lower()
        payload = "-"
        if not part.is_multipart() and encoding in ("base64", "quoted-printable"):
            decoded = part.get_payload(decode=True)
            payload = decoded.hex() if decoded else ""
        lines.append(f"{ordinal} {encoding or '-'} {payload or '.'}")
    lines.append(f"broken {broken_base64_sections(data)} -")
    return ("\n".join(lines) + "\n").encode()


def main():
    mode, source, target = sys.argv[1:4]
    with open(source, "rb") as f:
        data = f.read()
    if mode == "b64encode":
        result = base64.encodebytes(data)
    elif mode == "b64decode":
        result = binascii.a2b_base64(data)
    elif mode == "qpencode-text":
        result = quopri.encodestring(data)
    elif mode == "qpencode-bin":
        result = binascii.b2a_qp(data, istext=False)
    elif mode == "qpdecode":
        result = binascii.a2b_qp(data)
    elif mode == "uudecode":
        result = uudecode(data)
    elif mode == "email":
        result = email_parts(data)
    else:
        sys.exit(f"unknown mode {mode}")
    with open(target, "wb") as f:
        f.write(result)


if __name__ == "__main__":
    main()
