"""The JSON pack: user patterns in a file, with the position of any pattern the module refuses.

    {"pips_per_beat": 64,
     "patterns": [{"name": "ramp", "description": "A one-beat ramp",
                   "period_pips": 64, "dimensions": 1,
                   "rows": [[0.0, 0.0, 0.0], [0.015625, 0.0, 0.0], ...]}]}

Row i is the offset (x, y, z) at pip i. ``period_pips`` and ``dimensions`` are
written for readers and checked on loading where they are given; a bare list
of patterns is read as well. Every other key is refused, naming the nearest
known one, as are a key given twice and a pattern without a name, a
description or rows.

A pack is read only from a regular file of at most MAX_PACK_BYTES, as UTF-8
(a byte-order mark is allowed), and every fault found in it is a PackError
that says where: the line and column, or the pattern's position and the row.
"""

from __future__ import annotations

import difflib
import json
import math
import os
import re
from collections.abc import Iterable, Sequence
from typing import Any, AnyStr

import kinetrope

from ..base.errors import KinetropeError
from ..base.files import UnreadableFile, read_guarded, write_text
from ..base.instances import instance_of

MAX_PATTERNS = 1024
MAX_PACK_SAMPLES = 1 << 20
# Room for the largest pack that save_pack writes: a row of three of the
# longest doubles ("-2.2250738585072014e-308") takes 80 bytes with its
# brackets and separators, 80 MiB for the most rows a pack holds; the rest
# is for names, descriptions and layout. A larger file is refused unread.
MAX_PACK_BYTES = 96 * 2**20
PACK_KEYS = ("pips_per_beat", "patterns")
PATTERN_KEYS = ("name", "description", "period_pips", "dimensions", "rows")
REQUIRED_PATTERN_KEYS = ("name", "description", "rows")
# A pack of the most rows holds at most this many "[", "{" and "," outside
# its strings (a row: one list and three commas; a pattern: an object, a
# list and a comma after each key). Counting them first refuses a file of
# more values than any pack holds before it is parsed into objects.
_MAX_STRUCTURE = 4 * MAX_PACK_SAMPLES + 8 * MAX_PATTERNS + 8
# Deeper than any pack is; only used to say where a file nests too deeply.
_MAX_DEPTH = 32
# Longer integers take a long time to convert, and Python refuses them.
_MAX_DIGITS = 4000
_STRING = re.compile(r'"[^"\\]*(?:\\.[^"\\]*)*"', re.DOTALL)
_NESTING = re.compile(r'"[^"\\]*(?:\\.[^"\\]*)*"|[\[\]{}]', re.DOTALL)


class PackError(KinetropeError, ValueError):
    """A pack the module refuses; ``index`` is the pattern's position in the file's list, if one is to blame."""

    def __init__(self, message: str, index: int | None = None, name: str | None = None) -> None:
        shown = name if name is None or len(name) <= 60 else name[:60] + "..."
        where = "" if index is None else f"patterns[{index}]" + (f" ({shown!r})" if shown else "") + ": "
        super().__init__(where + message)
        self.index = index
        self.name = name


def _dimensions(rows: Sequence[Sequence[float]]) -> int:
    if any(row[2] != 0 for row in rows):
        return 3
    return 2 if any(row[1] != 0 for row in rows) else 1


def _description(pattern: kinetrope.SampledPattern, index: int | None) -> str:
    # The module keeps a description given as bytes exactly as given, and
    # reading back bytes that are not UTF-8 fails: no pack can hold them.
    try:
        return pattern.description
    except UnicodeDecodeError:
        raise PackError("its description is not UTF-8 text, so no pack can hold it", index, pattern.name) from None


def pattern_record(pattern: kinetrope.SampledPattern, index: int | None = None) -> dict[str, Any]:
    """A pattern as it is written in a pack.

    Parameters
    ----------
    pattern : kinetrope.SampledPattern
        The pattern.
    index : int, optional
        Its position in a pack, for errors.

    Returns
    -------
    dict
        Its name, description, period_pips, dimensions and rows.

    Raises
    ------
    PackError
        For a description that is not UTF-8 text.
    WrongTypeError
        For anything but a ``kinetrope.SampledPattern``, whatever it claims to be.
    """
    pattern = instance_of(pattern, kinetrope.SampledPattern, "pattern" if index is None else f"patterns[{index}]")
    description = _description(pattern, index)
    rows = [list(pattern.sample(pip).as_tuple()) for pip in range(pattern.period_pips)]
    return {
        "name": pattern.name,
        "description": description,
        "period_pips": pattern.period_pips,
        "dimensions": _dimensions(rows),
        "rows": rows,
    }


def dumps_pack(patterns: Iterable[kinetrope.SampledPattern]) -> str:
    """Patterns as the text of a JSON pack.

    Parameters
    ----------
    patterns : iterable of kinetrope.SampledPattern
        The patterns, in order.

    Returns
    -------
    str
        The pack, ending with a newline; ``load_pack`` reads it back exactly.

    Raises
    ------
    PackError, WrongTypeError
        As ``pattern_record`` raises them.
    """
    # Floats are written by repr, which reads back to the same double.
    document = {
        "pips_per_beat": kinetrope.PIPS_PER_BEAT,
        "patterns": [pattern_record(p, i) for i, p in enumerate(patterns)],
    }
    return json.dumps(document, ensure_ascii=False, allow_nan=False) + "\n"


def save_pack(path: str | os.PathLike[str], patterns: Iterable[kinetrope.SampledPattern]) -> None:
    """Writes patterns to a JSON pack file that ``load_pack`` reads back exactly.

    Parameters
    ----------
    path : str or os.PathLike
        The file; it is written beside ``path`` and renamed over it when
        complete (a link there is replaced, never written through; a folder,
        a device or a FIFO is refused).
    patterns : iterable of kinetrope.SampledPattern
        The patterns, in order.

    Raises
    ------
    PackError, WrongTypeError
        As ``pattern_record`` raises them, before anything is written.
    OSError
        For the file.
    """
    write_text(path, dumps_pack(patterns))


class _Object(dict[str, Any]):
    """A JSON object that remembers the first key it was given twice."""

    def __init__(self, pairs: list[tuple[str, Any]]) -> None:
        super().__init__(pairs)
        self.duplicate: str | None = None
        if len(self) != len(pairs):
            seen: set[str] = set()
            for key, _ in pairs:
                if key in seen:
                    self.duplicate = key
                    break
                seen.add(key)


def _integer(digits: str) -> int | float:
    # An integer too long to convert is far outside any range a pack allows:
    # as a float (an infinity) it is refused where it stands, with its place.
    return int(digits) if len(digits) <= _MAX_DIGITS else float(digits)


def _line_and_column(data: AnyStr, newline: AnyStr, offset: int) -> tuple[int, int]:
    return data.count(newline, 0, offset) + 1, offset - data.rfind(newline, 0, offset)


def _file_bytes(path: str | os.PathLike[str]) -> bytes:
    try:
        return read_guarded(path, limit=MAX_PACK_BYTES)
    except UnreadableFile as error:
        raise PackError(str(error)) from None


def _text(data: bytes) -> str:
    try:
        return data.decode("utf-8-sig")
    except UnicodeDecodeError as error:
        line, column = _line_and_column(data, b"\n", error.start)
        hint = ", perhaps UTF-16" if data[:2] in (b"\xff\xfe", b"\xfe\xff") else ""
        raise PackError(
            f"not UTF-8 text{hint}: byte {data[error.start]:#04x} at line {line} column {column}"
        ) from None


def _structure(text: str) -> int:
    return text.count("[") + text.count("{") + text.count(",")


def _too_deep(text: str) -> str:
    depth = 0
    for token in _NESTING.finditer(text):
        if token.group() in "[{":
            depth += 1
            if depth > _MAX_DEPTH:
                line, column = _line_and_column(text, "\n", token.start())
                return f" at line {line} column {column}"
        elif token.group() in "]}":
            depth -= 1
    return ""


def _parse(text: str) -> Any:
    # Counting with the strings taken out only when the quick count is high.
    if _structure(text) > _MAX_STRUCTURE and _structure(_STRING.sub('""', text)) > _MAX_STRUCTURE:
        raise PackError(f"more lists and values than a pack holds (at most {MAX_PACK_SAMPLES} rows in all)")
    try:
        return json.loads(text, object_pairs_hook=_Object, parse_int=_integer)
    except json.JSONDecodeError as error:
        raise PackError(f"not JSON: {error.msg} at line {error.lineno} column {error.colno}") from None
    except RecursionError:
        raise PackError(f"nested too deeply{_too_deep(text)}") from None


def _check_keys(
    record: dict[str, Any], known: Sequence[str], required: Sequence[str], index: int | None = None,
    name: str | None = None,
) -> None:
    duplicate = getattr(record, "duplicate", None)
    if duplicate is not None:
        raise PackError(f"key {json.dumps(duplicate)[:60]} is given twice", index, name)
    for key in record:
        if key not in known:
            close = difflib.get_close_matches(key, known, n=1, cutoff=0.6)
            hint = f"; did you mean {json.dumps(close[0])}?" if close else f" (known keys: {', '.join(known)})"
            raise PackError(f"unknown key {json.dumps(key)[:60]}{hint}", index, name)
    for key in required:
        if key not in record:
            raise PackError(f"missing key {json.dumps(key)}", index, name)


def _read(path: str | os.PathLike[str]) -> list[Any]:
    document = _parse(_text(_file_bytes(path)))
    if isinstance(document, dict):
        _check_keys(document, PACK_KEYS, ("patterns",))
        per_beat = document.get("pips_per_beat", kinetrope.PIPS_PER_BEAT)
        if per_beat != kinetrope.PIPS_PER_BEAT:
            raise PackError(f"pips_per_beat is {per_beat!r}, not {kinetrope.PIPS_PER_BEAT}")
        document = document["patterns"]
    if not isinstance(document, list):
        raise PackError('a pack is a list of patterns, or an object with a "patterns" list')
    return document


def _number(value: Any) -> bool:
    return isinstance(value, (int, float)) and not isinstance(value, bool)


def _in_range(value: int | float) -> bool:
    try:
        return math.isfinite(value) and -1 <= value <= 1
    except OverflowError:  # an integer past the largest double
        return False


def _first_row_out_of_range(rows: list[list[int | float]]) -> str:
    for pip, row in enumerate(rows):
        if not all(_in_range(value) for value in row):
            return f": row {pip} is {json.dumps(row)[:60]}"
    return ""


def _pattern(record: Any, index: int) -> kinetrope.SampledPattern:
    if not isinstance(record, dict):
        raise PackError("a pattern is an object with name, description and rows", index)
    name = record.get("name")
    _check_keys(record, PATTERN_KEYS, REQUIRED_PATTERN_KEYS, index, name if isinstance(name, str) else None)
    if not isinstance(name, str):
        raise PackError('"name" must be a string', index)
    description = record["description"]
    if not isinstance(description, str):
        raise PackError('"description" must be a string', index, name)
    rows = record["rows"]
    if not isinstance(rows, list):
        raise PackError('"rows" must be a list of [x, y, z]', index, name)
    for pip, row in enumerate(rows):
        if not (isinstance(row, list) and len(row) == 3 and all(_number(v) for v in row)):
            raise PackError(f"row {pip} is not three numbers [x, y, z]: {json.dumps(row)[:60]}", index, name)
    try:
        pattern = kinetrope.SampledPattern(name, description, rows)
    except ValueError as error:  # the module's own message, and the row to blame if it is one
        message = str(error)
        if message.startswith("Pattern samples must be"):
            message += _first_row_out_of_range(rows)
        raise PackError(message, index, name) from None
    except TypeError:  # a number too large for a double
        raise PackError(
            f"rows hold a number that does not fit a double{_first_row_out_of_range(rows)}", index, name
        ) from None
    for key, actual in (("period_pips", len(rows)), ("dimensions", _dimensions(rows))):
        if key in record and record[key] != actual:
            raise PackError(f'"{key}" is {record[key]!r} but the rows give {actual}', index, name)
    return pattern


def load_pack(path: str | os.PathLike[str]) -> list[kinetrope.SampledPattern]:
    """The patterns of a pack file, each built (and so validated) by the module.

    Parameters
    ----------
    path : str or os.PathLike
        The pack file.

    Returns
    -------
    list of kinetrope.SampledPattern
        Its patterns, in order.

    Raises
    ------
    PackError
        For every fault (a ``ValueError``): a file that cannot be read or is
        not a regular file of at most MAX_PACK_BYTES, text that is not UTF-8
        JSON (with its line and column), an unknown, missing or repeated
        key, and a pattern the module refuses (with its position, the
        module's own message and the row to blame).
    """
    return [_pattern(record, index) for index, record in enumerate(_read(path))]


def library_of(patterns: Sequence[kinetrope.SampledPattern]) -> kinetrope.PatternLibrary:
    """``PatternLibrary(patterns)``, its refusal turned into an error that names the pattern to blame.

    Parameters
    ----------
    patterns : sequence of kinetrope.SampledPattern
        The library's own patterns.

    Returns
    -------
    kinetrope.PatternLibrary
        The library.

    Raises
    ------
    PackError
        For what the module refuses (a name given twice, a default's name
        on another pattern, too many patterns or rows), with the position
        and name of the pattern to blame.
    WrongTypeError
        For an element that is not a ``kinetrope.SampledPattern``, whatever it claims to be.
    """
    patterns = [instance_of(p, kinetrope.SampledPattern, f"patterns[{i}]") for i, p in enumerate(patterns)]
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
    """A library of a pack file's patterns: ``library_of(load_pack(path))``.

    Parameters
    ----------
    path : str or os.PathLike
        A pack file, as ``load_pack`` reads it.

    Returns
    -------
    kinetrope.PatternLibrary
        The defaults, then the pack's own patterns.

    Raises
    ------
    PackError
        As ``load_pack`` and ``library_of`` raise it.
    """
    return library_of(load_pack(path))

