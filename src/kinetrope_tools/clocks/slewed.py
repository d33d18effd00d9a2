"""The pips shown for a beat that is heard: the line the beats draw, reached by slewing.

A follower's beats come with corrections: a new phase at each beat, a new
tempo, a bar line moved by the operator. The pips shown never jump with
them: the line shown keeps its position at the moment of each correction and
changes only its speed, faster to catch up, slower to let the beat catch up,
so the pip never runs backwards and never jumps.
"""

from __future__ import annotations

import math
import threading

from ..base.pips import PIPS_PER_BEAT
from ._linear import Line
from .beat_follower import Beat

# The line shown takes up its lag behind the beats' line at this many beats a beat...
_CATCH_UP = 2.0
# ...but runs at no less and no more than these parts of the tempo.
_SLOWEST = 0.25
_FASTEST = 3.0
# A frame may show at most this many pips more than the tempo moved on since the last frame.
_STEP_PIPS = PIPS_PER_BEAT // 8


class SlewedLine:
    """Pips shown for the beats of a follower, in its time (seconds as heard).

    ``follow`` takes the follower's latest beat at ``now``; before the first,
    the line runs at ``bpm`` from ``start_seconds``. ``beats_per_bar`` places
    the bar line; ``resync`` moves it to the beat nearest a moment.
    ``offset_seconds`` is a delay between the room and what is heard: the
    pips are shown that much earlier.
    """

    def __init__(self, bpm: float, start_seconds: float, *, beats_per_bar: int = 4, offset_seconds: float = 0.0) -> None:
        self.beats_per_bar = beats_per_bar
        self.offset_seconds = offset_seconds
        self._lock = threading.Lock()
        seconds_per_pip = 60.0 / (bpm * PIPS_PER_BEAT)
        self._shown = Line(0, start_seconds, seconds_per_pip)
        self._beat: Beat | None = None
        self._bar_shift = 0  # beats added to the follower's numbers
        self._last: tuple[float, int] | None = None  # the last (seconds, pip) shown by ``pip_shown``

    @property
    def line(self) -> Line:
        """The line shown now (swapped whole on every correction)."""
        return self._shown

    def _target(self, beat: Beat, seconds: float) -> float:
        """The pip (fractional) the beats' line puts at ``seconds`` as heard in the room."""
        return (beat.position_at(seconds + self.offset_seconds) + self._bar_shift) * PIPS_PER_BEAT

    def follow(self, beat: Beat | None, now: float) -> None:
        """Steers the line shown towards ``beat``'s line from ``now`` on."""
        with self._lock:
            if beat is None:
                return
            if self._beat is None:
                # First lock: number the beats so that the nearest one is the one shown.
                shown = self._shown.position_at(now) / PIPS_PER_BEAT
                self._bar_shift = round(shown - beat.position_at(now + self.offset_seconds))
            self._beat = beat
            self._steer(now)

    def resync(self, at_seconds: float, now: float) -> None:
        """Moves the bar line so that the beat nearest ``at_seconds`` is the first of a bar."""
        with self._lock:
            if self._beat is None:
                position = self._shown.position_at(at_seconds) / PIPS_PER_BEAT
            else:
                position = self._target(self._beat, at_seconds) / PIPS_PER_BEAT
            nearest = round(position)
            moved = -(nearest % self.beats_per_bar)
            if moved < -self.beats_per_bar / 2:
                moved += self.beats_per_bar
            if self._beat is None:
                line = self._shown
                self._shown = Line(line.anchor_units + moved * PIPS_PER_BEAT, line.anchor_seconds, line.seconds_per_unit)
                return
            self._bar_shift += moved
            self._steer(now)

    def _steer(self, now: float) -> None:
        beat = self._beat
        assert beat is not None
        here = self._shown.position_at(now)
        lag = (self._target(beat, now) - here) / PIPS_PER_BEAT
        speed = min(max(1.0 + _CATCH_UP * lag, _SLOWEST), _FASTEST)
        seconds_per_pip = beat.period / PIPS_PER_BEAT / speed
        # Anchored on the pip shown now, in hundredths of a pip, so the line shown is continuous.
        units = math.floor(here * 100.0)
        anchor = now - (here * 100.0 - units) * seconds_per_pip / 100.0
        self._shown = Line(units, anchor, seconds_per_pip / 100.0, 100)

    def pip_shown(self, now: float) -> int:
        """The pip of a frame at ``now``: never before the last one shown, and at most an eighth of a beat
        more than the tempo moved on since."""
        line = self._shown
        pip = line.pip_at(now, "of this listening clock")
        with self._lock:
            last = self._last
            if last is not None:
                seconds, shown = last
                beat = self._beat
                period = beat.period if beat is not None else line.seconds_per_beat
                most = shown + math.floor(max(0.0, now - seconds) / period * PIPS_PER_BEAT) + _STEP_PIPS
                pip = min(max(pip, shown), most)
            self._last = (now, pip)
        return pip
