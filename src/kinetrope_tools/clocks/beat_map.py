"""A tempo map from the measured beat times of a track.

Beat k sits at pip ``64 * (k - downbeat) + offset``: the first downbeat is pip
``offset`` (0 unless the user moves it), so a pattern's pip 0 lands on a
downbeat, and correcting the downbeat moves the bar lines and the pips with
it. With the downbeat at beat 0 this is plainly ``64 * k + offset``. Between
two beats the pips run evenly; before the first beat and after the last the
map keeps the tempo of the nearest measured beat.

A map's tempo (the median gap between its beats) is a tempo from ``BPM_MIN``
to ``BPM_MAX``, as everywhere. One gap between two beats of a real song may
stray far from it: half or a third of the tempo where the tracker missed a
beat, a long gap over a break or a held chord it marked no beat in, double
where it marked an off-beat. So each gap may be from 1/16 to 256 of the
map's beats (64 bars of four); a map outside that is no song's, and one that
loaded anyway would race through the pips or stand still in a show.
"""

from __future__ import annotations

import bisect
import json
import math
import operator
import os
import stat
import time
from collections.abc import Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

from ..base.errors import KinetropeError
from ..base.files import write_text
from ..base.pips import PIP_MAX, PIP_MIN, PIPS_PER_BEAT, checked_pip, checked_seconds, exact_floor
from .tempo import BPM_MAX, BPM_MIN


# Each pip between two beats must get its own, later float: beats closer than
# this many float steps of their own size cannot hold 64 distinct pips.
_MIN_STEPS_PER_BEAT = 1024

_KEYS = ("beats", "downbeat", "offset", "bars")
# Ten hours at 300 bpm is under 4 MiB of JSON; anything far larger is not a map.
_LARGEST_FILE = 64 * 2**20
# One gap between beats, in beats of the map's tempo (see above).
_SHORTEST_GAP = 1 / 16
_LONGEST_GAP = 256
# Beats measured at a tempo at the range's edge may divide to a hair past it.
_EDGE = 1e-9
# A whole number longer than this is no index, offset or time of a map (a
# 32-bit pip has 11 characters); refused before Python's own digit limit.
_LONGEST_WHOLE = 40


class BeatMapError(KinetropeError, ValueError):
    """A beat list or a beat map file that cannot make a map; the message is one line."""


def _beat_times(beats: Any) -> npt.NDArray[np.float64]:
    try:
        times = np.array(beats, dtype=np.float64)
    except (TypeError, ValueError, OverflowError):
        raise BeatMapError("beats must be a list of times in seconds") from None
    if times.ndim != 1:
        raise BeatMapError("beats must be a flat list of times in seconds")
    if times.size == 0:
        raise BeatMapError("the beat list is empty")
    bad = np.flatnonzero(~np.isfinite(times))
    if bad.size:
        raise BeatMapError(f"beat {bad[0]} is not a finite time ({times[bad[0]]})")
    if times.size == 1:
        raise BeatMapError("a beat map needs at least two beats to measure a tempo")
    steps = np.diff(times)
    late = np.flatnonzero(steps <= 0)
    if late.size:
        k = int(late[0]) + 1
        raise BeatMapError(f"beats must be ascending: beat {k} ({times[k]} s) is not after beat {k - 1} ({times[k - 1]} s)")
    size = np.maximum(np.abs(times[:-1]), np.abs(times[1:]))
    close = np.flatnonzero(steps < _MIN_STEPS_PER_BEAT * np.spacing(size))
    if close.size:
        k = int(close[0]) + 1
        raise BeatMapError(f"beats {k - 1} and {k} are too close together for 64 pips between them")
    beat = float(np.median(steps))
    if not BPM_MIN * (1 - _EDGE) <= 60.0 / beat <= BPM_MAX * (1 + _EDGE):
        raise BeatMapError(f"the beats' tempo is {60.0 / beat:.6g} beats a minute (a beat every {beat:.6g} s); "
                           f"a beat map's tempo is from {BPM_MIN:g} to {BPM_MAX:g}")
    stray = np.flatnonzero((steps < _SHORTEST_GAP * beat) | (steps > _LONGEST_GAP * beat))
    if stray.size:
        k = int(stray[0]) + 1
        gap = float(steps[k - 1])  # a Python float: a ratio past the largest double is inf, without a warning
        raise BeatMapError(f"beats {k - 1} and {k} are {gap:.6g} s apart, {gap / beat:.3g} of the map's beat of "
                           f"{beat:.6g} s; a gap between beats is from 1/16 to {_LONGEST_GAP} beats")
    times.flags.writeable = False
    return times


def _whole(value: Any, name: str) -> int:
    if isinstance(value, bool):
        raise BeatMapError(f"{name} must be a whole number, not {value!r}")
    try:
        return operator.index(value)
    except TypeError:
        raise BeatMapError(f"{name} must be a whole number, not {type(value).__name__}") from None


def _bar_starts(bars: Any, count: int) -> tuple[int, ...]:
    """The indices of the beats bars start on: whole, ascending, each the index of a beat."""
    starts = tuple(_whole(value, "a bar's beat") for value in bars)
    if any(not 0 <= start < count for start in starts):
        raise BeatMapError(f"bars must be indices of beats (0 to {count - 1})")
    if any(later <= earlier for earlier, later in zip(starts, starts[1:])):
        raise BeatMapError("bars must be ascending beat indices")
    return starts


class BeatMap:
    """Pips from the measured beat times (seconds, ascending) of a track.

    ``downbeat`` is the index of the first downbeat among ``beats`` and
    ``offset`` the pip that downbeat gets. ``pip_at`` takes and ``seconds_at``
    gives the track's own time in seconds.
    """

    def __init__(
        self, beats: Sequence[float] | npt.NDArray[Any], *, offset: int = 0, downbeat: int = 0,
        bars: Sequence[int] | None = None,
    ) -> None:
        times = _beat_times(beats)
        self._bars = None if bars is None else _bar_starts(bars, len(times))
        self._beats = times
        self._times: list[float] = times.tolist()
        self._steps: list[float] = np.diff(times).tolist()
        self._bpm = 60.0 / float(np.median(times[1:] - times[:-1]))
        self._offset = 0
        self._downbeat = 0
        self._first_pip = 0
        self.downbeat = downbeat
        self.offset = offset

    # -- the map's own numbers

    @property
    def beats(self) -> npt.NDArray[np.float64]:
        """The beat times in seconds (a read-only array)."""
        return self._beats

    @property
    def bpm(self) -> float:
        """The median tempo: 60 over the median time between beats."""
        return self._bpm

    @property
    def bars(self) -> tuple[int, ...]:
        """The index of every beat a bar starts on: as tracked, or (for a map that does not say)
        every fourth beat from the first downbeat."""
        if self._bars is not None:
            return self._bars
        return tuple(range(self._downbeat % 4, len(self._times), 4))

    @property
    def downbeat(self) -> int:
        """Index in ``beats`` of the first downbeat; setting it moves the pips so that it gets ``offset``."""
        return self._downbeat

    @downbeat.setter
    def downbeat(self, value: int) -> None:
        index = _whole(value, "downbeat")
        if not 0 <= index < len(self._times):
            raise BeatMapError(f"downbeat {index} is not the index of a beat (0 to {len(self._times) - 1})")
        self._place(self._offset, index)

    @property
    def offset(self) -> int:
        """The pip of the first downbeat (0: a pattern's pip 0 lands on it)."""
        return self._offset

    @offset.setter
    def offset(self, value: int) -> None:
        pip = _whole(value, "offset")
        if not PIP_MIN <= pip <= PIP_MAX:
            raise BeatMapError(f"offset {pip} is outside the 32-bit pip range")
        self._place(pip, self._downbeat)

    def _place(self, offset: int, downbeat: int) -> None:
        """Puts the downbeat at pip ``offset``, if every 32-bit pip then still has a time."""
        first_pip = offset - PIPS_PER_BEAT * downbeat
        times, steps, last = self._times, self._steps, len(self._times) - 1
        # The times of the first and the last 32-bit pip, extrapolated as _seconds_at does.
        earliest = times[0] + steps[0] * ((min(PIP_MIN - first_pip, 0)) / PIPS_PER_BEAT)
        latest = times[last] + steps[-1] * (max(PIP_MAX - first_pip - PIPS_PER_BEAT * last, 0) / PIPS_PER_BEAT)
        if not (math.isfinite(earliest) and math.isfinite(latest)):
            raise BeatMapError("beat times too large: the 32-bit pip range runs past the largest float")
        self._offset, self._downbeat, self._first_pip = offset, downbeat, first_pip

    # -- the clock

    def _seconds_at(self, pip: int) -> float:
        times, steps = self._times, self._steps
        beat, part = divmod(pip - self._first_pip, PIPS_PER_BEAT)
        if beat < 0:
            return times[0] + steps[0] * ((pip - self._first_pip) / PIPS_PER_BEAT)
        last = len(times) - 1
        if beat >= last:
            return times[last] + steps[-1] * ((pip - self._first_pip - PIPS_PER_BEAT * last) / PIPS_PER_BEAT)
        return times[beat] + steps[beat] * (part / PIPS_PER_BEAT)

    def _segment(self, seconds: float) -> int:
        """The beat whose span (or, past the ends, whose tempo) holds ``seconds``."""
        return min(max(bisect.bisect_right(self._times, seconds) - 1, 0), len(self._times) - 2)

    def seconds_at(self, pip: int) -> float:
        """The time in the track at which ``pip`` begins."""
        return self._seconds_at(checked_pip(pip))

    def pip_at(self, seconds: float) -> int:
        """The pip in effect at ``seconds`` of the track (floor); ``pip_at(seconds_at(p)) == p``."""
        seconds = checked_seconds(seconds)
        times = self._times
        # Count from the beat at or before this time at its tempo; before the
        # first beat from the first, past the last from the last.
        beat = min(max(bisect.bisect_right(times, seconds) - 1, 0), len(times) - 1)
        step = self._steps[min(beat, len(self._steps) - 1)]
        estimate = self._first_pip + PIPS_PER_BEAT * (beat + (seconds - times[beat]) / step)
        return exact_floor(seconds, estimate, self._seconds_at, "of this beat map")

    def bpm_at(self, seconds: float) -> float:
        """The tempo between the beats around ``seconds``; past the ends, the nearest measured one."""
        return 60.0 / self._steps[self._segment(checked_seconds(seconds))]

    def pip_now(self) -> int:
        """``pip_at(time.monotonic())``: only meaningful when the track started at monotonic 0."""
        return self.pip_at(time.monotonic())

    # -- files

    def to_json(self) -> dict[str, Any]:
        document: dict[str, Any] = {"beats": self._times, "downbeat": self._downbeat, "offset": self._offset}
        if self._bars is not None:
            document["bars"] = list(self._bars)
        return document

    def save(self, path: str | os.PathLike[str]) -> None:
        """Writes the map as JSON, whole or not at all.

        The text goes to a new file beside ``path`` that then replaces it
        (``base.files.write_text``), so a reader never sees half a map and a
        symlink at ``path`` is replaced, not written through.
        """
        write_text(path, json.dumps(self.to_json(), allow_nan=False) + "\n")

    @classmethod
    def load(cls, path: str | os.PathLike[str]) -> BeatMap:
        """A map written by ``save``; raises BeatMapError for a file that does not hold one."""
        name = os.fspath(path)
        # Opened without blocking, so a FIFO or a device is refused instead of waited on.
        descriptor = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
        mode = os.fstat(descriptor).st_mode
        if not stat.S_ISREG(mode):
            os.close(descriptor)
            what = "a folder" if stat.S_ISDIR(mode) else "not a regular file"
            raise BeatMapError(f"{name}: not a beat map ({what})")
        with os.fdopen(descriptor, "rb") as stream:
            data = stream.read(_LARGEST_FILE + 1)
        if len(data) > _LARGEST_FILE:
            raise BeatMapError(f"{name}: not a beat map (larger than {_LARGEST_FILE // 2**20} MiB)")
        try:
            document = json.loads(data.decode("utf-8"), object_pairs_hook=_object, parse_int=_whole_number)
        except UnicodeDecodeError:
            raise BeatMapError(f"{name}: not a beat map (not UTF-8 text)") from None
        except json.JSONDecodeError as error:
            raise BeatMapError(f"{name}: not JSON: {error.msg} at line {error.lineno} column {error.colno}") from None
        except RecursionError:
            raise BeatMapError(f"{name}: not a beat map (nested too deeply)") from None
        except BeatMapError as error:  # a key given twice, a number too long to be one
            raise BeatMapError(f"{name}: {error}") from None
        try:
            return cls.from_json(document)
        except BeatMapError as error:
            raise BeatMapError(f"{name}: {error}") from None

    @classmethod
    def from_json(cls, document: Any) -> BeatMap:
        if not isinstance(document, dict):
            raise BeatMapError('a beat map is an object with "beats", "downbeat" and "offset"')
        unknown = sorted(set(document) - set(_KEYS))
        if unknown:
            raise BeatMapError(f"unknown key {unknown[0]!r} (a beat map has {', '.join(_KEYS)})")
        beats = document.get("beats")
        if not isinstance(beats, list) or not all(
                isinstance(t, (int, float)) and not isinstance(t, bool) for t in beats):
            raise BeatMapError('"beats" must be a list of times in seconds')
        bars = document.get("bars")
        if bars is not None and not isinstance(bars, list):
            raise BeatMapError('"bars" must be a list of beat indices')
        return cls(beats, offset=_whole(document.get("offset", 0), "offset"),
                   downbeat=_whole(document.get("downbeat", 0), "downbeat"), bars=bars)

    def __repr__(self) -> str:
        return (f"BeatMap(<{len(self._times)} beats from {self._times[0]:.3f} s to {self._times[-1]:.3f} s, "
                f"{self._bpm:.2f} bpm>, offset={self._offset}, downbeat={self._downbeat})")


def _object(pairs: list[tuple[str, Any]]) -> dict[str, Any]:
    """A JSON object whose keys are all different: a key given twice is refused, not settled by the last."""
    found: dict[str, Any] = {}
    for key, value in pairs:
        if key in found:
            raise BeatMapError(f"key {json.dumps(key)[:60]} is given twice")
        found[key] = value
    return found


def _whole_number(text: str) -> int:
    if len(text) > _LONGEST_WHOLE:
        raise BeatMapError(f"a whole number of {len(text.lstrip('-')):,} digits is no time, index or pip of a beat map")
    return int(text)
