"""One period of rows per pattern, with its metadata, as CSV, JSON (a one-pattern pack) or NumPy."""

from __future__ import annotations

import csv
import json
import pathlib

import numpy as np

import kinetrope

from .packs import dumps_pack
from .patterns import Entry

FORMATS = ("csv", "json", "npy")


def metadata(entry: Entry) -> dict[str, object]:
    return {
        "name": entry.name,
        "description": entry.description,
        "period_pips": entry.period_pips,
        "dimensions": entry.dimensions,
        "pips_per_beat": kinetrope.PIPS_PER_BEAT,
    }


def export(entry: Entry, rows: np.ndarray, directory: pathlib.Path, format: str) -> list[pathlib.Path]:
    """Writes the pattern into ``directory``; returns the files written.

    csv: NAME.csv, ``# key: value`` lines of metadata, then pip,x,y,z.
    json: NAME.json, a pack of this one pattern (``load_pack`` reads it back).
    npy: NAME.npy, the (period_pips, 3) float64 rows, and NAME.meta.json with
    the metadata (not NAME.json, which the json format writes).
    Numbers are written so that they read back to the same doubles.
    """
    directory.mkdir(parents=True, exist_ok=True)
    if format == "csv":
        path = directory / f"{entry.name}.csv"
        with path.open("w", encoding="utf-8", newline="") as file:
            for key, value in metadata(entry).items():
                file.write(f"# {key}: {value}\n")
            writer = csv.writer(file, lineterminator="\n")
            writer.writerow(["pip", "x", "y", "z"])
            writer.writerows([pip, *map(repr, map(float, row))] for pip, row in enumerate(rows))
        return [path]
    if format == "json":
        path = directory / f"{entry.name}.json"
        pattern = kinetrope.SampledPattern(entry.name, entry.description, rows.tolist())
        path.write_text(dumps_pack([pattern]), encoding="utf-8")
        return [path]
    if format == "npy":
        array_path, meta_path = directory / f"{entry.name}.npy", directory / f"{entry.name}.meta.json"
        np.save(array_path, np.ascontiguousarray(rows))
        meta_path.write_text(json.dumps(metadata(entry), ensure_ascii=False, indent=1) + "\n", encoding="utf-8")
        return [array_path, meta_path]
    raise ValueError(f"unknown format {format!r}; choose one of {', '.join(FORMATS)}")
