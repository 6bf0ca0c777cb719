#!/usr/bin/python3
"""An SMTP server for the mail tests, built on aiosmtpd.

Usage: smtp_server.py PORT FOLDER USER PASSWORD [--refuse ADDRESS]... [--idle-timeout SECONDS]
                      [--implicit-tls CHAIN KEY | --starttls CHAIN KEY]

Listens on 127.0.0.1:PORT and allows AUTH LOGIN and PLAIN for USER/PASSWORD, without TLS
unless asked: --implicit-tls speaks TLS from the first byte, --starttls offers STARTTLS and
requires it before a login or a message. CHAIN is the certificate (leaf first), KEY its key.
Every message taken is stored in FOLDER as message-N.eml (the DATA bytes, CR LF kept,
dot-unstuffed) and message-N.json (the envelope: sender, recipients, session number).
Each connection's dialogue is kept in session-N.txt, one "C: ..." or "S: ..." line per
line on the wire; the message data itself appears as one "C: <data N bytes>" line, and
the line "-- closed" ends the file when the client has gone.
RCPT to one of the --refuse addresses is answered "550 5.1.1 Mailbox unavailable".
A session that stays silent for the idle time-out (default 300 s) is closed, as servers do.
Once listening, FOLDER/ready is created.
"""

import argparse
import asyncio
import itertools
import json
import os
import signal
import ssl
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

session_numbers = itertools.count(1)
message_numbers = itertools.count(1)
numbers_lock = threading.Lock()


def next_number(counter):
    with numbers_lock:
        return next(counter)


def write_atomically(path, data):
    temporary = path + ".part"
    with open(temporary, "wb") as out:
        out.write(data)
    os.rename(temporary, path)


class RecordingSMTP(SMTP):
    """Keeps a transcript of every line the client sends and every reply."""

    def __init__(self, *args, folder, **kwargs):
        super().__init__(*args, **kwargs)
        self._folder = folder
        self._transcript = None
        self._in_data = False
        self._data_bytes = 0

    def _record(self, line):
        # Sessions that never see a client line (the controller's own start-up probe) leave no file.
        if self._transcript is None:
            if not line.startswith("C: "):
                self._pending = getattr(self, "_pending", []) + [line]
                return
            number = next_number(session_numbers)
            self.session_number = number
            self._transcript = open(os.path.join(self._folder, f"session-{number}.txt"), "w",
                                    encoding="utf-8", errors="backslashreplace")
            for pending in getattr(self, "_pending", []):
                self._transcript.write(pending + "\n")
        self._transcript.write(line + "\n")
        self._transcript.flush()

    def _client_line(self, line):
        if self._in_data:
            if line.rstrip(b"\r\n") == b".":
                self._record(f"C: <data {self._data_bytes} bytes>")
                self._record("C: .")
                self._in_data = False
            else:
                self._data_bytes += len(line)
            return
        self._record("C: " + line.rstrip(b"\r\n").decode("utf-8", "backslashreplace"))

    def connection_made(self, transport):
        super().connection_made(transport)
        # After STARTTLS the same reader comes back with the encrypted transport.
        if getattr(self._reader, "recorded", False):
            return
        self._reader.recorded = True
        reader = self._reader
        plain_readuntil = reader.readuntil

        # readline goes through readuntil too, so this one hook sees every line read.
        async def readuntil(separator=b"\n"):
            line = await plain_readuntil(separator)
            self._client_line(line)
            return line

        reader.readuntil = readuntil

    def connection_lost(self, error):
        if self._transcript is not None:
            self._record("-- closed")
            self._transcript.close()
        super().connection_lost(error)

    async def push(self, status):
        text = status.decode("utf-8", "backslashreplace") if isinstance(status, bytes) else status
        self._record("S: " + text)
        if text.startswith("354"):
            self._in_data = True
            self._data_bytes = 0
        await super().push(status)


class StoringHandler:
    def __init__(self, folder, refused):
        self.folder = folder
        self.refused = {address.lower() for address in refused}

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refused:
            return "550 5.1.1 Mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        number = next_number(message_numbers)
        base = os.path.join(self.folder, f"message-{number}")
        write_atomically(base + ".eml", envelope.original_content or envelope.content)
        details = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "session": getattr(server, "session_number", 0),
        }
        write_atomically(base + ".json", json.dumps(details).encode())
        return "250 Message accepted for delivery"


class RecordingController(Controller):
    def __init__(self, handler, folder, **kwargs):
        self._folder = folder
        super().__init__(handler, **kwargs)

    def factory(self):
        return RecordingSMTP(self.handler, folder=self._folder, **self.SMTP_kwargs)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("folder")
    parser.add_argument("user")
    parser.add_argument("password")
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--idle-timeout", type=float, default=300)
    parser.add_argument("--implicit-tls", nargs=2, metavar=("CHAIN", "KEY"))
    parser.add_argument("--starttls", nargs=2, metavar=("CHAIN", "KEY"))
    arguments = parser.parse_args()

    tls = {"auth_require_tls": False}
    for files, implicit in ((arguments.implicit_tls, True), (arguments.starttls, False)):
        if files:
            context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
            context.load_cert_chain(*files)
            # aiosmtpd counts only STARTTLS as TLS when it decides whether to offer AUTH.
            tls = ({"ssl_context": context, "auth_require_tls": False} if implicit else
                   {"tls_context": context, "require_starttls": True, "auth_require_tls": True})

    def authenticate(server, session, envelope, mechanism, auth_data):
        accepted = (isinstance(auth_data, LoginPassword)
                    and auth_data.login == arguments.user.encode()
                    and auth_data.password == arguments.password.encode())
        # handled=False lets the server send its own 535 reply on a failure.
        return AuthResult(success=accepted, handled=False)

    controller = RecordingController(
        StoringHandler(arguments.folder, arguments.refuse), arguments.folder,
        hostname="127.0.0.1", port=arguments.port, authenticator=authenticate,
        data_size_limit=None, timeout=arguments.idle_timeout, **tls)
    controller.start()
    with open(os.path.join(arguments.folder, "ready"), "w"):
        pass

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    controller.stop()


if __name__ == "__main__":
    main()
