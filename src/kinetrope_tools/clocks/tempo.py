"""The one tempo range every clock, show and command accepts."""

from __future__ import annotations

import math

from ..base.errors import KinetropeError

BPM_MIN = 20.0
BPM_MAX = 999.0


class TempoError(KinetropeError, ValueError):
    """A tempo that is not a finite number of beats a minute from ``BPM_MIN`` to ``BPM_MAX``."""


def checked_bpm(bpm: float) -> float:
    """``bpm`` as a float, refused unless it is a tempo from ``BPM_MIN`` to ``BPM_MAX`` beats a minute."""
    try:
        value = float(bpm)
    except (TypeError, ValueError):
        raise TempoError(f"a tempo is a number of beats a minute, not {bpm!r}") from None
    if not (math.isfinite(value) and BPM_MIN <= value <= BPM_MAX):
        raise TempoError(f"a tempo is from {BPM_MIN:g} to {BPM_MAX:g} beats a minute, not {value:g}")
    return value
