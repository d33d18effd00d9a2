"""What the ``kinetrope`` command's subcommands share: one range type, the tempo, ``--pack``.

A value an argument type refuses is a usage error: argparse prints its
message in one line and exits with status 2.
"""

from __future__ import annotations

import argparse
import math

import kinetrope

from ..clocks.tempo import BPM_MAX, BPM_MIN
from ..patterns.library import PatternSet
from ..patterns.packs import load_library


class Range:
    """An argument type: a finite number from ``low`` to ``high`` (either end may be open or absent).

    ``above=True`` makes ``low`` itself refused (a number above it); ``integer``
    asks for a whole number.
    """

    def __init__(self, low: float | None = None, high: float | None = None, *, above: bool = False,
                 integer: bool = False, unit: str = "") -> None:
        self.low = low
        self.high = high
        self.above = above
        self.integer = integer
        self.unit = unit

    def __call__(self, text: str) -> float:
        try:
            value: float = int(text) if self.integer else float(text)
        except ValueError:
            kind = "a whole number" if self.integer else "a number"
            raise argparse.ArgumentTypeError(f"not {kind}: {text!r}") from None
        fits = math.isfinite(value)
        if self.low is not None:
            fits = fits and (value > self.low if self.above else value >= self.low)
        if self.high is not None:
            fits = fits and value <= self.high
        if not fits:
            raise argparse.ArgumentTypeError(f"must be {self._wanted()}, not {text}")
        return value

    def _wanted(self) -> str:
        unit = f" {self.unit}" if self.unit else ""
        if self.low is not None and self.high is not None and not self.above:
            return f"from {self.low:g} to {self.high:g}{unit}"
        if self.low == 0 and self.above and self.high is None:
            return f"a positive number{unit}"
        parts = []
        if self.low is not None:
            parts.append(f"above {self.low:g}" if self.above else f"at least {self.low:g}")
        if self.high is not None:
            parts.append(f"at most {self.high:g}")
        return " and ".join(parts) + unit if parts else "finite"

    def __repr__(self) -> str:  # argparse names the type in some messages
        return "number"


positive_number = Range(0, above=True)
whole_number_from_one = Range(1, integer=True)
tempo = Range(BPM_MIN, BPM_MAX, unit="beats a minute")


def add_pack_option(parser: argparse.ArgumentParser) -> None:
    """``--pack FILE``, read by ``patterns_of`` and ``library_of_arguments``."""
    parser.add_argument("--pack", metavar="FILE", help="a JSON pack whose patterns join the defaults")


def library_of_arguments(args: argparse.Namespace) -> kinetrope.PatternLibrary | None:
    """The library of ``--pack`` (see ``add_pack_option``), None without one."""
    return load_library(args.pack) if args.pack else None


def patterns_of(args: argparse.Namespace) -> PatternSet:
    """The defaults, with the patterns of ``--pack`` if one is given."""
    return PatternSet(library_of_arguments(args))
