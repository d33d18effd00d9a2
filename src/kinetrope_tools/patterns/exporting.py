"""One period of rows per pattern, with its metadata, as CSV, JSON (a one-pattern pack) or NumPy."""

from __future__ import annotations

import csv
import io
import json
import pathlib
import re

import numpy as np

import kinetrope

from ..base.errors import KinetropeError
from ..base.files import check_replaceable, replacing, write_text
from .library import Entry
from .packs import dumps_pack

FORMATS = ("csv", "json", "npy")
# A metadata value stays on its own comment line: a backslash, and every
# character that could end a line or hide text, is written as an escape.
_UNPRINTED = re.compile(r"[\\\x00-\x1f\x7f-\x9f\u2028\u2029]")
_ESCAPES = {"\\": "\\\\", "\n": "\\n", "\r": "\\r", "\t": "\\t"}


class ExportError(KinetropeError, ValueError):
    """A format ``export`` does not write."""


def comment_value(value: object) -> str:
    """A metadata value as one line of a comment.

    Parameters
    ----------
    value : object
        The value, written as ``str(value)``.

    Returns
    -------
    str
        The text with backslash escapes (\\n, \\r, \\t, \\\\, \\uXXXX) for what a line cannot show.
    """
    return _UNPRINTED.sub(lambda match: _ESCAPES.get(match.group(), f"\\u{ord(match.group()):04x}"), str(value))


def metadata(entry: Entry) -> dict[str, object]:
    """What every export writes beside the rows: name, description, period_pips, dimensions, pips_per_beat."""
    return {
        "name": entry.name,
        "description": entry.description,
        "period_pips": entry.period_pips,
        "dimensions": entry.dimensions,
        "pips_per_beat": kinetrope.PIPS_PER_BEAT,
    }


def export(directory: pathlib.Path, entry: Entry, rows: np.ndarray, *, format: str) -> list[pathlib.Path]:
    """Writes one period of a pattern into a folder.

    Parameters
    ----------
    directory : pathlib.Path
        The folder, made if missing.
    entry : Entry
        The pattern's name and metadata.
    rows : numpy.ndarray
        Its rows, (period_pips, 3).
    format : str
        csv: NAME.csv, ``# key: value`` lines of metadata (each value on its
        line, see ``comment_value``), then pip,x,y,z.
        json: NAME.json, a pack of this one pattern (``load_pack`` reads it back).
        npy: NAME.npy, the (period_pips, 3) float64 rows, and NAME.meta.json
        with the metadata (not NAME.json, which the json format writes).

    Returns
    -------
    list of pathlib.Path
        The files written.

    Raises
    ------
    ExportError
        For an unknown format (a ``ValueError``).
    OSError
        For a file's place: a folder, a device or a FIFO there is refused
        before anything is written.

    Notes
    -----
    Numbers are written so that they read back to the same doubles. Each
    file is written beside its name and renamed over it when complete, so a
    link in its place is replaced, never written through.
    """
    directory.mkdir(parents=True, exist_ok=True)
    if format == "csv":
        path = directory / f"{entry.name}.csv"
        text = io.StringIO()
        for key, value in metadata(entry).items():
            text.write(f"# {key}: {comment_value(value)}\n")
        writer = csv.writer(text, lineterminator="\n")
        writer.writerow(["pip", "x", "y", "z"])
        writer.writerows([pip, *map(repr, map(float, row))] for pip, row in enumerate(rows))
        write_text(path, text.getvalue())
        return [path]
    if format == "json":
        path = directory / f"{entry.name}.json"
        pattern = kinetrope.SampledPattern(entry.name, entry.description, rows.tolist())
        write_text(path, dumps_pack([pattern]))
        return [path]
    if format == "npy":
        array_path, meta_path = directory / f"{entry.name}.npy", directory / f"{entry.name}.meta.json"
        check_replaceable(meta_path)  # not one file of the two if the second would be refused
        with replacing(array_path) as file:
            np.save(file, np.ascontiguousarray(rows))
        write_text(meta_path, json.dumps(metadata(entry), ensure_ascii=False, indent=1) + "\n")
        return [array_path, meta_path]
    raise ExportError(f"unknown format {format!r}; choose one of {', '.join(FORMATS)}")
