"""A GIF of the point moving in time: a short trail behind it, its size showing depth."""

from __future__ import annotations

import math
import pathlib

import numpy as np
from PIL import Image, ImageDraw, ImageFont

import kinetrope

from ..base.files import replacing
from ..base.pips import PIP_MAX
from ..clocks.fixed import pips_at
from ..clocks.tempo import checked_bpm
from ..patterns.arrays import rows, sample_many
from ..patterns.library import Entry

SIDE = 320
MARGIN = 30
TRAIL_FRAMES = 10
GIF_FPS = (100, 50, 25, 20, 10, 5, 4, 2, 1)
# A minute at 50 frames a second (the longest default period fits at 20
# bpm); every frame is held until the GIF is written, over 100 kB each.
MAX_FRAMES = 3000


def _to_canvas(offsets: np.ndarray) -> np.ndarray:
    radius = SIDE / 2 - MARGIN
    return np.column_stack([SIDE / 2 + offsets[:, 0] * radius, SIDE / 2 - offsets[:, 1] * radius])


def frame_count(bpm: float, beats: float, fps: int) -> int:
    """How many frames ``beats`` beats last at ``bpm`` and ``fps``; ValueError past MAX_FRAMES or the 32-bit pips.

    Checked before anything is drawn, so a tempo or length that would take
    hours or all the memory is refused at once.
    """
    if fps not in GIF_FPS:
        raise ValueError(f"fps must divide 100 (GIF frames last whole hundredths of a second): {GIF_FPS}")
    bpm = checked_bpm(bpm)
    if not (math.isfinite(beats) and beats > 0):
        raise ValueError("the length in beats must be a positive number")
    if beats * kinetrope.PIPS_PER_BEAT > PIP_MAX:
        raise ValueError(f"{beats:g} beats run past the last 32-bit pip ({PIP_MAX})")
    frames = beats * 60.0 / bpm * fps
    if not frames <= MAX_FRAMES:  # an infinity too, from a tempo near zero
        raise ValueError(
            f"{beats:g} beats at {bpm:g} bpm take {frames:.4g} frames at {fps} a second; a GIF here holds at most "
            f"{MAX_FRAMES} (fewer beats, a faster tempo or fewer frames a second)"
        )
    return max(1, round(frames))


def frame_pips(bpm: float, beats: float, fps: int) -> list[int]:
    """The pip in effect at every frame, one frame every 1/fps seconds over ``beats`` beats."""
    return [pips_at(frame / fps, bpm) for frame in range(frame_count(bpm, beats, fps))]


def animate(
    path: pathlib.Path,
    entry: Entry,
    *,
    bpm: float,
    beats: float | None = None,
    fps: int = 50,
    library: kinetrope.PatternLibrary | None = None,
) -> int:
    """Writes the GIF; returns its number of frames.

    GIF frames last whole hundredths of a second, so ``fps`` must divide 100
    for the animation to keep the tempo; ``frame_count`` says what else is
    refused (ValueError) before anything is drawn. The file is written beside
    ``path`` and renamed over it when complete: a link there is replaced,
    never written through.
    """
    if beats is None:
        beats = entry.period_pips / kinetrope.PIPS_PER_BEAT
    pips = frame_pips(bpm, beats, fps)
    offsets = sample_many(entry.name, pips, library)
    one_period = rows(entry.name, library)
    points, depth = _to_canvas(offsets), offsets[:, 2]
    loop = [tuple(p) for p in _to_canvas(np.vstack([one_period, one_period[:1]]))]
    font = ImageFont.load_default(size=13)

    frames = []
    for index, pip in enumerate(pips):
        image = Image.new("RGB", (SIDE, SIDE), "white")
        draw = ImageDraw.Draw(image)
        draw.line([(MARGIN, SIDE / 2), (SIDE - MARGIN, SIDE / 2)], fill=(232, 232, 232))
        draw.line([(SIDE / 2, MARGIN), (SIDE / 2, SIDE - MARGIN)], fill=(232, 232, 232))
        draw.line(loop, fill=(215, 215, 215), width=1)
        start = max(0, index - TRAIL_FRAMES)
        for age, step in enumerate(range(start, index)):
            fade = 1.0 - (age + 1) / (index - start + 1)
            shade = int(60 + 170 * fade)
            draw.line([tuple(points[step]), tuple(points[step + 1])], fill=(shade, shade, 255), width=3)
        x, y = points[index]
        size = 7 + 5 * float(depth[index])  # near (+1) is large, far (-1) small
        draw.ellipse([x - size, y - size, x + size, y + size], fill=(200, 40, 40), outline=(90, 0, 0))
        draw.text((8, 6), entry.name, fill=(40, 40, 40), font=font)
        beat = pip / kinetrope.PIPS_PER_BEAT
        draw.text((8, SIDE - 20), f"beat {beat:.2f} · {bpm:g} bpm", fill=(90, 90, 90), font=font)
        # Kept as a palette image, a third of the memory; the GIF is one anyway.
        frames.append(image.quantize(colors=256, method=Image.Quantize.MEDIANCUT))
    path.parent.mkdir(parents=True, exist_ok=True)
    with replacing(path) as file:
        frames[0].save(file, format="GIF", save_all=True, append_images=frames[1:], duration=1000 // fps, loop=0)
    return len(frames)
