#!/usr/bin/python3
"""Example client of the opacity meter program's WebSocket API.

Prints the readings, starts a free-acceleration test for the plate given on
the command line, prints the series' events and, once the test is stored,
the record's id. Needs the Debian package python3-websockets.

    docs/api-client.py 京A12345 --settings run/demo/set.ini

The token comes from --token, or else from the [Api] section of the set.ini
named by --settings (./set.ini by default).
"""
import argparse
import asyncio
import configparser
import json
import sys

import websockets


def read_token(path):
    config = configparser.ConfigParser(interpolation=None)
    if not config.read(path, encoding="utf-8"):
        sys.exit(f"cannot read {path}: give --token or --settings")
    token = config.get("Api", "Token", fallback="").strip()
    if not token:
        sys.exit(f"{path} has no [Api] Token")
    return token


async def ask(ws, pending, command):
    """Sends a command and returns its reply; other messages go to 'pending'."""
    await ws.send(json.dumps(command, ensure_ascii=False))
    while True:
        message = json.loads(await ws.recv())
        if message["type"] == "reply" and message.get("id") == command["id"]:
            return message
        pending.append(message)


def show(message):
    kind = message["type"]
    if kind == "reading":
        k = "-" if message["K"] is None else f'{message["K"]:.2f}'
        print(f'{message["time"]}  N {message["N"]:6.2f} %  K {k} m-1', flush=True)
    elif kind == "series":
        fields = {key: value for key, value in message.items() if key not in ("type", "event")}
        print(f'series {message["event"]}: {json.dumps(fields, ensure_ascii=False)}', flush=True)
    elif kind in ("link", "meter"):
        print(f'{kind}: {json.dumps(message, ensure_ascii=False)}', flush=True)


async def run(args):
    async with websockets.connect(args.url, max_size=2**20) as ws:
        hello = json.loads(await ws.recv())
        print(f'connected: program {hello["version"]}, link {hello["link"]["state"]}, '
              f'series {hello["series"]["state"]}', flush=True)
        pending = []
        await ask(ws, pending, {"cmd": "subscribe", "id": 1, "rate": args.rate,
                                "topics": ["reading", "link", "series", "record", "meter"]})
        vehicle = {"plate": args.plate, "category": args.category}
        reply = await ask(ws, pending, {"cmd": "startTest", "id": 2, "token": args.token,
                                        "operator": args.operator, "vehicle": vehicle})
        if not reply["ok"]:
            print(f'startTest refused: {reply["error"]}', file=sys.stderr)
            return 1
        for warning in reply.get("warnings", []):
            print(f"warning: {warning}", file=sys.stderr)
        print(f"test started for {args.plate}", flush=True)
        while True:
            message = pending.pop(0) if pending else json.loads(await ws.recv())
            show(message)
            if message["type"] == "series" and message["event"] == "abandoned":
                print("the series was abandoned", file=sys.stderr)
                return 1
            if message["type"] == "record":
                state = "stored" if message["stored"] else "waiting for the database"
                print(f'record {message["id"]} ({state})', flush=True)
                return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("plate", help="the vehicle's plate")
    parser.add_argument("--url", default="ws://127.0.0.1:8900/")
    parser.add_argument("--token", help="the API token (default: from --settings)")
    parser.add_argument("--settings", default="set.ini", help="the program's set.ini (default: ./set.ini)")
    parser.add_argument("--operator", default="api-client")
    parser.add_argument("--category", default="N1", choices=["M1", "M2", "M3", "N1", "N2", "N3", "other"])
    parser.add_argument("--rate", type=int, default=2, choices=[1, 2, 5, 10], help="readings per second")
    parser.add_argument("--timeout", type=float, default=300, help="give up after this many seconds")
    args = parser.parse_args()
    if args.token is None:
        args.token = read_token(args.settings)
    try:
        return asyncio.run(asyncio.wait_for(run(args), args.timeout))
    except asyncio.TimeoutError:
        print(f"no record within {args.timeout:g} s", file=sys.stderr)
    except (OSError, websockets.exceptions.WebSocketException) as error:
        print(f"{args.url}: {error}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
