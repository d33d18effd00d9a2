"""The rig: every fixture sampled and mapped to DMX in a few numpy steps per frame.

The rows of every pattern in use sit in one table, so a frame gathers all
fixtures' offsets with one ``take``: each fixture's row is its pattern's
first row plus its pattern pip (the clock's pip times its speed, plus its
phase, less its lag in a group's spread) wrapped into the pattern's period.
A pattern change fades from the old rows to the new ones between two pips.
Channels held at a fixed value are written as they are, every frame.
"""

from __future__ import annotations

import dataclasses
from collections.abc import Iterator

import numpy as np

import kinetrope

from ..patterns import arrays
from ..patterns.library import PatternSet
from .mapping import Mapping, to_8bit, to_16bit
from .profiles import CHANNEL_KINDS, DIMMER
from .show import DMX_CHANNELS, Fixture, Show


@dataclasses.dataclass
class Rig:
    """Samples and maps the show's fixtures at a pip; changes patterns with a crossfade."""

    def _add(self, name: str) -> None:
        """Adds the pattern's rows; an unknown name is an UnknownPattern (a KeyError) naming the closest ones."""
        self._known[name]  # raises for a name no pattern has, before anything changes
        self._patterns.add(name)

    def __init__(self, show: Show, library: kinetrope.PatternLibrary | None = None) -> None:
        fixtures: list[Fixture] = list(show.fixtures)
        self.names = [f.name for f in fixtures]
        self.universes = show.universes
        self.index = {name: i for i, name in enumerate(self.names)}
        self.groups = dict(show.groups)
        # Names are looked up in the set (an unknown one names the closest), rows come from one shared table.
        self._known = PatternSet(library)
        self._patterns = arrays.PatternTable(library)
        n = len(fixtures)
        self.speed = np.array([f.speed for f in fixtures], dtype=np.float64)
        self._whole_speed = bool(np.all(self.speed == 1.0))
        self._phase_pips = np.array([f.phase_pips for f in fixtures], dtype=np.int64)
        self._spread = np.array([f.spread for f in fixtures], dtype=np.float64)
        self.pattern = [f.pattern for f in fixtures]
        self._first = np.zeros(n, dtype=np.int64)
        self._period = np.ones(n, dtype=np.int64)
        self._phase = np.zeros(n, dtype=np.int64)
        # The pattern faded from, and the pips the fade runs between; before
        # the start the old pattern alone shows, after the end the new one.
        self._from_first = np.zeros(n, dtype=np.int64)
        self._from_period = np.ones(n, dtype=np.int64)
        self._from_phase = np.zeros(n, dtype=np.int64)
        self._fade_start = np.zeros(n, dtype=np.int64)
        self._fade_end = np.zeros(n, dtype=np.int64)
        self._fading_until: int | None = None
        for i, fixture in enumerate(fixtures):
            self._place(i, fixture.pattern)
        self._from_first[:] = self._first
        self._from_period[:] = self._period
        self._from_phase[:] = self._phase
        self.mapping = Mapping.of(fixtures)
        self._slots = _channel_slots(fixtures, self.universes)
        self._fixed_channels, self._fixed_values = _fixed_channels(fixtures, self.universes)
        self._dimmers = _dimmer_channels(fixtures, self.universes)
        self.dmx = np.zeros((len(self.universes), DMX_CHANNELS), dtype=np.uint8)

    def _place(self, i: int, name: str) -> None:
        self._add(name)
        period = self._patterns.period[name]
        self._first[i] = self._patterns.first_row[name]
        self._period[i] = period
        # A group's spread is a share of the period, so it follows the pattern;
        # member i lags, so what the first shows runs on to the last.
        self._phase[i] = self._phase_pips[i] - round(self._spread[i] * period)
        self.pattern[i] = name

    def targets(self, target: str) -> list[int]:
        """The fixtures a fixture or group name stands for; KeyError if none."""
        if target in self.index:
            return [self.index[target]]
        if target in self.groups:
            return [self.index[name] for name in self.groups[target]]
        raise KeyError(target)

    def change(self, target: str, pattern: str, start_pip: int, end_pip: int, at_pip: int) -> None:
        """Fades the fixtures of ``target`` to ``pattern`` from ``start_pip`` to ``end_pip``.

        ``at_pip`` is now: a fixture caught mid-fade starts the new fade from
        where its current fade has brought it (its new pattern), as a desk does.
        """
        chosen = self.targets(target)
        self._add(pattern)
        for i in chosen:
            still_old = at_pip < self._fade_start[i]
            if not still_old:
                self._from_first[i], self._from_period[i], self._from_phase[i] = (
                    self._first[i], self._period[i], self._phase[i])
            self._place(i, pattern)
            self._fade_start[i], self._fade_end[i] = start_pip, end_pip
        self._fading_until = int(self._fade_end.max())

    def _rows(self, pip: int, first: np.ndarray, period: np.ndarray, phase: np.ndarray) -> np.ndarray:
        if self._whole_speed:
            pattern_pips = phase + pip
        else:
            pattern_pips = np.floor(self.speed * pip).astype(np.int64)
            pattern_pips += phase
        np.remainder(pattern_pips, period, out=pattern_pips)
        pattern_pips += first
        return pattern_pips

    def offsets(self, pip: int) -> np.ndarray:
        """Every fixture's offset at ``pip``: a float64 array (n, 3)."""
        table = self._patterns.table
        sampled = table.take(self._rows(pip, self._first, self._period, self._phase), axis=0)
        if self._fading_until is not None:
            if pip >= self._fading_until:
                self._fading_until = None
                self._from_first[:] = self._first
                self._from_period[:] = self._period
                self._from_phase[:] = self._phase
            else:
                old = table.take(self._rows(pip, self._from_first, self._from_period, self._from_phase), axis=0)
                length = np.maximum(self._fade_end - self._fade_start, 1)
                weight = np.clip((pip - self._fade_start) / length, 0.0, 1.0)
                sampled = old + (sampled - old) * weight[:, None]
        return sampled[:, :3]

    def write_dmx(self, offsets: np.ndarray, *, dimmed: bool = False) -> np.ndarray:
        """Maps offsets (n, 3) into the universes' channels, (universes, 512) uint8; ``dimmed`` zeroes every dimmer.

        Fixed channels hold their values, a fixed dimmer too, unless dimmed.
        """
        pan, tilt, z = self.mapping.fractions(offsets)
        flat = self.dmx.reshape(-1)
        values: dict[str, np.ndarray] = {}
        for kind, (fixtures, channels) in self._slots.items():
            if kind in ("pan", "pan_fine"):
                source = values.setdefault("pan16", to_16bit(pan))
            elif kind in ("tilt", "tilt_fine"):
                source = values.setdefault("tilt16", to_16bit(tilt))
            elif kind == "pan8":
                source = values.setdefault("pan8", to_8bit(pan))
            elif kind == "tilt8":
                source = values.setdefault("tilt8", to_8bit(tilt))
            elif kind == DIMMER and dimmed:
                continue  # zeroed below
            else:
                source = values.setdefault("z8", to_8bit(z))
            picked = source if fixtures is None else source[fixtures]
            if kind in ("pan", "tilt"):
                picked = picked >> 8
            elif kind in ("pan_fine", "tilt_fine"):
                picked = picked & 0xFF
            flat[channels] = picked
        flat[self._fixed_channels] = self._fixed_values
        if dimmed:
            flat[self._dimmers] = 0
        return self.dmx

    def frame(self, pip: int, *, home: bool = False, dimmed: bool = False) -> tuple[np.ndarray, np.ndarray]:
        """The offsets and the DMX of the whole rig at ``pip``; ``home`` holds every fixture at the centre."""
        offsets = np.zeros((len(self.names), 3)) if home else self.offsets(pip)
        return offsets, self.write_dmx(offsets, dimmed=dimmed)

    def dark(self) -> np.ndarray:
        self.dmx[:] = 0
        return self.dmx

    def retime(self, i: int, speed: float, at_pip: int) -> None:
        """Fixture ``i`` at ``speed`` from ``at_pip`` on, its pattern going on from where it is, without a jump."""
        old = np.floor(self.speed[i] * at_pip) if not self._whole_speed else at_pip
        self.speed[i] = speed
        shift = int(old - np.floor(speed * at_pip))
        self._phase_pips[i] += shift
        self._phase[i] += shift
        self._from_phase[i] += shift
        self._whole_speed = bool(np.all(self.speed == 1.0))

    def fades(self) -> tuple[np.ndarray, np.ndarray]:
        """Each fixture's fade to its pattern: the pips it starts and ends at (copies)."""
        return self._fade_start.copy(), self._fade_end.copy()


def _places(fixtures: list[Fixture], universes: list[int]) -> Iterator[tuple[int, Fixture, str, int, int | None]]:
    """For every DMX channel of the rig: the fixture's index, the fixture, the channel's name, its place in the
    flattened universes and its fixed value (None if it follows the pattern)."""
    row = {universe: i for i, universe in enumerate(universes)}
    for i, fixture in enumerate(fixtures):
        if fixture.universe is None or fixture.address is None:
            continue
        base = row[fixture.universe] * DMX_CHANNELS + fixture.address - 1
        held = dict(fixture.fixed)
        for offset, name in enumerate(fixture.channels):
            yield i, fixture, name, base + offset, held.get(name)


def _channel_slots(fixtures: list[Fixture], universes: list[int]) -> dict[str, tuple[np.ndarray | None, np.ndarray]]:
    """For each kind of channel that follows the pattern: the fixtures that have it and where it goes.

    A coarse pan or tilt channel with a fine one beside it carries the high
    byte of a 16-bit value ("pan"), one alone an 8-bit value ("pan8").
    """
    slots: dict[str, tuple[list[int], list[int]]] = {}
    for i, fixture, kind, place, value in _places(fixtures, universes):
        if value is not None:
            continue
        if kind not in CHANNEL_KINDS:
            raise ValueError(f"fixture {fixture.name!r}: channel {kind!r} follows no pattern and has no fixed value")
        if kind in ("pan", "tilt") and f"{kind}_fine" not in fixture.channels:
            kind = f"{kind}8"
        fixture_list, channel_list = slots.setdefault(kind, ([], []))
        fixture_list.append(i)
        channel_list.append(place)
    everyone = list(range(len(fixtures)))
    return {
        kind: (None if picked == everyone else np.array(picked, dtype=np.intp), np.array(channels, dtype=np.intp))
        for kind, (picked, channels) in slots.items()
    }


def _fixed_channels(fixtures: list[Fixture], universes: list[int]) -> tuple[np.ndarray, np.ndarray]:
    """Where the channels held at a value go, and their values."""
    places, held = [], []
    for _, _, _, place, value in _places(fixtures, universes):
        if value is not None:
            places.append(place)
            held.append(value)
    return np.array(places, dtype=np.intp), np.array(held, dtype=np.uint8)


def _dimmer_channels(fixtures: list[Fixture], universes: list[int]) -> np.ndarray:
    """Where every dimmer goes, following z or fixed: a blackout zeroes them all."""
    return np.array([place for _, _, name, place, _ in _places(fixtures, universes)
                     if name == DIMMER], dtype=np.intp)
