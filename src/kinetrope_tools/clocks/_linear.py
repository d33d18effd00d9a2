"""Straight lines of time, exact both ways: the pieces every live clock's arithmetic is made of."""

from __future__ import annotations

import math
from collections.abc import Sequence

from ..base.pips import PIPS_PER_BEAT, exact_floor
from .protocol import ClockError


def slope(xs: Sequence[float], ys: Sequence[float]) -> float | None:
    """The slope of the least-squares line through the points (x, y), in y a unit of x.

    Every live clock measures its tempo this way, from times stamped on
    events it numbers (taps, clock pulses). None when the points give no
    tempo: fewer than two distinct x, or a slope that is not a positive,
    finite number (stamps that stand still or run back), so the caller keeps
    the tempo it had instead of dividing by it.
    """
    count = len(xs)
    if count < 2 or len(ys) != count:
        return None
    mean_x = sum(xs) / count
    mean_y = sum(ys) / count
    spread = sum((x - mean_x) ** 2 for x in xs)
    if not spread > 0:
        return None
    value = sum((x - mean_x) * (y - mean_y) for x, y in zip(xs, ys)) / spread
    return value if math.isfinite(value) and value > 0 else None


class Line:
    """A straight line of time through an anchor, exact both ways.

    Positions are counted in units of 1/``units_per_pip`` pip, so an anchor
    between pips (a MIDI clock pulse is 8/3 pip) is held exactly: the anchor
    is at ``anchor_units`` units at ``anchor_seconds``, and every unit lasts
    ``seconds_per_unit``. Immutable, so a clock that a callback or a thread
    updates swaps one Line for another and a reader never sees half an update.
    """

    __slots__ = ("anchor_units", "anchor_seconds", "seconds_per_unit", "units_per_pip")

    def __init__(self, anchor_units: int, anchor_seconds: float, seconds_per_unit: float, units_per_pip: int = 1) -> None:
        if not (math.isfinite(anchor_seconds) and math.isfinite(seconds_per_unit) and seconds_per_unit > 0):
            # Every caller checks its numbers first: this is the last guard before a pip.
            raise ClockError(f"a line of time needs a finite anchor and a positive length, not {anchor_seconds}, "
                             f"{seconds_per_unit}")
        self.anchor_units = anchor_units
        self.anchor_seconds = anchor_seconds
        self.seconds_per_unit = seconds_per_unit
        self.units_per_pip = units_per_pip

    @property
    def seconds_per_beat(self) -> float:
        return self.seconds_per_unit * self.units_per_pip * PIPS_PER_BEAT

    @property
    def bpm(self) -> float:
        return 60.0 / self.seconds_per_beat

    def seconds_at(self, pip: int) -> float:
        return self.anchor_seconds + (pip * self.units_per_pip - self.anchor_units) * self.seconds_per_unit

    def position_at(self, seconds: float) -> float:
        """The pip (fractional) at ``seconds``."""
        return (self.anchor_units + (seconds - self.anchor_seconds) / self.seconds_per_unit) / self.units_per_pip

    def pip_at(self, seconds: float, where: str) -> int:
        return exact_floor(seconds, self.position_at(seconds), self.seconds_at, where)

    def beat_at(self, seconds: float) -> float:
        """The beat (fractional) at ``seconds``."""
        return self.position_at(seconds) / PIPS_PER_BEAT


class Slew:
    """Time that runs on ``ramp`` up to pip ``joint`` and on ``line`` from it on.

    The way a live clock moves from the position it shows to a new tempo and
    phase without a jump: ``ramp`` starts where the clock stood and meets
    ``line`` exactly at ``joint``. Both are straight and rising, and the ramp
    reaches the joint's time exactly, so ``seconds_at`` never decreases as the
    pip grows and ``exact_floor`` inverts it. Immutable, like a Line.
    """

    __slots__ = ("ramp", "line", "joint", "joint_seconds")

    def __init__(self, ramp: Line, line: Line, joint: int) -> None:
        self.ramp = ramp
        self.line = line
        self.joint = joint
        self.joint_seconds = line.seconds_at(joint)

    @property
    def seconds_per_beat(self) -> float:
        return self.line.seconds_per_beat

    @property
    def bpm(self) -> float:
        return self.line.bpm

    def seconds_at(self, pip: int) -> float:
        return (self.ramp if pip < self.joint else self.line).seconds_at(pip)

    def position_at(self, seconds: float) -> float:
        return (self.ramp if seconds < self.joint_seconds else self.line).position_at(seconds)

    def pip_at(self, seconds: float, where: str) -> int:
        return exact_floor(seconds, self.position_at(seconds), self.seconds_at, where)

    def beat_at(self, seconds: float) -> float:
        return self.position_at(seconds) / PIPS_PER_BEAT


def slewed(shown: Line | Slew, target: Line, seconds: float, *, least_seconds: float, most_rate: float) -> Slew:
    """From the position ``shown`` gives at ``seconds`` onto ``target``, without a jump and never backwards.

    The difference is made up over at least ``least_seconds`` and at no more
    than ``most_rate`` pips a second beside the target's own pace; a clock
    that is ahead slows to no less than half that pace, so it never stands
    still, let alone runs back.
    """
    here = shown.position_at(seconds)
    gap = target.position_at(seconds) - here
    pace = 1.0 / (target.seconds_per_unit * target.units_per_pip)  # pips a second
    duration = max(least_seconds, abs(gap) / most_rate, -2.0 * gap / pace)
    joint = math.ceil(target.position_at(seconds + duration))
    joint_seconds = target.seconds_at(joint)
    units = target.units_per_pip
    ramp = Line(joint * units, joint_seconds, (joint_seconds - seconds) / ((joint - here) * units), units)
    return Slew(ramp, target, joint)
