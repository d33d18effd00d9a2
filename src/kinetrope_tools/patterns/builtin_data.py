"""What the table's generator writes about the default patterns beside the table: the beat
family's groove scores as written, and the family every default pattern is listed under.

The build installs it as ``builtin.json`` in this folder; it is read once, on first use.
"""

from __future__ import annotations

import functools
import json
import types
from collections.abc import Mapping
from dataclasses import dataclass
from importlib import resources
from typing import Any


@dataclass(frozen=True)
class Lane:
    """One lane of a score: the sound it plays ("kick", "open hat"), its grid of one character a
    step (``x`` accent, ``o`` normal, ``g`` ghost, ``.`` rest; bars separated by " |") and whether
    its steps are eighth-note triplets (12 a bar) rather than sixteenths (16 a bar)."""

    name: str
    grid: str
    triplet: bool


@dataclass(frozen=True)
class Score:
    """The score of one beat style: its key, its length in bars, its swing (the fraction of a
    sixteenth by which every off-sixteenth of a sixteenth lane is late) and its lanes, in order."""

    key: str
    bars: int
    swing: float
    lanes: tuple[Lane, ...]


@functools.cache
def _data() -> Any:
    return json.loads(
        (resources.files("kinetrope_tools") / "patterns" / "builtin.json").read_text(encoding="utf-8")
    )


@functools.cache
def grooves() -> tuple[Score, ...]:
    """The scores of the beat family's styles, in style order."""
    return tuple(
        Score(
            score["key"], score["bars"], float(score["swing"]),
            tuple(Lane(lane["name"], lane["grid"], lane["triplet"]) for lane in score["lanes"]),
        )
        for score in _data()["grooves"]
    )


@functools.cache
def families() -> Mapping[str, str]:
    """Every default pattern's name, in catalogue order, mapped to its family."""
    return types.MappingProxyType(dict(_data()["families"]))


def family_of(name: str) -> str:
    """The family a default pattern is listed under; a KeyError for a name that is not one."""
    return families()[name]
