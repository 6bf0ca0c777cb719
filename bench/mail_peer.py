#!/usr/bin/python3
"""Python's side of the mail benchmark: the same work with poplib, smtplib and email.

  mail_peer.py make MESSAGE ATTACHMENT SIZE   a message with one base64 attachment of SIZE random
                                              bytes (also stored alone in ATTACHMENT)
  mail_peer.py fetch PORT COUNT FOLDER        fetch message 1 and decode its attachments to files
  mail_peer.py fetch-tls PORT COUNT FOLDER CA the same from a POP3 server speaking TLS from the
                                              first byte, whose certificate CA signed
  mail_peer.py send PORT COUNT ATTACHMENT     build a message around the file and send it
  mail_peer.py list PORT COUNT                list the mailbox as Check Mail does: STAT, LIST, then
                                              TOP n 0 and LIST n per message, reading each header
Each timed run prints its seconds on a line of its own; start-up is not timed.
"""

import email
import email.parser
import email.policy
import os
import poplib
import smtplib
import ssl
import sys
import time
from email.message import EmailMessage

USER, PASSWORD = "alice", "secret"


def message_with(attachment_bytes):
    message = EmailMessage()
    message["From"] = "Ann <ann@example.org>"
    message["To"] = "bob@example.org"
    message["Subject"] = "benchmark"
    message.set_content("one attachment\n")
    message.add_attachment(attachment_bytes, maintype="application", subtype="octet-stream",
                           filename="data.bin")
    return message


def make(path, attachment_path, size):
    data = os.urandom(size)
    with open(attachment_path, "wb") as out:
        out.write(data)
    with open(path, "wb") as out:
        out.write(message_with(data).as_bytes(policy=email.policy.SMTP))


def fetch(port, count, folder, connect=lambda port: poplib.POP3("127.0.0.1", port)):
    for _ in range(count):
        start = time.perf_counter()
        client = connect(port)
        client.user(USER)
        client.pass_(PASSWORD)
        _, lines, _ = client.retr(1)
        client.quit()
        message = email.message_from_bytes(b"\r\n".join(lines) + b"\r\n")
        for index, part in enumerate(message.walk()):
            if part.get_filename():
                with open(os.path.join(folder, f"attachment-{index}"), "wb") as out:
                    out.write(part.get_payload(decode=True))
        print(time.perf_counter() - start, flush=True)


def send(port, count, attachment_path):
    client = smtplib.SMTP("127.0.0.1", port)
    client.login(USER, PASSWORD)
    for _ in range(count):
        start = time.perf_counter()
        with open(attachment_path, "rb") as source:
            message = message_with(source.read())
        client.send_message(message)
        print(time.perf_counter() - start, flush=True)
    client.quit()


def list_headers(port, count):
    parser = email.parser.BytesHeaderParser()
    for _ in range(count):
        start = time.perf_counter()
        client = poplib.POP3("127.0.0.1", port)
        client.user(USER)
        client.pass_(PASSWORD)
        messages, _ = client.stat()
        client.list()
        rows = []
        for number in range(1, messages + 1):
            _, lines, _ = client.top(number, 0)
            header = parser.parsebytes(b"\r\n".join(lines))
            size = int(client.list(number).split()[2])
            rows.append((header["Subject"], header["From"], header["Date"], size))
        client.quit()
        print(time.perf_counter() - start, flush=True)


def main():
    command = sys.argv[1]
    if command == "make":
        make(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    elif command == "fetch":
        fetch(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4])
    elif command == "fetch-tls":
        context = ssl.create_default_context(cafile=sys.argv[5])
        fetch(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4],
              lambda port: poplib.POP3_SSL("localhost", port, context=context))
    elif command == "send":
        send(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4])
    elif command == "list":
        list_headers(int(sys.argv[2]), int(sys.argv[3]))
    else:
        raise SystemExit("unknown command " + command)


if __name__ == "__main__":
    main()
