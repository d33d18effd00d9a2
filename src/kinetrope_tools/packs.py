"""The JSON pack: user patterns in a file, with the position of any pattern the module refuses.

    {"pips_per_beat": 64,
     "patterns": [{"name": "ramp", "description": "A one-beat ramp",
                   "period_pips": 64, "dimensions": 1,
                   "rows": [[0.0, 0.0, 0.0], [0.015625, 0.0, 0.0], ...]}]}

Row i is the offset (x, y, z) at pip i. ``period_pips`` and ``dimensions`` are
written for readers and checked on loading where they are given; a bare list
of patterns is read as well.
"""

from __future__ import annotations

import json
import os
import pathlib
from collections.abc import Iterable, Sequence
from typing import Any

import kinetrope

MAX_PATTERNS = 1024
MAX_PACK_SAMPLES = 1 << 20


class PackError(ValueError):
    """A pack the module refuses; ``index`` is the pattern's position in the file's list, if one is to blame."""

    def __init__(self, message: str, index: int | None = None, name: str | None = None) -> None:
        where = "" if index is None else f"patterns[{index}]" + (f" ({name!r})" if name else "") + ": "
        super().__init__(where + message)
        self.index = index
        self.name = name


def _dimensions(rows: Sequence[Sequence[float]]) -> int:
    if any(row[2] != 0 for row in rows):
        return 3
    return 2 if any(row[1] != 0 for row in rows) else 1


def pattern_record(pattern: kinetrope.SampledPattern) -> dict[str, Any]:
    """A pattern as it is written in a pack."""
    rows = [list(pattern.sample(pip).as_tuple()) for pip in range(pattern.period_pips)]
    return {
        "name": pattern.name,
        "description": pattern.description,
        "period_pips": pattern.period_pips,
        "dimensions": _dimensions(rows),
        "rows": rows,
    }


def dumps_pack(patterns: Iterable[kinetrope.SampledPattern]) -> str:
    # Floats are written by repr, which reads back to the same double.
    document = {
        "pips_per_beat": kinetrope.PIPS_PER_BEAT,
        "patterns": [pattern_record(p) for p in patterns],
    }
    return json.dumps(document, ensure_ascii=False, allow_nan=False) + "\n"


def save_pack(path: str | os.PathLike[str], patterns: Iterable[kinetrope.SampledPattern]) -> None:
    """Writes ``patterns`` to ``path`` as a JSON pack that ``load_pack`` reads back exactly."""
    pathlib.Path(path).write_text(dumps_pack(patterns), encoding="utf-8")


def _read(path: str | os.PathLike[str]) -> list[Any]:
    try:
        document = json.loads(pathlib.Path(path).read_text(encoding="utf-8"))
    except json.JSONDecodeError as error:
        raise PackError(f"not JSON: {error.msg} at line {error.lineno} column {error.colno}") from None
    if isinstance(document, dict):
        per_beat = document.get("pips_per_beat", kinetrope.PIPS_PER_BEAT)
        if per_beat != kinetrope.PIPS_PER_BEAT:
            raise PackError(f"pips_per_beat is {per_beat!r}, not {kinetrope.PIPS_PER_BEAT}")
        document = document.get("patterns")
    if not isinstance(document, list):
        raise PackError('a pack is a list of patterns, or an object with a "patterns" list')
    return document


def _number(value: Any) -> bool:
    return isinstance(value, (int, float)) and not isinstance(value, bool)


def _pattern(record: Any, index: int) -> kinetrope.SampledPattern:
    if not isinstance(record, dict):
        raise PackError("a pattern is an object with name, description and rows", index)
    name = record.get("name")
    if not isinstance(name, str):
        raise PackError('"name" must be a string', index)
    description = record.get("description", "")
    if not isinstance(description, str):
        raise PackError('"description" must be a string', index, name)
    rows = record.get("rows")
    if not isinstance(rows, list):
        raise PackError('"rows" must be a list of [x, y, z]', index, name)
    for pip, row in enumerate(rows):
        if not (isinstance(row, list) and len(row) == 3 and all(_number(v) for v in row)):
            raise PackError(f"row {pip} is not three numbers [x, y, z]: {json.dumps(row)[:60]}", index, name)
    try:
        pattern = kinetrope.SampledPattern(name, description, rows)
    except ValueError as error:  # the module's own message
        raise PackError(str(error), index, name) from None
    except TypeError:  # a number too large for a double
        raise PackError("rows hold a number that does not fit a double", index, name) from None
    for key, actual in (("period_pips", len(rows)), ("dimensions", _dimensions(rows))):
        if key in record and record[key] != actual:
            raise PackError(f'"{key}" is {record[key]!r} but the rows give {actual}', index, name)
    return pattern


def load_pack(path: str | os.PathLike[str]) -> list[kinetrope.SampledPattern]:
    """The patterns of a pack file, each built (and so validated) by the module.

    Raises PackError (a ValueError) naming the position of the first pattern
    the module refuses, with the module's own message.
    """
    return [_pattern(record, index) for index, record in enumerate(_read(path))]


def library_of(patterns: Sequence[kinetrope.SampledPattern]) -> kinetrope.PatternLibrary:
    """``PatternLibrary(patterns)``, its refusal turned into a PackError that names the pattern to blame."""
    try:
        return kinetrope.PatternLibrary(patterns)
    except ValueError as error:
        raise PackError(*_blame(str(error), patterns)) from None


def _blame(message: str, patterns: Sequence[kinetrope.SampledPattern]) -> tuple[str, int | None, str | None]:
    names = [p.name for p in patterns]
    if message.startswith("Duplicate pattern name: "):
        name = message.removeprefix("Duplicate pattern name: ")
        return message, [i for i, n in enumerate(names) if n == name][1], name
    if message.startswith("Cannot override default pattern: "):
        name = message.removeprefix("Cannot override default pattern: ")
        return message, names.index(name), name
    if message == "Too many patterns":
        return f"{message} ({len(patterns)}; a pack holds at most {MAX_PATTERNS})", None, None
    if message == "Pattern pack is too large":
        total = 0
        for index, pattern in enumerate(patterns):
            total += pattern.period_pips
            if total > MAX_PACK_SAMPLES:
                return f"{message} (past {MAX_PACK_SAMPLES} rows in all)", index, pattern.name
    return message, None, None


def load_library(path: str | os.PathLike[str]) -> kinetrope.PatternLibrary:
    """A PatternLibrary of the pack's patterns (see ``load_pack`` for errors)."""
    return library_of(load_pack(path))

