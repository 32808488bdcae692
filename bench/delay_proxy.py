#!/usr/bin/python3
"""A loopback TCP proxy that delays every chunk, for measuring round trips.

Listens on 127.0.0.1 and forwards each connection to --target-port on 127.0.0.1. Every
chunk read from either side is held --delay-ms milliseconds (25 by default) before it
is passed on, in order, so each exchange of a dialogue costs twice the delay. When a
connection ends, one JSON line is appended to --stats:

    {"turns": N, "round_trips": R, "client_bytes": C, "server_bytes": S}

"turns" counts the changes of direction of the data passed on. "round_trips" counts the
client's turns to speak that the server answered, each a wait of one round trip for the
client: turns // 2, since the server speaks first (its greeting); a last word of the
client that nobody answers (its TLS close alert) is not counted.

    delay_proxy.py --target-port P --port-file F --stats S [--delay-ms 25]

The chosen port is written to --port-file. The proxy stops on SIGTERM or SIGINT and when
the process that started it goes away.
"""

import argparse
import asyncio
import json
import os
import signal
import sys


class Link:
    """One proxied connection: the direction of the last data passed on, and totals."""

    def __init__(self):
        self.last = None
        self.turns = 0
        self.bytes = {"client": 0, "server": 0}

    def passed(self, side, size):
        if self.last is not None and self.last != side:
            self.turns += 1
        self.last = side
        self.bytes[side] += size


async def pump(side, reader, writer, link, delay):
    """Reads chunks from `reader` and writes each to `writer` `delay` seconds after it came."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def forward():
        while True:
            due, data = await queue.get()
            if data is None:
                break
            await asyncio.sleep(max(0.0, due - loop.time()))
            link.passed(side, len(data))
            writer.write(data)
            await writer.drain()
        if writer.can_write_eof():
            writer.write_eof()

    forwarder = asyncio.ensure_future(forward())
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            queue.put_nowait((loop.time() + delay, data))
    except (ConnectionError, OSError):
        pass
    queue.put_nowait((loop.time() + delay, None))
    try:
        await forwarder
    except (ConnectionError, OSError):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--target-port", type=int, required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--stats", required=True)
    parser.add_argument("--delay-ms", type=float, default=25.0)
    args = parser.parse_args()
    delay = args.delay_ms / 1000.0

    async def handle(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", args.target_port)
        except OSError:
            client_writer.close()
            return
        link = Link()
        await asyncio.gather(pump("client", client_reader, server_writer, link, delay),
                             pump("server", server_reader, client_writer, link, delay))
        for w in (client_writer, server_writer):
            w.close()
        record = {"turns": link.turns, "round_trips": link.turns // 2,
                  "client_bytes": link.bytes["client"], "server_bytes": link.bytes["server"]}
        with open(args.stats, "a") as f:
            f.write(json.dumps(record) + "\n")

    async def run():
        server = await asyncio.start_server(handle, "127.0.0.1", 0)
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write(str(server.sockets[0].getsockname()[1]))
        os.replace(tmp, args.port_file)
        stop = asyncio.Event()
        loop = asyncio.get_running_loop()
        for sig in (signal.SIGTERM, signal.SIGINT):
            loop.add_signal_handler(sig, stop.set)
        parent = os.getppid()
        while not stop.is_set() and os.getppid() == parent:
            try:
                await asyncio.wait_for(stop.wait(), 0.5)
            except asyncio.TimeoutError:
                pass
        server.close()

    asyncio.run(run())
    return 0


if __name__ == "__main__":
    sys.exit(main())
