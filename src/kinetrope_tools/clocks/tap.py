"""Tap tempo: the beat from a key or a button pressed in time with the music.

The taps since the last pause form a run. The tempo is fitted to the recent
taps of the run, each numbered with the beat it falls on, so a missed tap
(a two-beat gap) or a doubled one (two taps on one beat) does not disturb it;
the phase comes from the last tap. A pause longer than two beats ends the run:
the next tap starts a new one, and lands on the first beat of a bar. Until a
run has two taps the tempo is the one in effect before (at first ``bpm``).

Presses closer together than the fastest tempo allowed (``max_bpm``) are not
beats: a key's bounce, a flam, a burst, or a held key repeating. They merge
into one tap: the first of them, or a later one that falls nearer the beat
than the first (the late half of a double). So every counted tap is at least
a plausible beat after the one before it, and the fit always spans beats.

A tap never moves the pip at once. The clock slews from the position it
shows onto the tapped tempo and phase: over at least a beat, making up at
most an eighth of a beat every 1/44 s beside the tempo, and, when it is
ahead, slowing to no less than half the tempo. So the pip never runs
backwards and never leaps, whether a tap comes early, late, at a new tempo,
or starts a new run a bar ahead.
"""

from __future__ import annotations

import math
import statistics
import threading
import time

from ..base.pips import PIPS_PER_BEAT, checked_pip, checked_seconds
from ._linear import Line, Slew, slewed, slope
from .protocol import ClockError
from .tempo import BPM_MIN, TempoError, checked_bpm

# A gap of two beats is one missed tap; a pause must be clearly longer.
_PAUSE_BEATS = 2.25
# Two recent intervals off the fitted beat by this much, the same way, are a
# new tempo rather than sloppy taps.
_TEMPO_CHANGE = 0.06
# A correction of at most an eighth of a beat each frame at 44 frames a second.
_MOST_CORRECTION = PIPS_PER_BEAT / 8 * 44  # pips a second


class TapTempo:
    """A clock on ``time.monotonic()`` seconds that follows taps.

    Before the first tap it runs at ``bpm`` from ``beat_zero_seconds`` (default:
    now). ``history`` is how many recent taps the tempo is fitted to. Presses
    less than 60/``max_bpm`` seconds apart count as one tap; the tapped tempo
    stays from ``BPM_MIN`` to ``max_bpm``.
    """

    def __init__(self, bpm: float = 120.0, *, beats_per_bar: int = 4, history: int = 8,
                 max_bpm: float = 400.0, beat_zero_seconds: float | None = None) -> None:
        bpm = checked_bpm(bpm)
        max_bpm = checked_bpm(max_bpm)
        if bpm > max_bpm:
            raise TempoError(f"the tempo {bpm:g} is above max_bpm {max_bpm:g}")
        if isinstance(beats_per_bar, bool) or not isinstance(beats_per_bar, int) or beats_per_bar < 1:
            raise ClockError(f"beats_per_bar is a whole number of beats, at least 1, not {beats_per_bar!r}")
        if isinstance(history, bool) or not isinstance(history, int) or history < 3:
            raise ClockError(f"history is a whole number of taps to fit the tempo to, at least 3, not {history!r}")
        start = time.monotonic() if beat_zero_seconds is None else checked_seconds(beat_zero_seconds)
        self._beats_per_bar = beats_per_bar
        self._history = history
        self._shortest = 60.0 / max_bpm
        self._longest = 60.0 / BPM_MIN
        self._lock = threading.Lock()
        # Where the taps say the beat is, and the way the clock shows to it.
        self._line = Line(0, start, 60.0 / (bpm * PIPS_PER_BEAT))
        self._shown: Line | Slew = self._line
        # The latest time a pip was asked for: a tap slews from there, so no
        # pip already given is ever followed by a smaller one.
        self._asked = -math.inf
        # The run: tap times and the beat number of the first of them.
        self._taps: list[float] = []
        self._first_beat = 0
        # The last press, counted or merged, and the run as it was before
        # the last counted tap (for a later press that replaces it).
        self._pressed: float | None = None
        self._before: tuple[list[float], int, Line] | None = None

    @property
    def bpm(self) -> float:
        """The tempo in effect (the tapped one, while the pip still slews onto it)."""
        return self._line.bpm

    @property
    def taps(self) -> int:
        """How many recent taps of the current run the tempo is fitted to (0 before the first or after a pause)."""
        return len(self._taps)

    def tap(self, at_seconds: float | None = None) -> float:
        """A tap at ``at_seconds`` (``time.monotonic()`` seconds, default now); returns the tempo.

        Raises ValueError for a time that is not finite or comes before the
        last press; nothing else.
        """
        now = time.monotonic() if at_seconds is None else checked_seconds(at_seconds)
        with self._lock:
            pressed, taps = self._pressed, self._taps
            if pressed is not None and now < pressed:
                raise ClockError(f"taps must come in time order: {now} s is before the last tap at {pressed} s")
            self._pressed = now
            if pressed is not None and now - pressed < self._shortest:
                before = self._replaced_by(now)
                if before is None:
                    return self.bpm
                taps[:], self._first_beat, self._line = before
            elif taps and now - taps[-1] > _PAUSE_BEATS * self._line.seconds_per_beat:
                taps.clear()
            if not taps:
                beat = math.floor(self._shown.beat_at(now) + 0.5)
                self._first_beat = -(-beat // self._beats_per_bar) * self._beats_per_bar
                taps.append(now)
                self._before = None
                self._follow(Line(PIPS_PER_BEAT * self._first_beat, now, self._line.seconds_per_unit), now)
                return self.bpm
            self._before = (list(taps), self._first_beat, self._line)
            taps.append(now)
            if len(taps) > self._history:
                self._restart_at(len(taps) - self._history)
            self._follow(self._fit(), now)
            return self.bpm

    def _replaced_by(self, now: float) -> tuple[list[float], int, Line] | None:
        """The run as it was before the last counted tap, if a press right after it falls nearer the beat."""
        before = self._before
        if before is None or now - self._taps[-1] >= self._shortest:
            return None  # the first tap of a run sets the beat; a held key's repeats come later than this
        grid = before[2]

        def off_beat(seconds: float) -> float:
            beat = grid.beat_at(seconds)
            return abs(beat - round(beat))

        return before if off_beat(now) < off_beat(self._taps[-1]) else None

    def _follow(self, line: Line, now: float) -> None:
        self._line = line
        self._shown = slewed(self._shown, line, max(now, self._asked),
                             least_seconds=line.seconds_per_beat, most_rate=_MOST_CORRECTION)

    def _beats(self) -> list[int]:
        """The beat number of each tap of the run, from the typical interval between them."""
        taps = self._taps
        reference = self._reference()
        beats = [self._first_beat]
        for a, b in zip(taps, taps[1:]):
            beats.append(beats[-1] + math.floor((b - a) / reference + 0.5))
        return beats

    def _numbered(self) -> list[tuple[int, float]]:
        """The run's taps with their beat numbers, one tap a beat (the best of a doubled pair)."""
        taps = self._taps
        beats = self._beats()
        reference = self._reference()
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
        self._first_beat = self._beats()[index]
        del self._taps[:index]

    def _period(self, numbered: list[tuple[int, float]]) -> float:
        """Seconds a beat through the numbered taps, within the tempi a tap may set."""
        period = slope([b for b, _ in numbered], [t for _, t in numbered])
        if period is None:  # taps that span no beat: the tempo stays
            return self._line.seconds_per_beat
        return min(max(period, self._shortest), self._longest)

    def _fit(self) -> Line:
        numbered = self._numbered()
        period = self._period(numbered)
        if len(numbered) >= 4:
            # A steady drift of the last two intervals away from the fitted
            # beat is a new tempo: start counting from the tap before them.
            (b0, t0), (b1, t1), (b2, t2) = numbered[-3:]
            if b2 - b1 == 1 and b1 - b0 == 1:
                drift = ((t1 - t0) / period - 1, (t2 - t1) / period - 1)
                if all(abs(d) > _TEMPO_CHANGE for d in drift) and drift[0] * drift[1] > 0:
                    self._restart_at(self._taps.index(t0))
                    numbered = self._numbered()
                    period = self._period(numbered)
        last_beat, last_tap = numbered[-1]
        return Line(PIPS_PER_BEAT * last_beat, last_tap, period / PIPS_PER_BEAT)

    # -- the clock

    def pip_at(self, seconds: float) -> int:
        """The pip at ``seconds``: on the tapped tempo and phase, or slewing onto them since the last tap."""
        seconds = checked_seconds(seconds)
        # Noted before the line is read, so a tap made meanwhile slews from here.
        if seconds > self._asked:
            self._asked = seconds
        return self._shown.pip_at(seconds, "of this tap tempo")

    def seconds_at(self, pip: int) -> float:
        return self._shown.seconds_at(checked_pip(pip))

    def bpm_at(self, seconds: float) -> float:
        checked_seconds(seconds)
        return self._line.bpm

    def pip_now(self) -> int:
        return self.pip_at(time.monotonic())

    def __repr__(self) -> str:
        return f"TapTempo(bpm={self.bpm:.2f}, taps={self.taps})"
