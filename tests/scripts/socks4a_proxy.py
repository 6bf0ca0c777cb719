#!/usr/bin/env python3
"""A small SOCKS 4/4A proxy for tests: accepts CONNECT requests, resolves 4A host names itself,
relays the bytes both ways, and prints one line per request ("request HOST PORT USER")."""
import socket
import socketserver
import struct
import sys
import threading


def read_exact(connection, count):
    data = b""
    while len(data) < count:
        chunk = connection.recv(count - len(data))
        if not chunk:
            raise ConnectionError("closed")
        data += chunk
    return data


def read_text(connection):
    data = b""
    while True:
        byte = read_exact(connection, 1)
        if byte == b"\0":
            return data.decode()
        data += byte


def relay(source, target):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            target.sendall(data)
    except OSError:
        pass
    finally:
        try:
            target.shutdown(socket.SHUT_WR)
        except OSError:
            pass


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        client = self.request
        try:
            version, command, port = struct.unpack(">BBH", read_exact(client, 4))
            address = read_exact(client, 4)
            user = read_text(client)
            host = socket.inet_ntoa(address)
            if address[:3] == b"\0\0\0" and address[3] != 0:
                host = read_text(client)
        except ConnectionError:
            return
        print("request", host, port, user, flush=True)
        if version != 4 or command != 1:
            client.sendall(bytes([0, 91, 0, 0, 0, 0, 0, 0]))
            return
        try:
            target = socket.create_connection((host, port))
        except OSError:
            client.sendall(bytes([0, 91, 0, 0, 0, 0, 0, 0]))
            return
        client.sendall(bytes([0, 90]) + struct.pack(">H", port) + address)
        back = threading.Thread(target=relay, args=(target, client), daemon=True)
        back.start()
        relay(client, target)
        back.join()
        target.close()


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


if __name__ == "__main__":
    with Server(("127.0.0.1", int(sys.argv[1])), Handler) as server:
        server.serve_forever()
