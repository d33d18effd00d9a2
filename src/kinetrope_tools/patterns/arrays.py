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
    if type(name) is not str and isinstance(name, str):
        name = str.__str__(name)  # a plain copy: a subclass's hash or equality runs no code here
    with _building:
        source = _source(library)
        found = source.tables.get(name)
        if found is not None:
            return found
        period = source.periods.get(name)
        if period is None:
            _sample(name, 0, library)  # raises the module's own error for the name
            raise ValueError(f"Unknown dance rudiment: {name}")
        built = np.zeros((period, 4), dtype=np.float64)
        built[:, :3] = [_sample(name, pip, library).as_tuple() for pip in range(period)]
        # numpy refuses to make an array over immutable bytes writable.
        storage = np.frombuffer(built.tobytes(), dtype=np.float64).reshape(period, 4)
        table = source.tables[name] = (storage[:, :3], storage)
        return table


def rows(name: str, library: kinetrope.PatternLibrary | None = None) -> Offsets:
    """One period of ``name``: a read-only float64 array (period_pips, 3), the same object on every call.

    Row i is the offset at pip i. With a library, its own patterns and the
    defaults are found as ``library.sample`` finds them. An unknown name
    raises the module's ValueError. Neither the array nor its base can be
    made writable.
    """
    return _table(name, library)[0]


def as_pips(pips: Any) -> npt.NDArray[np.int64]:
    """``pips`` as an int64 array, refused (TypeError) where the module refuses a pip.

    Integer and boolean arrays, and Python integers and objects with
    ``__index__``, are accepted; floats, other objects and values outside the
    signed 32-bit range are refused, as every ``sample`` call refuses them.
    The dtype is judged whatever the size: an empty float array is refused
    too (an empty list, which has no dtype of its own, is not). Masked
    arrays are refused (their mask would be ignored), and more than
    MAX_PIPS pips raise ValueError before any is read.
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
    """The offsets of ``name`` at every pip of ``pips``: a new float64 array pips.shape + (3,).

    Each pip is wrapped into the period (floor modulo, as the module wraps), so
    the result equals ``sample(name, pip).as_tuple()`` bit for bit. Pips are
    refused as ``as_pips`` says.
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
