"""A pattern as the page draws it: one period, at most MAX_POINTS of its rows, and what it is."""

from __future__ import annotations

from typing import Any

import numpy as np

from ...patterns import arrays
from ...patterns.library import PatternSet

MAX_POINTS = 512


def path_of(name: str, catalogue: PatternSet) -> dict[str, Any]:
    """Raises UnknownPattern for a name the catalogue does not hold."""
    entry = catalogue[name]
    rows = arrays.rows(name, catalogue.library)
    step = max(1, -(-rows.shape[0] // MAX_POINTS))
    return {"pattern": name, "period_pips": int(rows.shape[0]), "step": step, "dimensions": entry.dimensions,
            "description": entry.description, "points": np.round(rows[::step], 3).tolist()}
