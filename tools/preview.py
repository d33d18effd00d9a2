"""Renders default patterns to PNG contact sheets.

For every pattern chosen by name or glob (``euclid_*``), one row of the sheet
shows its x/y path coloured by depth (z) with the start marked, and x, y and
z against the pip with a line on every beat, under its name, period,
dimensions and description.

    python tools/preview.py 'euclid_*' bounce -o previews/euclid.png
"""

from __future__ import annotations

import argparse
import fnmatch
import pathlib
import textwrap

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.collections import LineCollection  # noqa: E402

import kinetrope  # noqa: E402

AXIS_COLOURS = {"x": "tab:red", "y": "tab:green", "z": "tab:blue"}


def choose(patterns: list[str]) -> list[dict]:
    entries = kinetrope.catalogue()
    chosen: list[dict] = []
    seen: set[str] = set()
    for pattern in patterns:
        matches = [e for e in entries if fnmatch.fnmatchcase(e["name"], pattern)]
        if not matches:
            raise SystemExit(f"no default pattern matches {pattern!r}")
        for entry in matches:
            if entry["name"] not in seen:
                seen.add(entry["name"])
                chosen.append(entry)
    return chosen


def rows_of(entry: dict) -> list[tuple[float, float, float]]:
    return [kinetrope.sample(entry["name"], p).as_tuple() for p in range(entry["period_pips"])]


def draw_path(ax, rows, dimensions: int) -> None:
    xs = [r[0] for r in rows] + [rows[0][0]]
    ys = [r[1] for r in rows] + [rows[0][1]]
    zs = [r[2] for r in rows] + [rows[0][2]]
    points = list(zip(xs, ys))
    segments = [[points[i], points[i + 1]] for i in range(len(points) - 1)]
    if dimensions == 3:
        colour_by, cmap, label = zs[:-1], "coolwarm", "z"
        norm = plt.Normalize(-1, 1)
    else:
        colour_by, cmap, label = list(range(len(rows))), "viridis", "pip"
        norm = plt.Normalize(0, len(rows))
    lines = LineCollection(segments, cmap=cmap, norm=norm, linewidths=1.6)
    lines.set_array(colour_by)
    ax.add_collection(lines)
    ax.plot([xs[0]], [ys[0]], "ko", markersize=4)
    ax.set_xlim(-1.05, 1.05)
    ax.set_ylim(-1.05, 1.05)
    ax.set_aspect("equal")
    ax.axhline(0, color="0.85", lw=0.6, zorder=0)
    ax.axvline(0, color="0.85", lw=0.6, zorder=0)
    ax.tick_params(labelsize=6)
    ax.set_xlabel("x", fontsize=7)
    ax.set_ylabel("y", fontsize=7)
    colourbar = plt.colorbar(lines, ax=ax, fraction=0.046, pad=0.02)
    colourbar.ax.tick_params(labelsize=5)
    colourbar.set_label(label, fontsize=6)


def draw_lanes(ax, rows, period: int) -> None:
    pips = list(range(period))
    for index, axis in enumerate("xyz"):
        ax.plot(pips, [r[index] for r in rows], color=AXIS_COLOURS[axis], lw=1.1, label=axis)
    for beat in range(0, period + 1, kinetrope.PIPS_PER_BEAT):
        ax.axvline(beat, color="0.8", lw=0.6 if beat % (4 * kinetrope.PIPS_PER_BEAT) else 1.2, zorder=0)
    ax.axhline(0, color="0.85", lw=0.6, zorder=0)
    ax.set_xlim(0, period)
    ax.set_ylim(-1.05, 1.05)
    ax.tick_params(labelsize=6)
    ax.set_xlabel("pip (a line every beat)", fontsize=7)
    ax.legend(fontsize=6, loc="upper right", ncol=3)


def render_sheet(entries: list[dict], path: pathlib.Path) -> None:
    fig, axes = plt.subplots(
        len(entries), 2, figsize=(13, 3.2 * len(entries)), squeeze=False,
        gridspec_kw={"width_ratios": [1, 3]},
    )
    for (path_ax, lanes_ax), entry in zip(axes, entries):
        rows = rows_of(entry)
        draw_path(path_ax, rows, entry["dimensions"])
        draw_lanes(lanes_ax, rows, entry["period_pips"])
        beats = entry["period_pips"] / kinetrope.PIPS_PER_BEAT
        title = f"{entry['name']}  ({entry['period_pips']} pips = {beats:g} beats, {entry['dimensions']}D)"
        lanes_ax.set_title(
            title + "\n" + textwrap.fill(entry["description"], 130), fontsize=8, loc="left"
        )
    fig.tight_layout()
    fig.savefig(path, dpi=80)
    plt.close(fig)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("patterns", nargs="+", help="pattern names or globs")
    parser.add_argument("-o", "--output", default="previews/preview.png", help="PNG file (pages get _2, _3, ...)")
    parser.add_argument("--per-sheet", type=int, default=8, help="patterns per sheet")
    args = parser.parse_args()

    entries = choose(args.patterns)
    output = pathlib.Path(args.output)
    output.parent.mkdir(parents=True, exist_ok=True)
    pages = [entries[i : i + args.per_sheet] for i in range(0, len(entries), args.per_sheet)]
    for number, page in enumerate(pages, start=1):
        path = output if number == 1 else output.with_name(f"{output.stem}_{number}{output.suffix}")
        render_sheet(page, path)
        print(f"{path}: {', '.join(e['name'] for e in page)}")


if __name__ == "__main__":
    main()
