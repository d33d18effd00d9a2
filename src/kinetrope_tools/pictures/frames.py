"""Frames of patterns moving as a clock counts its pips, drawn by the painter.

Frame k shows the pip that the clock has in effect at ``start + k / fps``
seconds; offsets are looked up a block of frames at a time.
"""

from __future__ import annotations

from collections.abc import Iterator

import numpy as np
from PIL import Image

from ..base.pips import PIP_MIN, PIPS_PER_BEAT
from ..clocks import Clock
from ..patterns.arrays import sample_many
from .painter import TRAIL_PIPS, TRAIL_STEP, Painter

FRAMES_PER_BLOCK = 128  # frames whose offsets are looked up at once
TEMPO_BEATS = 8  # the tempo shown is the average over this many beats around the frame


def shown_tempo(clock: Clock, seconds: float, pip: int) -> float:
    """The tempo a frame shows: over the ``TEMPO_BEATS`` beats around ``pip``, so the beat-to-beat wobble of
    a tracked song's beats does not make the figure flicker; the clock's own tempo where those beats lie
    past its pips."""
    half = TEMPO_BEATS // 2 * PIPS_PER_BEAT
    try:
        span = clock.seconds_at(pip + half) - clock.seconds_at(pip - half)
    except (ValueError, ArithmeticError):
        span = 0.0
    return TEMPO_BEATS * 60.0 / span if span > 0 else clock.bpm_at(seconds)


def frames(painter: Painter, clock: Clock, *, fps: int, start: float = 0.0) -> Iterator[Image.Image]:
    """Frame after frame of the painter's patterns, from frame 0, without end.

    Parameters
    ----------
    painter : Painter
        What draws each frame, and whose patterns and library they show.
    clock : Clock
        Gives the pip and the tempo in effect at each frame's time.
    fps : int
        Frames a second.
    start : float, optional
        The clock's time of frame 0, in seconds.

    Yields
    ------
    PIL.Image.Image
        The painter's canvas holding the frame: it changes with the next one.

    Raises
    ------
    ValueError
        Whatever the clock raises for a time it cannot count (past the
        32-bit pips, say), when that frame is reached.
    """
    layout = painter.layout
    back = np.arange(-TRAIL_PIPS, 1, TRAIL_STEP)
    first = 0
    while True:
        times = [start + k / fps for k in range(first, first + FRAMES_PER_BLOCK)]
        pips = np.array([clock.pip_at(t) for t in times], dtype=np.int64)
        bpms = [shown_tempo(clock, t, int(p)) for t, p in zip(times, pips)]
        trail_pips = np.maximum(pips[:, None] + back[None, :], PIP_MIN)  # the trail of pip -2**31 stays in range
        points, trails, depths = [], [], []
        for index, name in enumerate(painter.names):
            trail = sample_many(name, trail_pips, painter.library)  # (frames, steps + 1, 3); the last is the pip itself
            pixels = layout.to_pixels(index, trail)
            trails.append(pixels)
            points.append(pixels[:, -1])
            depths.append(trail[:, -1, 2])
        for k in range(FRAMES_PER_BLOCK):
            yield painter.frame(
                times[k], int(pips[k]), bpms[k],
                np.array([p[k] for p in points]), np.array([t[k] for t in trails]), np.array([d[k] for d in depths]),
            )
        first += FRAMES_PER_BLOCK
