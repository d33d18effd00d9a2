"""The show as the page sees it: one immutable snapshot a frame, swapped in by the frame loop, read by the server.

``Publisher`` is an output of the frame loop: each frame it sends, it also
takes a snapshot of the rig and the clock and puts it in place of the last
one with a single assignment. The loop never waits for a reader, and a reader
always gets a whole snapshot of one frame.
"""

from __future__ import annotations

import dataclasses
import math
import time
from typing import TYPE_CHECKING

import numpy as np

from ..outputs import Frame

if TYPE_CHECKING:
    from ..loop import Live


@dataclasses.dataclass(frozen=True)
class Cues:
    """What each fixture plays: its pattern, the pips its fade to it runs between, its speed and size."""

    patterns: tuple[str, ...]
    fade_start: tuple[int, ...]
    fade_end: tuple[int, ...]
    speed: tuple[float, ...]
    size: tuple[float, ...]


@dataclasses.dataclass(frozen=True)
class Snapshot:
    number: int  # counts the snapshots taken
    at: float  # time.monotonic() when taken
    pip: int  # the loop's pip for this frame
    held: int  # the pip the fixtures show (the pip, or the one they froze at)
    bpm: float
    peers: int | None  # other peers of a Link session
    frames: int
    late: int
    dropped: int
    blackout: bool
    home: bool
    frozen: bool
    offsets: np.ndarray  # (fixtures, 3), read-only
    cues: Cues


class Publisher:
    """An output that keeps the latest ``Snapshot`` of the show in ``latest`` (None before the first frame)."""

    def __init__(self) -> None:
        self.latest: Snapshot | None = None
        self._live: Live | None = None
        self._cues: Cues | None = None

    def attach(self, live: Live) -> None:
        """The loop whose frames this output is given; called before it runs."""
        self._live = live

    def send(self, frame: Frame) -> None:
        live = self._live
        if live is None:
            return
        now = time.monotonic()
        offsets = np.array(frame.offsets, dtype=np.float64)
        offsets.flags.writeable = False
        try:
            bpm = float(live.clock.bpm_at(now))
        except ValueError:
            bpm = math.nan
        peers = getattr(live.clock, "peers", None)
        previous = self.latest
        self.latest = Snapshot(
            number=previous.number + 1 if previous else 1, at=now, pip=live.pip,
            held=live.pip if live.frozen is None else live.frozen, bpm=bpm,
            peers=peers if isinstance(peers, int) else None, frames=live.stats.frames, late=live.stats.late,
            dropped=live.stats.send_errors, blackout=live.blackout, home=live.home, frozen=live.frozen is not None,
            offsets=offsets, cues=self._cues_of(live),
        )

    def _cues_of(self, live: Live) -> Cues:
        rig = live.rig
        start, end = rig.fades()
        cues = Cues(tuple(rig.pattern), tuple(start.tolist()), tuple(end.tolist()), tuple(rig.speed.tolist()),
                    tuple(rig.mapping.size.tolist()))
        if cues == self._cues:  # the same object while nothing changes: the server compares by identity
            return self._cues
        self._cues = cues
        return cues

    def close(self) -> None:
        pass
