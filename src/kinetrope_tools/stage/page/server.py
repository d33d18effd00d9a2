"""The page's server: one page and one WebSocket on aiohttp, in a process of its own beside the show's.

``python -m kinetrope_tools.stage.page.serve FD`` is started by
``process.PageServer``: it reads its settings as one JSON line on stdin,
answers with one line (the port it serves on, or what went wrong), and then
serves until stdin closes. A broadcaster reads the show's latest snapshot
from the board (the shared memory whose file descriptor is FD) at most
``rate`` times a second, encodes it once and hands it to every page; a page
that reads slowly gets the newest state when it is ready and never holds up
the others. What a page asks for is checked (``messages``) and written to
stdout as one line a message, with the moment it came; the show checks it
again and turns it into its command. Being another process, nothing a page
does here takes time from the frame loop.

Safety: bound to loopback, the server answers only requests addressed to a
loopback name; bound to any other address it wants the token (compared in
constant time). The WebSocket takes only connections whose Origin is the
page's own. Messages are bounded in size and rate per page, and the pages
open at once are bounded; a page that floods is cut off and its address
refused for a while.
"""

from __future__ import annotations

import asyncio
import dataclasses
import functools
import hmac
import importlib.resources
import ipaddress
import json
import math
import os
import signal
import sys
import time
from typing import Any

import numpy as np
from aiohttp import WSMsgType, web

from ...patterns.library import PatternSet
from . import messages
from .paths import path_of
from .state import Board, Snapshot

DEFAULT_PORT = 8740
MAX_FOUND = 40


@dataclasses.dataclass(frozen=True)
class PageSettings:
    host: str = "127.0.0.1"
    port: int = DEFAULT_PORT
    rate: float = 30.0  # states a second to each page, at most
    max_pages: int = 16  # WebSockets open at once
    max_queued: int = 256  # commands waiting for the next frame
    burst: int = 40  # messages a page may send at once ...
    per_second: float = 20.0  # ... and a second, on and on
    flood: int = 100  # messages dropped (less those taken since) before the page is cut off ...
    cool_off: float = 10.0  # ... and its address refused for this many seconds


def is_loopback(host: str) -> bool:
    if host == "localhost":
        return True
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        return False


def _static(name: str) -> str:
    return importlib.resources.files(__package__).joinpath("static", name).read_text(encoding="utf-8")


@functools.cache
def _page_html() -> str:
    # One document with its style and script in it: the server names no file
    # a request could choose.
    html = _static("page.html")
    return html.replace("/*STYLE*/", _static("page.css")).replace("//SCRIPT", _static("page.js"))


class _Page:
    """One open WebSocket: its newest state waiting to be sent, and its budget of messages."""

    def __init__(self, socket: web.WebSocketResponse, settings: PageSettings) -> None:
        self.socket = socket
        self.state: str | None = None
        self.cues_number = -1  # the cues this page was last sent
        self.cues: str | None = None  # the cues, when they changed since
        self.ready = asyncio.Event()
        self._settings = settings
        self._budget = float(settings.burst)
        self._filled = time.monotonic()
        self._warned = 0.0
        self.dropped = 0

    def spend(self) -> bool:
        """Whether a message may be taken now (a token bucket)."""
        now = time.monotonic()
        self._budget = min(self._settings.burst, self._budget + (now - self._filled) * self._settings.per_second)
        self._filled = now
        if self._budget < 1:
            self.dropped += 1
            return False
        self._budget -= 1
        self.dropped = max(0, self.dropped - 1)
        return True

    @property
    def flooding(self) -> bool:
        return self.dropped > self._settings.flood

    def warn_now(self) -> bool:
        now = time.monotonic()
        if now - self._warned < 1.0:
            return False
        self._warned = now
        return True


class PageApp:
    """Serves the page: ``hello`` (the show's fixed parts, as the first message), the board's snapshots, and
    each valid control message a page sends, handed to ``take(text, received)``."""

    def __init__(self, hello: str, board: Board, take: Any, *, token: str | None, settings: PageSettings,
                 catalogue: PatternSet) -> None:
        self.settings = settings
        self.token = token
        self._hello = hello
        self._board = board
        self._hand_over = take
        self._catalogue = catalogue
        self._pattern_names = frozenset(e.name for e in catalogue.entries)
        rig = json.loads(hello)
        self._targets = frozenset([f["name"] for f in rig["fixtures"]] + [g["name"] for g in rig["groups"]])
        self._unable = {"tap": None if rig["taps"] else "this clock takes no taps",
                        "tempo": None if rig["tempo"] else "this clock's tempo is not set from here"}
        self._pages: set[_Page] = set()
        self._cut_off: dict[str, float] = {}  # address -> until when its pages are refused
        self.port = settings.port

    @functools.lru_cache(maxsize=256)  # noqa: B019 (one app a process)
    def _path(self, name: str) -> dict[str, Any]:
        return path_of(name, self._catalogue)

    def _found(self, text: str) -> list[dict[str, Any]]:
        words = text.lower().split()
        found = []
        for entry in self._catalogue.entries:
            if all(word in f"{entry.name} {entry.description}".lower() for word in words):
                found.append({"name": entry.name, "period": entry.period, "description": entry.description[:120]})
                if len(found) == MAX_FOUND:
                    break
        return found

    # --- serving ---------------------------------------------------------------------------------------------------

    async def start(self) -> web.AppRunner:
        app = web.Application(client_max_size=1024)
        app.router.add_get("/", self._index)
        app.router.add_get("/ws", self._socket)
        runner = web.AppRunner(app, access_log=None, handle_signals=False, shutdown_timeout=1.0)
        await runner.setup()
        site = web.TCPSite(runner, self.settings.host, self.settings.port, backlog=128)
        await site.start()
        if runner.addresses:
            self.port = int(runner.addresses[0][1])
        return runner

    async def serve_until(self, stopped: asyncio.Future[Any], runner: web.AppRunner) -> None:
        broadcaster = asyncio.ensure_future(self._broadcast())
        try:
            await stopped
        finally:
            broadcaster.cancel()
            for page in list(self._pages):
                await page.socket.close(code=1001, message=b"the show has ended")
            await runner.cleanup()

    def _allowed(self, request: web.Request) -> bool:
        if self.token is None:
            # Bound to loopback: refuse names that are not (a web page elsewhere
            # could point its own name at 127.0.0.1).
            host = request.host.rsplit(":", 1)[0].strip("[]")
            return is_loopback(host)
        given = request.query.get("token", "")
        return hmac.compare_digest(given.encode(), self.token.encode())

    async def _index(self, request: web.Request) -> web.StreamResponse:
        if not self._allowed(request):
            return web.Response(status=403, text="kinetrope: this page wants the address printed at start\n")
        return web.Response(text=_page_html(), content_type="text/html", headers={
            "Content-Security-Policy": "default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'; "
                                       "connect-src 'self'; img-src data:",
            "Cache-Control": "no-store", "Referrer-Policy": "no-referrer"})

    async def _socket(self, request: web.Request) -> web.StreamResponse:
        if not self._allowed(request):
            return web.Response(status=403, text="kinetrope: not allowed\n")
        origin = request.headers.get("Origin", "")
        if not hmac.compare_digest(origin.encode(), f"http://{request.host}".encode()):
            return web.Response(status=403, text="kinetrope: the page's WebSocket is for the page itself\n")
        if len(self._pages) >= self.settings.max_pages:
            return web.Response(status=503, text="kinetrope: too many pages open\n")
        now = time.monotonic()
        if self._cut_off.get(request.remote or "", 0.0) > now:
            return web.Response(status=429, text="kinetrope: too many messages from here; wait\n")
        socket = web.WebSocketResponse(max_msg_size=messages.MAX_MESSAGE_BYTES, heartbeat=10.0, compress=False)
        await socket.prepare(request)
        page = _Page(socket, self.settings)
        self._pages.add(page)
        sender = asyncio.ensure_future(self._send_to(page))
        try:
            await socket.send_str(self._hello)
            async for message in socket:
                if message.type != WSMsgType.TEXT:
                    await self._error(page, "messages are JSON text")
                    continue
                if not page.spend():
                    if page.flooding:
                        # Cut the connection rather than close it: a closing
                        # handshake would read the flood on.
                        if request.transport is not None:
                            request.transport.abort()
                        self._cut_off = {a: t for a, t in self._cut_off.items() if t > now}
                        self._cut_off[request.remote or ""] = time.monotonic() + self.settings.cool_off
                        break
                    if page.warn_now():
                        await self._error(page, "too many messages: some were dropped")
                    continue
                await self._take(page, message.data)
        finally:
            self._pages.discard(page)
            sender.cancel()
        return socket

    async def _error(self, page: _Page, text: str) -> None:
        if not page.socket.closed:
            await page.socket.send_str(json.dumps({"type": "error", "message": text}))

    async def _take(self, page: _Page, text: str) -> None:
        received = time.monotonic()
        try:
            message = messages.parse(text)
            kind = message["type"]
            if kind == "search":
                words = message["text"]
                if not isinstance(words, str) or len(words) > messages.MAX_SEARCH_CHARS:
                    raise messages.Refused(f"a search is text of at most {messages.MAX_SEARCH_CHARS} characters")
                answer = {"type": "found", "text": words, "patterns": self._found(words)}
                await page.socket.send_str(json.dumps(answer))
                return
            if kind == "path":
                name = message["pattern"]
                if not isinstance(name, str) or name not in self._pattern_names:
                    raise messages.Refused(f"no pattern is named {json.dumps(name)[:40]}")
                path = await asyncio.get_running_loop().run_in_executor(None, self._path, name)
                await page.socket.send_str(json.dumps({"type": "path", **path}))
                return
            # Checked here so the page hears what is wrong; the show checks again.
            messages.command_of(message, targets=self._targets, patterns=self._pattern_names)
            if self._unable.get(kind):
                raise messages.Refused(str(self._unable[kind]))
            self._hand_over(text, received)
        except messages.Refused as refused:
            await self._error(page, str(refused))

    async def _broadcast(self) -> None:
        interval = 1.0 / self.settings.rate
        shown: Snapshot | None = None
        while True:
            await asyncio.sleep(interval)
            if not self._pages:
                continue
            snapshot = self._board.read(shown)
            if snapshot is None or (shown is not None and snapshot.number == shown.number):
                continue
            shown = snapshot
            state = _state_message(snapshot)
            for page in self._pages:
                page.state = state
                if page.cues_number != snapshot.cues_number:
                    page.cues_number = snapshot.cues_number
                    page.cues = snapshot.cues
                page.ready.set()

    async def _send_to(self, page: _Page) -> None:
        try:
            while True:
                await page.ready.wait()
                page.ready.clear()
                cues, page.cues = page.cues, None
                if cues is not None:
                    await page.socket.send_str(cues)
                if page.state is not None:
                    await page.socket.send_str(page.state)
        except (ConnectionError, RuntimeError):
            pass  # the page went away; its handler ends too


def _state_message(snapshot: Snapshot) -> str:
    return json.dumps({
        "type": "state", "number": snapshot.number, "at": round(snapshot.at, 6), "pip": snapshot.pip,
        "held": snapshot.held,
        "bpm": None if math.isnan(snapshot.bpm) else round(snapshot.bpm, 3), "peers": snapshot.peers,
        "frames": snapshot.frames, "late": snapshot.late, "dropped": snapshot.dropped,
        "blackout": snapshot.blackout, "home": snapshot.home, "frozen": snapshot.frozen,
        "offsets": np.round(snapshot.offsets, 4).tolist(),
    })


def main() -> None:
    """The page's process: settings on stdin, the port (or the failure) on stdout, then commands on stdout."""
    from ...patterns.packs import load_library

    # The show's own process comes first whenever the two want the same core.
    os.nice(10)
    # Ctrl-C in the show's terminal reaches this process too: the show ends it, by closing stdin.
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    config = json.loads(sys.stdin.readline())
    settings = PageSettings(**config["settings"])
    out = sys.stdout

    def report(line: dict[str, Any]) -> None:
        out.write(json.dumps(line) + "\n")
        out.flush()

    def take(text: str, received: float) -> None:
        report({"received": received, "message": text})

    async def run() -> None:
        library = load_library(config["pack"]) if config["pack"] else None
        board = Board.attach(int(sys.argv[1]), config["fixtures"])
        app = PageApp(config["hello"], board, take, token=config["token"], settings=settings,
                      catalogue=PatternSet(library))
        try:
            runner = await app.start()
        except OSError as error:
            report({"error": str(error)})
            return
        report({"port": app.port})
        loop = asyncio.get_running_loop()
        # The show closes stdin to stop the page, or by ending.
        stopped = loop.run_in_executor(None, sys.stdin.read)
        await app.serve_until(stopped, runner)

    asyncio.run(run())
