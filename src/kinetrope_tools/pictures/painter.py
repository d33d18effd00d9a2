"""The one Pillow painter of moving points, for the video and the GIF alike.

Each pattern has a panel (see ``layout``) with its name, its whole path,
and a point at its (x, y) offset (x to the right, y up) whose size shows
depth (z = +1, near, is largest); a trail traces the path over the last
``TRAIL_PIPS`` pips, and a counter under the panel shows the bar and beat
(four beats a bar, pip 0 on a downbeat), the tempo and the time.

The still parts are drawn once, large and scaled down so their edges are
smooth; each frame draws only the moving parts onto a canvas, after putting
back what the last frame drew.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from typing import Any

import numpy as np
from PIL import Image, ImageDraw, ImageFont

import kinetrope

from ..patterns.arrays import rows
from .layout import Layout

TRAIL_PIPS = 24  # how far back the trail reaches: three eighths of a beat
TRAIL_STEP = 2
SMOOTHING = 3  # the still parts are drawn this many times larger and scaled down

BACKGROUND = (18, 20, 26)
PANEL_EDGE = (44, 48, 58)
GUIDE = (40, 44, 54)
LOOP = (70, 76, 92)
INK = (222, 226, 234)
DIM_INK = (130, 136, 150)
TRAIL = (70, 190, 255)
POINT = (255, 92, 48)
POINT_EDGE = (255, 214, 190)
BEAT_OFF = (64, 70, 84)
BEAT_ON = (255, 196, 60)


def counter(pip: int) -> tuple[int, int]:
    """The bar and the beat within it at a pip.

    Parameters
    ----------
    pip : int
        A pip (64 a beat); pip 0 is the first beat of bar 1.

    Returns
    -------
    tuple of int
        The bar (from 1; bars before pip 0 count 0, -1, ...) and the beat
        within it (1 to 4).
    """
    beat = pip // kinetrope.PIPS_PER_BEAT
    return beat // 4 + 1, beat % 4 + 1


def _clock_time(seconds: float) -> str:
    minutes, rest = divmod(seconds, 60.0)
    return f"{int(minutes)}:{rest:05.2f}"


class Painter:
    """Draws frames of ``names``' points: the background once, then the moving parts onto a copy of it.

    Parameters
    ----------
    layout : Layout
        Where each pattern's panel lies; one panel per name.
    names : sequence of str
        The patterns, in panel order.
    library : kinetrope.PatternLibrary or None
        Where the names are looked up besides the defaults.
    """

    def __init__(self, layout: Layout, names: Sequence[str], library: kinetrope.PatternLibrary | None) -> None:
        self.layout = layout
        self.names = list(names)
        self.library = library
        panel = layout.panel
        self.counter_font = ImageFont.load_default(size=max(8, round(panel * 0.036)))
        self.trail_width = max(1, round(panel * 0.008))
        # Fading from the background to the trail's colour, oldest first.
        steps = TRAIL_PIPS // TRAIL_STEP
        fade = np.linspace(0.12, 1.0, steps)[:, None]
        self.trail_colours = [tuple(int(c) for c in row) for row in np.array(BACKGROUND) * (1 - fade) + np.array(TRAIL) * fade]

        self.background = self._background()
        self._sprites: dict[tuple[int, int, int], tuple[Image.Image, Image.Image]] = {}
        # Frames are drawn onto one canvas; only what the last frame drew is
        # put back from the background, which costs far less than a copy of it.
        self.canvas = self.background.copy()
        self._drawn: list[tuple[int, int, int, int]] = []

    def _background(self) -> Image.Image:
        """Panels, guides, each pattern's whole path and its name, drawn large and scaled down so edges are smooth."""
        layout, s = self.layout, SMOOTHING
        panel = layout.panel
        large = Image.new("RGB", (layout.width * s, layout.height * s), BACKGROUND)
        draw = ImageDraw.Draw(large)
        name_font = ImageFont.load_default(size=s * max(9, round(panel * 0.045)))
        for index, name in enumerate(self.names):
            left, top = layout.corner(index)
            draw.rectangle([s * left, s * top, s * (left + panel) - 1, s * (top + panel) - 1], outline=PANEL_EDGE, width=s)
            cx, cy = layout.centre(index)
            r = layout.radius
            draw.rectangle([s * (cx - r), s * (cy - r), s * (cx + r), s * (cy + r)], outline=GUIDE, width=s)
            draw.line([(s * (cx - r), s * cy), (s * (cx + r), s * cy)], fill=GUIDE, width=s)
            draw.line([(s * cx, s * (cy - r)), (s * cx, s * (cy + r))], fill=GUIDE, width=s)
            period = rows(name, self.library)
            loop = s * layout.to_pixels(index, np.vstack([period, period[:1]]))
            draw.line([tuple(p) for p in loop], fill=LOOP, width=s, joint="curve")
            draw.text((s * (left + panel * 0.04), s * (top + layout.header / 2)), name, fill=INK, font=name_font, anchor="lm")
        return large.resize((layout.width, layout.height), Image.Resampling.LANCZOS)

    def _point(self, x: float, y: float, radius: float) -> tuple[Image.Image, Image.Image, tuple[int, int]]:
        """A smooth disc of ``radius`` centred on (x, y): its colours, its mask and where to paste them.

        Discs are kept by radius and by where the centre falls within its pixel, both to a quarter pixel.
        """
        quarter_x, quarter_y = round(x * 4), round(y * 4)
        key = (round(radius * 4), quarter_x % 4, quarter_y % 4)
        sprite = self._sprites.get(key)
        if sprite is None:
            side = math.ceil(key[0] / 4) * 2 + 4
            s = SMOOTHING * 4
            centre_x, centre_y = side / 2 + key[1] / 4, side / 2 + key[2] / 4
            r = key[0] / 4
            box = [s * (centre_x - r), s * (centre_y - r), s * (centre_x + r), s * (centre_y + r)]
            mask = Image.new("L", (side * s, side * s), 0)
            ImageDraw.Draw(mask).ellipse(box, fill=255)
            colours = Image.new("RGB", (side * s, side * s), POINT_EDGE)
            rim = max(1.0, r * 0.12) * s
            ImageDraw.Draw(colours).ellipse([box[0] + rim, box[1] + rim, box[2] - rim, box[3] - rim], fill=POINT)
            sprite = self._sprites[key] = (
                colours.resize((side, side), Image.Resampling.BOX), mask.resize((side, side), Image.Resampling.BOX)
            )
        side = sprite[0].size[0]
        return sprite[0], sprite[1], (quarter_x // 4 - side // 2, quarter_y // 4 - side // 2)

    def _clipped(self, low: Any, high: Any) -> tuple[int, int, int, int]:
        """The box from ``low`` to ``high`` (x, y) in whole pixels that covers them, inside the frame."""
        width, height = self.canvas.size
        return (
            min(max(math.floor(low[0]), 0), width), min(max(math.floor(low[1]), 0), height),
            min(max(math.ceil(high[0]), 0), width), min(max(math.ceil(high[1]), 0), height),
        )

    def frame(self, seconds: float, pip: int, bpm: float, points: np.ndarray, trails: np.ndarray, depths: np.ndarray) -> Image.Image:
        """One frame.

        Parameters
        ----------
        seconds : float
            The time the counter shows.
        pip : int
            The pip whose bar and beat the counter shows.
        bpm : float
            The tempo the counter shows.
        points : numpy.ndarray
            (n, 2): each panel's point in pixels.
        trails : numpy.ndarray
            (n, TRAIL_PIPS // TRAIL_STEP + 1, 2): each point's trail in pixels, oldest first.
        depths : numpy.ndarray
            (n,): each point's z offset.

        Returns
        -------
        PIL.Image.Image
            The painter's canvas: it holds this frame until the next call.
        """
        layout = self.layout
        image = self.canvas
        for box in self._drawn:
            image.paste(self.background.crop(box), box[:2])
        self._drawn = []
        draw = ImageDraw.Draw(image)
        bar, beat = counter(pip)
        count = f"bar {bar}  beat {beat}"
        status = f"{bpm:5.1f} bpm  {_clock_time(seconds)}"
        for index in range(layout.count):
            trail = trails[index]
            for step, colour in enumerate(self.trail_colours):
                draw.line([tuple(trail[step]), tuple(trail[step + 1])], fill=colour, width=self.trail_width)
            x, y = points[index]
            size = layout.point_radius * (1.0 + 0.6 * float(depths[index]))
            colours, mask, corner = self._point(float(x), float(y), size)
            image.paste(colours, corner, mask)
            reach = np.vstack([trail, [corner, (corner[0] + colours.size[0], corner[1] + colours.size[1])]])
            low, high = reach.min(axis=0) - self.trail_width - 2, reach.max(axis=0) + self.trail_width + 2
            self._drawn.append(self._clipped(low, high))

            left, top = layout.corner(index)
            panel = layout.panel
            self._drawn.append(self._clipped((left, top + panel - layout.footer), (left + panel, top + panel)))
            middle = top + panel - layout.footer / 2
            dot = max(2.0, panel * 0.012)
            for b in range(4):
                cx = left + panel * 0.06 + b * dot * 3.2
                lit = b + 1 == beat
                grow = 1.35 if b == 0 else 1.0  # the downbeat's dot is larger
                r = dot * grow
                draw.ellipse([cx - r, middle - r, cx + r, middle + r], fill=BEAT_ON if lit else BEAT_OFF)
            draw.text((left + panel * 0.06 + 4 * dot * 3.2, middle), count, fill=INK, font=self.counter_font, anchor="lm")
            draw.text((left + panel * 0.96, middle), status, fill=DIM_INK, font=self.counter_font, anchor="rm")
        return image
