"""How a pattern is drawn: its path, its lanes against the pip, and the sheets built from them.

The gallery's thumbnails and large views and the preview's contact sheets all
come from these functions. The gallery keys each picture by a hash of this
file and of patterns.py, so a change here redraws every picture.

Pictures by dimensions: a 1-D pattern moves along x only, so it is drawn
along x with time running down the picture; a 2-D pattern as its x/y path
coloured by time, with a key from early to late; a 3-D pattern as its x/y
path coloured and thickened by depth (z, near = +1), the far parts drawn
first so the near ones stay on top, with a key from far to near. A 3-D
pattern that stands still in x and y is drawn like a 1-D one, along z.

Every text is drawn as it is written (no math markup, no TeX), whatever the
description holds and however matplotlib is configured.
"""

from __future__ import annotations

import contextlib
import pathlib
import textwrap
from collections.abc import Iterator
from typing import IO, Any

import matplotlib

matplotlib.use("Agg")
import numpy as np  # noqa: E402
from matplotlib.axes import Axes  # noqa: E402
from matplotlib.collections import LineCollection  # noqa: E402
from matplotlib.cm import ScalarMappable  # noqa: E402
from matplotlib.colors import Normalize  # noqa: E402
from matplotlib.figure import Figure  # noqa: E402

import kinetrope  # noqa: E402

from ..patterns.library import Entry  # noqa: E402

AXIS_COLOURS = {"x": "#d62728", "y": "#2ca02c", "z": "#1f77b4"}
TIME_MAP = "viridis"
DEPTH_MAP = "coolwarm"
THUMB_PIXELS = 200
INK = "0.25"
GUIDE = "0.88"
BEAT_LINE = "0.8"
BAR_LINE = "0.55"
# Quick compression: the gallery writes thousands of pictures, and the
# strongest setting makes them only slightly smaller at several times the cost.
PNG_OPTIONS = {"compress_level": 2}
# Texts as written: "$" is a dollar sign, never the start of math.
LITERAL: dict[str, Any] = {"parse_math": False, "usetex": False}
# Less than this across x and y (under two pixels of a thumbnail) is standing still.
STILL = 0.02
PictureFile = pathlib.Path | IO[bytes]


@contextlib.contextmanager
def plain_text() -> Iterator[None]:
    # Whatever the user's matplotlibrc says, no text is read as math or TeX.
    with matplotlib.rc_context({"text.usetex": False, "text.parse_math": False, "axes.formatter.use_mathtext": False}):
        yield


def _closed(rows: np.ndarray) -> np.ndarray:
    return np.vstack([rows, rows[:1]])


def _segments(points: np.ndarray) -> np.ndarray:
    return np.stack([points[:-1], points[1:]], axis=1)


def _square(ax: Axes) -> None:
    ax.set_xlim(-1.08, 1.08)
    ax.set_ylim(-1.08, 1.08)
    ax.axhline(0, color=GUIDE, lw=0.8, zorder=0)
    ax.axvline(0, color=GUIDE, lw=0.8, zorder=0)


def moves_only_in_z(rows: np.ndarray, dimensions: int) -> bool:
    """A 3-D pattern whose x/y path is a point: seen from the front it would not move."""
    return dimensions == 3 and float(np.ptp(rows[:, :2], axis=0).max()) < STILL


def draw_along(ax: Axes, rows: np.ndarray, axis: int, fontsize: float) -> None:
    """One axis across (x, or z for a pattern that moves only in depth), pips down, a line on every beat.

    Coloured by time along x, by depth along z, as the paths of 2-D and 3-D
    patterns are.
    """
    period = rows.shape[0]
    pips = np.arange(period + 1)
    closed = _closed(rows)
    points = np.column_stack([closed[:, axis], pips])
    if axis == 2:
        depth = (closed[:-1, 2] + closed[1:, 2]) / 2
        lines = LineCollection(list(_segments(points)), cmap=DEPTH_MAP, norm=Normalize(-1, 1), linewidths=1.8)
        lines.set_array(depth)
    else:
        lines = LineCollection(list(_segments(points)), cmap=TIME_MAP, norm=Normalize(0, period), linewidths=1.8)
        lines.set_array(np.arange(period))
    ax.add_collection(lines, autolim=False)
    ax.hlines(np.arange(0, period + 1, kinetrope.PIPS_PER_BEAT), -1.08, 1.08, colors=BEAT_LINE, lw=0.7, zorder=0)
    ax.axvline(0, color=GUIDE, lw=0.8, zorder=0)
    # The start sits on the top edge: not clipped, so the whole dot shows.
    ax.plot([rows[0, axis]], [0], "o", color="black", markersize=4, zorder=3, clip_on=False)
    ax.set_aspect("auto")
    ax.set_xlim(-1.08, 1.08)
    ax.set_ylim(period, 0)
    ax.set_xlabel("xyz"[axis], fontsize=fontsize, color=INK, labelpad=1, **LITERAL)
    ax.set_ylabel("← pip", fontsize=fontsize, color=INK, labelpad=1, **LITERAL)


def draw_path(ax: Axes, rows: np.ndarray, dimensions: int, fontsize: float = 10) -> None:
    """The pattern's picture on ``ax``."""
    ax.set_xticks([])
    ax.set_yticks([])
    for spine in ax.spines.values():
        spine.set_color(GUIDE)
    if dimensions == 1 or moves_only_in_z(rows, dimensions):
        draw_along(ax, rows, 0 if dimensions == 1 else 2, fontsize)
        return
    ax.set_aspect("equal")
    closed = _closed(rows)
    segments = _segments(closed[:, :2])
    if dimensions == 3:
        depth = (closed[:-1, 2] + closed[1:, 2]) / 2
        order = np.argsort(depth, kind="stable")
        lines = LineCollection(
            list(segments[order]), cmap=DEPTH_MAP, norm=Normalize(-1, 1),
            linewidths=1.0 + 1.6 * (depth[order] + 1),
        )
        lines.set_array(depth[order])
    else:
        lines = LineCollection(
            list(segments), cmap=TIME_MAP, norm=Normalize(0, len(rows)), linewidths=1.8
        )
        lines.set_array(np.arange(len(rows)))
    lines.set_capstyle("round")
    ax.add_collection(lines, autolim=False)
    _square(ax)
    ax.plot([rows[0, 0]], [rows[0, 1]], "o", color="black", markersize=4, zorder=3)
    ax.set_xlabel("x", fontsize=fontsize, color=INK, labelpad=1, **LITERAL)
    ax.set_ylabel("y", fontsize=fontsize, color=INK, labelpad=1, **LITERAL)


class Keys:
    """The colour keys beside a picture, on axes of their own: depth (3-D) and time (2-D), one shown at a time."""

    def __init__(self, fig: Figure, depth_ax: Axes, time_ax: Axes, fontsize: float) -> None:
        self.depth_ax, self.time_ax = depth_ax, time_ax
        for ax, colours, top, bottom in ((depth_ax, DEPTH_MAP, "near", "far"), (time_ax, TIME_MAP, "late", "early")):
            bar = fig.colorbar(ScalarMappable(Normalize(-1, 1), colours), cax=ax, ticks=[])
            bar.outline.set_visible(False)
            ax.set_title(top, fontsize=fontsize, color=INK, pad=2, **LITERAL)
            ax.set_xlabel(bottom, fontsize=fontsize, color=INK, labelpad=2, **LITERAL)

    def show(self, dimensions: int) -> bool:
        """Shows the key of a picture of ``dimensions``; False if it has none (1-D: time runs down the picture)."""
        self.depth_ax.set_visible(dimensions == 3)
        self.time_ax.set_visible(dimensions == 2)
        return dimensions >= 2


def draw_lanes(ax: Axes, rows: np.ndarray, dimensions: int, fontsize: float = 9) -> None:
    """x, y and z against the pip, a line on every beat and a stronger one every four.

    Axes beyond the pattern's dimensions are always 0 and drawn faint.
    """
    period = rows.shape[0]
    pips = np.arange(period)
    for index, axis in enumerate("xyz"):
        used = index < dimensions
        ax.plot(
            pips, rows[:, index], color=AXIS_COLOURS[axis], lw=1.4 if used else 0.8,
            alpha=1.0 if used else 0.35, label=axis if used else f"{axis} (unused)",
        )
    beat = kinetrope.PIPS_PER_BEAT
    beats = np.arange(0, period + 1, beat)
    colours = [BAR_LINE if pip % (4 * beat) == 0 else BEAT_LINE for pip in beats]
    ax.vlines(beats, -1.08, 1.08, colors=colours, lw=0.9, zorder=0)
    ax.axhline(0, color=GUIDE, lw=0.8, zorder=0)
    ax.set_xlim(0, period)
    ax.set_ylim(-1.08, 1.08)
    step = beat // 4 if period <= 2 * beat else beat * max(1, period // (16 * beat))
    ax.set_xticks(range(0, period + 1, step))
    ax.tick_params(labelsize=fontsize - 1, colors=INK)
    ax.set_xlabel(f"pip ({beat} a beat, a line on every beat)", fontsize=fontsize, color=INK, **LITERAL)
    # On the title's first line, right of the name: the description below it
    # may run the full width.
    legend = ax.legend(
        fontsize=fontsize - 1, loc="lower right", bbox_to_anchor=(1.0, 1.085), ncol=3,
        frameon=False, borderaxespad=0.2, handlelength=1.5,
    )
    for text in legend.get_texts():
        text.set_parse_math(False)
        text.set_usetex(False)


def title_of(entry: Entry) -> str:
    return (
        f"{entry.name}  ·  {entry.period} ({entry.period_pips} pips)  ·  {entry.dimensions}-D  ·  {entry.family}"
    )


def _wipe(*axes: Axes) -> None:
    """Takes the previous pattern off axes that are drawn again."""
    for ax in axes:
        for artist in [*ax.lines, *ax.collections, *ax.texts]:
            artist.remove()
        if ax.legend_ is not None:
            ax.legend_.remove()


class Thumbnail:
    """A small square picture of a pattern, THUMB_PIXELS wide.

    One figure is drawn again for every pattern: building a figure and its
    axes costs more than drawing the lines on it.
    """

    dpi = 100

    def __init__(self) -> None:
        side = THUMB_PIXELS / self.dpi
        with plain_text():
            self.fig = Figure(figsize=(side, side), dpi=self.dpi)
            self.ax = self.fig.add_axes((0.1, 0.1, 0.88, 0.88))
            bar = (0.85, 0.24, 0.05, 0.6)
            self.keys = Keys(self.fig, self.fig.add_axes(bar), self.fig.add_axes(bar), fontsize=9)

    def save(self, rows: np.ndarray, dimensions: int, file: PictureFile) -> None:
        with plain_text():
            _wipe(self.ax)
            keyed = self.keys.show(dimensions)
            self.ax.set_position((0.1, 0.1, 0.72 if keyed else 0.88, 0.88))
            draw_path(self.ax, rows, dimensions, fontsize=11)
            self.fig.savefig(file, dpi=self.dpi, format="png", pil_kwargs=PNG_OPTIONS)


# Where a picture, its colour key and its lanes sit in one row, as fractions
# of the row (left, bottom, width, height); fixed places cost far less than a
# layout engine.
_ROW_PATH = (0.045, 0.14, 0.19, 0.68)
_ROW_BAR = (0.238, 0.24, 0.008, 0.48)
_ROW_LANES = (0.3, 0.14, 0.685, 0.68)
_ROW_INCHES = (12.0, 3.4)


class Row:
    """One pattern across a figure: its picture, colour key and lanes, under its title."""

    def __init__(self, fig: Figure, top: float, height: float) -> None:
        def place(box: tuple[float, float, float, float]) -> Axes:
            left, bottom, width, tall = box
            return fig.add_axes((left, top - height + bottom * height, width, tall * height))

        self.fig = fig
        self.path_ax, self.lanes_ax = place(_ROW_PATH), place(_ROW_LANES)
        self.keys = Keys(fig, place(_ROW_BAR), place(_ROW_BAR), fontsize=8)

    def draw(self, entry: Entry, rows: np.ndarray) -> None:
        _wipe(self.path_ax, self.lanes_ax)
        self.keys.show(entry.dimensions)
        draw_path(self.path_ax, rows, entry.dimensions, fontsize=9)
        draw_lanes(self.lanes_ax, rows, entry.dimensions)
        self.lanes_ax.set_title(
            title_of(entry) + "\n" + textwrap.shorten(entry.description, 150), fontsize=9, loc="left", **LITERAL
        )


class LargeView:
    """A pattern's picture beside its lanes, drawn again on one figure for every pattern."""

    def __init__(self) -> None:
        with plain_text():
            self.fig = Figure(figsize=_ROW_INCHES, dpi=100)
            self.row = Row(self.fig, 1.0, 1.0)

    def save(self, entry: Entry, rows: np.ndarray, file: PictureFile) -> None:
        with plain_text():
            self.row.draw(entry, rows)
            self.fig.savefig(file, format="png", pil_kwargs=PNG_OPTIONS)


def contact_sheet(entries: list[Entry], rows_of: dict[str, np.ndarray], file: PictureFile) -> None:
    """One row per pattern: its picture and its lanes under its name, period and description."""
    width, height = _ROW_INCHES
    with plain_text():
        fig = Figure(figsize=(width, height * len(entries)), dpi=80)
        for index, entry in enumerate(entries):
            Row(fig, 1.0 - index / len(entries), 1.0 / len(entries)).draw(entry, rows_of[entry.name])
        fig.savefig(file, format="png")
