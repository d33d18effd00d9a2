"""One period of a pattern as a numpy array, and offsets at many pips at once.

Both read the module's own samples: ``rows`` samples every pip of one period
once and keeps the result, and ``sample_many`` looks the wrapped pips up in
those rows, so every value is bit for bit what ``sample`` returns.

The rows are kept four doubles apart (x, y, z and a zero): numpy gathers
32-byte rows with one fixed-size copy each, about three times faster than
24-byte ones, so both functions return (n, 3) views of 32-byte rows.
``np.ascontiguousarray`` packs one when a caller needs packed rows.

A table is built once per name (under a lock, so threads asking at once get
the same array) and then held in an immutable bytes buffer: neither the rows
nor the array they are a view of can be made writable, so no caller can
change what every later call reads.
"""

from __future__ import annotations

import dataclasses
import operator
import threading
import weakref
from collections.abc import Sequence
from typing import Any, SupportsIndex, TypeAlias

import numpy as np
import numpy.typing as npt

import kinetrope

from ..base.instances import WrongTypeError, library_or_none
from ..base.pips import PIP_MAX, PIP_MIN

# At most this many pips a call: the result takes 32 bytes a pip (2 GiB here);
# sample longer spans in pieces.
MAX_PIPS = 2**26

# What sample_many takes: integers, integer arrays and nested sequences of
# them. (Not SupportsIndex alone: numpy's stubs give every array __index__.)
PipsLike: TypeAlias = (
    int | np.integer[Any] | np.bool_ | npt.NDArray[np.integer[Any]] | npt.NDArray[np.bool_]
    | Sequence[SupportsIndex] | Sequence[Sequence[SupportsIndex]] | Sequence[npt.NDArray[np.integer[Any]]]
)
Offsets: TypeAlias = npt.NDArray[np.float64]

# name -> (the read-only (period, 3) view that rows returns, its (period, 4) storage)
_Table = tuple[Offsets, Offsets]


@dataclasses.dataclass
class _Source:
    """What is kept of the defaults or of one library: each pattern's period and the tables built so far."""

    periods: dict[str, int]
    tables: dict[str, _Table] = dataclasses.field(default_factory=dict)


_defaults: _Source | None = None
# A library never changes after construction, so its tables can be kept for
# as long as the library lives.
_libraries: weakref.WeakKeyDictionary[kinetrope.PatternLibrary, _Source] = weakref.WeakKeyDictionary()
# Held while a source or a table is built, so each is built once. Reentrant:
# nothing called while it is held comes back here, but if it ever did it
# would wait on itself.
_building = threading.RLock()


def _source(library: kinetrope.PatternLibrary | None) -> _Source:
    global _defaults
    library = library_or_none(library)  # a claimant is never a key of the cache
    if library is None:
        if _defaults is None:
            _defaults = _Source({e["name"]: e["period_pips"] for e in kinetrope.catalogue()})
        return _defaults
    source = _libraries.get(library)
    if source is None:
        source = _libraries[library] = _Source({e["name"]: e["period_pips"] for e in library.catalogue()})
    return source


def _sample(name: str, pip: int, library: kinetrope.PatternLibrary | None) -> kinetrope.Offset3:
    return kinetrope.sample(name, pip) if library is None else library.sample(name, pip)


def _table(name: str, library: kinetrope.PatternLibrary | None) -> _Table:
    if not isinstance(name, str):
        # The module also takes bytes, but the catalogue lists names as text.
        raise WrongTypeError(f"a pattern name must be a str, not {type(name).__qualname__}")
    if type(name) is not str:
        name = str.__str__(name)  # a plain copy: a subclass's hash or equality runs no code here
    with _building:
        source = _source(library)
        found = source.tables.get(name)
        if found is not None:
            return found
        period = source.periods.get(name)
        if period is None:
            _sample(name, 0, library)  # raises the module's own error for the name
            raise AssertionError(f"the module samples {name!r} but does not list it")
        built = np.zeros((period, 4), dtype=np.float64)
        built[:, :3] = [_sample(name, pip, library).as_tuple() for pip in range(period)]
        # numpy refuses to make an array over immutable bytes writable.
        storage = np.frombuffer(built.tobytes(), dtype=np.float64).reshape(period, 4)
        table = source.tables[name] = (storage[:, :3], storage)
        return table


def rows(name: str, library: kinetrope.PatternLibrary | None = None) -> Offsets:
    """One period of a pattern, sampled once and kept.

    Parameters
    ----------
    name : str
        The pattern.
    library : kinetrope.PatternLibrary, optional
        With one, its own patterns and the defaults are found as
        ``library.sample`` finds them.

    Returns
    -------
    numpy.ndarray
        A read-only float64 array (period_pips, 3), the same object on every
        call: row i is the offset at pip i. Neither the array nor its base
        can be made writable.

    Raises
    ------
    ValueError
        The module's own, for an unknown name.
    WrongTypeError
        For a name that is not a ``str``, or a ``library`` that is not a
        ``kinetrope.PatternLibrary`` (a ``TypeError``).
    """
    return _table(name, library)[0]


def as_pips(pips: Any) -> npt.NDArray[np.int64]:
    """Pips as an int64 array, refused where the module refuses a pip.

    Parameters
    ----------
    pips : int, array or nested sequence
        Integer and boolean arrays, and Python integers and objects with
        ``__index__``.

    Returns
    -------
    numpy.ndarray
        The pips, int64, in the shape given.

    Raises
    ------
    TypeError
        For floats, other objects and values outside the signed 32-bit
        range, as every ``sample`` call refuses them. The dtype is judged
        whatever the size: an empty float array is refused too (an empty
        list, which has no dtype of its own, is not). Masked arrays are
        refused (their mask would be ignored).
    ValueError
        For more than MAX_PIPS pips, before any is read.
    """
    array = np.asanyarray(pips)
    if issubclass(type(array), np.ma.MaskedArray):
        raise TypeError("pips must not be a masked array: its mask would be ignored (fill or compress it first)")
    array = np.asarray(array)
    if array.size > MAX_PIPS:
        raise ValueError(f"too many pips at once ({array.size}; at most {MAX_PIPS}): sample them in pieces")
    if array.size == 0 and type(pips) in (list, tuple):
        # numpy gives an empty list float64; the caller gave no dtype.
        return np.zeros(array.shape, dtype=np.int64)
    if array.dtype.kind == "O":
        # Python objects: integers of any size and objects with __index__,
        # as the module takes them one by one; floats and the rest are refused.
        try:
            whole = [operator.index(pip) for pip in array.reshape(-1)]
        except TypeError:
            raise TypeError("pips must be integers") from None
        if whole and not PIP_MIN <= min(whole) <= max(whole) <= PIP_MAX:
            raise TypeError(f"pips must lie in {PIP_MIN}..{PIP_MAX} (32-bit)")
        return np.array(whole, dtype=np.int64).reshape(array.shape)
    if array.dtype.kind not in "iub":
        raise TypeError(f"pips must be integers, not {array.dtype}")
    if array.size == 0:
        return np.zeros(array.shape, dtype=np.int64)
    if array.dtype.kind == "u" and array.dtype.itemsize == 8 and int(array.max()) > PIP_MAX:
        raise TypeError(f"pips must lie in {PIP_MIN}..{PIP_MAX} (32-bit)")
    array = array.astype(np.int64, copy=False)
    if int(array.min()) < PIP_MIN or int(array.max()) > PIP_MAX:
        raise TypeError(f"pips must lie in {PIP_MIN}..{PIP_MAX} (32-bit)")
    return array


def sample_many(name: str, pips: PipsLike, library: kinetrope.PatternLibrary | None = None) -> Offsets:
    """The offsets of a pattern at many pips at once.

    Parameters
    ----------
    name : str
        The pattern, as ``rows`` takes it.
    pips : int, array or nested sequence
        The pips, as ``as_pips`` takes them.
    library : kinetrope.PatternLibrary, optional
        As ``rows`` takes it.

    Returns
    -------
    numpy.ndarray
        A float64 array pips.shape + (3,). Each pip is wrapped into the
        period (floor modulo, as the module wraps), so every offset equals
        ``sample(name, pip).as_tuple()`` bit for bit.

    Raises
    ------
    TypeError, ValueError
        As ``as_pips`` and ``rows`` raise them.
    """
    wanted = as_pips(pips)
    storage = _table(name, library)[1]
    period = storage.shape[0]
    if period & (period - 1) == 0:
        # A power-of-two period wraps by masking: the same floor modulo in
        # two's complement, and cheaper than a division.
        phases = np.bitwise_and(wanted, period - 1)
    else:
        # pip - floor(pip / period) * period: numpy divides by a scalar with a
        # multiplication, several times faster than its remainder.
        phases = np.floor_divide(wanted, period)
        phases *= period
        np.subtract(wanted, phases, out=phases)
    offsets: Offsets = storage.take(phases, axis=0)[..., :3]
    return offsets


class PatternTable:
    """One period of each pattern added, end to end in one table: many patterns gathered with one ``take``.

    Row ``first_row[name] + p`` of ``table`` is the offset of ``name`` at
    pip p of its period (``period[name]`` rows), as ``rows`` gives it, in
    32-byte rows (x, y, z and a zero) that numpy gathers fastest. Adding a
    pattern copies its own rows alone, from the cache that ``rows`` keeps:
    the table's storage grows by doubling, so a new pattern never costs a
    copy of every pattern before it. A pattern once added stays.

    Parameters
    ----------
    library : kinetrope.PatternLibrary, optional
        Where names are looked up besides the defaults.

    Raises
    ------
    WrongTypeError
        For a ``library`` that is not a ``kinetrope.PatternLibrary``.

    Notes
    -----
    ``add`` may run on one thread while another reads ``table``: the rows
    are written first and the table that holds them is handed over in one
    assignment, so a reader sees either the table before or after.
    """

    def __init__(self, library: kinetrope.PatternLibrary | None = None) -> None:
        self.library = library_or_none(library)
        self.first_row: dict[str, int] = {}
        self.period: dict[str, int] = {}
        self._storage: Offsets = np.zeros((0, 4), dtype=np.float64)
        self._used = 0
        self._adding = threading.Lock()
        self.table: Offsets = self._read_only(0)

    def _read_only(self, used: int) -> Offsets:
        view = self._storage[:used]
        view.flags.writeable = False
        return view

    def add(self, name: str) -> tuple[int, int]:
        """Adds a pattern's rows unless they are there already.

        Parameters
        ----------
        name : str
            The pattern, as ``rows`` takes it.

        Returns
        -------
        tuple of int
            Its first row in ``table`` and its period in pips.

        Raises
        ------
        ValueError, TypeError
            As ``rows`` raises them; the table is left as it was.
        """
        with self._adding:
            if name not in self.first_row:
                block = _table(name, self.library)[1]
                period, used = block.shape[0], self._used
                if used + period > self._storage.shape[0]:
                    grown = np.zeros((max(2 * self._storage.shape[0], used + period), 4), dtype=np.float64)
                    grown[:used] = self._storage[:used]
                    self._storage = grown
                self._storage[used : used + period] = block
                self._used = used + period
                self.table = self._read_only(self._used)
                self.period[name] = period
                self.first_row[name] = used
            return self.first_row[name], self.period[name]
