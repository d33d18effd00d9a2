"""How a pattern is drawn: its path, its lanes against the pip, and the sheets built from them.

The gallery's thumbnails and large views and the preview's contact sheets all
come from these functions. The gallery keys each picture by a hash of this
file and of patterns.py, so a change here redraws every picture.

Pictures by dimensions: a 1-D pattern moves along x only, so it is drawn
along x with time running down the picture; a 2-D pattern as its x/y path
coloured by time; a 3-D pattern as its x/y path coloured and thickened by
depth (z, near = +1), the far parts drawn first so the near ones stay on top.
"""

from __future__ import annotations

import pathlib
import textwrap

import matplotlib

matplotlib.use("Agg")
import numpy as np  # noqa: E402
from matplotlib.axes import Axes  # noqa: E402
from matplotlib.collections import LineCollection  # noqa: E402
from matplotlib.cm import ScalarMappable  # noqa: E402
from matplotlib.colors import Normalize  # noqa: E402
from matplotlib.figure import Figure  # noqa: E402

import kinetrope  # noqa: E402

from .patterns import Entry  # noqa: E402

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


def _closed(rows: np.ndarray) -> np.ndarray:
    return np.vstack([rows, rows[:1]])


def _segments(points: np.ndarray) -> np.ndarray:
    return np.stack([points[:-1], points[1:]], axis=1)


def _square(ax: Axes) -> None:
    ax.set_xlim(-1.08, 1.08)
    ax.set_ylim(-1.08, 1.08)
    ax.axhline(0, color=GUIDE, lw=0.8, zorder=0)
    ax.axvline(0, color=GUIDE, lw=0.8, zorder=0)


def draw_along_x(ax: Axes, rows: np.ndarray, fontsize: float) -> None:
    """A 1-D pattern: x across, pips down, a line on every beat."""
    period = rows.shape[0]
    pips = np.arange(period + 1)
    points = np.column_stack([_closed(rows)[:, 0], pips])
    lines = LineCollection(list(_segments(points)), cmap=TIME_MAP, norm=Normalize(0, period), linewidths=1.8)
    lines.set_array(np.arange(period))
    ax.add_collection(lines, autolim=False)
    ax.hlines(np.arange(0, period + 1, kinetrope.PIPS_PER_BEAT), -1.08, 1.08, colors=BEAT_LINE, lw=0.7, zorder=0)
    ax.axvline(0, color=GUIDE, lw=0.8, zorder=0)
    ax.plot([rows[0, 0]], [0], "o", color="black", markersize=4)
    ax.set_aspect("auto")
    ax.set_xlim(-1.08, 1.08)
    ax.set_ylim(period, 0)
    ax.set_xlabel("x", fontsize=fontsize, color=INK, labelpad=1)
    ax.set_ylabel("← pip", fontsize=fontsize, color=INK, labelpad=1)


def draw_path(ax: Axes, rows: np.ndarray, dimensions: int, fontsize: float = 10) -> None:
    """The pattern's picture on ``ax``."""
    ax.set_xticks([])
    ax.set_yticks([])
    for spine in ax.spines.values():
        spine.set_color(GUIDE)
    if dimensions == 1:
        draw_along_x(ax, rows, fontsize)
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
    ax.set_xlabel("x", fontsize=fontsize, color=INK, labelpad=1)
    ax.set_ylabel("y", fontsize=fontsize, color=INK, labelpad=1)


def depth_bar(fig: Figure, bar_ax: Axes, fontsize: float) -> None:
    """The depth scale of a 3-D picture, labelled near at the top and far at the bottom."""
    bar = fig.colorbar(ScalarMappable(Normalize(-1, 1), DEPTH_MAP), cax=bar_ax, ticks=[])
    bar.outline.set_visible(False)
    bar_ax.set_title("near", fontsize=fontsize, color=INK, pad=2)
    bar_ax.set_xlabel("far", fontsize=fontsize, color=INK, labelpad=2)


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
    ax.set_xlabel(f"pip ({beat} a beat, a line on every beat)", fontsize=fontsize, color=INK)
    # On the title's first line, right of the name: the description below it
    # may run the full width.
    ax.legend(
        fontsize=fontsize - 1, loc="lower right", bbox_to_anchor=(1.0, 1.085), ncol=3,
        frameon=False, borderaxespad=0.2, handlelength=1.5,
    )


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
        self.fig = Figure(figsize=(side, side), dpi=self.dpi)
        self.ax = self.fig.add_axes((0.1, 0.1, 0.88, 0.88))
        self.bar_ax = self.fig.add_axes((0.85, 0.24, 0.05, 0.6))
        depth_bar(self.fig, self.bar_ax, fontsize=9)

    def save(self, rows: np.ndarray, dimensions: int, path: pathlib.Path) -> None:
        _wipe(self.ax)
        self.ax.set_position((0.1, 0.1, 0.72 if dimensions == 3 else 0.88, 0.88))
        self.bar_ax.set_visible(dimensions == 3)
        draw_path(self.ax, rows, dimensions, fontsize=11)
        self.fig.savefig(path, dpi=self.dpi, format="png", pil_kwargs=PNG_OPTIONS)


# Where a picture, its depth scale and its lanes sit in one row, as fractions
# of the row (left, bottom, width, height); fixed places cost far less than a
# layout engine.
_ROW_PATH = (0.045, 0.14, 0.19, 0.68)
_ROW_BAR = (0.238, 0.24, 0.008, 0.48)
_ROW_LANES = (0.3, 0.14, 0.685, 0.68)
_ROW_INCHES = (12.0, 3.4)


class Row:
    """One pattern across a figure: its picture, depth scale and lanes, under its title."""

    def __init__(self, fig: Figure, top: float, height: float) -> None:
        def place(box: tuple[float, float, float, float]) -> Axes:
            left, bottom, width, tall = box
            return fig.add_axes((left, top - height + bottom * height, width, tall * height))

        self.fig = fig
        self.path_ax, self.bar_ax, self.lanes_ax = place(_ROW_PATH), place(_ROW_BAR), place(_ROW_LANES)
        depth_bar(fig, self.bar_ax, fontsize=8)

    def draw(self, entry: Entry, rows: np.ndarray) -> None:
        _wipe(self.path_ax, self.lanes_ax)
        self.bar_ax.set_visible(entry.dimensions == 3)
        draw_path(self.path_ax, rows, entry.dimensions, fontsize=9)
        draw_lanes(self.lanes_ax, rows, entry.dimensions)
        self.lanes_ax.set_title(
            title_of(entry) + "\n" + textwrap.shorten(entry.description, 150), fontsize=9, loc="left"
        )


class LargeView:
    """A pattern's picture beside its lanes, drawn again on one figure for every pattern."""

    def __init__(self) -> None:
        self.fig = Figure(figsize=_ROW_INCHES, dpi=100)
        self.row = Row(self.fig, 1.0, 1.0)

    def save(self, entry: Entry, rows: np.ndarray, path: pathlib.Path) -> None:
        self.row.draw(entry, rows)
        self.fig.savefig(path, format="png", pil_kwargs=PNG_OPTIONS)


def contact_sheet(entries: list[Entry], rows_of: dict[str, np.ndarray], path: pathlib.Path) -> None:
    """One row per pattern: its picture and its lanes under its name, period and description."""
    width, height = _ROW_INCHES
    fig = Figure(figsize=(width, height * len(entries)), dpi=80)
    for index, entry in enumerate(entries):
        Row(fig, 1.0 - index / len(entries), 1.0 / len(entries)).draw(entry, rows_of[entry.name])
    fig.savefig(path)
