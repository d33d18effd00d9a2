"""Commands beyond the OSC port's: cues that start now or on the next bar, the bar line, speed, size and freeze.

They come in through a ``control.Source`` like any other command and the
frame loop applies them between frames with ``apply``, so the rig is only
ever touched by the loop.
"""

from __future__ import annotations

import dataclasses
import math
from typing import Protocol

import kinetrope

from ..clocks import BPM_MAX, BPM_MIN, Clock, Resyncable, TempoSettable
from .rig import Rig
from .show import Show

# What a group's speed and size may be set to, as a share of the show file's.
SPEED_FACTORS = (0.25, 16.0)
SIZE_FACTORS = (0.0, 1.0)
MAX_FADE_BEATS = 1024.0


@dataclasses.dataclass(frozen=True)
class Cue:
    """``target`` (a fixture or group) to ``pattern``, fading over ``beats`` from now or from the next bar line."""

    target: str
    pattern: str
    beats: float
    now: bool = False


@dataclasses.dataclass(frozen=True)
class TempoStep:
    """The tempo in effect plus ``by`` beats a minute (minus, when negative)."""

    by: float


@dataclasses.dataclass(frozen=True)
class Resync:
    """The bar line moved to the moment this came in: the nearest bar starts there."""

    at_seconds: float


@dataclasses.dataclass(frozen=True)
class Speed:
    """The fixtures of ``target`` run their patterns at ``factor`` times the show file's speed."""

    target: str
    factor: float


@dataclasses.dataclass(frozen=True)
class Size:
    """The fixtures of ``target`` move ``factor`` times the show file's size."""

    target: str
    factor: float


@dataclasses.dataclass(frozen=True)
class Freeze:
    """Every fixture holds where it is (``on``) or follows the clock again."""

    on: bool


Command = Cue | TempoStep | Resync | Speed | Size | Freeze


class Steered(Protocol):
    """What the commands act on: the frame loop (``Live``)."""

    show: Show
    rig: Rig
    clock: Clock
    pip: int
    pip_shift: int
    frozen: int | None

    def set_tempo(self, bpm: float, now: float) -> None:
        ...

    def change_pattern(self, target: str, pattern: str, start: int, end: int) -> None:
        ...


def _within(value: float, bounds: tuple[float, float], what: str) -> float:
    if not (math.isfinite(value) and bounds[0] <= value <= bounds[1]):
        raise ValueError(f"{what} must be from {bounds[0]:g} to {bounds[1]:g}, not {value!r}")
    return value


def apply(live: Steered, command: Command, now: float) -> None:
    """Applies one command to the loop's rig and clock; ValueError or KeyError if it cannot apply."""
    rig, show = live.rig, live.show
    if isinstance(command, Cue):
        _within(command.beats, (0.0, MAX_FADE_BEATS), "a fade")
        bar = show.beats_per_bar * kinetrope.PIPS_PER_BEAT
        start = live.pip if command.now else (live.pip // bar + 1) * bar
        if command.target not in rig.index and command.target not in rig.groups:
            raise KeyError(f"no fixture or group is named {command.target!r}")
        live.change_pattern(command.target, command.pattern, start,
                            start + round(command.beats * kinetrope.PIPS_PER_BEAT))
    elif isinstance(command, TempoStep):
        if not isinstance(live.clock, TempoSettable):
            raise ValueError("this clock's tempo is not set from here")
        bpm = live.clock.bpm_at(now) + command.by
        live.set_tempo(min(max(round(bpm, 3), BPM_MIN), BPM_MAX), now)
    elif isinstance(command, Resync) and isinstance(live.clock, Resyncable):
        live.clock.resync(at_seconds=command.at_seconds)  # the clock moves its own bar line, slewing
    elif isinstance(command, Resync):
        bar = show.beats_per_bar * kinetrope.PIPS_PER_BEAT
        pip = live.clock.pip_at(command.at_seconds) + live.pip_shift
        live.pip_shift += round(pip / bar) * bar - pip
    elif isinstance(command, Speed):
        _within(command.factor, SPEED_FACTORS, "a speed")
        for i in rig.targets(command.target):
            rig.retime(i, show.fixtures[i].speed * command.factor, live.pip)
    elif isinstance(command, Size):
        _within(command.factor, SIZE_FACTORS, "a size")
        for i in rig.targets(command.target):
            rig.mapping.size[i] = show.fixtures[i].size * command.factor
    elif isinstance(command, Freeze):
        live.frozen = (live.pip if live.frozen is None else live.frozen) if command.on else None
