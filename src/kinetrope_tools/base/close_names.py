"""The names to suggest for a misspelt one, from a list indexed once.

``CloseNames(names).nearest(word)`` answers exactly as
``difflib.get_close_matches(word, names)`` does, but does not score every
name: an upper bound on each name's score (difflib's quick ratio, the
characters two strings share) comes from one table of character counts for
all names at once, and names are scored in order of that bound only until no
remaining name can reach the best ones found. Among 1,700 pattern names, a
word that shares most of its letters with hundreds of them costs difflib tens
of milliseconds and this a few.
"""

from __future__ import annotations

import difflib
import heapq
from collections.abc import Iterable

import numpy as np


class CloseNames:
    """A fixed list of names, with a table of how often each character occurs in each (made on first use)."""

    def __init__(self, names: Iterable[str]) -> None:
        self.names = list(names)
        self._counts: np.ndarray | None = None  # (names, characters) int32
        self._column: dict[str, int] = {}
        self._lengths = np.array([len(name) for name in self.names], dtype=np.int64)

    def _table(self) -> np.ndarray:
        if self._counts is None:
            # Every character of every name as one code point, the row of its name beside it.
            codes = np.frombuffer("".join(self.names).encode("utf-32-le"), dtype=np.uint32)
            rows = np.repeat(np.arange(len(self.names)), self._lengths)
            alphabet, columns = np.unique(codes, return_inverse=True)
            counts = np.zeros((len(self.names), len(alphabet)), dtype=np.int32)
            np.add.at(counts, (rows, columns), 1)
            self._column = {chr(code): column for column, code in enumerate(alphabet.tolist())}
            self._counts = counts
        return self._counts

    def nearest(self, word: str, *, n: int = 3, cutoff: float = 0.6) -> list[str]:
        """At most ``n`` names scoring at least ``cutoff`` against ``word``, best first (as difflib orders them)."""
        if not self.names or n <= 0:
            return []
        counts = self._table()
        wanted = np.zeros(counts.shape[1], dtype=np.int32)
        for character in word:
            column = self._column.get(character)
            if column is not None:
                wanted[column] += 1
        shared = np.minimum(counts, wanted).sum(axis=1)
        total = self._lengths + len(word)
        # difflib's quick ratio, computed as it computes it; a ratio never exceeds it.
        bound = np.where(total > 0, 2.0 * shared / np.maximum(total, 1), 1.0)
        order = np.flatnonzero(bound >= cutoff)
        order = order[np.argsort(-bound[order], kind="stable")]
        matcher = difflib.SequenceMatcher()
        matcher.set_seq2(word)
        best: list[tuple[float, str]] = []  # a heap of the n best (score, name), the weakest first
        for index in order.tolist():
            if len(best) == n and bound[index] < best[0][0]:
                break  # no name left can score as high as the weakest of the best
            name = self.names[index]
            matcher.set_seq1(name)
            score = matcher.ratio()
            if score < cutoff:
                continue
            if len(best) < n:
                heapq.heappush(best, (score, name))
            elif (score, name) > best[0]:
                heapq.heapreplace(best, (score, name))
        return [name for _, name in sorted(best, reverse=True)]
