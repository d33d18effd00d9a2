"""Where each pattern's panel lies in a frame of several patterns, and where an offset lies in its panel."""

from __future__ import annotations

import dataclasses
import math

import numpy as np


@dataclasses.dataclass(frozen=True)
class Layout:
    """Where each pattern's panel and plotting square lie in the frame.

    Panels are squares of ``panel`` pixels in ``rows`` rows of ``columns``,
    filled row by row. In each panel a band at the top holds the name, a band
    at the bottom the counter, and the square between them the motion:
    offsets of -1 and +1 lie ``radius`` pixels either side of its centre.
    """

    count: int
    columns: int
    rows: int
    panel: int

    @property
    def width(self) -> int:
        return self.columns * self.panel

    @property
    def height(self) -> int:
        return self.rows * self.panel

    @property
    def header(self) -> int:
        return round(self.panel * 0.1)

    @property
    def footer(self) -> int:
        return round(self.panel * 0.12)

    @property
    def point_radius(self) -> float:
        """The radius of the point at z = 0; it is 1.6 times that when near (z = +1) and 0.4 times when far."""
        return max(3.0, self.panel * 0.03)

    @property
    def radius(self) -> float:
        side = self.panel - self.header - self.footer
        return side / 2 - 1.6 * self.point_radius - 2

    def corner(self, index: int) -> tuple[int, int]:
        """The top-left pixel of panel ``index``."""
        row, column = divmod(index, self.columns)
        return column * self.panel, row * self.panel

    def centre(self, index: int) -> tuple[float, float]:
        """The pixel where offset (0, 0) lies in panel ``index``."""
        left, top = self.corner(index)
        return left + self.panel / 2, top + self.header + (self.panel - self.header - self.footer) / 2

    def to_pixels(self, index: int, offsets: np.ndarray) -> np.ndarray:
        """Pixel positions (..., 2) of offsets (..., 3) in panel ``index``: x to the right, y up."""
        cx, cy = self.centre(index)
        pixels = np.empty(offsets.shape[:-1] + (2,))
        pixels[..., 0] = cx + offsets[..., 0] * self.radius
        pixels[..., 1] = cy - offsets[..., 1] * self.radius
        return pixels


def layout_for(count: int, size: int) -> Layout:
    """Panels for ``count`` patterns in a frame ``size`` pixels high, arranged nearest to 16:9.

    Parameters
    ----------
    count : int
        How many patterns (panels), 1 or more.
    size : int
        The frame's height in pixels.

    Returns
    -------
    Layout
        One pattern fills a square frame, two sit side by side, four make a
        square of two by two; panel sides are even, as H.264's 4:2:0 frames
        need.
    """
    best = None
    for panel_rows in range(1, count + 1):
        columns = math.ceil(count / panel_rows)
        miss = abs(math.log(columns / panel_rows / (16 / 9)))
        if best is None or miss < best[0] - 1e-9:
            best = (miss, columns, panel_rows)
    assert best is not None
    _, columns, panel_rows = best
    panel = size // panel_rows // 2 * 2
    return Layout(count, columns, panel_rows, panel)
