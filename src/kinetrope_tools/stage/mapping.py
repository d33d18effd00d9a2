"""From offsets in [-1, 1] to DMX values, for a whole rig at once.

Pan follows x and tilt follows y (or the other way round with
``swap_pan_tilt``); each may be inverted and limited to a centred share of
its travel (``pan_range``, ``tilt_range``), after the pattern's offset is
scaled by ``size``. A dimmer or zoom channel follows z. With every setting at
its default, pan = round((x + 1) / 2 * 65535) on a 16-bit channel pair and
round((x + 1) / 2 * 255) on an 8-bit one.
"""

from __future__ import annotations

import dataclasses
from collections.abc import Sequence
from typing import TYPE_CHECKING

import numpy as np

if TYPE_CHECKING:
    from .show import Fixture


@dataclasses.dataclass(frozen=True)
class Mapping:
    """The mapping settings of n fixtures, one array entry each."""

    size: np.ndarray  # float64
    swap: np.ndarray  # bool
    pan_sign: np.ndarray  # float64, +1 or -1
    tilt_sign: np.ndarray
    pan_range: np.ndarray
    tilt_range: np.ndarray

    @classmethod
    def of(cls, fixtures: Sequence[Fixture]) -> Mapping:
        def column(values: list[float] | list[bool], dtype: type) -> np.ndarray:
            return np.array(values, dtype=dtype)
        return cls(
            size=column([f.size for f in fixtures], np.float64),
            swap=column([f.swap_pan_tilt for f in fixtures], bool),
            pan_sign=column([-1.0 if f.invert_pan else 1.0 for f in fixtures], np.float64),
            tilt_sign=column([-1.0 if f.invert_tilt else 1.0 for f in fixtures], np.float64),
            pan_range=column([f.pan_range for f in fixtures], np.float64),
            tilt_range=column([f.tilt_range for f in fixtures], np.float64),
        )

    def fractions(self, offsets: np.ndarray) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
        """Pan, tilt and z as fractions of their travel in [0, 1], from offsets (n, 3)."""
        x = offsets[:, 0] * self.size
        y = offsets[:, 1] * self.size
        pan_axis = np.where(self.swap, y, x)
        tilt_axis = np.where(self.swap, x, y)
        pan = (pan_axis * self.pan_sign * self.pan_range + 1.0) * 0.5
        tilt = (tilt_axis * self.tilt_sign * self.tilt_range + 1.0) * 0.5
        z = (offsets[:, 2] * self.size + 1.0) * 0.5
        return pan, tilt, z


def to_16bit(fraction: np.ndarray) -> np.ndarray:
    """A fraction in [0, 1] as a 16-bit value (round half to even), as int64."""
    values: np.ndarray = np.rint(np.clip(fraction, 0.0, 1.0) * 65535.0).astype(np.int64)
    return values


def to_8bit(fraction: np.ndarray) -> np.ndarray:
    values: np.ndarray = np.rint(np.clip(fraction, 0.0, 1.0) * 255.0).astype(np.int64)
    return values
