"""The show as the page sees it: a snapshot a frame, written by the frame loop into memory the page's process reads.

``Publisher`` is an output of the frame loop: each frame it sends, it also
writes a snapshot of the rig and the clock onto a ``Board``, a small file in
memory shared with the page's process. A sequence number guards each write
(odd while it is under way), so a reader copies a whole snapshot of one
frame or tries again; the loop never waits for a reader. What each fixture
plays (its cue, fade, speed and size) changes rarely: it is written, as the
message the pages get, only when it changes.
"""

from __future__ import annotations

import dataclasses
import json
import math
import mmap
import os
import tempfile
import time
from typing import TYPE_CHECKING

import numpy as np

from ..outputs import Frame

if TYPE_CHECKING:
    from ..loop import Live

_HEADER = 16  # float64 values before the offsets
_SEQUENCE, _NUMBER, _AT, _PIP, _HELD, _BPM, _PEERS, _FRAMES, _LATE, _DROPPED, _FLAGS, _CUES_NUMBER, _CUES_LENGTH = (
    range(13))
_BLACKOUT, _HOME, _FROZEN = 1, 2, 4


@dataclasses.dataclass(frozen=True)
class Cues:
    """What each fixture plays: its pattern, the pips its fade to it runs between, its speed and size."""

    patterns: tuple[str, ...]
    fade_start: tuple[int, ...]
    fade_end: tuple[int, ...]
    speed: tuple[float, ...]
    size: tuple[float, ...]

    def message(self) -> str:
        return json.dumps({"type": "cues", "patterns": self.patterns, "fade_start": self.fade_start,
                           "fade_end": self.fade_end, "speed": self.speed, "size": self.size})


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
    offsets: np.ndarray  # (fixtures, 3)
    cues_number: int  # counts the changes of the cues
    cues: str  # the cues as the pages' message


class Board:
    """Snapshots of ``fixtures`` fixtures in shared memory: ``create`` for the writer, ``attach`` for a reader."""

    def __init__(self, fd: int, fixtures: int, *, create: bool) -> None:
        self.fd = fd
        self.fixtures = fixtures
        # A cue's pattern name, its fade and its speed and size, with room to spare.
        self._cues_room = 4096 + 256 * fixtures
        size = 8 * (_HEADER + 3 * fixtures) + self._cues_room
        if create:
            os.ftruncate(fd, size)
        self._memory = mmap.mmap(fd, size)
        self._header = np.ndarray((_HEADER,), dtype=np.float64, buffer=self._memory)
        self._offsets = np.ndarray((fixtures, 3), dtype=np.float64, buffer=self._memory, offset=8 * _HEADER)
        self._cues = np.ndarray((self._cues_room,), dtype=np.uint8, buffer=self._memory,
                                offset=8 * (_HEADER + 3 * fixtures))

    @classmethod
    def create(cls, fixtures: int) -> Board:
        """A new board in an unnamed file (in memory where the system has /dev/shm), for a reader to attach to."""
        folder = "/dev/shm" if os.path.isdir("/dev/shm") else None
        handle, path = tempfile.mkstemp(prefix="kinetrope-page-", dir=folder)
        os.unlink(path)  # gone when both processes close it
        return cls(handle, fixtures, create=True)

    @classmethod
    def attach(cls, fd: int, fixtures: int) -> Board:
        return cls(fd, fixtures, create=False)

    def write(self, *, at: float, pip: int, held: int, bpm: float, peers: int | None, frames: int, late: int,
              dropped: int, blackout: bool, home: bool, frozen: bool, offsets: np.ndarray, cues: str | None) -> None:
        """One snapshot; ``cues`` only when they changed (else None)."""
        header = self._header
        header[_SEQUENCE] += 1  # odd: a write under way
        header[_NUMBER] += 1
        header[_AT:_FLAGS + 1] = (at, pip, held, bpm, -1 if peers is None else peers, frames, late, dropped,
                                  _BLACKOUT * blackout + _HOME * home + _FROZEN * frozen)
        self._offsets[:] = offsets
        if cues is not None:
            encoded = np.frombuffer(cues.encode(), dtype=np.uint8)[:self._cues_room]
            self._cues[:encoded.size] = encoded
            header[_CUES_LENGTH] = encoded.size
            header[_CUES_NUMBER] += 1
        header[_SEQUENCE] += 1

    def read(self, previous: Snapshot | None = None) -> Snapshot | None:
        """The latest snapshot, or None if there is none yet (or the writer kept it busy); ``previous`` saves
        decoding cues that have not changed."""
        header = self._header
        for _ in range(8):
            sequence = header[_SEQUENCE]
            if sequence == 0 or sequence % 2:
                time.sleep(0.0005)
                continue
            values = header.copy()
            offsets = self._offsets.copy()
            cues_number = int(values[_CUES_NUMBER])
            if previous is not None and previous.cues_number == cues_number:
                cues = previous.cues
            else:
                cues = self._cues[:int(values[_CUES_LENGTH])].tobytes().decode("utf-8", "replace")
            if header[_SEQUENCE] != sequence:
                continue
            flags = int(values[_FLAGS])
            return Snapshot(
                number=int(values[_NUMBER]), at=float(values[_AT]), pip=int(values[_PIP]), held=int(values[_HELD]),
                bpm=float(values[_BPM]), peers=None if values[_PEERS] < 0 else int(values[_PEERS]),
                frames=int(values[_FRAMES]), late=int(values[_LATE]), dropped=int(values[_DROPPED]),
                blackout=bool(flags & _BLACKOUT), home=bool(flags & _HOME), frozen=bool(flags & _FROZEN),
                offsets=offsets, cues_number=cues_number, cues=cues,
            )
        return None

    def close(self) -> None:
        self._memory.close()
        os.close(self.fd)


class Publisher:
    """An output that writes each frame's snapshot of the show onto ``board``."""

    def __init__(self, board: Board) -> None:
        self.board = board
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
        try:
            bpm = float(live.clock.bpm_at(now))
        except ValueError:
            bpm = math.nan
        peers = getattr(live.clock, "peers", None)
        self.board.write(
            at=now, pip=live.pip, held=live.pip if live.frozen is None else live.frozen, bpm=bpm,
            peers=peers if isinstance(peers, int) else None, frames=live.stats.frames, late=live.stats.late,
            dropped=live.stats.send_errors, blackout=live.blackout, home=live.home, frozen=live.frozen is not None,
            offsets=frame.offsets, cues=self._changed_cues(live),
        )

    def _changed_cues(self, live: Live) -> str | None:
        rig = live.rig
        start, end = rig.fades()
        cues = Cues(tuple(rig.pattern), tuple(start.tolist()), tuple(end.tolist()), tuple(rig.speed.tolist()),
                    tuple(rig.mapping.size.tolist()))
        if cues == self._cues:
            return None
        self._cues = cues
        return cues.message()

    def close(self) -> None:
        pass  # the page's server closes the board
