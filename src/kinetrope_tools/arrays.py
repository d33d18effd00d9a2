"""One period of a pattern as a numpy array, and offsets at many pips at once.

Both read the module's own samples: ``rows`` samples every pip of one period
once and keeps the result, and ``sample_many`` looks the wrapped pips up in
those rows, so every value is bit for bit what ``sample`` returns.

The rows are kept four doubles apart (x, y, z and a zero): numpy gathers
32-byte rows with one fixed-size copy each, about three times faster than
24-byte ones, so both functions return (n, 3) views of 32-byte rows.
``np.ascontiguousarray`` packs one when a caller needs packed rows.
"""

from __future__ import annotations

import dataclasses
import operator
import weakref
from typing import Any

import numpy as np
import numpy.typing as npt

import kinetrope

PIP_MIN = -(2**31)
PIP_MAX = 2**31 - 1

# name -> (the read-only (period, 3) view that rows returns, its (period, 4) storage)
_Table = tuple[np.ndarray, np.ndarray]


@dataclasses.dataclass
class _Source:
    """What is kept of the defaults or of one library: each pattern's period and the tables built so far."""

    periods: dict[str, int]
    tables: dict[str, _Table] = dataclasses.field(default_factory=dict)


_defaults: _Source | None = None
# A library never changes after construction, so its tables can be kept for
# as long as the library lives.
_libraries: weakref.WeakKeyDictionary[kinetrope.PatternLibrary, _Source] = weakref.WeakKeyDictionary()


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
    source = _source(library)
    found = source.tables.get(name)
    if found is not None:
        return found
    period = source.periods.get(name)
    if period is None:
        _sample(name, 0, library)  # raises the module's own error for the name
        raise ValueError(f"Unknown dance rudiment: {name}")  # pragma: no cover
    storage = np.zeros((period, 4), dtype=np.float64)
    storage[:, :3] = [_sample(name, pip, library).as_tuple() for pip in range(period)]
    view = storage[:, :3]
    view.flags.writeable = False
    source.tables[name] = (view, storage)
    return view, storage


def rows(name: str, library: kinetrope.PatternLibrary | None = None) -> np.ndarray:
    """One period of ``name``: a read-only float64 array (period_pips, 3), the same object on every call.

    Row i is the offset at pip i. With a library, its own patterns and the
    defaults are found as ``library.sample`` finds them. An unknown name
    raises the module's ValueError.
    """
    return _table(name, library)[0]


def as_pips(pips: Any) -> npt.NDArray[np.int64]:
    """``pips`` as an int64 array, refused (TypeError) where the module refuses a pip.

    Integer and boolean arrays, and Python integers and objects with
    ``__index__``, are accepted; floats, other objects and values outside the
    signed 32-bit range are refused, as every ``sample`` call refuses them.
    """
    array = np.asarray(pips)
    if array.size == 0:
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
    if array.dtype.kind == "u" and array.dtype.itemsize == 8 and int(array.max()) > PIP_MAX:
        raise TypeError(f"pips must lie in {PIP_MIN}..{PIP_MAX} (32-bit)")
    array = array.astype(np.int64, copy=False)
    if int(array.min()) < PIP_MIN or int(array.max()) > PIP_MAX:
        raise TypeError(f"pips must lie in {PIP_MIN}..{PIP_MAX} (32-bit)")
    return array


def sample_many(name: str, pips: Any, library: kinetrope.PatternLibrary | None = None) -> np.ndarray:
    """The offsets of ``name`` at every pip of ``pips``: a new float64 array pips.shape + (3,).

    Each pip is wrapped into the period (floor modulo, as the module wraps), so
    the result equals ``sample(name, pip).as_tuple()`` bit for bit.
    """
    storage = _table(name, library)[1]
    wanted = as_pips(pips)
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
    offsets: np.ndarray = storage.take(phases, axis=0)[..., :3]
    return offsets
