"""Contact sheets: several patterns a page, each as its picture and its lanes."""

from __future__ import annotations

import pathlib

from ..base.files import replacing
from ..patterns.library import Entry, PatternSet


def sheet_paths(output: pathlib.Path, pages: int) -> list[pathlib.Path]:
    """FILE.png, then FILE_2.png, FILE_3.png, ... for further pages."""
    return [output if n == 1 else output.with_name(f"{output.stem}_{n}{output.suffix}") for n in range(1, pages + 1)]


def preview(
    output: pathlib.Path, patterns: PatternSet, entries: list[Entry], *, per_sheet: int = 8
) -> list[tuple[pathlib.Path, list[Entry]]]:
    """Draws ``entries`` onto as many sheets as needed; returns each sheet with its patterns.

    Each sheet is written beside its name and renamed over it when complete:
    a link in its place is replaced, never written through.
    """
    from .drawing import contact_sheet

    output.parent.mkdir(parents=True, exist_ok=True)
    pages = [entries[i : i + per_sheet] for i in range(0, len(entries), per_sheet)]
    written = []
    for path, page in zip(sheet_paths(output, len(pages)), pages):
        with replacing(path) as file:
            contact_sheet(page, {e.name: patterns.rows(e.name) for e in page}, file)
        written.append((path, page))
    return written
