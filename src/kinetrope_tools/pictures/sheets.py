"""Contact sheets: several patterns a page, each as its picture and its lanes."""

from __future__ import annotations

import pathlib

from ..base.files import check_replaceable, replacing
from ..base.instances import instance_of
from ..patterns.library import Entry, PatternSet


def sheet_paths(output: pathlib.Path, pages: int) -> list[pathlib.Path]:
    """Where each page of a contact sheet goes.

    Parameters
    ----------
    output : pathlib.Path
        The first sheet, FILE.png.
    pages : int
        How many sheets.

    Returns
    -------
    list of pathlib.Path
        FILE.png, then FILE_2.png, FILE_3.png, ... for further pages.
    """
    return [output if n == 1 else output.with_name(f"{output.stem}_{n}{output.suffix}") for n in range(1, pages + 1)]


def preview(
    output: pathlib.Path, patterns: PatternSet, entries: list[Entry], *, per_sheet: int = 8
) -> list[tuple[pathlib.Path, list[Entry]]]:
    """Draws patterns onto as many contact sheets as needed.

    Parameters
    ----------
    output : pathlib.Path
        The first sheet (see ``sheet_paths`` for the others).
    patterns : PatternSet
        Where the entries' rows come from.
    entries : list of Entry
        The patterns to draw, in order.
    per_sheet : int, optional
        Patterns a sheet.

    Returns
    -------
    list of tuple
        Each sheet's path with the entries drawn on it.

    Raises
    ------
    WrongTypeError
        For ``patterns`` that are not a ``PatternSet``, whatever they claim to be.
    OSError
        For a sheet's place: a folder, a device or a FIFO there is refused
        before anything is drawn.

    Notes
    -----
    Each sheet is written beside its name and renamed over it when complete:
    a link in its place is replaced, never written through.
    """
    from .drawing import contact_sheet

    patterns = instance_of(patterns, PatternSet, "patterns")
    pages = [entries[i : i + per_sheet] for i in range(0, len(entries), per_sheet)]
    paths = sheet_paths(output, len(pages))
    for path in paths:
        check_replaceable(path)
    output.parent.mkdir(parents=True, exist_ok=True)
    written = []
    for path, page in zip(paths, pages):
        with replacing(path) as file:
            contact_sheet(page, {e.name: patterns.rows(e.name) for e in page}, file)
        written.append((path, page))
    return written
