"""A GIF of the point moving at a tempo, drawn as the video draws it: a short trail behind it, its size showing depth."""

from __future__ import annotations

import math
import pathlib

from PIL import Image

import kinetrope

from ..base.errors import KinetropeError
from ..base.files import check_replaceable, replacing
from ..base.instances import library_or_none
from ..base.pips import PIP_MAX
from ..clocks.fixed import FixedTempo
from ..clocks.tempo import checked_bpm
from ..patterns.library import Entry
from .frames import frames
from .layout import layout_for
from .painter import Painter

SIDE = 320
GIF_FPS = (100, 50, 25, 20, 10, 5, 4, 2, 1)
# A minute at 50 frames a second (the longest default period fits at 20
# bpm); every frame is held until the GIF is written, over 100 kB each.
MAX_FRAMES = 3000


class AnimationError(KinetropeError, ValueError):
    """A tempo, length or frame rate a GIF is not made of."""


def frame_count(bpm: float, beats: float, fps: int) -> int:
    """How many frames ``beats`` beats last at ``bpm`` and ``fps``, checked before anything is drawn.

    Parameters
    ----------
    bpm : float
        The tempo, in beats a minute (the one tempo range).
    beats : float
        The length in beats, above 0.
    fps : int
        Frames a second: one of GIF_FPS.

    Returns
    -------
    int
        The number of frames, at least 1.

    Raises
    ------
    AnimationError
        For a frame rate that does not divide 100, a length that is not a
        positive number or runs past the 32-bit pips, or more than
        MAX_FRAMES frames, so that a GIF that would take hours or all the
        memory is refused at once (a ``ValueError``).
    TempoError
        For a tempo out of range.
    """
    if fps not in GIF_FPS:
        raise AnimationError(f"fps must divide 100 (GIF frames last whole hundredths of a second): {GIF_FPS}")
    bpm = checked_bpm(bpm)
    if not (math.isfinite(beats) and beats > 0):
        raise AnimationError("the length in beats must be a positive number")
    if beats * kinetrope.PIPS_PER_BEAT > PIP_MAX:
        raise AnimationError(f"{beats:g} beats run past the last 32-bit pip ({PIP_MAX})")
    count = beats * 60.0 / bpm * fps
    if not count <= MAX_FRAMES:  # an infinity too, from a tempo near zero
        raise AnimationError(
            f"{beats:g} beats at {bpm:g} bpm take {count:.4g} frames at {fps} a second; a GIF here holds at most "
            f"{MAX_FRAMES} (fewer beats, a faster tempo or fewer frames a second)"
        )
    return max(1, round(count))


def animate(
    path: pathlib.Path,
    entry: Entry,
    *,
    bpm: float,
    beats: float | None = None,
    fps: int = 50,
    library: kinetrope.PatternLibrary | None = None,
) -> int:
    """Writes a GIF of ``entry``'s point moving at ``bpm``, drawn by the painter the videos use.

    Parameters
    ----------
    path : pathlib.Path
        The GIF to write; it is written beside ``path`` and renamed over it
        when complete (a link there is replaced, never written through; a
        folder, a device or a FIFO is refused before anything is drawn).
    entry : Entry
        The pattern.
    bpm : float
        The tempo, in beats a minute.
    beats : float, optional
        The length in beats; by default one period.
    fps : int, optional
        Frames a second; GIF frames last whole hundredths of a second, so
        ``fps`` must divide 100 for the animation to keep the tempo.
    library : kinetrope.PatternLibrary, optional
        Where the pattern is looked up besides the defaults.

    Returns
    -------
    int
        The number of frames written.

    Raises
    ------
    AnimationError
        For what ``frame_count`` refuses, before anything is drawn.
    WrongTypeError
        For a ``library`` that is not a ``kinetrope.PatternLibrary``.
    """
    library = library_or_none(library)
    if beats is None:
        beats = entry.period_pips / kinetrope.PIPS_PER_BEAT
    count = frame_count(bpm, beats, fps)
    check_replaceable(path)
    moving = frames(Painter(layout_for(1, SIDE), [entry.name], library), FixedTempo(bpm), fps=fps)
    # Kept as palette images, a third of the memory; the GIF is one anyway.
    pictures = [next(moving).quantize(colors=256, method=Image.Quantize.MEDIANCUT) for _ in range(count)]
    path.parent.mkdir(parents=True, exist_ok=True)
    with replacing(path) as file:
        pictures[0].save(file, format="GIF", save_all=True, append_images=pictures[1:], duration=1000 // fps, loop=0)
    return count
