"""Tap tempo: the beat from a key or a button pressed in time with the music.

The taps since the last pause form a run. The tempo is fitted to the recent
taps of the run, each numbered with the beat it falls on, so a missed tap
(a two-beat gap) or a doubled one (two taps on one beat) does not disturb it;
the phase comes from the last tap. A pause longer than two beats ends the run:
the next tap starts a new one, and lands on the first beat of a bar. Until a
run has two taps the tempo is the one in effect before (at first ``bpm``).

Like any live clock, ``pip_at`` answers from what the taps have said so far:
a tap re-sets the phase at once, so the pip may jump (forward, or back by a
fraction of a beat when a tap comes late), and a new run jumps forward to the
next bar.
"""

from __future__ import annotations

import math
import statistics
import threading
import time

from ..base.pips import PIPS_PER_BEAT, checked_pip, checked_seconds
from ._linear import Line
from .tempo import TempoError, checked_bpm


# A gap of two beats is one missed tap; a pause must be clearly longer.
_PAUSE_BEATS = 2.25
# Two recent intervals off the fitted beat by this much, the same way, are a
# new tempo rather than sloppy taps.
_TEMPO_CHANGE = 0.06


class TapTempo:
    """A clock on ``time.monotonic()`` seconds that follows taps.

    Before the first tap it runs at ``bpm`` from ``beat_zero_seconds`` (default:
    now). ``history`` is how many recent taps the tempo is fitted to. Taps
    less than 60/``max_bpm`` seconds after the first of a run are ignored as
    bounces of the key.
    """

    def __init__(self, bpm: float = 120.0, *, beats_per_bar: int = 4, history: int = 8,
                 max_bpm: float = 400.0, beat_zero_seconds: float | None = None) -> None:
        bpm = checked_bpm(bpm)
        max_bpm = checked_bpm(max_bpm)
        if bpm > max_bpm:
            raise TempoError(f"the tempo {bpm:g} is above max_bpm {max_bpm:g}")
        if not (isinstance(beats_per_bar, int) and beats_per_bar >= 1 and isinstance(history, int) and history >= 3):
            raise ValueError("beats_per_bar must be a whole number >= 1 and history a whole number >= 3")
        start = time.monotonic() if beat_zero_seconds is None else checked_seconds(beat_zero_seconds)
        self._beats_per_bar = beats_per_bar
        self._history = history
        self._shortest = 60.0 / max_bpm
        self._lock = threading.Lock()
        self._line = Line(0, start, 60.0 / (bpm * PIPS_PER_BEAT))
        # The run: tap times and the beat number of the first of them.
        self._taps: list[float] = []
        self._first_beat = 0

    @property
    def bpm(self) -> float:
        """The tempo in effect."""
        return self._line.bpm

    @property
    def taps(self) -> int:
        """How many taps the current run has counted (0 before the first or after a pause)."""
        return len(self._taps)

    def tap(self, at_seconds: float | None = None) -> float:
        """A tap at ``at_seconds`` (``time.monotonic()`` seconds, default now); returns the tempo."""
        now = time.monotonic() if at_seconds is None else checked_seconds(at_seconds)
        with self._lock:
            line, taps = self._line, self._taps
            if taps and now < taps[-1]:
                raise ValueError(f"taps must come in time order: {now} s is before the last tap at {taps[-1]} s")
            beat_seconds = line.seconds_per_beat
            if taps and now - taps[-1] > _PAUSE_BEATS * beat_seconds:
                taps.clear()
            if not taps:
                beat = math.floor(line.beat_at(now) + 0.5)
                self._first_beat = -(-beat // self._beats_per_bar) * self._beats_per_bar
                taps.append(now)
                self._line = Line(PIPS_PER_BEAT * self._first_beat, now, line.seconds_per_unit)
                return self._line.bpm
            if len(taps) == 1 and now - taps[0] < self._shortest:
                return line.bpm
            taps.append(now)
            if len(taps) > self._history:
                self._restart_at(len(taps) - self._history)
            self._line = self._fit()
            return self._line.bpm

    def _numbered(self) -> list[tuple[int, float]]:
        """The run's taps with their beat numbers, one tap a beat (the best of a doubled pair)."""
        taps = self._taps
        reference = self._reference()
        intervals = [b - a for a, b in zip(taps, taps[1:])]
        beats = [self._first_beat]
        for interval in intervals:
            beats.append(beats[-1] + math.floor(interval / reference + 0.5))
        # Of the taps that fall on one beat, keep the one nearest the grid that
        # the reference beat lays through all of them.
        phase = statistics.median(t - b * reference for b, t in zip(beats, taps))
        chosen: dict[int, float] = {}
        for b, t in zip(beats, taps):
            if b not in chosen or abs(t - phase - b * reference) < abs(chosen[b] - phase - b * reference):
                chosen[b] = t
        return sorted(chosen.items())

    def _reference(self) -> float:
        """The typical interval of the run: a missed or doubled tap is a minority that the median ignores."""
        intervals = [b - a for a, b in zip(self._taps, self._taps[1:]) if b - a >= self._shortest]
        return statistics.median(intervals) if intervals else self._line.seconds_per_beat

    def _restart_at(self, index: int) -> None:
        """Drops the taps before ``index``, keeping the beat numbers of the rest."""
        beat_of = {t: b for b, t in self._numbered()}
        first = self._taps[index]
        if first not in beat_of:  # a dropped double: number it from its neighbour
            reference = self._reference()
            later = next(t for t in self._taps[index:] if t in beat_of)
            beat_of[first] = beat_of[later] - math.floor((later - first) / reference + 0.5)
        self._first_beat = beat_of[first]
        del self._taps[:index]

    def _fit(self) -> Line:
        numbered = self._numbered()
        period = _slope(numbered)
        if len(numbered) >= 4:
            # A steady drift of the last two intervals away from the fitted
            # beat is a new tempo: start counting from the tap before them.
            (b0, t0), (b1, t1), (b2, t2) = numbered[-3:]
            if b2 - b1 == 1 and b1 - b0 == 1:
                drift = ((t1 - t0) / period - 1, (t2 - t1) / period - 1)
                if all(abs(d) > _TEMPO_CHANGE for d in drift) and drift[0] * drift[1] > 0:
                    self._restart_at(self._taps.index(t0))
                    numbered = self._numbered()
                    period = _slope(numbered)
        last_beat, last_tap = numbered[-1]
        return Line(PIPS_PER_BEAT * last_beat, last_tap, period / PIPS_PER_BEAT)

    # -- the clock

    def pip_at(self, seconds: float) -> int:
        """The pip at ``seconds`` on the tempo and phase of the latest tap."""
        return self._line.pip_at(checked_seconds(seconds), "of this tap tempo")

    def seconds_at(self, pip: int) -> float:
        return self._line.seconds_at(checked_pip(pip))

    def bpm_at(self, seconds: float) -> float:
        checked_seconds(seconds)
        return self._line.bpm

    def pip_now(self) -> int:
        return self.pip_at(time.monotonic())

    def __repr__(self) -> str:
        return f"TapTempo(bpm={self.bpm:.2f}, taps={self.taps})"


def _slope(numbered: list[tuple[int, float]]) -> float:
    """Seconds a beat: the least-squares line through (beat number, tap time)."""
    count = len(numbered)
    mean_beat = sum(b for b, _ in numbered) / count
    mean_time = sum(t for _, t in numbered) / count
    spread = sum((b - mean_beat) ** 2 for b, _ in numbered)
    return sum((b - mean_beat) * (t - mean_time) for b, t in numbered) / spread
