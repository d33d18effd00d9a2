"""The patterns a command works on: the defaults, or a library's, chosen by name or glob."""

from __future__ import annotations

import dataclasses
import fnmatch
from collections.abc import Iterable

import numpy as np

import kinetrope

from ..base.close_names import CloseNames
from ..base.errors import KinetropeError
from ..base.instances import library_or_none
from . import arrays, builtin_data

PACK_FAMILY = "pack"


class UnknownPattern(KinetropeError, KeyError):
    """A name or glob that matches no pattern; the message suggests the nearest names.

    A KeyError, as a mapping's lookup raises, but shown as its message alone.
    """

    def __str__(self) -> str:
        return str(self.args[0]) if self.args else ""


def family_of(name: str) -> str:
    """The family a default pattern belongs to, as the table's generator lists it."""
    return builtin_data.family_of(name)


def period_label(period_pips: int) -> str:
    """A period in beats, as a person says it.

    Parameters
    ----------
    period_pips : int
        A period in pips (64 a beat).

    Returns
    -------
    str
        "1 beat", "4 beats", "1.5 beats", ...
    """
    beats = period_pips / kinetrope.PIPS_PER_BEAT
    return "1 beat" if beats == 1 else f"{beats:g} beats"


@dataclasses.dataclass(frozen=True)
class Entry:
    name: str
    description: str
    period_pips: int
    dimensions: int
    family: str

    @property
    def period(self) -> str:
        return period_label(self.period_pips)


class PatternSet:
    """The default patterns, followed by a library's own patterns when there is one.

    Parameters
    ----------
    library : kinetrope.PatternLibrary, optional
        Whose own patterns follow the defaults.

    Raises
    ------
    WrongTypeError
        For a ``library`` that is not a ``kinetrope.PatternLibrary``, whatever it claims to be.
    ValueError
        For a library holding a description that is not UTF-8 text.
    """

    def __init__(self, library: kinetrope.PatternLibrary | None = None) -> None:
        self.library = library_or_none(library)
        defaults = kinetrope.catalogue()
        try:
            listed = defaults if library is None else library.catalogue()
        except UnicodeDecodeError:
            # A description given to the module as bytes is kept as given.
            raise ValueError("the library holds a pattern whose description is not UTF-8 text") from None
        self.entries = [
            Entry(
                e["name"], e["description"], e["period_pips"], e["dimensions"],
                family_of(e["name"]) if i < len(defaults) else PACK_FAMILY,
            )
            for i, e in enumerate(listed)
        ]
        self._by_name = {e.name: e for e in self.entries}
        self._close = CloseNames(self._by_name)

    def __getitem__(self, name: str) -> Entry:
        """The pattern named ``name``; UnknownPattern, suggesting the nearest names, if there is none."""
        entry = self._by_name.get(name)
        if entry is None:
            raise UnknownPattern(self._unknown(name))
        return entry

    def rows(self, name: str) -> np.ndarray:
        """One period of ``name`` from this set's library (see ``arrays.rows``)."""
        return arrays.rows(name, self.library)

    def choose(self, names_or_globs: Iterable[str]) -> list[Entry]:
        """Every pattern matched by a name or glob.

        Parameters
        ----------
        names_or_globs : iterable of str
            Names, and globs (``*``, ``?``, ``[...]``) matched against every name.

        Returns
        -------
        list of Entry
            The matches, in catalogue order for each argument in turn, each pattern once.

        Raises
        ------
        UnknownPattern
            For a name that is no pattern's, or a glob that matches none.
        """
        chosen: dict[str, Entry] = {}
        for wanted in names_or_globs:
            if any(c in wanted for c in "*?["):
                matches = [e for e in self.entries if fnmatch.fnmatchcase(e.name, wanted)]
                if not matches:
                    raise UnknownPattern(f"no pattern matches {wanted!r}")
            else:
                matches = [self[wanted]]
            for entry in matches:
                chosen.setdefault(entry.name, entry)
        return list(chosen.values())

    def _unknown(self, name: str) -> str:
        close = self._close.nearest(name, n=3, cutoff=0.6)
        hint = f"; did you mean {', '.join(close)}?" if close else ""
        return f"unknown pattern {name!r}{hint}"
