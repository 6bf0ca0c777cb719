#!/usr/bin/python3
"""A relay on 127.0.0.1 that holds every byte back for a fixed delay in each direction, as a
distant server's round trip does; bandwidth is not limited.

  delay_relay.py LISTEN_PORT TARGET_PORT DELAY_MS
"""

import asyncio
import sys
import time


async def pipe(reader, writer, delay):
    """Copies reader to writer, each chunk delay seconds after it arrived, in order."""
    queue = asyncio.Queue()

    async def receive():
        while data := await reader.read(65536):
            queue.put_nowait((time.monotonic() + delay, data))
        queue.put_nowait((time.monotonic() + delay, b""))

    async def send():
        while True:
            due, data = await queue.get()
            await asyncio.sleep(max(0.0, due - time.monotonic()))
            if not data:
                break
            writer.write(data)
            await writer.drain()
        writer.close()

    await asyncio.gather(receive(), send(), return_exceptions=True)


async def main(listen_port, target_port, delay):
    async def serve(client_reader, client_writer):
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
        await asyncio.gather(pipe(client_reader, server_writer, delay), pipe(server_reader, client_writer, delay))

    server = await asyncio.start_server(serve, "127.0.0.1", listen_port)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main(int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]) / 1000))
