#!/usr/bin/env python3
"""A loopback TCP proxy that delays every byte by a fixed time in each direction.

For benchmarks: puts a network's round trip between a client and a local server.
  delay_proxy.py --upstream 127.0.0.1:PORT --delay-ms 10 [--lifetime 900]
Listens on 127.0.0.1 and a free port, prints "PORT" on its first line of standard output,
and exits by itself after --lifetime seconds (or on SIGTERM). Only loopback addresses are
accepted, on both sides. Order and content of the bytes are kept; only time is added (a chunk
read at t leaves at t + delay, so throughput is not capped, only latency added).
"""
import argparse
import asyncio
import ipaddress
import signal
import sys


def loopback(host):
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        return host == "localhost"


async def pump(reader, writer, delay):
    """Copies reader to writer, each chunk leaving `delay` seconds after it arrived."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def sender():
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                break
            writer.write(data)
            await writer.drain()
        try:
            writer.write_eof()
        except (OSError, RuntimeError):
            pass

    task = asyncio.create_task(sender())
    try:
        while True:
            data = await reader.read(65536)
            queue.put_nowait((loop.time() + delay, data or None))
            if not data:
                break
        await task
    except (ConnectionError, OSError):
        task.cancel()
    finally:
        try:
            writer.close()
        except (OSError, RuntimeError):
            pass


async def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--upstream", required=True, help="HOST:PORT of the server (loopback)")
    parser.add_argument("--delay-ms", type=float, default=10.0, help="one-way delay per direction")
    parser.add_argument("--lifetime", type=float, default=900.0, help="seconds before it exits")
    args = parser.parse_args()
    host, _, port = args.upstream.rpartition(":")
    if not loopback(host):
        sys.exit("delay_proxy: upstream must be a loopback address")
    delay = args.delay_ms / 1000.0

    async def handle(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection(host, int(port))
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(pump(client_reader, server_writer, delay),
                             pump(server_reader, client_writer, delay))

    server = await asyncio.start_server(handle, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.add_signal_handler(signal.SIGINT, stop.set)
    try:
        await asyncio.wait_for(stop.wait(), timeout=args.lifetime)
    except asyncio.TimeoutError:
        pass
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
