"""The page as the show sees it: a ``control.Source`` whose server runs in a process of its own.

``PageServer`` writes the show's fixed parts for the page, starts the
server's process (``serve.py``, ``server.py``) with the board the ``publisher`` writes each
frame's snapshot on, and reads the control messages the server passes on.
The frame loop takes them with ``pending()`` between frames, as it takes the
OSC port's: each is checked again here and turned into its command, with the
moment the server got it (a tap keeps its time). The loop never waits for
the server: reading its messages never blocks, and a server that stops
answering, or ends, leaves the show playing without its page.
"""

from __future__ import annotations

import dataclasses
import json
import os
import secrets
import subprocess
import sys
from typing import Any

import kinetrope

from ...base.errors import KinetropeError
from ...clocks import Clock, Tappable, TempoSettable
from ...patterns.library import PatternSet
from .. import control
from ..show import Show
from . import layout, messages
from .paths import path_of
from .server import PageSettings, is_loopback
from .state import Board, Publisher

_MAX_LINE = 2 * messages.MAX_MESSAGE_BYTES + 100  # a message and the moment it came, JSON-encoded


class PageError(KinetropeError, OSError):
    """The page's server could not start (its address taken, or not this machine's)."""


def hello_of(show: Show, catalogue: PatternSet, *, clock: Clock, clock_source: str, rate: float) -> str:
    """The first message every page gets: the show's fixtures, groups, places, colours and patterns."""
    colours = layout.colours(show)
    places = layout.positions(show)
    in_use = list(dict.fromkeys(f.pattern for f in show.fixtures))
    group_colour = {f.group: c for f, c in zip(show.fixtures, colours) if f.group is not None}
    return json.dumps({
        "type": "hello",
        "show": show.path.replace("\\", "/").rsplit("/", 1)[-1],
        "fps": show.fps, "beats_per_bar": show.beats_per_bar, "pips_per_beat": kinetrope.PIPS_PER_BEAT,
        "crossfade_beats": show.crossfade_beats, "clock": clock_source, "rate": rate,
        # What the clock takes from the page: taps, a tempo.
        "taps": isinstance(clock, Tappable), "tempo": isinstance(clock, TempoSettable),
        "fixtures": [
            {"name": f.name, "group": f.group, "colour": c, "position": list(p), "pattern": f.pattern,
             "speed": f.speed, "size": f.size, "visual": f.universe is None}
            for f, c, p in zip(show.fixtures, colours, places)
        ],
        "groups": [{"name": name, "members": list(members), "colour": group_colour[name]}
                   for name, members in show.groups.items()],
        "cues": in_use,
        "paths": {name: path_of(name, catalogue) for name in in_use},
    })


class PageServer:
    """Serves the page of ``show`` while it plays: ``publisher`` goes among the loop's outputs, ``url`` is where
    to open the page, and ``close()`` ends it.

    ``clock`` is the show's clock and ``clock_source`` its name on the page
    ("fixed", "tap", "link", "midi", "beats"); ``pack`` is the pack file the show's patterns come from,
    if any, and ``library`` the library read from it.
    """

    def __init__(self, show: Show, *, clock: Clock, clock_source: str, library: kinetrope.PatternLibrary | None = None,
                 pack: str | None = None, settings: PageSettings = PageSettings()) -> None:
        self.settings = settings
        self.token = None if is_loopback(settings.host) else secrets.token_urlsafe(18)
        catalogue = PatternSet(library)
        self._patterns = frozenset(e.name for e in catalogue.entries)
        self._targets = frozenset([f.name for f in show.fixtures] + list(show.groups))
        self._buffer = b""
        board = Board.create(len(show.fixtures))
        self.publisher = Publisher(board)
        config = {"settings": dataclasses.asdict(settings), "token": self.token, "pack": pack,
                  "fixtures": len(show.fixtures),
                  "hello": hello_of(show, catalogue, clock=clock, clock_source=clock_source, rate=settings.rate)}
        self._process = subprocess.Popen(
            [sys.executable, "-m", "kinetrope_tools.stage.page.serve", str(board.fd)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, pass_fds=(board.fd,))
        assert self._process.stdin is not None and self._process.stdout is not None
        try:
            self._process.stdin.write(json.dumps(config).encode() + b"\n")
            self._process.stdin.flush()
            answer: dict[str, Any] = json.loads(self._process.stdout.readline() or b'{"error": "it ended"}')
        except (OSError, ValueError) as error:
            answer = {"error": str(error)}
        if "port" not in answer:
            self.close()
            raise PageError(f"the page cannot be served on {settings.host} port {settings.port}: {answer['error']}")
        self.port = int(answer["port"])
        self._out = self._process.stdout.fileno()
        os.set_blocking(self._out, False)

    @property
    def url(self) -> str:
        host = self.settings.host
        shown = f"[{host}]" if ":" in host else host
        return f"http://{shown}:{self.port}/" + (f"?token={self.token}" if self.token else "")

    def pending(self) -> list[control.Command]:
        """The commands the pages sent since the last call, oldest first (at most ``max_queued``)."""
        try:
            while len(self._buffer) < self.settings.max_queued * _MAX_LINE:
                data = os.read(self._out, 65536)
                if not data:
                    break  # the server ended: the show goes on without it
                self._buffer += data
        except (BlockingIOError, OSError, ValueError):
            pass
        *lines, self._buffer = self._buffer.split(b"\n")
        commands = []
        for line in lines[:self.settings.max_queued]:
            try:
                said = json.loads(line)
                received = float(said["received"])
                message = messages.parse(said["message"])
                commands.append(messages.command_of(message, targets=self._targets, patterns=self._patterns,
                                                    clock=lambda: received))
            except (ValueError, KeyError, TypeError):
                continue  # the server checked it; nothing else is taken
        return commands

    def close(self) -> None:
        process = self._process
        if process.stdin is not None and not process.stdin.closed:
            try:
                process.stdin.close()  # the server's signal to end
            except OSError:
                pass
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        if process.stdout is not None:
            process.stdout.close()
        self.publisher.board.close()
