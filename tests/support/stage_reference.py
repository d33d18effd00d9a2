"""The mapping from an offset to DMX channels written out for one fixture, as a lighting programmer reads it.

The stage tests compare what receivers got against this, never against the rig's own arrays.
"""

from __future__ import annotations

import math
import re

import kinetrope


def channels(x: float, y: float, z: float, *, size: float = 1.0, swap: bool = False, invert_pan: bool = False,
             invert_tilt: bool = False, pan_range: float = 1.0, tilt_range: float = 1.0, bits: int = 16,
             extra: str | None = None) -> list[int]:
    """pan = round((x + 1) / 2 * 65535) with every setting at its default (coarse then fine byte)."""
    pan_axis, tilt_axis = (y, x) if swap else (x, y)
    pan = (pan_axis * size * (-1 if invert_pan else 1) * pan_range + 1) / 2
    tilt = (tilt_axis * size * (-1 if invert_tilt else 1) * tilt_range + 1) / 2
    if bits == 16:
        p, t = round(pan * 65535), round(tilt * 65535)
        values = [p >> 8, p & 0xFF, t >> 8, t & 0xFF]
    else:
        values = [round(pan * 255), round(tilt * 255)]
    if extra:
        values.append(round((z * size + 1) / 2 * 255))
    return values


def pattern_pip(pip: int, speed: float = 1.0, phase: int = 0) -> int:
    return math.floor(pip * speed) + phase


def beat_zero(start_line: str) -> tuple[float, float]:
    """The tempo and beat zero of the fixed clock that ``kinetrope live`` names on its first line."""
    found = re.search(r"FixedTempo\(bpm=([\d.]+), beat_zero_seconds=([\d.e+-]+)\)", start_line)
    assert found, start_line
    return float(found.group(1)), float(found.group(2))


def pip_at(seconds: float, bpm: float, zero: float) -> int:
    return math.floor((seconds - zero) * bpm * kinetrope.PIPS_PER_BEAT / 60.0)


def seconds_at(pip: int, bpm: float, zero: float) -> float:
    return zero + pip * 60.0 / (bpm * kinetrope.PIPS_PER_BEAT)
