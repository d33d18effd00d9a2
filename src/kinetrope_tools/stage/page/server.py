"""The page's server: one page and one WebSocket, on aiohttp, in a thread and an event loop of its own.

The server is a ``control.Source``: what a page asks for is checked
(``messages``), turned into commands and queued; the frame loop takes them
with ``pending()`` between frames, as it takes the OSC port's. The other way,
a broadcaster reads the ``Publisher``'s latest snapshot at most ``rate``
times a second, encodes it once and hands it to every page; a page that
reads slowly gets the newest state when it is ready and never holds up the
others or the loop.

Safety: bound to loopback, the server answers only requests addressed to a
loopback name; bound to any other address it wants a token (generated,
given in the URL, compared in constant time). The WebSocket takes only
connections whose Origin is the page's own. Messages are bounded in size and
rate per page, the pages open at once are bounded, and the queue to the loop
is bounded: a hostile page gets errors, the show goes on.
"""

from __future__ import annotations

import asyncio
import collections
import dataclasses
import functools
import hmac
import importlib.resources
import ipaddress
import json
import math
import secrets
import threading
import time
from typing import Any

import numpy as np
from aiohttp import WSMsgType, web

import kinetrope

from ...base.errors import KinetropeError
from ...patterns import arrays
from ...patterns.library import PatternSet
from .. import control
from ..show import Show
from . import layout, messages
from .state import Cues, Publisher, Snapshot

DEFAULT_PORT = 8740
MAX_PATH_POINTS = 512
MAX_FOUND = 40


class PageError(KinetropeError, OSError):
    """The page's server could not start (its address taken, or not this machine's)."""


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
        self.cues: Cues | None = None
        self.cues_text: str | None = None  # the cues, when they changed since this page was last sent them
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


class PageServer:
    """Serves the page of ``show`` while it plays; ``url`` is where to open it; ``close()`` ends it.

    ``publisher`` is an output of the show's loop; ``clock_source`` names the
    clock on the page ("fixed", "tap", "link", "midi", "beats").
    """

    def __init__(self, show: Show, publisher: Publisher, *, clock_source: str,
                 library: kinetrope.PatternLibrary | None = None, settings: PageSettings = PageSettings()) -> None:
        self.settings = settings
        self._publisher = publisher
        self._library = library
        self._catalogue = PatternSet(library)
        self._pattern_names = frozenset(e.name for e in self._catalogue.entries)
        self._targets = frozenset([f.name for f in show.fixtures] + list(show.groups))
        self._hello = self._hello_of(show, clock_source)
        self._queued: collections.deque[control.Command] = collections.deque()
        self._queue_lock = threading.Lock()
        self._pages: set[_Page] = set()
        self._cut_off: dict[str, float] = {}  # address -> until when its pages are refused
        self.token = None if is_loopback(settings.host) else secrets.token_urlsafe(18)
        self._loop = asyncio.new_event_loop()
        self._stopped: asyncio.Event | None = None
        self._runner: web.AppRunner | None = None
        self._failure: BaseException | None = None
        self._ready = threading.Event()
        self._thread = threading.Thread(target=self._serve, name="kinetrope-page", daemon=True)
        self._thread.start()
        self._ready.wait()
        if self._failure is not None:
            self._thread.join()
            raise PageError(f"the page cannot be served on {settings.host} port {settings.port}: "
                            f"{self._failure}") from self._failure

    # --- what the frame loop sees ----------------------------------------------------------------------------------

    def pending(self) -> list[control.Command]:
        with self._queue_lock:
            taken = list(self._queued)
            self._queued.clear()
        return taken

    def _queue(self, command: control.Command) -> None:
        with self._queue_lock:
            if len(self._queued) >= self.settings.max_queued:
                raise messages.Refused("the show has too many commands waiting: try again")
            self._queued.append(command)

    # --- the page's fixed parts ------------------------------------------------------------------------------------

    @property
    def url(self) -> str:
        host = self.settings.host
        shown = f"[{host}]" if ":" in host else host
        query = f"/?token={self.token}" if self.token else "/"
        return f"http://{shown}:{self.port}{query}"

    def _hello_of(self, show: Show, clock_source: str) -> str:
        colours = layout.colours(show)
        places = layout.positions(show)
        in_use = list(dict.fromkeys(f.pattern for f in show.fixtures))
        group_colour = {f.group: c for f, c in zip(show.fixtures, colours) if f.group is not None}
        hello = {
            "type": "hello",
            "show": show.path.replace("\\", "/").rsplit("/", 1)[-1],
            "fps": show.fps, "beats_per_bar": show.beats_per_bar, "pips_per_beat": kinetrope.PIPS_PER_BEAT,
            "crossfade_beats": show.crossfade_beats, "clock": clock_source, "rate": self.settings.rate,
            "fixtures": [
                {"name": f.name, "group": f.group, "colour": c, "position": list(p), "pattern": f.pattern,
                 "speed": f.speed, "size": f.size, "visual": f.universe is None}
                for f, c, p in zip(show.fixtures, colours, places)
            ],
            "groups": [{"name": name, "members": list(members), "colour": group_colour[name]}
                       for name, members in show.groups.items()],
            "cues": in_use,
            "paths": {name: self._path(name) for name in in_use},
        }
        return json.dumps(hello)

    @functools.lru_cache(maxsize=256)  # noqa: B019 (one server a show: it lives as long as the show)
    def _path(self, name: str) -> dict[str, Any]:
        """One period of a pattern for drawing: at most MAX_PATH_POINTS rows, and what it is."""
        rows = arrays.rows(name, self._library)
        step = max(1, -(-rows.shape[0] // MAX_PATH_POINTS))
        entry = self._catalogue[name]
        return {"pattern": name, "period_pips": int(rows.shape[0]), "step": step, "dimensions": entry.dimensions,
                "description": entry.description, "points": np.round(rows[::step], 3).tolist()}

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

    @property
    def port(self) -> int:
        return self._bound_port

    def _serve(self) -> None:
        loop = self._loop
        asyncio.set_event_loop(loop)
        try:
            loop.run_until_complete(self._start())
        except BaseException as error:  # reported to the thread that made the server
            self._failure = error
            loop.close()
            self._ready.set()
            return
        self._ready.set()
        try:
            loop.run_until_complete(self._run())
        finally:
            loop.close()

    async def _start(self) -> None:
        self._stopped = asyncio.Event()
        app = web.Application(client_max_size=1024)
        app.router.add_get("/", self._index)
        app.router.add_get("/ws", self._socket)
        self._runner = web.AppRunner(app, access_log=None, handle_signals=False, shutdown_timeout=1.0)
        await self._runner.setup()
        site = web.TCPSite(self._runner, self.settings.host, self.settings.port, backlog=128)
        await site.start()
        sockets = self._runner.addresses
        self._bound_port = int(sockets[0][1]) if sockets else self.settings.port

    async def _run(self) -> None:
        assert self._stopped is not None and self._runner is not None
        broadcaster = asyncio.ensure_future(self._broadcast())
        await self._stopped.wait()
        broadcaster.cancel()
        for page in list(self._pages):
            await page.socket.close(code=1001, message=b"the show has ended")
        await self._runner.cleanup()

    def close(self) -> None:
        if self._thread.is_alive() and self._stopped is not None:
            self._loop.call_soon_threadsafe(self._stopped.set)
            self._thread.join()

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
                        # Reading its messages costs the show's process time, and a
                        # closing handshake would read on: cut the connection.
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
            if kind == "path" or kind == "cue":
                name = message["pattern"]
                if not isinstance(name, str) or name not in self._pattern_names:
                    raise messages.Refused(f"no pattern is named {json.dumps(name)[:40]}")
                # Built here, so the loop finds the pattern's rows ready when the cue comes.
                path = await asyncio.get_running_loop().run_in_executor(None, self._path, name)
                if kind == "path":
                    await page.socket.send_str(json.dumps({"type": "path", **path}))
                    return
            command = messages.command_of(message, targets=self._targets, patterns=self._pattern_names)
            self._queue(command)
        except messages.Refused as refused:
            await self._error(page, str(refused))

    async def _broadcast(self) -> None:
        interval = 1.0 / self.settings.rate
        shown: Snapshot | None = None
        cues_text: tuple[Cues, str] | None = None
        while True:
            await asyncio.sleep(interval)
            snapshot = self._publisher.latest
            if snapshot is None or snapshot is shown or not self._pages:
                continue
            shown = snapshot
            if cues_text is None or cues_text[0] is not snapshot.cues:
                cues_text = (snapshot.cues, _cues_message(snapshot.cues))
            state = _state_message(snapshot)
            for page in self._pages:
                page.state = state
                if page.cues is not snapshot.cues:
                    page.cues = snapshot.cues
                    page.cues_text = cues_text[1]
                page.ready.set()

    async def _send_to(self, page: _Page) -> None:
        try:
            while True:
                await page.ready.wait()
                page.ready.clear()
                cues_text, page.cues_text = page.cues_text, None
                if cues_text is not None:
                    await page.socket.send_str(cues_text)
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


def _cues_message(cues: Cues) -> str:
    return json.dumps({"type": "cues", "patterns": cues.patterns, "fade_start": cues.fade_start,
                       "fade_end": cues.fade_end, "speed": cues.speed, "size": cues.size})
