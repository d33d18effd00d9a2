"""Ableton Link: tempo, beat and phase shared with the other programs on the network.

The binding, ``aalink``, and Link itself are GPL-licensed: they are the
optional ``link`` extra (``pip install 'kinetrope[link]'``) and are imported
only when a LinkClock is made. aalink runs on an asyncio loop; the clock owns
one in a daemon thread, which reads the session every few milliseconds and
keeps a line of time that the clock's methods read without waiting.

Link promises every peer the same tempo and the same phase within the
quantum (a bar of ``quantum`` beats), not the same beat count: the pips of
two peers agree modulo ``64 * quantum``.

A reading of the session that is no tempo or no beat (NaN or infinite from
a peer, a tempo outside ``BPM_MIN`` to ``BPM_MAX``) is passed over: the
clock runs on along the last good line, at first the tempo it brought.
"""

from __future__ import annotations

import math
import threading
import time
from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    import asyncio

from ..base.errors import KinetropeError
from ..base.optional import require
from ..base.pips import PIPS_PER_BEAT, checked_pip, checked_seconds
from ._linear import Line
from .protocol import ClockError
from .tempo import BPM_MAX, BPM_MIN, checked_bpm

# How often the session is read, and how far (in pips) the kept line may
# drift from it before it is drawn again.
_POLL_SECONDS = 0.005
_DRIFT_PIPS = 0.05


class LinkError(KinetropeError, RuntimeError):
    """Link did not start, or the clock has left its session."""


class LinkClock:
    """Joins the Link session on the network and follows it (``time.monotonic()`` seconds).

    ``bpm`` is the tempo this peer brings if it starts the session; once it
    has joined others, the session's tempo rules. Close it (or use it as a
    context manager) to leave the session.
    """

    def __init__(self, bpm: float = 120.0, *, quantum: int = 4, start_timeout: float = 10.0) -> None:
        if isinstance(quantum, bool) or not isinstance(quantum, int) or not 1 <= quantum <= 64:
            raise ClockError(f"quantum is a whole number of beats from 1 to 64, not {quantum!r}")
        bpm = checked_bpm(bpm)
        # asyncio too is imported here: it costs more than the rest of the package's clocks.
        import asyncio

        aalink = require("aalink", "LinkClock")
        self.quantum = quantum
        self._bpm = bpm
        self._line: Line | None = None
        self._peers = 0
        self._loop = asyncio.new_event_loop()
        self._link: Any = None
        self._stop: asyncio.Event | None = None
        self._ready = threading.Event()
        self._failure: BaseException | None = None
        self._thread = threading.Thread(target=self._run, args=(aalink, bpm), name="kinetrope-link", daemon=True)
        self._thread.start()
        if not self._ready.wait(start_timeout) or self._failure is not None:
            self.close()
            raise LinkError(f"Link did not start: {self._failure or 'timed out'}")

    # -- the loop thread

    def _run(self, aalink: Any, bpm: float) -> None:
        import asyncio

        asyncio.set_event_loop(self._loop)
        try:
            self._loop.run_until_complete(self._serve(aalink, bpm))
        finally:
            self._loop.close()

    async def _serve(self, aalink: Any, bpm: float) -> None:
        """Joins, then reads the session every few milliseconds until ``close`` sets ``_stop``."""
        import asyncio

        self._stop = asyncio.Event()
        try:
            self._link = aalink.Link(bpm, self._loop)
            self._link.quantum = self.quantum
            self._link.enabled = True
            self._read()
        except BaseException as error:  # reported to the constructor, which raises
            self._failure = error
            self._link = None
            return
        finally:
            self._ready.set()
        try:
            while not self._stop.is_set():
                self._read()
                try:
                    await asyncio.wait_for(self._stop.wait(), _POLL_SECONDS)
                except TimeoutError:
                    pass
        finally:
            self._link.enabled = False
            self._link = None

    def _read(self) -> None:
        """Samples the session's beat against the monotonic clock; redraws the line if it moved."""
        link = self._link
        before = time.monotonic()
        beat = link.beat
        after = time.monotonic()
        tempo = link.tempo
        self._peers = link.num_peers
        now = (before + after) / 2
        line = self._line
        if not (math.isfinite(beat) and math.isfinite(tempo) and BPM_MIN <= tempo <= BPM_MAX):
            if line is None:
                self._line = Line(0, now, 60.0 / (self._bpm * PIPS_PER_BEAT))
            return
        if (line is not None and math.isclose(line.bpm, tempo, rel_tol=1e-12)
                and abs(line.position_at(now) - beat * PIPS_PER_BEAT) < _DRIFT_PIPS):
            return
        seconds_per_pip = 60.0 / (tempo * PIPS_PER_BEAT)
        position = beat * PIPS_PER_BEAT
        pip = math.floor(position)
        self._line = Line(pip, now - (position - pip) * seconds_per_pip, seconds_per_pip)

    def _call(self, function: Any, timeout: float = 5.0) -> Any:
        """Runs ``function`` on the loop thread, where the Link object lives, and waits for it."""
        import asyncio

        async def call() -> Any:
            return function()

        if self._link is None:
            raise LinkError("this LinkClock has left its session")
        return asyncio.run_coroutine_threadsafe(call(), self._loop).result(timeout)

    # -- the session

    @property
    def bpm(self) -> float:
        """The session's tempo."""
        return self._current().bpm

    @property
    def peers(self) -> int:
        """How many other peers are in the session."""
        return self._peers

    def set_bpm(self, bpm: float) -> None:
        """Proposes ``bpm`` to the session; every peer follows it (unless another proposes a tempo too)."""
        bpm = checked_bpm(bpm)

        def propose() -> None:
            self._link.tempo = bpm
            self._read()

        self._call(propose)

    def close(self) -> None:
        """Leaves the session and stops the loop thread; the clock keeps its last line."""
        stop = getattr(self, "_stop", None)
        if stop is not None and self._thread.is_alive():
            try:
                self._loop.call_soon_threadsafe(stop.set)
            except RuntimeError:  # the loop closed meanwhile
                pass
        self._thread.join(10.0)

    def __enter__(self) -> LinkClock:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    # -- the clock

    def _current(self) -> Line:
        line = self._line
        if line is None:
            raise LinkError("this LinkClock never joined a session")
        return line

    def pip_at(self, seconds: float) -> int:
        """The pip at ``seconds`` on the session's timeline as last read."""
        return self._current().pip_at(checked_seconds(seconds), "of this Link session")

    def seconds_at(self, pip: int) -> float:
        return self._current().seconds_at(checked_pip(pip))

    def bpm_at(self, seconds: float) -> float:
        checked_seconds(seconds)
        return self._current().bpm

    def pip_now(self) -> int:
        return self.pip_at(time.monotonic())

    def __repr__(self) -> str:
        line = self._line
        return f"LinkClock(quantum={self.quantum}, bpm={line.bpm if line else math.nan:.2f}, peers={self._peers})"
