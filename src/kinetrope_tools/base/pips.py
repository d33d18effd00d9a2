"""Pips: the module's unit of musical time, checked once and floored exactly.

A pip is a signed 32-bit integer, ``PIPS_PER_BEAT`` of them a beat. Every
clock turns seconds into pips with ``exact_floor``: from an estimate, the last
pip whose start is not after the time, whatever rounding did to the estimate.
"""

from __future__ import annotations

import math
import operator
from collections.abc import Callable

import kinetrope

PIPS_PER_BEAT: int = kinetrope.PIPS_PER_BEAT
PIP_MIN = -(2**31)
PIP_MAX = 2**31 - 1


def checked_pip(pip: int) -> int:
    """``pip`` as a Python int (read once through ``__index__``), inside the signed 32-bit range."""
    whole = operator.index(pip)
    if not PIP_MIN <= whole <= PIP_MAX:
        raise ValueError(f"pip {whole} is outside the 32-bit pip range")
    return whole


def checked_seconds(seconds: float) -> float:
    """``seconds`` as a finite float."""
    value = float(seconds)
    if not math.isfinite(value):
        raise ValueError("seconds must be finite")
    return value


def exact_floor(seconds: float, estimate: float, seconds_at: Callable[[int], float], where: str = "") -> int:
    """The last pip that ``seconds_at`` puts at or before ``seconds``, searched from a close ``estimate``.

    ``seconds_at`` must never decrease as the pip grows. The estimate may sit a
    rounding step off a boundary, or, far from the origin, many pips may begin
    at the same double: the search goes out from the estimate by doubling
    steps and then halves the gap, a bounded number of calls in every case.
    Raises ValueError when the pip does not fit the signed 32-bit range.
    """
    outside = f"{seconds} s is outside the 32-bit pip range{' ' + where if where else ''}"
    if not (math.isfinite(estimate) and PIP_MIN - 2 <= estimate <= PIP_MAX + 2):
        raise ValueError(outside)

    def begun(pip: int) -> bool:
        return seconds_at(pip) <= seconds

    pip = min(max(math.floor(estimate), PIP_MIN), PIP_MAX)
    low: int | None
    high: int | None
    if begun(pip):
        low, high = pip, _first_not_begun(pip, PIP_MAX + 1, begun)
    else:
        low, high = _last_begun(pip, PIP_MIN, begun), pip
    if low is None or high is None:
        raise ValueError(outside)
    # begun(low) and not begun(high): halve the gap.
    while high - low > 1:
        middle = (low + high) // 2
        if begun(middle):
            low = middle
        else:
            high = middle
    return low


def _first_not_begun(start: int, limit: int, begun: Callable[[int], bool]) -> int | None:
    """The first of start + 1, + 2, + 4, ... (at most ``limit``) that has not begun; None if even ``limit`` has."""
    step = 1
    while True:
        pip = min(start + step, limit)
        if not begun(pip):
            return pip
        if pip == limit:
            return None
        step *= 2


def _last_begun(start: int, limit: int, begun: Callable[[int], bool]) -> int | None:
    """The first of start - 1, - 2, - 4, ... (at least ``limit``) that has begun; None if even ``limit`` has not."""
    step = 1
    while True:
        pip = max(start - step, limit)
        if begun(pip):
            return pip
        if pip == limit:
            return None
        step *= 2
